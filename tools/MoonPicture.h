// The moon's phase on a picture of the full moon.
#pragma once

#include "platform/rtl/SysUtils.h"

#include <QIcon>
#include <QImage>
#include <QWidget>

enum class TMoonSize { ms64, ms32, ms16 };

class TMoon : public QWidget {
    Q_OBJECT
public:
    explicit TMoon(QWidget* owner = nullptr);

    TMoonSize MoonSize() const { return FSize; }
    void SetMoonSize(TMoonSize size);
    TDateTime Date() const { return FDate; } // UTC
    void SetDate(TDateTime utc);
    double PhaseAngle() const { return FPhase; } // [0, 360)
    // The current phase as an icon, at the style's icon size and at 16, 32
    // and 64 pixels.
    QIcon Icon() const;
    // At the widget's device pixel ratio: twice the size (and a ratio of 2)
    // on a sharp screen.
    const QImage& Picture() const { return FPicture; }

    struct TGeometry {
        int Side, CentreY, CentreX, Radius;
    };
    static TGeometry Geometry(TMoonSize size);
    // Darkens the unlit part of the disc for a phase angle in [0, 360) to a
    // faint copy of the picture (Unlit of each pixel).
    static void PaintShadow(QImage& image, int centreX, int radius, int centreY, double phase);
    // A pixel of the picture where the sun does not light it: a quarter of its
    // brightness, as earthshine shows it, so that a new moon still shows
    // where the moon is on the black sky.
    static QRgb Unlit(QRgb lit);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    void Reload();
    // ratio 2: the picture of twice the size, with that device pixel ratio.
    QImage Shaded(TMoonSize size, int ratio) const;
    int Ratio() const;

    TMoonSize FSize = TMoonSize::ms64;
    TDateTime FDate = 0;
    double FPhase = 0;
    QImage FPicture;
};
