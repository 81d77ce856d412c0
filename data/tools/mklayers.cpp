// Makes the two map layers the suite ships from world-atlas's TopoJSON
// countries and the known places:
//   hx_mklayers countries-50m.json hxzones.hxd OUTDIR
// writes OUTDIR/01-timezones.lyr and OUTDIR/02-countries.lyr with the globe
// core's own layer writer, so the program reads exactly what it wrote.
#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "globe/core/GlobeContext.h"

namespace {

struct P {
    double x = 0, y = 0;  // longitude east-positive, latitude; degrees
};
using Ring = std::vector<P>;

struct Country {
    std::string Name;
    int32_t ID = 0;
    std::vector<Ring> Rings;  // outer rings, unwrapped longitudes, not closed
};

struct Place {
    double Lon = 0, Lat = 0;  // east-positive
    double Offset = 0;
    bool Principal = false;  // the principal city of its tz zone
    std::string Country;     // as the place list names it
};

[[noreturn]] void Die(const std::string& what) {
    std::fprintf(stderr, "hx_mklayers: %s\n", what.c_str());
    std::exit(1);
}

double Wrap180(double d) {
    while (d > 180)
        d -= 360;
    while (d <= -180)
        d += 360;
    return d;
}

// Longitudes made continuous along the ring; returns how far the closing
// edge would go round (0, or +-360 for a ring round a pole).
double Unwrap(Ring& r) {
    for (size_t i = 1; i < r.size(); ++i)
        r[i].x = r[i - 1].x + Wrap180(r[i].x - r[i - 1].x);
    const double closing = r.back().x + Wrap180(r.front().x - r.back().x);
    return std::round((closing - r.front().x) / 360.0) * 360.0;
}

double AbsArea(const Ring& r) {
    double a = 0;
    for (size_t i = 0, j = r.size() - 1; i < r.size(); j = i++)
        a += (r[j].x - r[i].x) * (r[j].y + r[i].y) * std::cos((r[j].y + r[i].y) * M_PI / 360.0);
    return std::fabs(a) / 2;
}

// Sutherland-Hodgman against the half-plane a*x + b*y <= c. A concave ring
// may come back with zero-width bridges along the cut, which neither the
// even-odd hit test nor an even-odd fill sees.
Ring ClipHalf(const Ring& r, double a, double b, double c) {
    Ring out;
    if (r.empty())
        return out;
    auto in = [&](const P& p) { return a * p.x + b * p.y <= c; };
    for (size_t i = 0; i < r.size(); ++i) {
        const P& s = r[(i + r.size() - 1) % r.size()];
        const P& e = r[i];
        const bool si = in(s), ei = in(e);
        if (si != ei) {
            const double ds = a * s.x + b * s.y - c, de = a * e.x + b * e.y - c;
            const double t = ds / (ds - de);
            out.push_back({s.x + (e.x - s.x) * t, s.y + (e.y - s.y) * t});
        }
        if (ei)
            out.push_back(e);
    }
    return out;
}

// The same cut, giving the part of a simple ring in the half-plane as the
// rings it falls into: where the ring leaves the half-plane and comes back,
// the pieces along the cut are joined to each other as the cut bounds them,
// not by a bridge of zero width.
std::vector<Ring> ClipHalfRings(const Ring& r, double a, double b, double c) {
    const size_t n = r.size();
    if (n < 3)
        return {};
    std::vector<double> d(n);
    size_t outside = n;
    for (size_t i = 0; i < n; ++i) {
        d[i] = a * r[i].x + b * r[i].y - c;
        if (d[i] > 0 && outside == n)
            outside = i;
    }
    if (outside == n)
        return {r};
    // Chains of the ring inside, each from where it enters to where it leaves.
    std::vector<Ring> chains;
    auto cross = [&](size_t s, size_t e) {
        const double t = d[s] / (d[s] - d[e]);
        return P{r[s].x + (r[e].x - r[s].x) * t, r[s].y + (r[e].y - r[s].y) * t};
    };
    for (size_t k = 0; k < n; ++k) {
        const size_t s = (outside + k) % n, e = (outside + k + 1) % n;
        const bool si = d[s] <= 0, ei = d[e] <= 0;
        if (!si && ei)
            chains.push_back({cross(s, e), r[e]});
        else if (si && ei)
            chains.back().push_back(r[e]);
        else if (si && !ei)
            chains.back().push_back(cross(s, e));
    }
    if (chains.empty())
        return {};
    // Along the cut the inside runs between the 1st and 2nd crossing, the 3rd
    // and 4th, and so on: each joins a chain's exit to a chain's entry.
    struct End {
        double S;
        size_t Chain;
        bool Exit;
    };
    std::vector<End> ends;
    for (size_t k = 0; k < chains.size(); ++k) {
        ends.push_back({-b * chains[k].front().x + a * chains[k].front().y, k, false});
        ends.push_back({-b * chains[k].back().x + a * chains[k].back().y, k, true});
    }
    std::stable_sort(ends.begin(), ends.end(), [](const End& x, const End& y) { return x.S < y.S; });
    std::vector<size_t> next(chains.size(), chains.size());
    for (size_t k = 0; k + 1 < ends.size(); k += 2) {
        const End &x = ends[k], &y = ends[k + 1];
        if (x.Exit == y.Exit)
            return {ClipHalf(r, a, b, c)};  // not a simple ring: cut as before
        next[x.Exit ? x.Chain : y.Chain] = x.Exit ? y.Chain : x.Chain;
    }
    std::vector<Ring> out;
    std::vector<bool> used(chains.size());
    for (size_t k = 0; k < chains.size(); ++k) {
        if (used[k])
            continue;
        Ring ring;
        for (size_t j = k; j < chains.size() && !used[j]; j = next[j]) {
            used[j] = true;
            ring.insert(ring.end(), chains[j].begin(), chains[j].end());
        }
        if (ring.size() >= 3 && AbsArea(ring) > 0)
            out.push_back(std::move(ring));
    }
    return out;
}

// A list of rings cut by one half-plane.
std::vector<Ring> ClipHalfRings(const std::vector<Ring>& rs, double a, double b, double c) {
    std::vector<Ring> out;
    for (const Ring& r : rs)
        for (Ring& part : ClipHalfRings(r, a, b, c))
            out.push_back(std::move(part));
    return out;
}

// No edge longer than a degree, so the globe bends it with the earth.
Ring Densify(const Ring& r) {
    Ring out;
    for (size_t i = 0; i < r.size(); ++i) {
        const P& a = r[i];
        // The closing edge of a ring round a pole goes on round, not back.
        P b = r[(i + 1) % r.size()];
        b.x = a.x + Wrap180(b.x - a.x);
        out.push_back(a);
        const int n = static_cast<int>(std::ceil(std::max(std::fabs(b.x - a.x), std::fabs(b.y - a.y)) / 1.0));
        // Counted from the lesser end, so an edge that two rings share in
        // opposite directions gets the same points in both.
        const bool fromA = a.x < b.x || (a.x == b.x && a.y <= b.y);
        const P& lo = fromA ? a : b;
        const P& hi = fromA ? b : a;
        for (int k = 1; k < n; ++k) {
            const int m = fromA ? k : n - k;
            out.push_back({lo.x + (hi.x - lo.x) * m / n, lo.y + (hi.y - lo.y) * m / n});
        }
    }
    return out;
}

// Whole minutes, longitude wrapped into [-180, 180); repeated points and
// the closing point dropped.
std::vector<GlobePoint> ToMinutes(const Ring& r) {
    std::vector<GlobePoint> out;
    for (const P& p : r) {
        int64_t mx = std::llround(p.x * 60), my = std::llround(p.y * 60);
        mx = ((mx + 10800) % 21600 + 21600) % 21600 - 10800;
        my = std::clamp<int64_t>(my, -5400, 5400);
        const GlobePoint g{static_cast<int32_t>(mx * GU_MINUTE), static_cast<int32_t>(my * GU_MINUTE), 0};
        if (out.empty() || !(out.back() == g))
            out.push_back(g);
    }
    while (out.size() > 1 && out.front() == out.back())
        out.pop_back();
    return out;
}

std::string OffsetTitle(double h) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.10g", h);
    return buf;
}

double Haversine(double lon1, double lat1, double lon2, double lat2) {
    const double r = M_PI / 180;
    const double a = std::pow(std::sin((lat2 - lat1) * r / 2), 2) +
                     std::cos(lat1 * r) * std::cos(lat2 * r) * std::pow(std::sin((lon2 - lon1) * r / 2), 2);
    return 2 * std::asin(std::min(1.0, std::sqrt(a)));
}

std::vector<Country> ReadCountries(const char* path) {
    QFile f(QString::fromLocal8Bit(path));
    if (!f.open(QIODevice::ReadOnly))
        Die(std::string("cannot read ") + path);
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &err);
    if (doc.isNull())
        Die(std::string(path) + ": " + err.errorString().toStdString());
    const QJsonObject top = doc.object();
    const QJsonArray scale = top["transform"]["scale"].toArray(), shift = top["transform"]["translate"].toArray();
    if (scale.size() != 2 || shift.size() != 2)
        Die("no quantisation transform");
    std::vector<Ring> arcs;
    for (const QJsonValue& a : top["arcs"].toArray()) {
        Ring arc;
        double qx = 0, qy = 0;
        for (const QJsonValue& d : a.toArray()) {
            qx += d[0].toDouble();
            qy += d[1].toDouble();
            arc.push_back({qx * scale[0].toDouble() + shift[0].toDouble(), qy * scale[1].toDouble() + shift[1].toDouble()});
        }
        arcs.push_back(std::move(arc));
    }
    auto ring = [&](const QJsonArray& ids) {
        Ring r;
        for (const QJsonValue& v : ids) {
            const int k = v.toInt();
            const size_t i = static_cast<size_t>(k >= 0 ? k : ~k);
            if (i >= arcs.size())
                Die("arc index out of range");
            Ring arc = arcs[i];
            if (k < 0)
                std::reverse(arc.begin(), arc.end());
            r.insert(r.end(), arc.begin() + (r.empty() ? 0 : 1), arc.end());
        }
        if (r.size() > 1 && r.front().x == r.back().x && r.front().y == r.back().y)
            r.pop_back();
        return r;
    };
    std::vector<Country> out;
    for (const QJsonValue& g : top["objects"]["countries"]["geometries"].toArray()) {
        Country c;
        c.Name = g["properties"]["name"].toString().toStdString();
        c.ID = g["id"].toString().toInt();  // the few without an ISO number get 0
        std::vector<QJsonArray> polys;
        if (g["type"].toString() == "Polygon")
            polys.push_back(g["arcs"].toArray());
        else if (g["type"].toString() == "MultiPolygon")
            for (const QJsonValue& p : g["arcs"].toArray())
                polys.push_back(p.toArray());
        for (const QJsonArray& poly : polys) {
            if (poly.isEmpty())
                continue;
            Ring outer = ring(poly[0].toArray());
            // A ring wrapped tightly round a pole with the coast as its hole:
            // the coast is the land's ring.
            const bool polarCap = !outer.empty() && std::all_of(outer.begin(), outer.end(), [](const P& p) {
                return std::fabs(p.y) > 89.0;
            });
            if (polarCap && poly.size() > 1) {
                for (int h = 1; h < poly.size(); ++h)
                    c.Rings.push_back(ring(poly[h].toArray()));
            } else {
                c.Rings.push_back(std::move(outer));
            }
        }
        out.push_back(std::move(c));
    }
    return out;
}

std::vector<Place> ReadPlaces(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        Die(std::string("cannot read ") + path);
    std::vector<Place> out;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#' || line.rfind("VERSION:", 0) == 0)
            continue;
        std::vector<std::string> f;
        size_t s = 0;
        for (size_t t; (t = line.find('\t', s)) != std::string::npos; s = t + 1)
            f.push_back(line.substr(s, t - s));
        f.push_back(line.substr(s));
        if (f.size() < 5)
            Die("short place line: " + line);
        // The zone is the last field, before the record's end mark.
        std::string zone = f.size() >= 10 ? f[9] : "";
        if (!zone.empty() && zone.back() == '!')
            zone.pop_back();
        std::string city = zone.substr(zone.rfind('/') + 1);
        std::replace(city.begin(), city.end(), '_', ' ');
        out.push_back({-std::stod(f[4]), std::stod(f[3]), std::stod(f[1]), !zone.empty() && f[0] == city,
                       f.size() >= 9 ? f[8] : ""});
    }
    return out;
}

TGeoDataObject* AddPolygon(TGlobeLayer* layer, TGlobePresenter* pres, const std::vector<GlobePoint>& pts,
                           const std::string& title, int32_t id, int64_t& total) {
    if (pts.size() < 3)
        return nullptr;
    if (pts.size() > 65535)
        Die("a chain of " + std::to_string(pts.size()) + " points: " + title);
    auto* o = new TGeoDataObject(layer);
    o->Title = title;
    o->ID = id;
    o->SetPresenter(pres);
    o->Points = pts;
    total += static_cast<int64_t>(pts.size());
    return o;
}

struct Piece {
    Ring R;  // within [-180, 180)
    double Area = 0;
    double MinX = 0, MaxX = 0, MinY = 0, MaxY = 0;
    size_t Country = 0;          // index in the country list
    std::vector<size_t> Places;  // the places of its own country that share it out
};

// The land of the zone layer: each country ring cut at 180 degrees (a ring
// round a pole first closed through it), larger pieces first.
std::vector<Piece> LandPieces(const std::vector<Country>& countries) {
    const double east = 180.0 - 1.0 / 60;  // 180 itself is -180 on the globe
    std::vector<Piece> out;
    for (size_t ci = 0; ci < countries.size(); ++ci)
        for (Ring r : countries[ci].Rings) {
            if (r.size() < 3)
                continue;
            const double turn = Unwrap(r);
            if (turn != 0) {
                double sumY = 0;
                for (const P& p : r)
                    sumY += p.y;
                const double pole = sumY >= 0 ? 90.0 : -90.0;
                const P first = r.front();
                r.push_back({first.x + turn, first.y});
                r.push_back({first.x + turn, pole});
                r.push_back({first.x, pole});
            }
            for (double k : {-360.0, 0.0, 360.0}) {
                const std::vector<Ring> parts =
                    ClipHalfRings(ClipHalfRings(std::vector<Ring>{r}, -1, 0, 180 - k), 1, 0, 180 + k);
                for (Ring piece : parts) {
                    for (P& p : piece)
                        p.x = std::min(p.x - k, east);
                    if (piece.size() < 3)
                        continue;
                    Piece pc;
                    pc.Country = ci;
                    pc.R = std::move(piece);
                    pc.Area = AbsArea(pc.R);
                    if (pc.Area <= 0)
                        continue;
                    pc.MinX = pc.MaxX = pc.R[0].x;
                    pc.MinY = pc.MaxY = pc.R[0].y;
                    for (const P& p : pc.R) {
                        pc.MinX = std::min(pc.MinX, p.x);
                        pc.MaxX = std::max(pc.MaxX, p.x);
                        pc.MinY = std::min(pc.MinY, p.y);
                        pc.MaxY = std::max(pc.MaxY, p.y);
                    }
                    out.push_back(std::move(pc));
                }
            }
        }
    std::stable_sort(out.begin(), out.end(), [](const Piece& a, const Piece& b) { return a.Area > b.Area; });
    return out;
}


// Voronoi cells of the piece's places in a plane whose longitudes shrink with
// the cosine of the piece's latitude, each cut from the piece.
void SplitPiece(const Piece& pc, const std::vector<Place>& places, std::vector<std::pair<Ring, double>>& cells) {
    std::vector<size_t> sites;
    for (size_t i : pc.Places) {
        bool dup = false;
        for (size_t j : sites)
            dup = dup || (places[j].Lon == places[i].Lon && places[j].Lat == places[i].Lat);
        if (!dup)
            sites.push_back(i);
    }
    bool oneOffset = true;
    for (size_t i : sites)
        oneOffset = oneOffset && places[i].Offset == places[sites[0]].Offset;
    if (oneOffset) {
        cells.push_back({pc.R, places[sites[0]].Offset});
        return;
    }
    const double c = std::max(0.2, std::cos((pc.MinY + pc.MaxY) * M_PI / 360.0));
    for (size_t i : sites) {
        const P pi{places[i].Lon * c, places[i].Lat};
        Ring cell{{pc.MinX * c - 1, pc.MinY - 1}, {pc.MaxX * c + 1, pc.MinY - 1}, {pc.MaxX * c + 1, pc.MaxY + 1},
                  {pc.MinX * c - 1, pc.MaxY + 1}};
        for (size_t j : sites) {
            if (j == i)
                continue;
            const P pj{places[j].Lon * c, places[j].Lat};
            const double a = pj.x - pi.x, b = pj.y - pi.y;
            cell = ClipHalf(cell, a, b, a * (pi.x + pj.x) / 2 + b * (pi.y + pj.y) / 2);
        }
        std::vector<Ring> parts{pc.R};
        for (size_t k = 0; k < cell.size() && !parts.empty(); ++k) {
            const P& s = cell[k];
            const P& e = cell[(k + 1) % cell.size()];
            // The cell is counter-clockwise: keep the left of each edge.
            const double a = (e.y - s.y), b = -(e.x - s.x);
            parts = ClipHalfRings(parts, a * c, b, a * s.x + b * s.y);
        }
        for (Ring& part : parts)
            cells.push_back({std::move(part), places[i].Offset});
    }
}

// Every vertex of any ring that lies on an edge of another (within a
// minute and a half: both are rounded to whole minutes) becomes a vertex of that edge too, so neighbouring cells
// run through the same points along their common border: drawn, their fills
// then meet pixel for pixel.
void NodeRings(std::vector<std::pair<std::vector<GlobePoint>, double>>& rings) {
    auto cellOf = [](int64_t x, int64_t y) { return ((x + 200) << 16) ^ (y + 100); };
    struct V {
        int64_t X, Y;
        size_t Ring;
    };
    std::map<int64_t, std::vector<V>> grid;  // whole degrees -> vertices in minutes
    auto deg = [](int64_t m) { return m >= 0 ? m / 60 : -((-m + 59) / 60); };
    for (size_t r = 0; r < rings.size(); ++r)
        for (const GlobePoint& p : rings[r].first) {
            const int64_t x = p.X / GU_MINUTE, y = p.Y / GU_MINUTE;
            grid[cellOf(deg(x), deg(y))].push_back({x, y, r});
        }
    int64_t added = 0;
    for (size_t r = 0; r < rings.size(); ++r) {
        // A ring's own vertices stay as they are: only a neighbour's are taken.
        std::vector<GlobePoint>& pts = rings[r].first;
        std::vector<GlobePoint> out;
        const size_t n = pts.size();
        for (size_t i = 0; i < n; ++i) {
            const int64_t ax = pts[i].X / GU_MINUTE, ay = pts[i].Y / GU_MINUTE;
            const int64_t bx = pts[(i + 1) % n].X / GU_MINUTE, by = pts[(i + 1) % n].Y / GU_MINUTE;
            out.push_back(pts[i]);
            const int64_t dx = bx - ax, dy = by - ay, len2 = dx * dx + dy * dy;
            if (len2 == 0)
                continue;
            std::vector<std::pair<int64_t, std::pair<int64_t, int64_t>>> on;  // (position along, vertex)
            for (int64_t cx = deg(std::min(ax, bx) - 1); cx <= deg(std::max(ax, bx) + 1); ++cx)
                for (int64_t cy = deg(std::min(ay, by) - 1); cy <= deg(std::max(ay, by) + 1); ++cy) {
                    const auto it = grid.find(cellOf(cx, cy));
                    if (it == grid.end())
                        continue;
                    for (const auto& [px, py, from] : it->second) {
                        if (from == r)
                            continue;
                        const int64_t t = (px - ax) * dx + (py - ay) * dy;
                        if (t <= 0 || t >= len2)
                            continue;
                        const double cross = static_cast<double>((px - ax) * dy - (py - ay) * dx);
                        if (cross * cross <= 1.5 * 1.5 * static_cast<double>(len2))
                            on.push_back({t, {px, py}});
                    }
                }
            std::sort(on.begin(), on.end());
            on.erase(std::unique(on.begin(), on.end()), on.end());
            for (const auto& [t, v] : on) {
                const GlobePoint g{static_cast<int32_t>(v.first * GU_MINUTE), static_cast<int32_t>(v.second * GU_MINUTE), 0};
                if (!(out.back() == g)) {
                    out.push_back(g);
                    ++added;
                }
            }
        }
        pts = std::move(out);
    }
    std::printf("zone borders: %lld shared points added\n", static_cast<long long>(added));
}

TColor ZoneColour(double offset) {
    // Pale fills, one for each of four whole-hour classes round the world
    // and one for the half and quarter hours (BGR).
    static const TColor kWhole[4] = {0xB4E6FA, 0xC8F0C8, 0xF0D2B4, 0xD2C8F0};
    if (offset != std::floor(offset))
        return 0xB4B4F0;
    return kWhole[((static_cast<int>(std::floor(offset)) % 4) + 4) % 4];
}

int Main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: hx_mklayers countries-50m.json hxzones.hxd OUTDIR\n");
        return 2;
    }
    const std::vector<Country> countries = ReadCountries(argv[1]);
    const std::vector<Place> places = ReadPlaces(argv[2]);
    const std::string outDir = std::string(argv[3]) + "/";

    // Countries: every ring whole, larger first so enclaves lie over hosts.
    {
        TGlobeContext g;
        TGlobeLayer* layer = g.AddNewLayer("Countries");
        auto* pres = new TPolygonPresenter(layer, "Country", 1);
        pres->PolygonPen.SetPen(0x808080, TPenStyle::psSolid, 1);
        pres->PolygonBrush.SetBrush(0xFFFFFF, TBrushStyle::bsClear);
        struct Item {
            Ring R;
            double Area;
            const Country* C;
        };
        std::vector<Item> items;
        for (const Country& c : countries)
            for (Ring r : c.Rings) {
                if (r.size() < 3)
                    continue;
                Unwrap(r);
                items.push_back({Densify(r), AbsArea(r), &c});
            }
        std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) { return a.Area > b.Area; });
        int64_t total = 0;
        for (const Item& it : items)
            AddPolygon(layer, pres, ToMinutes(it.R), it.C->Name, it.C->ID, total);
        layer->SaveToFile(outDir + "02-countries.lyr");
        std::printf("02-countries.lyr: %d polygons, %lld points\n", layer->ObjectCount(), static_cast<long long>(total));
    }

    // Time zones: nautical bands, discs for places at sea, then each
    // country's land shared among its own places.
    {
        std::vector<Piece> land = LandPieces(countries);
        // Land and sea are told apart on the rings as the layer stores them
        // (whole minutes), by the core's own hit test, so that a place the
        // rounded coast leaves in the water gets its disc.
        TGlobeContext written;
        TGlobeLayer* shores = written.AddNewLayer("Shores");
        auto* shore = new TPolygonPresenter(shores, "Shore", 1);
        std::map<const TGlobeObject*, Piece*> shoreOf;
        {
            int64_t unused = 0;
            for (Piece& pc : land)
                if (TGeoDataObject* o = AddPolygon(shores, shore, ToMinutes(Densify(pc.R)), "", 0, unused))
                    shoreOf[o] = &pc;
        }
        // The piece each place lies on (the smallest: enclaves lie over
        // their hosts), none at sea.
        std::vector<Piece*> under(places.size(), nullptr);
        for (size_t i = 0; i < places.size(); ++i) {
            const TGlobeObject* hit =
                shores->ObjectAtLL(DecimalToGlobeUnits(places[i].Lon), DecimalToGlobeUnits(places[i].Lat));
            under[i] = hit ? shoreOf[hit] : nullptr;
        }
        // The map's country of each place: the one most places of its
        // country's name lie on (the two sources name countries differently).
        const size_t noCountry = countries.size();
        std::map<std::string, std::map<size_t, int>> votes;
        for (size_t i = 0; i < places.size(); ++i)
            if (under[i])
                ++votes[places[i].Country][under[i]->Country];
        std::map<std::string, size_t> countryOf;
        for (const auto& [name, v] : votes)
            countryOf[name] = std::max_element(v.begin(), v.end(), [](const auto& a, const auto& b) {
                                  return a.second < b.second;
                              })->first;
        std::vector<size_t> home(places.size(), noCountry);
        for (size_t i = 0; i < places.size(); ++i) {
            const auto it = countryOf.find(places[i].Country);
            home[i] = it != countryOf.end() ? it->second : under[i] ? under[i]->Country : noCountry;
        }
        // The piece of its own country that each place helps share out: the
        // one it lies on, or for a port the coarse coast leaves in the water
        // the nearest within half a degree. A town that lies on a
        // neighbour's land shares out none (it gets a spot of its own).
        std::vector<Piece*> own(places.size(), nullptr);
        std::vector<size_t> atSea;
        for (size_t i = 0; i < places.size(); ++i) {
            const Place& pl = places[i];
            if (under[i]) {
                if (under[i]->Country == home[i])
                    own[i] = under[i];
                continue;
            }
            atSea.push_back(i);
            double nearestD = 0.5;
            const double c = std::max(0.05, std::cos(pl.Lat * M_PI / 180));
            for (Piece& pc : land) {
                if (pc.Country != home[i] || pl.Lon < pc.MinX - nearestD / c || pl.Lon > pc.MaxX + nearestD / c ||
                    pl.Lat < pc.MinY - nearestD || pl.Lat > pc.MaxY + nearestD)
                    continue;
                for (const P& v : pc.R) {
                    const double d = std::hypot((v.x - pl.Lon) * c, v.y - pl.Lat);
                    if (d < nearestD) {
                        nearestD = d;
                        own[i] = &pc;
                    }
                }
            }
        }
        // A piece no place of its country lies on (an island, a desert) goes
        // to the nearest place of its own country; only where the country
        // has none at all, to the nearest of any.
        std::map<const Piece*, size_t> fallback;
        {
            std::vector<bool> served(land.size());
            for (size_t i = 0; i < places.size(); ++i)
                if (own[i])
                    served[static_cast<size_t>(own[i] - land.data())] = true;
            std::vector<std::vector<size_t>> byCountry(countries.size() + 1);
            for (size_t i = 0; i < places.size(); ++i)
                byCountry[home[i]].push_back(i);
            for (size_t k = 0; k < land.size(); ++k) {
                if (served[k])
                    continue;
                const Piece& pc = land[k];
                const std::vector<size_t>* from = &byCountry[pc.Country];
                std::vector<size_t> all;
                if (from->empty()) {
                    all.resize(places.size());
                    for (size_t i = 0; i < places.size(); ++i)
                        all[i] = i;
                    from = &all;
                }
                size_t best = (*from)[0];
                double bestD = 1e9;
                const size_t step = std::max<size_t>(1, pc.R.size() / 50);
                for (size_t v = 0; v < pc.R.size(); v += step)
                    for (size_t i : *from) {
                        const double d = Haversine(pc.R[v].x, pc.R[v].y, places[i].Lon, places[i].Lat);
                        if (d < bestD) {
                            bestD = d;
                            best = i;
                        }
                    }
                fallback[&pc] = best;
            }
        }
        // The land is first shared out among one place of each offset of a
        // country in every square of two degrees (a zone's principal city
        // first): cells of every town would meet in slivers where towns
        // crowd. A town that those cells give another offset then shares out
        // the land too, round after round, until every town reads its own.
        std::vector<bool> site(places.size());
        {
            std::map<std::tuple<size_t, int, int, double>, size_t> chosen;
            for (size_t i = 0; i < places.size(); ++i) {
                const Place& pl = places[i];
                if (!own[i])
                    continue;
                const auto key = std::make_tuple(home[i], static_cast<int>(std::floor(pl.Lon / 2)),
                                                 static_cast<int>(std::floor(pl.Lat / 2)), pl.Offset);
                const auto it = chosen.find(key);
                if (it == chosen.end())
                    chosen[key] = i;
                else if (pl.Principal && !places[it->second].Principal)
                    it->second = i;
            }
            for (const auto& [key, i] : chosen)
                site[i] = true;
        }
        std::vector<size_t> firstOwn(land.size());
        for (size_t i = places.size(); i-- > 0;)
            if (own[i])
                firstOwn[static_cast<size_t>(own[i] - land.data())] = i;
        std::vector<std::pair<double, double>> discs;
        std::vector<Ring> discRings;
        std::vector<double> discOffsets;
        for (size_t i : atSea) {
            const Place& pl = places[i];
            if (std::find(discs.begin(), discs.end(), std::make_pair(pl.Lon, pl.Lat)) != discs.end())
                continue;
            discs.emplace_back(pl.Lon, pl.Lat);
            Ring r;
            const double rx = 0.25 / std::max(0.05, std::cos(pl.Lat * M_PI / 180));
            for (int k = 0; k < 16; ++k)
                r.push_back({pl.Lon + rx * std::cos(k * M_PI / 8), std::clamp(pl.Lat + 0.25 * std::sin(k * M_PI / 8), -90.0, 90.0)});
            discRings.push_back(std::move(r));
            discOffsets.push_back(pl.Offset);
        }
        std::vector<std::pair<Ring, double>> spotRings;
        // The layer from the sites chosen so far: bands, discs, cells, spots.
        int64_t total = 0;
        auto build = [&](TGlobeContext& g) {
            total = 0;
            TGlobeLayer* layer = g.AddNewLayer("Time Zones");
            auto* undrawn = new TPolygonPresenter(layer, "Undrawn", 1);
            undrawn->PolygonPen.SetPen(0, TPenStyle::psClear, 1);
            undrawn->PolygonBrush.SetBrush(0xFFFFFF, TBrushStyle::bsClear);
            std::map<TColor, TPolygonPresenter*> fills;
            auto fill = [&](double offset) {
                const TColor c = ZoneColour(offset);
                auto& p = fills[c];
                if (!p) {
                    p = new TPolygonPresenter(layer, "Zone " + std::to_string(fills.size()),
                                              static_cast<int16_t>(fills.size() + 1));
                    p->PolygonPen.SetPen(0, TPenStyle::psClear, 1);
                    p->PolygonBrush.SetBrush(c, TBrushStyle::bsSolid);
                }
                return p;
            };
            for (int k = -12; k <= 12; ++k) {
                const double w = std::max(-180.0, k * 15 - 7.5), e = std::min(180.0 - 1.0 / 60, k * 15 + 7.5);
                AddPolygon(layer, undrawn, ToMinutes(Densify({{w, -90}, {e, -90}, {e, 90}, {w, 90}})), std::to_string(k), 0,
                           total);
            }
            for (size_t k = 0; k < discRings.size(); ++k)
                AddPolygon(layer, undrawn, ToMinutes(discRings[k]), OffsetTitle(discOffsets[k]), 0, total);
            std::vector<std::vector<size_t>> sitesOf(land.size());
            for (size_t i = 0; i < places.size(); ++i)
                if (site[i] && own[i])
                    sitesOf[static_cast<size_t>(own[i] - land.data())].push_back(i);
            std::vector<std::pair<std::vector<GlobePoint>, double>> zoneCells;
            for (size_t k = 0; k < land.size(); ++k) {
                Piece& pc = land[k];
                pc.Places = sitesOf[k];
                if (pc.Places.empty()) {
                    // Its towns' squares were given to a town on other land
                    // of the country: one of its own, or the nearest.
                    const auto it = fallback.find(&pc);
                    pc.Places.push_back(it != fallback.end() ? it->second : firstOwn[k]);
                }
                std::vector<std::pair<Ring, double>> cells;
                SplitPiece(pc, places, cells);
                for (auto& [r, offset] : cells)
                    zoneCells.push_back({ToMinutes(Densify(r)), offset});
            }
            NodeRings(zoneCells);
            for (auto& [pts, offset] : zoneCells)
                AddPolygon(layer, fill(offset), pts, OffsetTitle(offset), 0, total);
            for (auto& [r, offset] : spotRings)
                AddPolygon(layer, fill(offset), ToMinutes(r), OffsetTitle(offset), 0, total);
            return layer;
        };
        auto wrongPlaces = [&](TGlobeLayer* layer, bool tell) {
            std::vector<size_t> wrong;
            for (size_t i = 0; i < places.size(); ++i) {
                const Place& pl = places[i];
                const TGlobeObject* o = layer->ObjectAtLL(DecimalToGlobeUnits(pl.Lon), DecimalToGlobeUnits(pl.Lat));
                // On land the town's own pixel is drawn in its zone, not a
                // band's or a disc's (where cells leave a crack on the coast).
                const bool drawn = o && o->Presenter && o->Presenter->Name != "Undrawn";
                if (!o || o->Title != OffsetTitle(pl.Offset) || (under[i] && !drawn)) {
                    if (tell)
                        std::fprintf(stderr, "hx_mklayers: %.4f %.4f (offset %s) answers %s\n", pl.Lon, pl.Lat,
                                     OffsetTitle(pl.Offset).c_str(), o ? o->Title.c_str() : "nothing");
                    wrong.push_back(i);
                }
            }
            return wrong;
        };
        std::vector<size_t> wrong;
        for (int round = 0;; ++round) {
            TGlobeContext g;
            wrong = wrongPlaces(build(g), false);
            size_t added = 0;
            for (size_t i : wrong)
                if (own[i] && !site[i]) {
                    site[i] = true;
                    ++added;
                }
            std::printf("round %d: %zu places read another offset, %zu more share out the land\n", round, wrong.size(),
                        added);
            if (added == 0)
                break;
        }
        // What the cells cannot give (a town on a neighbour's land, or a
        // minute from its own zone's border) gets a spot of its own over
        // them, drawn in its zone's colour.
        for (size_t i : wrong) {
            const Place& pl = places[i];
            // The first of these shapes on the minute grid that holds the
            // place and no town of another offset: a square two minutes
            // wide, the grid square it lies in, a half of that square.
            const double m = 1.0 / 60, cx = std::round(pl.Lon * 60) * m, cy = std::round(pl.Lat * 60) * m;
            const double fx = std::floor(pl.Lon * 60) * m, fy = std::floor(pl.Lat * 60) * m;
            const P a{fx, fy}, b{fx + m, fy}, c{fx + m, fy + m}, d{fx, fy + m};
            const std::vector<Ring> shapes = {
                {{cx - m, cy - m}, {cx + m, cy - m}, {cx + m, cy + m}, {cx - m, cy + m}},
                {a, b, c, d}, {a, b, c}, {a, c, d}, {a, b, d}, {b, c, d}};
            bool placed = false;
            for (const Ring& r : shapes) {
                TGlobeContext scratch;
                TGlobeLayer* one = scratch.AddNewLayer("");
                int64_t unused = 0;
                AddPolygon(one, new TPolygonPresenter(one, "", 1), ToMinutes(r), "", 0, unused);
                auto holds = [&](const Place& q) {
                    return one->ObjectAtLL(DecimalToGlobeUnits(q.Lon), DecimalToGlobeUnits(q.Lat)) != nullptr;
                };
                if (!holds(pl))
                    continue;
                bool clear = true;
                for (const Place& q : places)
                    clear = clear && (q.Offset == pl.Offset || std::fabs(q.Lat - pl.Lat) > 0.1 ||
                                      std::fabs(q.Lon - pl.Lon) > 0.1 || !holds(q));
                if (!clear)
                    continue;
                spotRings.push_back({r, pl.Offset});
                placed = true;
                break;
            }
            if (!placed)
                std::fprintf(stderr, "hx_mklayers: no spot for %.4f %.4f\n", pl.Lon, pl.Lat);
        }
        {
            TGlobeContext g;
            TGlobeLayer* layer = build(g);
            layer->SaveToFile(outDir + "01-timezones.lyr");
            std::printf("01-timezones.lyr: %d polygons (%zu discs, %zu spots), %lld points\n", layer->ObjectCount(),
                        discs.size(), spotRings.size(), static_cast<long long>(total));
        }
        // Read back as the program reads it: every place must answer its own
        // offset.
        TGlobeContext check;
        TGlobeLayer* back = check.AddNewLayer("");
        back->SetFilename(outDir + "01-timezones.lyr");
        if (const size_t n = wrongPlaces(back, true).size())
            Die(std::to_string(n) + " places answer another offset");
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Main(argc, argv);
    } catch (const std::exception& e) {
        Die(e.what());
    }
}
