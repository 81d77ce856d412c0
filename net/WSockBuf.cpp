#include "net/WSockBuf.h"

#include <algorithm>
#include <cstring>

TBuffer::TBuffer(int32_t size) {
    Capacity = size > 0 ? size : DefaultSize;
    Data = new uint8_t[Capacity];
}

TBuffer::~TBuffer() {
    delete[] Data;
}

void TBuffer::Resize(int32_t size) {
    if (size <= 0) size = DefaultSize;
    // Written bytes are kept, so the block may not become smaller than them.
    size = std::max(size, WritePos);
    if (size == Capacity) return;
    auto* block = new uint8_t[size];
    if (WritePos != ReadPos && WritePos > 0) std::memcpy(block, Data, WritePos);
    if (WritePos == ReadPos) WritePos = ReadPos = 0;
    delete[] Data;
    Data = block;
    Capacity = size;
}

int32_t TBuffer::Append(const void* source, int32_t len) {
    if (len <= 0 || source == nullptr) return 0;
    int32_t n = std::min(len, Capacity - WritePos);
    if (n <= 0) return 0;
    std::memcpy(Data + WritePos, source, n);
    WritePos += n;
    return n;
}

const uint8_t* TBuffer::PeekData(int32_t& len) const {
    len = WritePos - ReadPos;
    if (len <= 0) {
        len = 0;
        return nullptr;
    }
    return Data + ReadPos;
}

int32_t TBuffer::Consume(int32_t len) {
    int32_t unread = WritePos - ReadPos;
    if (unread <= 0 || len <= 0) return 0;
    int32_t n = std::min(len, unread);
    ReadPos += n;
    if (ReadPos == WritePos) ReadPos = WritePos = 0;
    return n;
}
