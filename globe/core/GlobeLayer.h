#pragma once
// Drawing attributes, presenters, geographic objects, layers and the layer
// file. Everything draws through the control's canvas interface.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "globe/core/GlobeUnits.h"

class TGlobeContext;
class TGlobeLayer;
class TGlobeObject;
class IGlobePicture;
class IGlobeTexture;

using TColor = int32_t;

enum class TPenStyle : uint8_t { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum class TBrushStyle : uint8_t { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };
enum : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
enum class TTitleAlignment : uint8_t { taNone, taCenter, taLeft, taRight, taTopLeft, taTop, taTopRight, taBottomLeft, taBottom, taBottomRight };
enum class TPointPresenterType : uint8_t { ppNone, ppFontSymbol, ppImage, ppDot, ppCircle, ppSquare, ppDiamond,
                                           ppTriangleUp, ppTriangleDown, ppTriangleLeft, ppTriangleRight };

// Object state bits.
enum : uint16_t {
    gsSelected = 0x0001, gsHidden = 0x0002, gsExtentValid = 0x0004, gsChanged = 0x0008, gsSubPixel = 0x0010,
    gsVisible = 0x0020, gsPartHidden = 0x0040, gsPartShown = 0x0080, gsPassesEdge = 0x0100,
    gsCrosses180 = 0x0200, gsCrossesOdd = 0x0400
};

// Bounds-checked reader over one layer file held in memory; the version it
// read belongs to this read only.
class TGlobeReader {
public:
    TGlobeReader(const std::string& data, std::string filename) : Data(data), Filename(std::move(filename)) {}
    uint8_t U8();
    int8_t I8() { return static_cast<int8_t>(U8()); }
    uint16_t U16();
    int16_t I16() { return static_cast<int16_t>(U16()); }
    int32_t I32();
    std::string SStr();  // cp1252 on file, UTF-8 returned
    size_t Remaining() const { return Data.size() - Pos; }
    bool AtEnd() const { return Pos >= Data.size(); }
    // Unexpected end of data, or with what: a value the file may not hold.
    [[noreturn]] void Fail(const char* what = nullptr) const;

    const std::string& Data;
    std::string Filename;
    size_t Pos = 0;
    uint16_t Version = 0x0301;

private:
    void Need(size_t n) const;
};

class TGlobeWriter {
public:
    void U8(uint8_t v) { Out += static_cast<char>(v); }
    void I8(int8_t v) { U8(static_cast<uint8_t>(v)); }
    void U16(uint16_t v);
    void I16(int16_t v) { U16(static_cast<uint16_t>(v)); }
    void I32(int32_t v);
    void SStr(const std::string& utf8);
    std::string Out;
};

class TGlobePersistent {
public:
    explicit TGlobePersistent(TGlobeLayer* layer) : Layer(layer) {}
    virtual ~TGlobePersistent() = default;
    TGlobePersistent(const TGlobePersistent&) = delete;
    TGlobePersistent& operator=(const TGlobePersistent&) = delete;
    virtual const char* ClassName() const = 0;
    virtual void WriteToStream(TGlobeWriter&) {}
    virtual void ReadFromStream(TGlobeReader&) {}
    virtual void Assign(const TGlobePersistent&) {}
    TGlobeContext* Globe() const;
    TGlobeLayer* Layer;
};

class TGlobeAttribute : public TGlobePersistent {
public:
    using TGlobePersistent::TGlobePersistent;
    ~TGlobeAttribute() override { ReleaseHandle(0); }
    virtual void CreateHandle();
    virtual void ReleaseHandle(int stockIndex);
    virtual bool SameAs(const TGlobeAttribute& other) const = 0;
    virtual void SelectInto(bool selected) = 0;
    int Handle = 0;  // a token of the made drawing object, 0 none
    // Told after a pen or brush value changes (the control's own pens redraw).
    std::function<void()> OnChange;

protected:
    void Remake() {
        if (Handle)
            CreateHandle();
        Changed();
    }
    void Changed() {
        if (OnChange)
            OnChange();
    }
};

class TGlobePen : public TGlobeAttribute {
public:
    explicit TGlobePen(TGlobeLayer* layer);
    TGlobePen(TColor color, TPenStyle style, uint8_t width);
    const char* ClassName() const override { return "TGlobePen"; }
    void SetPenColor(TColor v) { PenColor = v; Remake(); }
    void SetPenStyle(TPenStyle v) { PenStyle = v; Remake(); }
    void SetPenWidth(uint8_t v) { PenWidth = v; Remake(); }
    void SetPen(TColor c, TPenStyle s, uint8_t w);
    bool SameAs(const TGlobeAttribute& other) const override;
    void SelectInto(bool selected) override;
    void Assign(const TGlobePersistent& src) override;
    void WriteToStream(TGlobeWriter& w) override;
    void ReadFromStream(TGlobeReader& r) override;
    TColor PenColor = 0;
    TPenStyle PenStyle = TPenStyle::psSolid;
    uint8_t PenWidth = 1;
};

class TGlobeBrush : public TGlobeAttribute {
public:
    explicit TGlobeBrush(TGlobeLayer* layer);
    TGlobeBrush(TColor color, TBrushStyle style);
    const char* ClassName() const override { return "TGlobeBrush"; }
    void SetBrushColor(TColor v) { BrushColor = v; Remake(); }
    void SetBrushStyle(TBrushStyle v) { BrushStyle = v; Remake(); }
    void SetBrush(TColor c, TBrushStyle s);
    bool SameAs(const TGlobeAttribute& other) const override;
    void SelectInto(bool selected) override;
    void Assign(const TGlobePersistent& src) override;
    void WriteToStream(TGlobeWriter& w) override;
    void ReadFromStream(TGlobeReader& r) override;
    TColor BrushColor = 0xFFFFFF;
    TBrushStyle BrushStyle = TBrushStyle::bsSolid;
};

class TGlobeFont : public TGlobeAttribute {
public:
    explicit TGlobeFont(TGlobeLayer* layer, bool titleDefault = false);
    TGlobeFont(const std::string& name, TColor color, TGlobeUnits unit, int32_t size, int32_t angle, uint8_t style);
    const char* ClassName() const override { return "TGlobeFont"; }
    void SetFontUnit(TGlobeUnits v) { FontUnit = v; ReleaseHandle(0); }
    void SetFontColor(TColor v) { FontColor = v; ReleaseHandle(0); }
    void SetFontSize(int32_t v) { FontSize = v; ReleaseHandle(0); }
    void SetFontAngle(int32_t v) { FontAngle = v; ReleaseHandle(0); }
    void SetFontName(const std::string& v) { FontName = v; ReleaseHandle(0); }
    void SetFontStyle(uint8_t v) { FontStyle = v; }
    void CreateHandle() override;
    int32_t PixelHeight() const;
    bool SameAs(const TGlobeAttribute& other) const override;
    void SelectInto(bool selected) override;
    void Assign(const TGlobePersistent& src) override;
    void WriteToStream(TGlobeWriter& w) override;
    void ReadFromStream(TGlobeReader& r) override;
    TGlobeUnits FontUnit = TGlobeUnits::Pixel;
    TColor FontColor = 0;
    int32_t FontSize = 9;
    int32_t FontAngle = 0;
    uint8_t FontStyle = 0;
    std::string FontName = "Arial";
};

class TGlobePresenter : public TGlobePersistent {
public:
    // Attaches to the layer's presenter list; an empty name or a FeatureID
    // of 0 is made from the list position.
    TGlobePresenter(TGlobeLayer* layer, const std::string& name, int16_t featureID, const char* className);
    void Assign(const TGlobePersistent& src) override;
    void WriteToStream(TGlobeWriter& w) override;
    void ReadFromStream(TGlobeReader& r) override;
    virtual void Delete();
    // k: the object's extent-test answer (1..3).
    virtual bool HitTest(TGlobeObject& obj, const GlobePoint& p, int k);
    virtual void AdjustExtent(TGlobeObject& obj);
    virtual void Render(TGlobeObject& obj);
    virtual bool CanPresent(TGlobeObject&) { return true; }
    // How far outside the extent a hit may lie: a line is hit within a pixel.
    virtual int32_t HitMargin() const { return 0; }
    // Pixels from an object's point to the edge of the marker drawn there.
    virtual int32_t MarkerRadius() const { return 0; }
    void DrawTitles(TGlobeLayer& layer);

    int16_t FeatureID = 0;
    std::string Name;
    TGlobeFont TitleFont;
    TTitleAlignment TitleAlignment = TTitleAlignment::taNone;
    int16_t TitleOffset = 0;
    bool InUse = false;
};

class TPointPresenter : public TGlobePresenter {
public:
    explicit TPointPresenter(TGlobeLayer* layer, const std::string& name = "", int16_t featureID = 0);
    ~TPointPresenter() override;
    const char* ClassName() const override { return "TPointPresenter"; }
    void Assign(const TGlobePersistent& src) override;
    void WriteToStream(TGlobeWriter& w) override;
    void ReadFromStream(TGlobeReader& r) override;
    bool HitTest(TGlobeObject& obj, const GlobePoint& p, int k) override;
    void AdjustExtent(TGlobeObject& obj) override;
    void Render(TGlobeObject& obj) override;
    void SetPointUnit(TGlobeUnits v);
    void SetPointSize(int32_t v);
    void SetMaxPointSize(int32_t v);
    void SetImageName(const std::string& n);
    void SetImage(IGlobePicture* pic);
    int32_t PixelSize() const;
    int32_t MarkerRadius() const override;

    TGlobePen PointPen;
    TGlobeBrush PointBrush;
    TGlobeFont PointFont;
    int16_t SymbolIndex = 0;
    TPointPresenterType PointType = TPointPresenterType::ppCircle;
    TGlobeUnits PointUnit = TGlobeUnits::Pixel;
    int32_t PointSize = 6;
    int32_t MaxPointSize = 0;
    IGlobePicture* Image = nullptr;
    std::string ImageName;

private:
    std::unique_ptr<IGlobePicture> OwnImage;
    void ObjectsChanged(bool repaint);
};

// A place as the map marks it: a blue-edged red diamond of pixelSize pixels,
// its name below right at titleSize nautical miles.
TPointPresenter* NewPlaceMarker(TGlobeLayer* layer, const std::string& name, int32_t pixelSize,
                                int32_t titleSize);

class TPolylinePresenter : public TGlobePresenter {
public:
    explicit TPolylinePresenter(TGlobeLayer* layer, const std::string& name = "", int16_t featureID = 0);
    const char* ClassName() const override { return "TPolylinePresenter"; }
    void Assign(const TGlobePersistent& src) override;
    void WriteToStream(TGlobeWriter& w) override;
    void ReadFromStream(TGlobeReader& r) override;
    bool HitTest(TGlobeObject& obj, const GlobePoint& p, int k) override;
    int32_t HitMargin() const override;
    void Render(TGlobeObject& obj) override;
    TGlobePen PolylinePen;
};

class TPolygonPresenter : public TGlobePresenter {
public:
    explicit TPolygonPresenter(TGlobeLayer* layer, const std::string& name = "", int16_t featureID = 0);
    const char* ClassName() const override { return "TPolygonPresenter"; }
    void Assign(const TGlobePersistent& src) override;
    void WriteToStream(TGlobeWriter& w) override;
    void ReadFromStream(TGlobeReader& r) override;
    bool HitTest(TGlobeObject& obj, const GlobePoint& p, int k) override;
    void Render(TGlobeObject& obj) override;
    TGlobePen PolygonPen;
    TGlobeBrush PolygonBrush;
};

class TGlobeObject : public TGlobePersistent {
public:
    explicit TGlobeObject(TGlobeLayer* layer);
    ~TGlobeObject() override;
    void Assign(const TGlobePersistent& src) override;
    void WriteToStream(TGlobeWriter& w) override;
    void ReadFromStream(TGlobeReader& r) override;

    void SetPresenter(TGlobePresenter* p);
    void SetSelected(bool v);
    bool Selected() const { return State & gsSelected; }
    void SetHidden(bool v);
    bool Hidden() const { return State & gsHidden; }
    int Index() const;
    void SetIndex(int i);

    virtual void Loaded() {}
    virtual bool IsVisible();
    virtual void SetCount(int32_t) {}
    virtual int32_t Count() const { return 0; }
    virtual void Put(int32_t, const GlobePoint&) {}
    virtual GlobePoint Get(int32_t) const { return {}; }
    virtual void Delete();
    void Changed();
    virtual void RenderObject();
    virtual void MoveBy(int32_t, int32_t) {}
    virtual void RecomputeExtent();
    void DoSelect();
    int ExtentHit(const GlobePoint& p, int32_t margin = 0);
    bool HitTest(const GlobePoint& p);
    virtual GlobePoint Centre();
    void EnsureExtent() {
        if (!(State & gsExtentValid))
            RecomputeExtent();
    }

    TGlobePresenter* Presenter = nullptr;
    std::string Title;
    int32_t ID = 0, RowID = 0;
    double Value = 0;
    GlobeExtent Extent;
    int16_t FeatureID = 0;
    uint8_t ClipCode = 0;
    int32_t ZoomMin = 0, ZoomMax = 0;
    std::unique_ptr<TPoint3DList> Cache;
    // The 3-D vectors the globe last made for this object's extent samples
    // and for its own points, each with the point it was made from: a view
    // change reuses them, a changed point or extent makes its entry anew.
    struct TKeptVector {
        GlobePoint Key, Value;
    };
    std::vector<TKeptVector> SampleVectors, PointVectors;
    uint8_t StreamFlags = 0;
    uint16_t State = 0;
    // As SampleVectors and PointVectors, for the Mercator map: the stretched
    // latitude of each sample and point, with the latitude it was made from;
    // and the chain's, scaled at Scale and rounded, in pixels from the origin
    // (kept until the points or the scale change). Made only when a Mercator
    // map draws the object.
    struct TKeptStretches {
        struct TKeptStretch {
            int32_t Key;
            double Value;
        };
        std::vector<TKeptStretch> Samples, Points;
        std::vector<int32_t> Scaled;
        extended Scale = 0;
    };
    std::unique_ptr<TKeptStretches> Stretches;

protected:
    uint16_t ReadObjectPart(TGlobeReader& r);
    void WriteObjectPart(TGlobeWriter& w, uint8_t flags);
    GlobePoint ReadGlobePoint(TGlobeReader& r, uint8_t flags);
    static void WriteGlobePoint(TGlobeWriter& w, const GlobePoint& p, uint8_t flags);
};

class TGeoDataObject : public TGlobeObject {
public:
    explicit TGeoDataObject(TGlobeLayer* layer);
    const char* ClassName() const override { return "TGeoDataObject"; }
    void Assign(const TGlobePersistent& src) override;
    void WriteToStream(TGlobeWriter& w) override;
    void ReadFromStream(TGlobeReader& r) override;
    bool IsVisible() override;
    void SetCount(int32_t n) override;
    int32_t Count() const override { return static_cast<int32_t>(Points.size()); }
    void Put(int32_t i, const GlobePoint& p) override;
    GlobePoint Get(int32_t i) const override;
    void MoveBy(int32_t dx, int32_t dy) override;
    void RecomputeExtent() override;
    GlobePoint Centre() override;
    int32_t AddPoint(const GlobePoint& p);
    void DeletePoint(int32_t i);
    void SetCapacity(int32_t n);
    int32_t Capacity() const { return Cap; }
    void Grow();
    void ClearPoints();
    std::vector<GlobePoint> Points;

private:
    int32_t Cap = 0;
};

class TSinglePointObject : public TGlobeObject {
public:
    explicit TSinglePointObject(TGlobeLayer* layer);
    const char* ClassName() const override { return "TSinglePointObject"; }
    void Assign(const TGlobePersistent& src) override;
    void WriteToStream(TGlobeWriter& w) override;
    void ReadFromStream(TGlobeReader& r) override;
    bool IsVisible() override;
    int32_t Count() const override { return 1; }
    void Put(int32_t, const GlobePoint& p) override;
    GlobePoint Get(int32_t) const override { return Point; }
    void MoveBy(int32_t dx, int32_t dy) override;
    GlobePoint Point;
};

class TBitmapObject : public TSinglePointObject {
public:
    explicit TBitmapObject(TGlobeLayer* layer);
    ~TBitmapObject() override;
    const char* ClassName() const override { return "TBitmapObject"; }
    void Assign(const TGlobePersistent& src) override;
    void WriteToStream(TGlobeWriter& w) override;
    void ReadFromStream(TGlobeReader& r) override;
    void RecomputeExtent() override;
    void SetBMPFilename(const std::string& n);
    void SetPixelSize(int index, int32_t v);
    void SetTransparentColor(TColor c);
    TColor TransparentColor() const;
    std::unique_ptr<IGlobeTexture> TextureData;
    std::string BMPFilename;
    int32_t GlobeUnitsPerPixel = 90000, GlobeUnitsPerYPixel = 90000;
    int32_t TransparentIndex = -1;
    GlobeExtent LastRect;
};

class TIniFile;

class TGlobeLayer {
public:
    explicit TGlobeLayer(TGlobeContext* globe);
    virtual ~TGlobeLayer();
    TGlobeLayer(const TGlobeLayer&) = delete;
    TGlobeLayer& operator=(const TGlobeLayer&) = delete;

    virtual void LoadFromFile();
    virtual void Clear();
    TGlobeObject* GetObject(int i) const;
    TGlobePresenter* GetPresenter(int i) const;
    int ObjectCount() const { return static_cast<int>(Objects.size()); }
    virtual void Reset();
    virtual void Render();
    virtual void Delete();
    virtual void UpdateVisibility();
    virtual bool IsVisible();
    virtual void RecomputeExtent();
    virtual TGlobeObject* ObjectAtLL(int32_t x, int32_t y);
    virtual TGlobeObject* ObjectAtXY(int32_t px, int32_t py);
    virtual TGlobeObject* FindByTitle(const std::string& title, TGlobeObject* after);
    virtual TGlobeObject* FindByID(int32_t id, TGlobeObject* after);
    virtual TGlobeObject* FindByRowID(int32_t id, TGlobeObject* after);
    virtual void ReadFromStream(TGlobeReader& r);
    virtual void SetFilename(const std::string& n);
    virtual void SaveToFile(const std::string& n);
    virtual void SaveProfile();
    std::string SaveToString();
    void LoadFromString(const std::string& data);

    void SetZoomMin(int32_t v);
    void SetZoomMax(int32_t v);
    void SetEnabled(bool v);
    void SetVisible(bool v);
    void SetAnimated(bool v);
    void SetLoadOnDemand(bool v);
    void SetName(const std::string& v);
    void SetZoomUnits(TGlobeUnits u);
    int Index() const;
    void SetIndex(int i);

    TGlobeContext* Globe;
    GlobeExtent Extent;
    bool Visible = true, Enabled = true, Animated = false, LoadOnDemand = false, Loaded = false;
    bool LoadFailed = false;  // the file did not load; cleared by SetFilename
    int32_t MaxFontHeight = 0, ZoomMin = 0, ZoomMax = 0;
    TGlobeUnits ZoomUnits = TGlobeUnits::NauticalMile;
    std::string Name, Filename, FilePath;
    uint16_t FileVersion = 0;  // version of the file read last into this layer
    std::vector<TGlobeObject*> Objects;
    std::vector<TGlobePresenter*> Presenters;

private:
    void ApplyProfile(TIniFile& ini);
    void ReadFile();
};

TGlobePresenter* FindPresenter(TGlobeLayer* layer, const std::string& name, int16_t featureID);
