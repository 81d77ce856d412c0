#pragma once
// "World Explorer": the main program's map window. One globe with every layer
// file of the data directory's "map" folder, the places plotted as diamonds,
// read-outs under the mouse, the night shadow, and clicks handed to the
// location manager.
#include <QMainWindow>

#include <functional>
#include <string>
#include <vector>

#include "clockapp/state/WindowServices.h"
#include "globe/GlobeView.h"
#include "timemodel/TimeLocation.h"

class QAction;
class QActionGroup;
class TClockState;
namespace Ui {
class FTimeZoneMap;
}

// Where a click on the map goes: the location manager's position and
// offset fields, while the manager is open.
class IMapClickTarget {
public:
    virtual ~IMapClickTarget() = default;
    virtual bool Showing() = 0;
    virtual void ShowLatitude(double degrees) = 0;
    virtual void ShowLongitude(double degreesWest) = 0;
    virtual void SetUTCOffsetText(const std::string& text) = 0;
};

class TFTimeZoneMap : public QMainWindow, public IMapWindow {
    Q_OBJECT
public:
    TFTimeZoneMap(TClockState& state, IWindowOpener& windows, QWidget* owner);
    ~TFTimeZoneMap() override;

    QWidget* Window() override { return this; }
    void SetHomeLocation(const TTimeLocation& location) override { HomeLocation = location; }
    void SetCentrePending() override { CentrePending = true; }
    void ShowAndRaise() override;
    void Redraw() override;

    // The location manager, when there is one; none: clicks change nothing.
    std::function<IMapClickTarget*()> ClickTarget;

    TGlobeView* MainGlobe = nullptr;
    TTimeLocation HomeLocation;
    GlobePoint HomePoint;
    GlobePoint LastMousePoint;
    bool LastMouseOnEarth = false;
    TGlobeUnits DistanceUnit = TGlobeUnits::Kilometer;
    std::string UnitSuffix = "Km";
    bool ShadowOn = false;
    bool CentrePending = true;
    double TitleFontSize = 30.0;
    TGlobeLayer* LocationsLayer = nullptr;
    TPointPresenter* LocationPresenter = nullptr;
    // "Plot All": the same diamonds, small enough that some tens of
    // thousands of them leave the land they stand on to be seen.
    TPointPresenter* KnownPresenter = nullptr;
    // The layer files that did not load (their layers stay empty).
    std::vector<std::string> FailedFiles;

    void GoToCurrentLocation();
    void sbZoomInClick();
    void sbZoomOutClick();
    void sbZoomToFitClick();
    void sbShadowClick();
    void cbProjectionChange(QAction* sender);
    void ChangeMeasurment(QAction* sender);
    void MainGlobeMouseMove(int x, int y);
    void MainGlobeClick();
    void MainGlobeRender();
    void sbClearClick();
    void sbPlotKnownClick();
    void sbPlotClocksClick();
    void miToolsClick();
    void miDetailsClick();
    void smiAutoRefershClick();
    void smiUnloadClick();
    void miZoneLayerClick();
    void miObjectLayerClick();
    void SelectZoneLayer(QAction* sender);
    void SelectObjectLayer(QAction* sender);

protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    TClockState& W;
    IWindowOpener& Windows;
    Ui::FTimeZoneMap* ui;
    QActionGroup* FProjectionGroup = nullptr;
    QActionGroup* FMeasureGroup = nullptr;
    bool FFailuresTold = false;

    void FormCreate();
    void FormActivate();
    void SetUpLayers();
    void CheckLayerItem(int& preference, QMenu* menu);
    void AddLocation(const TTimeLocation& location, TPointPresenter* presenter = nullptr);
    void UpdateHomePoint();
    void ShowAltitude();
    void RenderShadow();
    TGlobeLayer* LayerOf(int preference) const;
    void RenderSoon();
    std::string Measure(int32_t gu) const;
    // Runs a handler: nothing it throws leaves it.
    void Guard(const std::function<void()>& f);
};

// horolux's map window factory, with clicks going to the location manager.
void InstallMapWindow(TClockState& state, const TWindowServices& services);
