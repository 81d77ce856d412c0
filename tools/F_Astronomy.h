// "Astronomical Data": sun, moon and time scales of one place.
#pragma once

#include "clockapp/state/WindowServices.h"
#include "timemodel/TimeLocation.h"

#include <QTimer>
#include <QWidget>

#include <memory>

namespace Ui {
class TF_Astronomy;
}

class TF_Astronomy : public QWidget, public IAstronomyWindow {
    Q_OBJECT
public:
    explicit TF_Astronomy(QWidget* owner);
    ~TF_Astronomy() override;

    QWidget* Window() override { return this; }
    void SetLocation(const TTimeLocation& location, bool isSystemLocation) override;

    void FormCreate();
    void FormActivate();
    void t_AstroTimer();
    void dtp_UserDateChoiceChange();
    void CalcAllValues();

    QTimer* t_Astro = nullptr;

protected:
    void showEvent(QShowEvent* e) override;

private:
    std::unique_ptr<Ui::TF_Astronomy> ui;
    TTimeLocation FLocation;
    bool FIsSystemLocation = false;
    bool FFilling = false;
};
