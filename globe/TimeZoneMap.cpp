#include "globe/TimeZoneMap.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QMenu>
#include <QTimer>

#include <cstdio>

#include "clockapp/state/ClockState.h"
#include <QLineEdit>

#include "locations/TimeZoneManager.h"
#include "globe/GlobeCanvas.h"
#include "timemodel/HXFiles.h"
#include "timemodel/HXMessageBoxes.h"
#include "ui_FTimeZoneMap.h"

namespace {

QString MenuCaption(const std::string& fileName) {
    // A file name is shown as it is: "&" is no accelerator here.
    return QString::fromStdString(fileName).replace('&', "&&");
}

std::string Fixed2(long double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2Lf", v);
    return buf;
}

// The plotted places: the night shadow goes down first, so that it lies
// over the map but under the markers and their names.
class TLocationsLayer : public TGlobeLayer {
public:
    TLocationsLayer(TGlobeContext* globe, std::function<void()> before) : TGlobeLayer(globe), Before(std::move(before)) {}
    void Render() override {
        if (Before && !Globe->FarSide)
            Before();
        TGlobeLayer::Render();
    }
    std::function<void()> Before;
};

const TGlobeUnits kUnitByTag[] = {TGlobeUnits::Kilometer, TGlobeUnits::NauticalMile, TGlobeUnits::Mile,
                                  TGlobeUnits::Yard,      TGlobeUnits::Foot,         TGlobeUnits::Inch,
                                  TGlobeUnits::Meter,     TGlobeUnits::CentiMeter,   TGlobeUnits::Pixel};

}  // namespace

TFTimeZoneMap::TFTimeZoneMap(TClockState& state, IWindowOpener& windows, QWidget* owner)
    : QMainWindow(owner, Qt::Window), W(state), Windows(windows), ui(new Ui::FTimeZoneMap) {
    ui->setupUi(this);
    setWindowFlags(Qt::Window | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    MainGlobe = ui->MainGlobe;

    FProjectionGroup = new QActionGroup(this);
    for (QAction* a : {ui->miSpherical, ui->miCartesian, ui->miMercator})
        FProjectionGroup->addAction(a);
    FMeasureGroup = new QActionGroup(this);
    for (QAction* a : {ui->miKilometer, ui->miNauticalMile, ui->miMile, ui->miYard, ui->miFoot, ui->miInch,
                       ui->miMetre, ui->miCentimetre, ui->miPixel})
        FMeasureGroup->addAction(a);

    auto on = [this](auto* src, auto signal, void (TFTimeZoneMap::*h)()) {
        connect(src, signal, this, [this, h] { Guard([this, h] { (this->*h)(); }); });
    };
    using M = TFTimeZoneMap;
    on(ui->sbZoomIn, &QToolButton::clicked, &M::sbZoomInClick);
    on(ui->miZoomIn, &QAction::triggered, &M::sbZoomInClick);
    on(ui->sbZoomOut, &QToolButton::clicked, &M::sbZoomOutClick);
    on(ui->miZoomOut, &QAction::triggered, &M::sbZoomOutClick);
    on(ui->sbZoomToFit, &QToolButton::clicked, &M::sbZoomToFitClick);
    on(ui->miZoomToFit, &QAction::triggered, &M::sbZoomToFitClick);
    on(ui->sbShadow, &QToolButton::clicked, &M::sbShadowClick);
    on(ui->miDaylight, &QAction::triggered, &M::sbShadowClick);
    on(ui->sbGoHome, &QToolButton::clicked, &M::GoToCurrentLocation);
    on(ui->sbClear, &QToolButton::clicked, &M::sbClearClick);
    on(ui->miClear, &QAction::triggered, &M::sbClearClick);
    on(ui->sbPlotClocks, &QToolButton::clicked, &M::sbPlotClocksClick);
    on(ui->miPlotClocks, &QAction::triggered, &M::sbPlotClocksClick);
    on(ui->sbPlotKnown, &QToolButton::clicked, &M::sbPlotKnownClick);
    on(ui->miPlotAll, &QAction::triggered, &M::sbPlotKnownClick);
    on(ui->miTools, &QAction::triggered, &M::miToolsClick);
    on(ui->miDetails, &QAction::triggered, &M::miDetailsClick);
    on(ui->smiAutoRefersh, &QAction::triggered, &M::smiAutoRefershClick);
    on(ui->smiUnload, &QAction::triggered, &M::smiUnloadClick);
    on(ui->miZoneLayer, &QMenu::aboutToShow, &M::miZoneLayerClick);
    on(ui->miObjectLayer, &QMenu::aboutToShow, &M::miObjectLayerClick);
    connect(FProjectionGroup, &QActionGroup::triggered, this,
            [this](QAction* a) { Guard([this, a] { cbProjectionChange(a); }); });
    connect(FMeasureGroup, &QActionGroup::triggered, this,
            [this](QAction* a) { Guard([this, a] { ChangeMeasurment(a); }); });

    // The globe's design values.
    MainGlobe->MouseSelectButton = TGlobeMouseButton::mzbNone;
    MainGlobe->SelectedBrush->SetBrush(clNoneColor, TBrushStyle::bsSolid);
    MainGlobe->SelectedPen->SetPen(0x0000FF, TPenStyle::psClear, 1);
    MainGlobe->TransparentBrush->SetBrushColor(0xC0C0C0);
    MainGlobe->TransparentPen->SetPenColor(0x808080);
    MainGlobe->GridPen.SetPenColor(0xC0C0C0);
    MainGlobe->SetGlobeColor(0xFF0000);
    MainGlobe->SetTextureBackground(false);
    MainGlobe->SetRotation(2, DecimalToGlobeUnits(23));
    MainGlobe->SetAltitude(792252657);
    // The read-outs follow the mouse without a button held.
    MainGlobe->viewport()->setMouseTracking(true);
    MainGlobe->OnRender = [this] { Guard([this] { MainGlobeRender(); }); };
    MainGlobe->OnClick = [this] { Guard([this] { MainGlobeClick(); }); };
    MainGlobe->OnMouseMove = [this](Qt::KeyboardModifiers, int x, int y) {
        Guard([this, x, y] { MainGlobeMouseMove(x, y); });
    };
    FormCreate();
}

TFTimeZoneMap::~TFTimeZoneMap() {
    // The globe draws nothing more; its layers go with it.
    MainGlobe->OnRender = nullptr;
    if (auto* l = dynamic_cast<TLocationsLayer*>(LocationsLayer))
        l->Before = nullptr;
    delete ui;
}

void TFTimeZoneMap::Guard(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "horolux map: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "horolux map: unknown error\n");
    }
}

void TFTimeZoneMap::FormCreate() {
    DistanceUnit = TGlobeUnits::Kilometer;
    UnitSuffix = "Km";
    ShadowOn = false;
    CentrePending = true;
    HomeLocation = TTimeLocation();
    TitleFontSize = 30.0;
    ui->smiAutoRefersh->setChecked(W.AutoRefreshMap);
    SetUpLayers();
}

void TFTimeZoneMap::SetUpLayers() {
    ui->miZoneLayer->clear();
    ui->miObjectLayer->clear();
    MainGlobe->Clear();
    MainGlobe->DataDirectory = W.DataDir + "map";
    std::vector<std::string> names;
    ListFiles(MainGlobe->DataDirectory, "*.lyr", names, false);
    for (const std::string& name : names) {
        TGlobeLayer* layer = MainGlobe->AddNewLayer(name);
        try {
            layer->SetFilename(name);
        } catch (const std::exception&) {
            // What a broken file half gave is not shown as if it were whole.
            layer->Clear();
            FailedFiles.push_back(name);
        }
        const int tag = MainGlobe->LayerCount();
        for (auto [menu, zone] : {std::pair{ui->miZoneLayer, true}, std::pair{ui->miObjectLayer, false}}) {
            QAction* a = menu->addAction(MenuCaption(name));
            a->setCheckable(true);
            a->setProperty("Tag", tag);
            connect(a, &QAction::triggered, this, [this, a, zone] {
                Guard([this, a, zone] { zone ? SelectZoneLayer(a) : SelectObjectLayer(a); });
            });
        }
    }
    LocationsLayer = new TLocationsLayer(MainGlobe, [this] { Guard([this] { RenderShadow(); }); });
    LocationsLayer->SetName("Locations");
    LocationsLayer->MaxFontHeight = 15;
    MainGlobe->SetAltitude(0);
    const auto titleSize = static_cast<int32_t>(TitleFontSize);
    LocationPresenter = NewPlaceMarker(LocationsLayer, "LocationPresenter", 10, titleSize);
    KnownPresenter = NewPlaceMarker(LocationsLayer, "KnownPresenter", 4, titleSize);
    CheckLayerItem(W.ZoneLayer, ui->miZoneLayer);
    CheckLayerItem(W.ObjectLayer, ui->miObjectLayer);
}

void TFTimeZoneMap::CheckLayerItem(int& preference, QMenu* menu) {
    const int files = MainGlobe->LayerCount() - 1;
    if (preference < 1 || preference > files) {
        preference = 1;
        return;
    }
    menu->actions().at(preference - 1)->setChecked(true);
}

void TFTimeZoneMap::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    MainGlobe->setVisible(true);
    if (!FailedFiles.empty() && !FFailuresTold) {
        FFailuresTold = true;
        std::string list;
        for (const std::string& f : FailedFiles)
            list += "\n" + f;
        QTimer::singleShot(0, this, [list] { THXMessageBoxes::ShowError("These map layers could not be loaded:" + list); });
    }
}

void TFTimeZoneMap::hideEvent(QHideEvent* e) {
    QMainWindow::hideEvent(e);
    MainGlobe->setVisible(false);
}

void TFTimeZoneMap::closeEvent(QCloseEvent* e) {
    // Hidden, not freed: the layers stay loaded for the next opening.
    e->ignore();
    hide();
}

void TFTimeZoneMap::changeEvent(QEvent* e) {
    QMainWindow::changeEvent(e);
    if (e->type() == QEvent::ActivationChange && isActiveWindow())
        Guard([this] { FormActivate(); });
}

void TFTimeZoneMap::ShowAndRaise() {
    show();
    raise();
    activateWindow();
    Guard([this] { FormActivate(); });
}

void TFTimeZoneMap::Redraw() { MainGlobe->RedrawLayers(); }

void TFTimeZoneMap::FormActivate() {
    MainGlobe->setVisible(true);
    if (!CentrePending)
        return;
    GoToCurrentLocation();
    AddLocation(HomeLocation);
    CentrePending = false;
    RenderSoon();
}

void TFTimeZoneMap::UpdateHomePoint() {
    HomePoint = MakePoint(DecimalToGlobeUnits(-HomeLocation.Longitude), DecimalToGlobeUnits(HomeLocation.Latitude));
}

void TFTimeZoneMap::AddLocation(const TTimeLocation& location, TPointPresenter* presenter) {
    auto* o = new TGeoDataObject(LocationsLayer);
    o->SetPresenter(presenter ? presenter : LocationPresenter);
    o->ID = 0;
    o->Title = location.Name;
    o->AddPoint(MakePoint(DecimalToGlobeUnits(-location.Longitude), DecimalToGlobeUnits(location.Latitude)));
}

void TFTimeZoneMap::GoToCurrentLocation() {
    UpdateHomePoint();
    MainGlobe->LocateToLL(HomePoint.X, HomePoint.Y);
    MainGlobe->SetAltitude(MainGlobe->ToGlobeUnits(2000, TGlobeUnits::Kilometer));
}

void TFTimeZoneMap::sbZoomInClick() { MainGlobe->SetScaleFactor(MainGlobe->ScaleFactor() * 2); }
void TFTimeZoneMap::sbZoomOutClick() { MainGlobe->SetScaleFactor(MainGlobe->ScaleFactor() / 2); }
void TFTimeZoneMap::sbZoomToFitClick() { MainGlobe->SetAltitude(0); }

void TFTimeZoneMap::cbProjectionChange(QAction* sender) {
    const int tag = sender->property("Tag").toInt();
    MainGlobe->SetProjection(tag == 1   ? TGlobeProjection::gpCartesian
                             : tag == 2 ? TGlobeProjection::gpMercator
                                        : TGlobeProjection::gpSpherical);
    sender->setChecked(true);
}

void TFTimeZoneMap::sbShadowClick() {
    ShadowOn = !ShadowOn;
    MainGlobe->RedrawLayers();
}

std::string TFTimeZoneMap::Measure(int32_t gu) const {
    return Fixed2(MainGlobe->FromGlobeUnits(gu, DistanceUnit)) + " " + UnitSuffix;
}

TGlobeLayer* TFTimeZoneMap::LayerOf(int preference) const {
    // A preference written elsewhere may name no layer: nothing to read.
    return preference >= 1 && preference <= MainGlobe->LayerCount() ? MainGlobe->GetLayer(preference - 1) : nullptr;
}

void TFTimeZoneMap::MainGlobeMouseMove(int x, int y) {
    GlobePoint p;
    LastMouseOnEarth = MainGlobe->XYToLL(x, y, p);
    LastMousePoint = p;
    if (!LastMouseOnEarth) {
        // Off the earth there is nothing to read.
        ui->l_Lat->setText("Lat:  --");
        ui->l_Long->setText("Long:  --");
        ui->lDistanceToLocal->setText(QString::fromStdString("Distance from " + HomeLocation.Name + ": --"));
        ui->l_Object->setText("Object: --");
        ui->lZone->setText("Zone: --");
        return;
    }
    ui->l_Lat->setText(QString::fromStdString(FormatLatLong(p.Y, "Lat:  %d.%m.%s.%t%N")));
    ui->l_Long->setText(QString::fromStdString(FormatLatLong(p.X, "Long:  %d.%m.%s.%t%E ")));
    ui->lDistanceToLocal->setText(
        QString::fromStdString("Distance from " + HomeLocation.Name + ": " + Measure(MainGlobe->Distance(p, HomePoint))));
    if (W.ObjectLayer > 0) {
        TGlobeLayer* l = LayerOf(W.ObjectLayer);
        TGlobeObject* o = l ? l->ObjectAtXY(x, y) : nullptr;
        ui->l_Object->setText(QString::fromStdString("Object: " + (o ? o->Title : std::string("--"))));
    }
    if (W.ZoneLayer > 0) {
        TGlobeLayer* l = LayerOf(W.ZoneLayer);
        TGlobeObject* o = l ? l->ObjectAtXY(x, y) : nullptr;
        ui->lZone->setText(QString::fromStdString("Zone: " + (o ? o->Title : std::string("?"))));
    }
}

void TFTimeZoneMap::MainGlobeClick() {
    IMapClickTarget* m = ClickTarget ? ClickTarget() : nullptr;
    if (!m || !m->Showing() || !LastMouseOnEarth)
        return;
    m->ShowLatitude(static_cast<double>(MainGlobe->FromGlobeUnits(LastMousePoint.Y, TGlobeUnits::Degree)));
    m->ShowLongitude(-static_cast<double>(MainGlobe->FromGlobeUnits(LastMousePoint.X, TGlobeUnits::Degree)));
    if (W.ZoneLayer >= 1)
        if (TGlobeLayer* l = LayerOf(W.ZoneLayer))
            // No zone there: the offset field keeps what it had ("?" is no offset).
            if (TGlobeObject* o = l->ObjectAtLL(LastMousePoint.X, LastMousePoint.Y))
                m->SetUTCOffsetText(o->Title);
}

void TFTimeZoneMap::MainGlobeRender() {
    // The shadow is drawn by the Locations layer, under the plotted places.
    ShowAltitude();
}

void TFTimeZoneMap::RenderShadow() {
    // Inside the globe's rebuild, where the picture is open.
    if (ShadowOn)
        MainGlobe->RenderShadow(0, 0xC0C0C0, 2, W.LocalClock.UTC());
}

void TFTimeZoneMap::ShowAltitude() {
    ui->l_Altitude->setText(QString::fromStdString("View Altitude: " + Measure(MainGlobe->Altitude)));
}

void TFTimeZoneMap::RenderSoon() {
    // Outside the globe's rebuild nothing is drawn: the read-out now, the
    // shadow with the next rebuild.
    ShowAltitude();
    MainGlobe->RedrawLayers();
}

void TFTimeZoneMap::sbClearClick() {
    // The objects only: the layer's presenter draws the home location again.
    if (TGlobeObject* s = MainGlobe->SelectedObject(); s && s->Layer == LocationsLayer)
        MainGlobe->SetSelectedObject(nullptr);
    while (LocationsLayer->ObjectCount() > 0)
        LocationsLayer->GetObject(LocationsLayer->ObjectCount() - 1)->Delete();
    UpdateHomePoint();
    AddLocation(HomeLocation);
    MainGlobe->RedrawLayers();
}

void TFTimeZoneMap::sbPlotKnownClick() {
    if (!Windows.ActivateTimeZoneManager())
        return;
    for (const auto& l : W.StandardLocations)
        AddLocation(*l, KnownPresenter);
    UpdateHomePoint();
    MainGlobe->RedrawLayers();
}

void TFTimeZoneMap::sbPlotClocksClick() {
    for (const auto& c : W.Clocks)
        AddLocation(c->Location);
    UpdateHomePoint();
    MainGlobe->RedrawLayers();
}

void TFTimeZoneMap::ChangeMeasurment(QAction* sender) {
    const int tag = sender->property("Tag").toInt();
    if (tag >= 0 && tag < static_cast<int>(std::size(kUnitByTag)))
        DistanceUnit = kUnitByTag[tag];
    sender->setChecked(true);
    UnitSuffix = sender->toolTip().toStdString();
    RenderSoon();
}

void TFTimeZoneMap::miZoneLayerClick() {
    const auto items = ui->miZoneLayer->actions();
    for (int i = 0; i < MainGlobe->LayerCount() - 1 && i < items.size(); ++i)
        items[i]->setChecked(false);
    CheckLayerItem(W.ZoneLayer, ui->miZoneLayer);
}

void TFTimeZoneMap::miObjectLayerClick() {
    const auto items = ui->miObjectLayer->actions();
    for (int i = 0; i < MainGlobe->LayerCount() - 1 && i < items.size(); ++i)
        items[i]->setChecked(false);
    CheckLayerItem(W.ObjectLayer, ui->miObjectLayer);
}

void TFTimeZoneMap::SelectZoneLayer(QAction* sender) { W.ZoneLayer = sender->property("Tag").toInt(); }
void TFTimeZoneMap::SelectObjectLayer(QAction* sender) { W.ObjectLayer = sender->property("Tag").toInt(); }

void TFTimeZoneMap::miToolsClick() { ui->tlbrMainTools->setVisible(ui->miTools->isChecked()); }
void TFTimeZoneMap::miDetailsClick() { ui->pInfoPanel->setVisible(ui->miDetails->isChecked()); }
void TFTimeZoneMap::smiAutoRefershClick() { W.AutoRefreshMap = ui->smiAutoRefersh->isChecked(); }

void TFTimeZoneMap::smiUnloadClick() {
    Windows.ReleaseMapWindow();
    hide();
    deleteLater();
}

namespace {

// The location manager's fields, as a click on the map fills them.
class TManagerClickTarget : public IMapClickTarget {
public:
    explicit TManagerClickTarget(IWindowOpener& windows) : Windows(windows) {}
    TFTimeZoneManager* Manager() {
        return dynamic_cast<TFTimeZoneManager*>(Windows.TimeZoneManager());
    }
    bool Showing() override {
        TFTimeZoneManager* m = Manager();
        return m && m->isVisible();
    }
    void ShowLatitude(double v) override { Manager()->ShowLatitude(v); }
    void ShowLongitude(double v) override { Manager()->ShowLongitude(v); }
    void SetUTCOffsetText(const std::string& t) override {
        if (auto* e = Manager()->findChild<QLineEdit*>("eUTCOffset"))
            e->setText(QString::fromStdString(t));
    }

private:
    IWindowOpener& Windows;
};

}  // namespace

void InstallMapWindow(TClockState& state, const TWindowServices& services) {
    TClockState* s = &state;
    IWindowOpener* windows = &services.Windows;
    services.Factories.SetMapWindowFactory([s, windows](QWidget* owner) -> IMapWindow* {
        auto* map = new TFTimeZoneMap(*s, *windows, owner);
        auto target = std::make_shared<TManagerClickTarget>(*windows);
        map->ClickTarget = [target] { return target.get(); };
        return map;
    });
}
