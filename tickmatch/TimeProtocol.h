// Decoding of the three time services Tickmatch can ask: TIME (RFC 868),
// DAYTIME (RFC 867) and SNTP (RFC 4330). Pure functions, no sockets.
#pragma once

#include "platform/rtl/SysUtils.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace tickmatch {

constexpr uint16_t TimePort = 37;
constexpr uint16_t DaytimePort = 13;
constexpr uint16_t NtpPort = 123;

// Days from 1899-12-30 (day 0 of TDateTime) to 1900-01-01, the epoch of both
// TIME and NTP.
constexpr double Epoch1900 = 2.0;

// Seconds since 1900-01-01 as carried by TIME and NTP, with the 32-bit wrap:
// values below 2^31 belong to the era after 2036-02-07 06:28:16 UTC, so a
// server keeps working across the wrap. fraction is in units of 2^-32 s.
TDateTime SecondsSince1900ToDateTime(uint32_t seconds, uint32_t fraction = 0);

// A TIME reply: the first four bytes, big-endian. Nothing for fewer bytes.
std::optional<TDateTime> DecodeTimeReply(const std::string& reply);

// The time of day (a fraction of one day) of a DAYTIME reply: the first
// H:MM:SS or HH:MM:SS in the text with hours 0-23 and minutes and seconds
// 0-59 (a leap second 60 is read as 59). Nothing when no such time appears.
std::optional<TDateTime> DecodeDaytimeReply(const std::string& reply);

// The reply as the log shows it: leading and trailing blanks and control
// characters removed, and any inside replaced by a blank so a reply can never
// break the log's fields or lines.
std::string CleanReplyText(const std::string& reply);

// ------------------------------------------------------------------- SNTP

constexpr std::size_t SntpPacketSize = 48;

struct TNtpTimestamp {
    uint32_t Seconds = 0;
    uint32_t Fraction = 0;
    bool operator==(const TNtpTimestamp&) const = default;
};

TNtpTimestamp DateTimeToNtp(TDateTime utc);
TDateTime NtpToDateTime(TNtpTimestamp ts);

// A client request (version 4, mode 3) carrying transmit in its transmit field;
// the server copies it back as the originate timestamp of its reply.
std::array<uint8_t, SntpPacketSize> BuildSntpRequest(TNtpTimestamp transmit);

struct TSntpReply {
    TDateTime Receive = 0;  // when the server got the request
    TDateTime Transmit = 0; // when the server sent the reply
};

// A server reply (mode 4) to the request whose transmit timestamp was
// originate. Nothing for anything else: a short packet, another mode, a
// server that is unsynchronised or sends a kiss-o'-death (stratum 0), a zero
// transmit time, or an originate that does not match (a stale or forged reply).
std::optional<TSntpReply> DecodeSntpReply(const std::string& packet, TNtpTimestamp originate);

// The server's time at the moment the reply arrived (received, UTC): its
// transmit time plus half the network round trip, the round trip being the
// time since sent less the time the server held the request.
TDateTime SntpServerTimeAt(const TSntpReply& reply, TDateTime sent, TDateTime received);

// ------------------------------------------------------------ collecting

// Gathers a reply that may arrive in pieces over a stream connection, and says
// when enough of it is there to decode: four bytes for TIME; for DAYTIME the
// first line end, the close of the connection, or the cap.
class TReplyCollector {
public:
    enum class TKind { Time, Daytime };
    static constexpr std::size_t DaytimeCap = 512;

    explicit TReplyCollector(TKind kind) : Kind(kind) {}
    void Add(const char* data, std::size_t count);
    void Closed() { PeerClosed = true; }
    bool Complete() const;
    // The bytes to decode: for TIME exactly four, for DAYTIME the first line.
    std::string Reply() const;
    void Clear();

private:
    TKind Kind;
    std::string Data;
    bool PeerClosed = false;
};

} // namespace tickmatch
