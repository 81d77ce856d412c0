// Setting the clock on Linux: Tickmatch asks the system's time service
// (org.freedesktop.timedate1 on the system bus) to move the clock, so the
// desktop's own rules apply: automatic time sync, and who may set the time.
#pragma once

#include <cstdint>
#include <string>

class TClockSetter {
public:
    virtual ~TClockSetter() = default;
    // Moves the system clock by microseconds (positive: forward). False with a
    // reason for the user when the clock was not changed.
    virtual bool ShiftClock(int64_t microseconds, std::string& reason) = 0;
};

class TSystemClockSetter : public TClockSetter {
public:
    // busAddress: the bus that carries the time service; empty for the
    // system bus.
    explicit TSystemClockSetter(std::string busAddress = {});
    ~TSystemClockSetter() override;
    bool ShiftClock(int64_t microseconds, std::string& reason) override;

    // Long enough for the user to answer the desktop's password prompt.
    int ReplyTimeoutMs = 5 * 60 * 1000;

private:
    std::string BusAddress;
    std::string ConnectionName;
};
