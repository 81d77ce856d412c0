// Command-line access to the globe core, for tests and for looking at layer
// files: info, rewrite, at, project, unproject, distance, sun; and, with the
// drawing linked in, render and texture.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "globe/core/GlobeContext.h"
#include "globe/core/GlobeGeodesy.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: hx_globetool info FILE | rewrite IN OUT | at FILE LON LAT... |\n"
                 "  project sphere|cartesian|mercator W H S CLAT CLON LON LAT... |\n"
                 "  unproject sphere|cartesian|mercator W H S CLAT CLON PX PY... |\n"
                 "  distance SPHEROID LAT1 LON1 LAT2 LON2 | sun YYYY-MM-DDTHH:MM:SSZ |\n"
                 "  render sphere|cartesian|mercator W H S CLAT CLON OUT.png [--shadow UTC] [--texture BMP]\n"
                 "    [--grid] LAYER... |\n"
                 "  texture LAYER W H OUT.bmp\n");
    return 2;
}

bool Num(const char* s, long double& v) {
    char* end = nullptr;
    v = std::strtold(s, &end);
    return end != s && *end == 0;
}

const char* kSpheroidNames[] = {"Airy1830", "Australian1965", "Bessel1841", "Clarke1866", "Clarke1880",
                                "Everest1830", "GRS1967", "GRS1980", "Helmert1906", "Hough",
                                "International1920", "Krassovsky1940", "SouthAmerican1969", "WGS60",
                                "WGS66", "WGS72", "WGS84"};

TGlobeLayer* Load(TGlobeContext& g, const std::string& path) {
    TGlobeLayer* l = g.AddNewLayer("");
    l->SetFilename(path);
    return l;
}

int Info(const std::string& path) {
    TGlobeContext g;
    TGlobeLayer* l = Load(g, path);
    std::printf("version %X extent %d %d %d %d presenters %d objects %d\n", l->FileVersion, l->Extent.Left,
                l->Extent.Top, l->Extent.Width, l->Extent.Height, static_cast<int>(l->Presenters.size()),
                l->ObjectCount());
    for (TGlobePresenter* p : l->Presenters)
        std::printf("P\t%s\t%s\t%d\n", p->ClassName(), p->Name.c_str(), p->FeatureID);
    for (TGlobeObject* o : l->Objects)
        std::printf("O\t%s\t%s\t%d\t%d\t%d\n", o->ClassName(), o->Title.c_str(), o->ID, o->FeatureID, o->Count());
    return 0;
}

bool SetupView(TGlobeContext& g, char** a) {
    const std::string model = a[0];
    long double w, h, s, clat, clon;
    if (!Num(a[1], w) || !Num(a[2], h) || !Num(a[3], s) || !Num(a[4], clat) || !Num(a[5], clon) || w < 1 || h < 1 ||
        w > 100000 || h > 100000 || s < 0)
        return false;
    g.Resize(static_cast<int32_t>(w), static_cast<int32_t>(h));
    if (model == "sphere")
        g.SetProjection(TGlobeProjection::gpSpherical);
    else if (model == "cartesian")
        g.SetProjection(TGlobeProjection::gpCartesian);
    else if (model == "mercator")
        g.SetProjection(TGlobeProjection::gpMercator);
    else
        return false;
    g.SetScaleFactor(s);
    GlobePoint c;
    DecimalLLToPoint(c, clon, clat);
    g.LocateToLL(c.X, c.Y);
    return true;
}

}  // namespace

// The drawing commands (render, texture), when the Qt drawing is linked in;
// negative: not one of them.
int GlobeToolDrawCommand(int argc, char** argv) __attribute__((weak));

int main(int argc, char** argv) {
    if (argc < 2)
        return Usage();
    if (GlobeToolDrawCommand)
        if (const int rc = GlobeToolDrawCommand(argc, argv); rc >= 0)
            return rc;
    const std::string cmd = argv[1];
    try {
        if (cmd == "info" && argc == 3)
            return Info(argv[2]);
        if (cmd == "rewrite" && argc == 4) {
            TGlobeContext g;
            Load(g, argv[2])->SaveToFile(argv[3]);
            return 0;
        }
        if (cmd == "at" && argc >= 5 && (argc - 3) % 2 == 0) {
            TGlobeContext g;
            Load(g, argv[2]);
            for (int i = 3; i + 1 < argc; i += 2) {
                long double lon, lat;
                if (!Num(argv[i], lon) || !Num(argv[i + 1], lat))
                    return Usage();
                GlobePoint p;
                DecimalLLToPoint(p, lon, lat);
                TGlobeObject* o = g.ObjectAtLL(p.X, p.Y);
                std::printf("%s\n", o ? o->Title.c_str() : "-");
            }
            return 0;
        }
        if ((cmd == "project" || cmd == "unproject") && argc >= 10 && (argc - 8) % 2 == 0) {
            TGlobeContext g;
            if (!SetupView(g, argv + 2))
                return Usage();
            for (int i = 8; i + 1 < argc; i += 2) {
                long double u, v;
                if (!Num(argv[i], u) || !Num(argv[i + 1], v))
                    return Usage();
                if (cmd == "project") {
                    GlobePoint p;
                    DecimalLLToPoint(p, u, v);
                    const bool vis = g.Model->ProjectPoint(p, 0);
                    if (vis || g.Model->IsSpherical())
                        std::printf("%d %d %d\n", g.SP(0).X, g.SP(0).Y, vis ? 1 : 0);
                    else
                        std::printf("- - 0\n");
                } else {
                    GlobePoint p;
                    if (g.XYToLL(static_cast<int32_t>(u), static_cast<int32_t>(v), p))
                        std::printf("%.6f %.6f\n", static_cast<double>(p.X) / GU_DEGREE, static_cast<double>(p.Y) / GU_DEGREE);
                    else
                        std::printf("off\n");
                }
            }
            return 0;
        }
        if (cmd == "distance" && argc == 7) {
            int sph = -1;
            for (int i = 0; i < 17; ++i)
                if (SameTextCI(argv[2], kSpheroidNames[i]))
                    sph = i;
            long double v[4];
            for (int i = 0; i < 4; ++i)
                if (!Num(argv[3 + i], v[i]))
                    return Usage();
            if (sph < 0) {
                std::fprintf(stderr, "hx_globetool: unknown spheroid %s\n", argv[2]);
                return 1;
            }
            GlobePoint a, b;
            DecimalLLToPoint(a, v[1], v[0]);
            DecimalLLToPoint(b, v[3], v[2]);
            const extended gu = GlobeDistanceExact(static_cast<TSpheroid>(sph), a, b);
            std::printf("%.3f\n", static_cast<double>(gu / UnitFactor(TGlobeUnits::Meter)));
            return 0;
        }
        if (cmd == "sun" && argc == 3) {
            int y, mo, d, h, mi, s;
            char z = 0;
            if (std::sscanf(argv[2], "%d-%d-%dT%d:%d:%d%c", &y, &mo, &d, &h, &mi, &s, &z) != 7 || z != 'Z' ||
                mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 60) {
                std::fprintf(stderr, "hx_globetool: bad time %s\n", argv[2]);
                return 1;
            }
            const double t = static_cast<double>(GlobeDayNumber(y, mo, d)) + (h * 3600 + mi * 60 + s) / 86400.0;
            const GlobePoint p = SubSolarPoint(t);
            std::printf("%.6f %.6f\n", static_cast<double>(p.X) / GU_DEGREE, static_cast<double>(p.Y) / GU_DEGREE);
            return 0;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return Usage();
}
