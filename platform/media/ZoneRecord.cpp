#include "platform/media/ZoneRecord.h"

#include "platform/rtl/SysUtils.h"

#include <QDateTime>
#include <QTimeZone>
#include <algorithm>
#include <fstream>
#include <set>

namespace {

constexpr double UnixEpochDay = 25569.0; // 1970-01-01 as a day number

QDateTime Utc(int year) {
    return QDateTime(QDate(year, 1, 1), QTime(0, 0), QTimeZone::utc());
}

// The instant as local standard time, in weekday form for the rule.
void SetTransition(TDSTEvent& ev, const QDateTime& atUtc, int standardMinutes, int bias) {
    const QDateTime local = atUtc.toUTC().addSecs(qint64(standardMinutes) * 60);
    const QDate d = local.date();
    ev.Month = d.month();
    ev.Day = d.dayOfWeek() % 7 + 1; // Qt: Monday 1 .. Sunday 7; ours: Sunday 1
    ev.Kind = uint8_t(d.day() + 7 > d.daysInMonth() ? 5 : (d.day() - 1) / 7 + 1);
    ev.Bias = bias;
    const QTime t = local.time();
    ev.Time = EncodeTime(t.hour(), t.minute(), t.second(), t.msec());
}

} // namespace

TZoneRecord ReadZoneRecord(const std::string& zoneId, int year) {
    TZoneRecord z;
    const bool host = zoneId.empty();
    const QTimeZone tz = host ? QTimeZone::systemTimeZone()
                              : QTimeZone(QByteArray::fromStdString(zoneId));
    if (!tz.isValid() || year < 1 || year > 9998) return z;
    z.Ok = true;
    z.ZoneId = host ? tz.id().toStdString() : zoneId;

    const QDateTime from = Utc(year), to = Utc(year + 1);
    const auto changes = tz.transitions(from, to);
    const int offsetAtEnd = tz.offsetFromUtc(to) / 60;
    int standard = offsetAtEnd;
    TDSTRule rule;
    rule.Name = z.ZoneId;
    if (changes.size() == 2) {
        const int a = changes[0].offsetFromUtc / 60, b = changes[1].offsetFromUtc / 60;
        const int before = tz.offsetFromUtc(from) / 60;
        if (a != b && before == b) {
            standard = std::min(a, b);
            const int daylight = std::max(a, b);
            const auto& start = a == daylight ? changes[0] : changes[1];
            const auto& stop = a == daylight ? changes[1] : changes[0];
            SetTransition(rule.StartDate, start.atUtc, standard, daylight - standard);
            SetTransition(rule.StopDate, stop.atUtc, standard, 0);
            z.HasSummer = true;
        } else {
            z.Exact = false;
        }
    } else if (!changes.isEmpty()) {
        z.Exact = false;
    }
    if (!z.HasSummer) {
        // No summer period that the record can hold: months 0 on both sides.
        rule.StartDate.Kind = rule.StopDate.Kind = 0;
        rule.StartDate.Month = rule.StopDate.Month = 0;
        rule.StartDate.Bias = rule.StopDate.Bias = 0;
    }
    rule.Bias = -standard;
    z.StandardOffset = standard;
    z.StdName = tz.displayName(QTimeZone::StandardTime, QTimeZone::LongName).toStdString();
    z.DltName = tz.displayName(QTimeZone::DaylightTime, QTimeZone::LongName).toStdString();
    rule.StartDate.ZoneName = z.DltName;
    rule.StopDate.ZoneName = z.StdName;
    z.TZI = rule.SaveToTZI();
    z.Rule = rule;
    if (host) {
        const qint64 ms = qint64((NowUTC() - UnixEpochDay) * 86400000.0);
        const int now = tz.offsetFromUtc(QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc())) / 60;
        z.DaylightNow = now > standard;
        z.NameNow = z.DaylightNow ? z.DltName : z.StdName;
    }
    return z;
}

std::vector<std::string> HostZoneTable(const std::string& tabPath) {
    std::vector<std::string> zones;
    std::set<std::string> seen;
    std::ifstream in(tabPath);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        // country codes, coordinates, zone, comments: TAB separated
        size_t p = line.find('\t');
        if (p == std::string::npos) continue;
        p = line.find('\t', p + 1);
        if (p == std::string::npos) continue;
        const size_t e = line.find('\t', p + 1);
        std::string zone = line.substr(p + 1, e == std::string::npos ? std::string::npos : e - p - 1);
        while (!zone.empty() && (zone.back() == '\r' || zone.back() == ' ')) zone.pop_back();
        if (!zone.empty() && seen.insert(zone).second) zones.push_back(zone);
    }
    return zones;
}
