// The main window's side of the world map: the one map window it keeps.
#include "clockapp/MainWindow.h"

void TF_clocks::SetMapWindowFactory(TMapWindowFactory factory) { FMapFactory = std::move(factory); }

IMapWindow* TF_clocks::MapWindow() const { return FMapWindowWidget ? FMapWindow : nullptr; }

void TF_clocks::ReleaseMapWindow() {
    FMapWindow = nullptr;
    FMapWindowWidget = nullptr;
}

void TF_clocks::CreateMapWindow() {
    if (MapWindow() || !FMapFactory) return;
    IMapWindow* m = FMapFactory(this);
    if (!m) return;
    FMapWindow = m;
    // The window may go with its owner; the reference must not outlive it.
    FMapWindowWidget = m->Window();
    // A new map centres on the home place, not on a blank one at 0, 0.
    m->SetHomeLocation(LocalClock.Location);
}

bool TF_clocks::MapWindowExists() const { return MapWindow() != nullptr; }

void TF_clocks::ShowMapWindow() {
    if (IMapWindow* m = MapWindow()) m->ShowAndRaise();
}

void TF_clocks::ShowOnMap(const TTimeLocation& location) {
    if (!EnsureMapWindow()) return;
    if (IMapWindow* m = MapWindow()) {
        m->SetHomeLocation(location);
        m->SetCentrePending();
    }
    try {
        ShowMapWindow();
    } catch (...) {
        // A map that cannot be shown leaves the main window as it was.
    }
}

void TF_clocks::RedrawVisibleMap() {
    IMapWindow* m = MapWindow();
    if (m && AutoRefreshMap && m->Window()->isVisible()) m->Redraw();
}
