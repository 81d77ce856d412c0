// Checks the rise and set finder over many years, outside the test run (it
// takes minutes): at each place, every crossing of h0 by the sun and by the
// moon that a dense scan of the altitude finds (the scan of the tests) must be
// reported once, on its UT day, and the reported rises and sets must
// alternate across day boundaries.
//
//   hx_horizonscan [first year] [last year] [place name ...]
//
// Prints one line per place and body and a total per body (grazing: reported,
// found by the scan only, reported only); exits 1 when anything was missed,
// invented, doubled or out of turn.
#include "tools/Moon.h"
#include "tools/tests/HorizonScan.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Place {
    const char* name;
    double longitude, latitude; // longitude west positive
};

constexpr Place kPlaces[] = {
    {"Quito", 78.5, -0.2},          {"London", 0.13, 51.5},       {"Anchorage", 149.9, 61.22},
    {"Reykjavik", 21.9426, 64.1466}, {"Tromso", -18.96, 69.65},   {"Rothera", 68.13, -67.57},
    {"Honolulu", 157.8583, 21.3069}, {"Sydney", -151.2093, -33.8688},
};

struct Figures {
    long checked = 0;    // crossings of the scan reported once
    // Crossings that only touch h0, let pass either way: reported, found by
    // the scan only, reported only.
    long grazing = 0, grazingScanOnly = 0, grazingReportOnly = 0;
    long missed = 0;     // crossings not reported
    long invented = 0;   // reports without a crossing
    long doubled = 0;    // second reports of a crossing already reported
    long offDay = 0;     // reports outside the UT day asked
    long outOfTurn = 0;  // two rises or two sets in a row
    double worst = 0;    // days, over the crossings checked
    TDateTime worstAt = 0;

    void Add(const Figures& o) {
        checked += o.checked, grazing += o.grazing, missed += o.missed;
        grazingScanOnly += o.grazingScanOnly, grazingReportOnly += o.grazingReportOnly;
        invented += o.invented, doubled += o.doubled, offDay += o.offDay;
        outOfTurn += o.outOfTurn;
        if (o.worst > worst) worst = o.worst, worstAt = o.worstAt;
    }
    bool Clean() const { return !missed && !invented && !doubled && !offDay && !outOfTurn; }
    void Print(const char* what, const char* where) const {
        std::printf("%-5s %-10s %8ld checked, worst %5.1f s (UT %s), grazing %ld+%ld+%ld, "
                    "%ld missed, %ld invented, %ld doubled, %ld off their day, %ld out of turn\n",
                    what, where, checked, worst * 86400,
                    worstAt ? DateTimeToStr(worstAt).c_str() : "-", grazing, grazingScanOnly,
                    grazingReportOnly, missed, invented, doubled, offDay, outOfTurn);
        std::fflush(stdout);
    }
};

struct Reported {
    TDateTime t;
    bool rise;
    bool operator<(const Reported& o) const { return t < o.t; }
};

// One year at one place; the reports of the year go to `all` for the check
// of turns over the whole span.
void ScanYear(const horizon_scan::TBody& body, const Place& p, TDateTime from, TDateTime to,
              Figures& f, std::vector<Reported>& all) {
    const bool isSun = body.IsSun();
    const double grazing = isSun ? 0.002 : 0.02; // degrees
    const double reach = 30.0 / 1440;
    // Reports of the days around the year, so that a crossing at its edge
    // meets its report whichever side of the edge either falls.
    std::vector<TDateTime> reported[2];
    for (TDateTime day = from - 1; day <= to; day += 1) {
        const TDayEvents e = RiseSetTransitEvents(isSun, p.longitude, p.latitude, day);
        const std::vector<TDateTime>* lists[2] = {&e.Rises, &e.Sets};
        for (int k = 0; k < 2; ++k)
            for (TDateTime t : *lists[k]) {
                const bool inside = t >= from && t < to;
                if (inside && (t < day || t >= day + 1)) ++f.offDay;
                reported[k].push_back(t);
                if (inside) all.push_back({t, k == 0});
            }
    }
    for (auto& r : reported) std::sort(r.begin(), r.end());
    std::vector<char> used[2] = {std::vector<char>(reported[0].size()),
                                 std::vector<char>(reported[1].size())};
    std::vector<char> matchedNear[2] = {std::vector<char>(reported[0].size()),
                                        std::vector<char>(reported[1].size())};
    for (const horizon_scan::TCrossing& c : body.Crossings(p.longitude, p.latitude)) {
        const int k = c.Rise ? 0 : 1;
        const bool inside = c.Time >= from && c.Time < to;
        const bool graze = c.Depth < grazing;
        const std::vector<TDateTime>& r = reported[k];
        // The nearest unused report on either side.
        const size_t at = size_t(std::lower_bound(r.begin(), r.end(), c.Time) - r.begin());
        long best = -1;
        for (long j = long(at); j < long(r.size()) && r[size_t(j)] - c.Time < reach; ++j)
            if (!used[k][size_t(j)]) {
                best = j;
                break;
            }
        for (long j = long(at) - 1; j >= 0 && c.Time - r[size_t(j)] < reach; --j)
            if (!used[k][size_t(j)]) {
                if (best < 0 || c.Time - r[size_t(j)] < r[size_t(best)] - c.Time) best = j;
                break;
            }
        if (best < 0) {
            if (inside) graze ? ++f.grazingScanOnly : ++f.missed;
            if (inside && !graze)
                std::printf("  missed %s %s at %s, UT %s\n", isSun ? "sun" : "moon",
                            c.Rise ? "rise" : "set", p.name, DateTimeToStr(c.Time).c_str());
            continue;
        }
        used[k][size_t(best)] = 1;
        // Any other report of the kind within two minutes is the same event.
        for (long j = long(at) - 3; j < long(at) + 3; ++j)
            if (j >= 0 && j < long(r.size()) && std::fabs(r[size_t(j)] - c.Time) < 2.0 / 1440)
                matchedNear[k][size_t(j)] = 1;
        if (!inside) continue;
        if (graze) {
            ++f.grazing;
            continue;
        }
        ++f.checked;
        const double err = std::fabs(r[size_t(best)] - c.Time);
        if (err > f.worst) f.worst = err, f.worstAt = c.Time;
    }
    for (int k = 0; k < 2; ++k)
        for (size_t j = 0; j < reported[k].size(); ++j) {
            const TDateTime t = reported[k][j];
            if (used[k][j] || t < from || t >= to) continue;
            // Next to a crossing already reported, a report is a second one
            // however close to h0 the body is then.
            const double off = body.AboveH0(p.longitude, p.latitude, t);
            if (matchedNear[k][j]) {
                ++f.doubled;
                std::printf("  doubled %s %s at %s, UT %s\n", isSun ? "sun" : "moon",
                            k ? "set" : "rise", p.name, DateTimeToStr(t).c_str());
            } else if (std::fabs(off) < grazing) {
                ++f.grazingReportOnly;
            } else {
                ++f.invented;
                std::printf("  invented %s %s at %s, UT %s, %.4f deg off h0\n",
                            isSun ? "sun" : "moon", k ? "set" : "rise", p.name,
                            DateTimeToStr(t).c_str(), off);
            }
        }
}

} // namespace

int main(int argc, char** argv) {
    const int firstYear = argc > 1 ? std::atoi(argv[1]) : 1960;
    const int lastYear = argc > 2 ? std::atoi(argv[2]) : 2080;
    std::vector<Place> places;
    for (int i = 3; i < argc; ++i)
        for (const Place& p : kPlaces)
            if (argv[i] == std::string(p.name)) places.push_back(p);
    if (argc <= 3) places.assign(std::begin(kPlaces), std::end(kPlaces));
    bool clean = true;
    for (const bool isSun : {true, false}) {
        const char* what = isSun ? "sun" : "moon";
        Figures total;
        std::vector<Figures> perPlace(places.size());
        std::vector<std::vector<Reported>> all(places.size());
        for (int y = firstYear; y <= lastYear; ++y) {
            const TDateTime from = EncodeDate(y, 1, 1), to = EncodeDate(y + 1, 1, 1);
            // A day either side, so that the crossings at the edges are whole.
            const horizon_scan::TBody body(isSun, from - 1, int(to - from) + 2);
            for (size_t i = 0; i < places.size(); ++i)
                ScanYear(body, places[i], from, to, perPlace[i], all[i]);
        }
        for (size_t i = 0; i < places.size(); ++i) {
            std::sort(all[i].begin(), all[i].end());
            for (size_t j = 0; j + 1 < all[i].size(); ++j)
                if (all[i][j].rise == all[i][j + 1].rise) {
                    ++perPlace[i].outOfTurn;
                    std::printf("  out of turn: %s %s at %s, UT %s and %s\n", what,
                                all[i][j].rise ? "rises" : "sets", places[i].name,
                                DateTimeToStr(all[i][j].t).c_str(),
                                DateTimeToStr(all[i][j + 1].t).c_str());
                }
            perPlace[i].Print(what, places[i].name);
            total.Add(perPlace[i]);
        }
        total.Print(what, "all");
        clean = clean && total.Clean();
    }
    return clean ? 0 : 1;
}
