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
    const QImage& Picture() const { return FPicture; }

    struct TGeometry {
        int Side, CentreY, CentreX, Radius;
    };
    static TGeometry Geometry(TMoonSize size);
    // Blackens the unlit part of the disc for a phase angle in [0, 360).
    static void PaintShadow(QImage& image, int centreX, int radius, int centreY, double phase);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    void Reload();
    QImage Shaded(TMoonSize size) const;

    TMoonSize FSize = TMoonSize::ms64;
    TDateTime FDate = 0;
    double FPhase = 0;
    QImage FPicture;
};
