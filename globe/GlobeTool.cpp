#include "globe/GlobeTool.h"

#include <QGuiApplication>
#include <QImage>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "globe/GlobeDraw.h"
#include "globe/core/GlobeGeodesy.h"

namespace {
bool Num(const std::string& s, long double& v) {
    char* end = nullptr;
    v = std::strtold(s.c_str(), &end);
    return !s.empty() && end && *end == 0 && std::isfinite(v);
}

// Text needs a GUI application; nothing is shown. It lives as long as the
// command, so it goes before anything static.
struct TToolApp {
    std::unique_ptr<QGuiApplication> App;
    TToolApp() {
        if (QCoreApplication::instance())
            return;
        if (!std::getenv("QT_QPA_PLATFORM"))
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "hx_globetool";
        static char* argv[] = {name, nullptr};
        App = std::make_unique<QGuiApplication>(argc, argv);
    }
};

int Fail(const std::string& msg) {
    std::fprintf(stderr, "hx_globetool: %s\n", msg.c_str());
    return 1;
}

bool ParseUtc(const std::string& s, double& t) {
    int y, mo, d, h, mi, sec;
    char z = 0;
    if (std::sscanf(s.c_str(), "%d-%d-%dT%d:%d:%d%c", &y, &mo, &d, &h, &mi, &sec, &z) != 7 || z != 'Z' || mo < 1 ||
        mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59 || sec < 0 || sec > 60)
        return false;
    t = static_cast<double>(GlobeDayNumber(y, mo, d)) + (h * 3600 + mi * 60 + sec) / 86400.0;
    return true;
}
}  // namespace

bool WriteBmp8(const std::string& path, int w, int h, const std::vector<uint8_t>& topDown, const uint32_t* rgb) {
    const int stride = (w * 8 + 31) / 32 * 4;
    const uint32_t off = 14 + 40 + 1024, image = static_cast<uint32_t>(stride) * static_cast<uint32_t>(h);
    std::string out;
    auto u16 = [&](uint32_t v) { out += static_cast<char>(v & 0xFF); out += static_cast<char>((v >> 8) & 0xFF); };
    auto u32 = [&](uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); };
    out += "BM";
    u32(off + image);
    u32(0);
    u32(off);
    u32(40);
    u32(static_cast<uint32_t>(w));
    u32(static_cast<uint32_t>(h));
    u16(1);
    u16(8);
    u32(0);
    u32(image);
    u32(2835);
    u32(2835);
    u32(256);
    u32(0);
    for (int i = 0; i < 256; ++i) {
        out += static_cast<char>(rgb[i] & 0xFF);
        out += static_cast<char>((rgb[i] >> 8) & 0xFF);
        out += static_cast<char>((rgb[i] >> 16) & 0xFF);
        out += '\0';
    }
    for (int r = h - 1; r >= 0; --r) {
        out.append(reinterpret_cast<const char*>(topDown.data()) + static_cast<size_t>(r) * static_cast<size_t>(w),
                   static_cast<size_t>(w));
        out.append(static_cast<size_t>(stride - w), '\0');
    }
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(out.data(), static_cast<std::streamsize>(out.size()));
    return static_cast<bool>(f);
}

int GlobeToolRender(const std::vector<std::string>& a) {
    if (a.size() < 7)
        return Fail("render: sphere|cartesian|mercator W H S CLAT CLON OUT.png [--shadow UTC] [--texture BMP] "
                    "[--grid] LAYER...");
    long double w, h, s, clat, clon;
    if (!Num(a[1], w) || !Num(a[2], h) || !Num(a[3], s) || !Num(a[4], clat) || !Num(a[5], clon) || w < 1 || h < 1 ||
        w > 20000 || h > 20000 || s < 0)
        return Fail("render: bad view numbers");
    TGlobeProjection prj;
    if (a[0] == "sphere")
        prj = TGlobeProjection::gpSpherical;
    else if (a[0] == "cartesian")
        prj = TGlobeProjection::gpCartesian;
    else if (a[0] == "mercator")
        prj = TGlobeProjection::gpMercator;
    else
        return Fail("render: unknown projection " + a[0]);
    const std::string out = a[6];
    bool grid = false, shadow = false;
    double utc = 0;
    std::string texture;
    std::vector<std::string> layers;
    for (size_t i = 7; i < a.size(); ++i) {
        if (a[i] == "--grid") {
            grid = true;
        } else if (a[i] == "--shadow" && i + 1 < a.size()) {
            if (!ParseUtc(a[++i], utc))
                return Fail("render: bad time " + a[i]);
            shadow = true;
        } else if (a[i] == "--texture" && i + 1 < a.size()) {
            texture = a[++i];
        } else {
            layers.push_back(a[i]);
        }
    }
    TToolApp app;
    TGlobeDrawContext g(static_cast<int32_t>(w), static_cast<int32_t>(h));
    g.SetProjection(prj);
    g.SetScaleFactor(s);
    GlobePoint c;
    DecimalLLToPoint(c, clon, clat);
    g.LocateToLL(c.X, c.Y);
    g.DrawGrid = grid ? TDrawGrid::dgBehind : TDrawGrid::dgNone;
    if (!texture.empty()) {
        if (!g.SetTextureFilename(texture))
            return Fail("render: " + texture + ": " + g.Texture.Error);
        g.SetTextureBackground(true);
    }
    for (const std::string& path : layers)
        g.AddNewLayer("")->SetFilename(path);
    g.GlobeCanvas.BeginOffscreen();
    g.RenderAll();
    g.GlobeCanvas.EndOffscreen();
    if (shadow)
        g.RenderShadow(0, 0xC0C0C0, 2, utc);  // as the map window draws it
    if (!g.GlobeCanvas.Image.save(QString::fromStdString(out), "PNG"))
        return Fail("render: cannot write " + out);
    return 0;
}

int GlobeToolTexture(const std::vector<std::string>& a) {
    long double w, h;
    if (a.size() != 4 || !Num(a[1], w) || !Num(a[2], h) || w < 2 || h < 2 || w > 20000 || h > 20000)
        return Fail("texture: LAYER W H OUT.bmp");
    TToolApp app;
    const int32_t W = static_cast<int32_t>(w), H = static_cast<int32_t>(h);
    // The land mask on a plate carree of the whole world, then stretched to W x H.
    TGlobeDrawContext g(W, std::max(1, W / 2));
    g.SetProjection(TGlobeProjection::gpCartesian);
    g.SetScaleFactor(static_cast<extended>(W) / GU_360);
    g.Model->XOrigin = W / 2;
    g.Model->YOrigin = W / 4;
    g.DrawGrid = TDrawGrid::dgNone;
    g.Color = 0;
    g.GlobeColor = 0;
    g.OnRenderObject = [&g](TGlobeObject* o, bool& done) {
        done = true;
        auto* geo = dynamic_cast<TGeoDataObject*>(o);
        if (!geo || geo->Count() < 3 || dynamic_cast<TPolylinePresenter*>(geo->Presenter))
            return;
        g.Canvas->SelectPen(0xFFFFFF, TPenStyle::psSolid, 1);
        g.Canvas->SelectBrush(0xFFFFFF, TBrushStyle::bsSolid);
        g.RenderPolygon(*geo);
    };
    g.AddNewLayer("")->SetFilename(a[0]);
    g.GlobeCanvas.BeginOffscreen();
    g.RenderAll();
    g.GlobeCanvas.EndOffscreen();
    const QImage mask = g.GlobeCanvas.Image.scaled(W, H, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    // Index 0 is the sea; 1..255 land from green at the equator to white at the poles.
    uint32_t rgb[256];
    rgb[0] = 0x1E3C78;
    for (int i = 1; i < 256; ++i) {
        const double t = (i - 1) / 254.0;
        const int r = static_cast<int>(40 + t * 215), gr = static_cast<int>(130 + t * 125), b = static_cast<int>(40 + t * 215);
        rgb[i] = (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(gr) << 8) | static_cast<uint32_t>(b);
    }
    std::vector<uint8_t> idx(static_cast<size_t>(W) * static_cast<size_t>(H));
    for (int y = 0; y < H; ++y) {
        const double lat = 90.0 - (y + 0.5) * 180.0 / H;
        const uint8_t land = static_cast<uint8_t>(1 + std::lround(std::fabs(lat) / 90.0 * 254));
        const uchar* row = mask.constScanLine(y);
        for (int x = 0; x < W; ++x)
            idx[static_cast<size_t>(y) * static_cast<size_t>(W) + static_cast<size_t>(x)] = row[3 * x] > 127 ? land : 0;
    }
    if (!WriteBmp8(a[3], W, H, idx, rgb))
        return Fail("texture: cannot write " + a[3]);
    return 0;
}
