#include "tickmatch/TimeProtocol.h"

#include <cmath>

namespace tickmatch {

namespace {

constexpr uint32_t EraPivot = 0x80000000u;
constexpr double TwoPow32 = 4294967296.0;

uint32_t ReadBigEndian32(const unsigned char* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

void WriteBigEndian32(unsigned char* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

TDateTime SecondsSince1900ToDateTime(uint32_t seconds, uint32_t fraction) {
    double s = double(seconds);
    if (seconds < EraPivot) s += TwoPow32;
    return Epoch1900 + (s + double(fraction) / TwoPow32) / SecsPerDay;
}

std::optional<TDateTime> DecodeTimeReply(const std::string& reply) {
    if (reply.size() < 4) return std::nullopt;
    return SecondsSince1900ToDateTime(
        ReadBigEndian32(reinterpret_cast<const unsigned char*>(reply.data())));
}

std::optional<TDateTime> DecodeDaytimeReply(const std::string& reply) {
    const std::size_t n = reply.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (!IsDigit(reply[i]) || (i > 0 && IsDigit(reply[i - 1]))) continue;
        // One or two digits of hours, then ":MM:SS".
        std::size_t h = i;
        std::size_t hourDigits = (h + 1 < n && IsDigit(reply[h + 1])) ? 2 : 1;
        std::size_t c = h + hourDigits;
        if (c + 6 > n || reply[c] != ':' || !IsDigit(reply[c + 1]) || !IsDigit(reply[c + 2]) ||
            reply[c + 3] != ':' || !IsDigit(reply[c + 4]) || !IsDigit(reply[c + 5]))
            continue;
        if (c + 6 < n && IsDigit(reply[c + 6])) continue;
        int hour = reply[h] - '0';
        if (hourDigits == 2) hour = hour * 10 + (reply[h + 1] - '0');
        int minute = (reply[c + 1] - '0') * 10 + (reply[c + 2] - '0');
        int second = (reply[c + 4] - '0') * 10 + (reply[c + 5] - '0');
        if (second == 60) second = 59;
        if (hour > 23 || minute > 59 || second > 59) continue;
        return (hour * 3600.0 + minute * 60.0 + second) / SecsPerDay;
    }
    return std::nullopt;
}

std::string CleanReplyText(const std::string& reply) {
    auto blankOrControl = [](char c) { return static_cast<unsigned char>(c) <= ' ' || c == 127; };
    std::size_t a = 0, b = reply.size();
    while (a < b && blankOrControl(reply[a]))
        ++a;
    while (b > a && blankOrControl(reply[b - 1]))
        --b;
    std::string out = reply.substr(a, b - a);
    for (char& c : out)
        if (blankOrControl(c)) c = ' ';
    return out;
}

TNtpTimestamp DateTimeToNtp(TDateTime utc) {
    double s = (utc - Epoch1900) * SecsPerDay;
    double whole = std::floor(s);
    double frac = std::floor((s - whole) * TwoPow32);
    if (frac >= TwoPow32) frac = TwoPow32 - 1;
    TNtpTimestamp ts;
    // The era is dropped: the wrap is undone on decoding.
    ts.Seconds = uint32_t(static_cast<uint64_t>(whole) & 0xFFFFFFFFu);
    ts.Fraction = uint32_t(frac);
    return ts;
}

TDateTime NtpToDateTime(TNtpTimestamp ts) {
    return SecondsSince1900ToDateTime(ts.Seconds, ts.Fraction);
}

std::array<uint8_t, SntpPacketSize> BuildSntpRequest(TNtpTimestamp transmit) {
    std::array<uint8_t, SntpPacketSize> p{};
    p[0] = (0 << 6) | (4 << 3) | 3; // no leap warning, version 4, client
    WriteBigEndian32(&p[40], transmit.Seconds);
    WriteBigEndian32(&p[44], transmit.Fraction);
    return p;
}

std::optional<TSntpReply> DecodeSntpReply(const std::string& packet, TNtpTimestamp originate) {
    if (packet.size() < SntpPacketSize) return std::nullopt;
    auto p = reinterpret_cast<const unsigned char*>(packet.data());
    const int leap = p[0] >> 6;
    const int version = (p[0] >> 3) & 7;
    const int mode = p[0] & 7;
    const int stratum = p[1];
    if (mode != 4 || version < 1 || version > 4 || leap == 3 || stratum == 0 || stratum > 15)
        return std::nullopt;
    TNtpTimestamp orig{ReadBigEndian32(p + 24), ReadBigEndian32(p + 28)};
    TNtpTimestamp recv{ReadBigEndian32(p + 32), ReadBigEndian32(p + 36)};
    TNtpTimestamp xmit{ReadBigEndian32(p + 40), ReadBigEndian32(p + 44)};
    if (!(orig == originate) || (xmit.Seconds == 0 && xmit.Fraction == 0)) return std::nullopt;
    TSntpReply r;
    r.Receive = NtpToDateTime(recv);
    r.Transmit = NtpToDateTime(xmit);
    return r;
}

TDateTime SntpServerTimeAt(const TSntpReply& reply, TDateTime sent, TDateTime received) {
    double roundTrip = (received - sent) - (reply.Transmit - reply.Receive);
    if (!(roundTrip > 0)) roundTrip = 0;
    return reply.Transmit + roundTrip / 2;
}

void TReplyCollector::Add(const char* data, std::size_t count) {
    std::size_t room = Kind == TKind::Time ? 4 : DaytimeCap;
    if (Data.size() < room) Data.append(data, std::min(count, room - Data.size()));
}

bool TReplyCollector::Complete() const {
    if (Kind == TKind::Time) return Data.size() >= 4;
    return PeerClosed || Data.size() >= DaytimeCap || Data.find('\n') != std::string::npos;
}

std::string TReplyCollector::Reply() const {
    if (Kind == TKind::Time) return Data.substr(0, 4);
    std::size_t eol = Data.find('\n');
    return eol == std::string::npos ? Data : Data.substr(0, eol + 1);
}

void TReplyCollector::Clear() {
    Data.clear();
    PeerClosed = false;
}

} // namespace tickmatch
