#pragma once
// The globe's drawing, independent of any window: the surface, the world
// texture, chains cut at the edge meridian of flat maps, the graticule, the
// day/night shadow and one whole rebuild of the picture.
#include <QColor>

#include <memory>
#include <string>
#include <vector>

#include "globe/GlobeCanvas.h"
#include "globe/core/GlobeContext.h"

enum class TDrawGrid : uint8_t { dgNone, dgBehind, dgInFront };

class TGlobeDrawContext : public TGlobeContext {
public:
    TGlobeDrawContext(int32_t width = 150, int32_t height = 150);
    ~TGlobeDrawContext() override;

    TGlobeCanvas GlobeCanvas;
    TTextureData Texture;

    // The canvas takes a new size; the view keeps its centre and its scale
    // keeps the ratio to the fitting scale that the user's last zoom or fit
    // had, so a fitted globe stays whole and fitted, and a size had before
    // gives its scale back exactly. False (nothing changes) for a zero
    // argument.
    bool SetCanvasSize(int32_t w, int32_t h, int32_t ppi, bool image = true);

    // Chains, as the presenters and the graticule call them.
    void RenderPolyline(TGeoDataObject& o) override;
    void RenderPolygon(TGeoDataObject& o) override;
    void RenderLine(const GlobePoint& a, const GlobePoint& b, int segments) override;
    // Night and twilight over the earth's pixels; answers the sub-solar point.
    GlobePoint RenderShadow(TColor night, TColor twilight, int step, double utcDateTime);

    // One rebuild of the picture: background, layers and grid.
    virtual void RenderBackground();
    virtual void RenderGraticule();
    void RenderAll();
    // The layers and the grid without the background (also for printing).
    void RenderLayersPass();
    // OnRender, the animated layers, OnPaint.
    void RenderAnimatedLayers();
    // The animated layers alone, as every paint draws them over the picture.
    void DrawAnimatedLayers();
    std::function<void()> OnRender, OnPaintGraticule, OnPaint;

    bool SetTextureFilename(const std::string& name);
    std::string TextureFilename;
    void SetTextureBackground(bool on);

    // Drawing properties; each setter redraws (as does a change of GridPen
    // and of the selected and transparent pens and brushes).
    void SetColor(TColor v);
    void SetGlobeColor(TColor v);
    void SetDrawGrid(TDrawGrid v);
    void SetTransparentGlobe(bool v);
    void SetBackground(const QImage& v);
    TColor Color = 0, GlobeColor = 0xFFFF00;
    TGlobePen GridPen{0xC0C0C0, TPenStyle::psSolid, 1};
    TDrawGrid DrawGrid = TDrawGrid::dgBehind;
    bool TransparentGlobe = false;
    QImage Background;  // tiled behind the globe when not empty
    bool TransparentBackground = false;  // Background is what lies behind the window

    std::unique_ptr<IGlobePicture> LoadPicture(const std::string& name, const std::string& folder) override;
    std::unique_ptr<IGlobeTexture> MakeTexture() override { return std::make_unique<TTextureData>(); }
    bool IsPrinting() const override { return false; }

    int RebuildCount = 0;

private:
    // The view as the user left it (scale, origin and canvas size), and the
    // view the last resize made of it: while the view is still that one,
    // a resize starts from the user's view, never from the last resize.
    struct TResizeReference {
        const TPrjModel* Model = nullptr;
        int32_t Width = 0, Height = 0, XOrigin = 0, YOrigin = 0;
        extended Scale = 0;
        int32_t MadeWidth = 0, MadeHeight = 0, MadeXOrigin = 0, MadeYOrigin = 0;
        extended MadeScale = 0;
    } SizeReference;

protected:
    // Projects and draws one walked run of the chain; answers whether the
    // walk drew anything.
    void WalkChain(const std::vector<GlobePoint>& pts, bool closedPrev);
    int ProjectPoints(const std::vector<GlobePoint>& pts);
    void DrawRun(int n);
};

// A picture file named in a layer: "\" is a folder separator, the name is
// tried against each folder in turn and matched ignoring case.
std::string ResolveGlobeFile(const std::string& name, const std::vector<std::string>& folders);
