#include "platform/rtl/StoredLines.h"

bool TStoredLines::Next(std::string_view& line) {
    const size_t n = FText.size();
    if (FMode == TMode::Records) {
        for (;;) {
            if (FPos < n && (FText[FPos] == ' ' || FText[FPos] == '\t' || IsLineEnd(FText[FPos])))
                ++FPos;
            else if (FText.substr(FPos, kLineByteOrderMark.size()) == kLineByteOrderMark)
                FPos += kLineByteOrderMark.size();
            else
                break;
        }
    }
    if (FPos >= n) return false;
    size_t start = FPos;
    while (FText.substr(start, kLineByteOrderMark.size()) == kLineByteOrderMark)
        start += kLineByteOrderMark.size();
    size_t end = start;
    while (end < n && !IsLineEnd(FText[end]))
        ++end;
    FStart = start;
    line = FText.substr(start, end - start);
    FPos = end;
    if (FPos < n) {
        // One end: CR LF counts once.
        if (FText[FPos] == '\r' && FPos + 1 < n && FText[FPos + 1] == '\n') ++FPos;
        ++FPos;
    }
    return true;
}
