// The world map window as the main window sees it: made by the globe part of
// the program through a factory, so the main window needs none of its code.
#pragma once

#include <functional>

class QWidget;
class TF_clocks;
class TTimeLocation;

class IMapWindow {
public:
    virtual ~IMapWindow() = default;
    virtual QWidget* Window() = 0;
    // The place the map centres on and measures from; a copy is kept.
    virtual void SetHomeLocation(const TTimeLocation& location) = 0;
    // The next activation centres on the home location and marks it.
    virtual void SetCentrePending() = 0;
    // Shows the window and brings it to the foreground.
    virtual void ShowAndRaise() = 0;
    // One tick of the main window: the layers are drawn again, so the night
    // shadow follows the time.
    virtual void Redraw() = 0;
};
using TMapWindowFactory = std::function<IMapWindow*(TF_clocks& owner)>;
