#pragma once
// The three projection models: orthographic globe, longitude/latitude grid
// and Mercator. They turn GU points into canvas pixels and back, writing into
// the control's screen-point buffer.
#include <vector>

#include "globe/core/GlobeUnits.h"

class TGlobeContext;
class TGeoDataObject;
class TGlobeObject;

enum class TYAxisChanges : uint8_t { yaXOrigin, yaCentralMeridian };
enum class TXAxisChanges : uint8_t { xaYOrigin, xaCentralParallel };

struct TModelExtent {
    int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};

class TPrjModel {
public:
    virtual ~TPrjModel() = default;
    virtual const char* ClassName() const = 0;

    int32_t XOrigin = 0, YOrigin = 0;
    extended ScaleFactor = 0;
    int32_t XRotation = 0, YRotation = 0, ZRotation = 0;
    TYAxisChanges YAxisChanges = TYAxisChanges::yaCentralMeridian;
    TXAxisChanges XAxisChanges = TXAxisChanges::xaYOrigin;
    uint8_t ModelFlags = 0;
    TGlobeContext* Globe = nullptr;
    TModelExtent ModelExtent;
    int32_t SegmentsPerMeridian = 0, SegmentsPerParallel = 0;
    int32_t CentralMeridian = 0, CentralParallel = 0, FirstParallel = 0, SecondParallel = 0;

    enum ParamIndex { pXRotation = 0, pYRotation, pZRotation, pCentralMeridian, pFirstParallel,
                      pSecondParallel, pCentralParallel };
    virtual void SetParameter(int index, int32_t value);
    // Values that are not positive and finite are refused: a scale of 0
    // would poison every later projection.
    virtual void SetScaleFactor(extended value);
    virtual bool ExtentVisible(const GlobeExtent& e, class TGlobeObject* obj, uint8_t& clipCode);
    virtual int ProjectChain(TGeoDataObject& obj);
    bool ProjectLL(int64_t x, int64_t y, int index) { return ProjectPoint(MakePoint(x, y), index); }
    virtual bool ProjectPoint(const GlobePoint& p, int index) = 0;
    // ProjectPoint of a point of the object, p being the point held in the
    // object's slot-th kept vector (the globe keeps its 3-D vector there).
    virtual bool ProjectKept(TGlobeObject& obj, size_t slot, const GlobePoint& p, int index) {
        (void)obj;
        (void)slot;
        return ProjectPoint(p, index);
    }
    virtual bool XYToLL(int32_t px, int32_t py, int index) = 0;
    virtual void PaintBackground();
    virtual void PaintGraticule();
    bool IsSpherical() const { return (ModelFlags & 0x01) != 0; }

protected:
    // The subclass sets ModelExtent and ModelFlags first.
    void Init(TGlobeContext* globe);
    // obj given: its samples are taken from slot on (slot moves past them).
    int ExtentSamples(int64_t l, int64_t t, int64_t r, int64_t b, int& visible, TGlobeObject* obj, size_t& slot);
    virtual bool ProjectSample(int64_t x, int64_t y, int index, TGlobeObject* obj, size_t slot) {
        (void)obj;
        (void)slot;
        return ProjectLL(x, y, index);
    }
};

class TSphericalPrj : public TPrjModel {
public:
    explicit TSphericalPrj(TGlobeContext* globe);
    const char* ClassName() const override { return "TSphericalPrj"; }
    void SetParameter(int index, int32_t value) override;
    void SetScaleFactor(extended value) override;
    int ProjectChain(TGeoDataObject& obj) override;
    bool ProjectPoint(const GlobePoint& p, int index) override;
    bool ProjectKept(TGlobeObject& obj, size_t slot, const GlobePoint& p, int index) override;
    bool XYToLL(int32_t px, int32_t py, int index) override;
    void PaintBackground() override;

    double M[9] = {};
    double T[9] = {};
    extended RadiusPixels = 0, RadiusPixels2 = 0;

private:
    bool Mirror = false;
    // The points each frame turns to vectors (sample points of extents, the
    // graticule) are mostly the same from frame to frame: a memo spares
    // their trigonometry. Same results as PointTo3D.
    struct TVectorSlot {
        GlobePoint Key, Value;
        bool Used = false;
    };
    std::vector<TVectorSlot> VectorMemo;
    GlobePoint Vector(const GlobePoint& p);
    bool ProjectVector(const GlobePoint& v, int index);
    bool ProjectSample(int64_t x, int64_t y, int index, TGlobeObject* obj, size_t slot) override;
    void TextureTriangle(const double* a, const double* b, const double* c, int depth);
    GlobePoint VectorToLL(const double* v) const;
};

class TCartesianPrj : public TPrjModel {
public:
    explicit TCartesianPrj(TGlobeContext* globe);
    const char* ClassName() const override { return "TCartesianPrj"; }
    void SetParameter(int index, int32_t value) override;
    int ProjectChain(TGeoDataObject& obj) override;
    bool ProjectPoint(const GlobePoint& p, int index) override;
    bool XYToLL(int32_t px, int32_t py, int index) override;

protected:
    TCartesianPrj() = default;
};

class TMercatorPrj : public TCartesianPrj {
public:
    explicit TMercatorPrj(TGlobeContext* globe);
    const char* ClassName() const override { return "TMercatorPrj"; }
    int ProjectChain(TGeoDataObject& obj) override;
    bool ProjectPoint(const GlobePoint& p, int index) override;
    bool ProjectKept(TGlobeObject& obj, size_t slot, const GlobePoint& p, int index) override;
    bool XYToLL(int32_t px, int32_t py, int index) override;

private:
    bool ProjectSample(int64_t x, int64_t y, int index, TGlobeObject* obj, size_t slot) override;
    // ProjectPoint with the point's stretched latitude kept in the object's
    // slot-th sample or point entry.
    bool ProjectStretched(const GlobePoint& p, TGlobeObject& obj, bool sample, size_t slot, int index);
    // A stretched latitude depends on the latitude alone, and the shipped
    // layers use a few thousand of them: a direct-mapped memo keeps their
    // long double logarithm and tangent out of every frame.
    struct TStretchSlot {
        int32_t Y = 0;
        bool Used = false;
        extended Value = 0;
        double ValueD = 0;  // Value as the double arithmetic takes it
    };
    std::vector<TStretchSlot> StretchMemo;
    extended Stretch(int32_t y);
    const TStretchSlot& StretchSlot(int32_t y);
};
