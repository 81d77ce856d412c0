#pragma once
// What projections, presenters and layers need of the globe control, free of
// any window system: scale and canvas size, the screen-point buffer, layers
// and the global layer, selection, the class registry, the profile, events,
// redraw requests, text measuring and the busy cursor. The widget derives
// from it and puts the drawing interface on a real surface.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "globe/core/GlobeLayer.h"
#include "globe/core/GlobeProjection.h"

struct TSize {
    int32_t W = 0, H = 0;
};

class IGlobePicture {
public:
    virtual ~IGlobePicture() = default;
    virtual int32_t Width() const = 0;
    virtual int32_t Height() const = 0;
};

class IGlobeTexture {
public:
    virtual ~IGlobeTexture() = default;
    virtual bool LoadFromFile(const std::string& path) = 0;
    virtual int32_t Width() const = 0;
    virtual int32_t Height() const = 0;
    virtual TColor PaletteColor(int32_t index) const = 0;  // -1 when out of range
    virtual int32_t PaletteCount() const = 0;
    // The palette index a bitmap object leaves unpainted (-1 none).
    virtual void SetTransparentIndex(int32_t) {}
};

enum class THAlign : uint8_t { Left, Center, Right };
enum class TVAlign : uint8_t { Top, Baseline, Bottom };

// The drawing surface. Points are canvas pixels; texture operations take GU.
class IGlobeCanvas {
public:
    virtual ~IGlobeCanvas() = default;
    virtual void Polygon(const TPoint* pts, int n) = 0;
    virtual void Polyline(const TPoint* pts, int n) = 0;
    // The world texture when tex is none, else that picture (a bitmap object).
    virtual void TextureRect(const GlobeExtent& cell, const IGlobeTexture* tex = nullptr) = 0;
    virtual void TextureTriangle(const GlobePoint& a, const GlobePoint& b, const GlobePoint& c) = 0;
    virtual void SelectPen(TColor, TPenStyle, uint8_t) {}
    virtual void SelectBrush(TColor, TBrushStyle) {}
    virtual void SelectFont(const TGlobeFont&, int32_t /*pixelHeight*/, TColor) {}
    virtual void SelectStock() {}
    virtual void Ellipse(int32_t, int32_t, int32_t, int32_t) {}
    virtual void Rectangle(int32_t, int32_t, int32_t, int32_t) {}
    virtual void SetPixel(int32_t, int32_t, TColor) {}
    virtual void TextOut(int32_t, int32_t, const std::string&) {}
    virtual void DrawTitle(int32_t, int32_t, const std::string&, THAlign, TVAlign) {}
    virtual void StretchPicture(const IGlobePicture&, int32_t, int32_t, int32_t, int32_t) {}
    virtual TSize TextExtent(const std::string& text) { return {static_cast<int32_t>(text.size()) * 6, 12}; }
};

enum class TGlobeProjection : uint8_t { gpSpherical, gpCartesian, gpMercator, gpUnknown };

using TGlobeObjectEvent = std::function<void(TGlobeObject*)>;
using TGlobeRenderEvent = std::function<void(TGlobeObject*, bool& done)>;
using TGlobeProgressEvent = std::function<void(int msgType, const std::string& text, bool& abort)>;
using TGlobeFactory = std::function<TGlobePersistent*(TGlobeLayer*)>;

class TGlobeContext {
public:
    TGlobeContext(int32_t width = 150, int32_t height = 150);
    virtual ~TGlobeContext();
    TGlobeContext(const TGlobeContext&) = delete;
    TGlobeContext& operator=(const TGlobeContext&) = delete;

    // Canvas.
    IGlobeCanvas* Canvas = nullptr;  // not owned; none: drawing is skipped
    int32_t CanvasWidth = 150, CanvasHeight = 150;
    int32_t CanvasPPI = 96, ScreenPPI = 96;
    void Resize(int32_t w, int32_t h);

    // The screen-point buffer grows on demand, so a long chain never writes
    // past it.
    std::vector<TPoint> ScreenPoints;
    TPoint& SP(int i) {
        if (static_cast<size_t>(i) >= ScreenPoints.size())
            ScreenPoints.resize(std::max(static_cast<size_t>(i) + 1, ScreenPoints.size() * 2));
        return ScreenPoints[static_cast<size_t>(i)];
    }

    // Projection and scale.
    std::unique_ptr<TPrjModel> Model;
    TGlobeProjection Projection = TGlobeProjection::gpSpherical;
    void SetProjection(TGlobeProjection p);
    void SetProjectionModel(std::unique_ptr<TPrjModel> m);
    extended ScaleFactor() const { return Model->ScaleFactor; }
    void SetScaleFactor(extended v);
    // The scale at which the model's extent just fits a canvas of w x h.
    extended FitScale(int32_t w, int32_t h) const;
    int32_t Altitude = 0;
    void SetAltitude(int32_t a);
    GlobeExtent ViewRect;
    bool XYToLL(int32_t x, int32_t y, GlobePoint& p);
    void LocateToLL(int32_t lon, int32_t lat);
    void LocateToObject(TGlobeObject& o);
    void PanGlobe(int32_t dx, int32_t dy);
    virtual void ViewChanged() { RedrawLayers(); }  // the model's view moved

    // Conversions.
    int32_t ToGlobeUnits(extended value, TGlobeUnits u) const;
    extended FromGlobeUnits(extended value, TGlobeUnits u) const;
    int32_t UnitsToPixels(extended value, TGlobeUnits u) const;
    int32_t MinTextHeight() const { return MulDiv(MinTextHeightStored, CanvasPPI, ScreenPPI); }
    void SetMinTextHeight(int32_t v) {
        if (v != MinTextHeightStored) {
            MinTextHeightStored = v;
            RedrawLayers();
        }
    }
    int32_t MinTextHeightStored = 5;
    // Outcodes of the box around the first count screen points.
    bool BoundsCode(int count, uint8_t& code) const;

    // Layers.
    std::vector<TGlobeLayer*> Layers;  // owned
    TGlobeLayer* GlobalLayer = nullptr;
    TGlobeLayer* AddNewLayer(const std::string& name);
    TGlobeLayer* GetLayer(int i) const;
    int LayerCount() const { return static_cast<int>(Layers.size()); }
    void Clear();
    TGlobeObject* ObjectAtLL(int32_t lon, int32_t lat);
    TGlobeObject* ObjectAtXY(int32_t x, int32_t y);
    TGlobeObject* FindObjectByTitle(const std::string& title, TGlobeObject* after);
    TGlobeObject* FindObjectByID(int32_t id, TGlobeObject* after);
    void RenderLayers();

    // Selection.
    std::vector<TGlobeObject*> Selection;
    TGlobeObject* SelectedObject() const { return Selection.empty() ? nullptr : Selection.back(); }
    void SetSelectedObject(TGlobeObject* o);

    // Registry of classes a layer file may name, sorted ignoring case.
    std::vector<std::pair<std::string, TGlobeFactory>> Registry;
    void RegisterGlobeClass(const std::string& name, TGlobeFactory f);
    const TGlobeFactory* FindClass(const std::string& name) const;

    // Profile and data.
    std::unique_ptr<TIniFile> Profile;
    void OpenProfile(const std::string& path);
    std::string DataDirectory;
    int32_t PeriodicUpdateTime = 0;
    std::function<int64_t()> NowMs;  // milliseconds; steady clock by default
    bool FarSide = false;
    bool Destroying = false;
    bool TextureBackground = false;
    int32_t LongitudeStep = 15, LatitudeStep = 15;
    TSpheroid Spheroid = TSpheroid::WGS84;
    bool ObjectsChangedMark = false, ViewChangedMark = false, LayerListChanged = false;

    // Defaults and selection attributes.
    std::unique_ptr<TGlobePen> DefaultPen, SelectedPen, TransparentPen;
    std::unique_ptr<TGlobeBrush> DefaultBrush, SelectedBrush, TransparentBrush;
    std::unique_ptr<TGlobeFont> DefaultSymbolFont, DefaultTitleFont;

    // Events.
    TGlobeObjectEvent OnObjectCreate, OnObjectFree, OnObjectSelect, OnSelected, OnDeSelected;
    TGlobeRenderEvent OnRenderObject, OnRenderTitle;
    TGlobeProgressEvent OnProgress;
    bool DoProgress(int msgType, const std::string& text);

    // Requests to the window; counted so tests can see them.
    virtual void RedrawLayers() {
        ViewChangedMark = true;
        ++RedrawCount;
    }
    virtual void InvalidateWindow() { ++InvalidateCount; }
    virtual void CopyToWindow() { ++CopyCount; }
    virtual void BeginBusy() { ++BusyDepth; }
    virtual void EndBusy() { --BusyDepth; }
    virtual bool IsPrinting() const { return false; }
    // A picture named in a layer; folder is the layer's own.
    virtual std::unique_ptr<IGlobePicture> LoadPicture(const std::string&, const std::string& /*folder*/) { return nullptr; }
    virtual std::unique_ptr<IGlobeTexture> MakeTexture() { return nullptr; }
    int RedrawCount = 0, InvalidateCount = 0, CopyCount = 0, BusyDepth = 0;
    int MakeHandle() { return ++HandlesMade; }
    int HandlesMade = 0;

    // Chain drawing entries the presenters call.
    virtual void RenderPolyline(TGeoDataObject& o);
    virtual void RenderPolygon(TGeoDataObject& o);
    virtual void RenderLine(const GlobePoint& a, const GlobePoint& b, int segments);

    // Geodesic distance in GU on the current spheroid.
    virtual int32_t Distance(const GlobePoint& a, const GlobePoint& b) const;
};
