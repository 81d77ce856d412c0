// One block of a socket's send queue: a fixed-size FIFO of bytes.
#pragma once

#include <cstdint>

class TBuffer {
public:
    explicit TBuffer(int32_t size = 0);
    ~TBuffer();
    TBuffer(const TBuffer&) = delete;
    TBuffer& operator=(const TBuffer&) = delete;

    // Size <= 0 means the default block size. Never shrinks below the bytes
    // written, so held data survives any resize.
    void Resize(int32_t size);
    // Copies as much of source as fits; returns the count taken (0 when full).
    int32_t Append(const void* source, int32_t len);
    // The first unread byte and the unread count; nullptr and 0 when empty.
    const uint8_t* PeekData(int32_t& len) const;
    // Marks up to len bytes read; returns the count. Rewinds once all is read.
    int32_t Consume(int32_t len);

    uint8_t* Data = nullptr;
    int32_t Capacity = 0;
    int32_t WritePos = 0;
    int32_t ReadPos = 0;

    static constexpr int32_t DefaultSize = 1514;
};
