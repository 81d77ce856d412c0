#pragma once
// A canvas that records what is drawn, and small builders for layer files.
#include <string>
#include <vector>

#include "globe/core/GlobeContext.h"

struct TRecordingCanvas : IGlobeCanvas {
    struct Call {
        std::string Op;
        std::vector<TPoint> Pts;
        std::string Text;
    };
    std::vector<Call> Calls;
    void Polygon(const TPoint* p, int n) override { Calls.push_back({"polygon", {p, p + n}, {}}); }
    void Polyline(const TPoint* p, int n) override { Calls.push_back({"polyline", {p, p + n}, {}}); }
    void TextureRect(const GlobeExtent&, const IGlobeTexture*) override { Calls.push_back({"texrect", {}, {}}); }
    void TextureTriangle(const GlobePoint&, const GlobePoint&, const GlobePoint&) override {
        Calls.push_back({"textri", {}, {}});
    }
    void Ellipse(int32_t l, int32_t t, int32_t r, int32_t b) override { Calls.push_back({"ellipse", {{l, t}, {r, b}}, {}}); }
    void DrawTitle(int32_t x, int32_t y, const std::string& s, THAlign h, TVAlign v) override {
        Calls.push_back({"title", {{x, y}, {static_cast<int32_t>(h), static_cast<int32_t>(v)}}, s});
    }
    int Count(const std::string& op) const {
        int n = 0;
        for (const auto& c : Calls)
            n += c.Op == op;
        return n;
    }
};

// Little-endian byte builder for hand-made layer files.
struct TBytes {
    std::string S;
    TBytes& u8(int v) { S += static_cast<char>(v & 0xFF); return *this; }
    TBytes& u16(int v) { return u8(v).u8(v >> 8); }
    TBytes& i32(int64_t v) { return u16(static_cast<int>(v & 0xFFFF)).u16(static_cast<int>((v >> 16) & 0xFFFF)); }
    TBytes& str(const std::string& s) { u8(static_cast<int>(s.size())); S += s; return *this; }
};

inline GlobePoint Deg(double lon, double lat) {
    GlobePoint p;
    DecimalLLToPoint(p, lon, lat);
    return p;
}
