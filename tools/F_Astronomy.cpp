#include "tools/F_Astronomy.h"

#include "tools/AstroTexts.h"
#include "tools/MoonPicture.h"
#include "ui_F_Astronomy.h"

#include <QDate>
#include <QShowEvent>

#include <cmath>

namespace {

QDate ToQDate(TDateTime dt) {
    int y, m, d;
    DecodeDate(dt, y, m, d);
    return QDate(y, m, d);
}

} // namespace

TF_Astronomy::TF_Astronomy(QWidget* owner)
    : QWidget(owner, Qt::Window), ui(std::make_unique<Ui::TF_Astronomy>()) {
    ui->setupUi(this);
    t_Astro = new QTimer(this);
    t_Astro->setObjectName("t_Astro");
    t_Astro->setInterval(10000);
    connect(t_Astro, &QTimer::timeout, this, &TF_Astronomy::t_AstroTimer);
    // A date is taken whole, when typed or picked; half a date changes nothing.
    ui->dtp_UserDateChoice->TakeDatesWhenDone(ui->lbl_Date0->text().toStdString());
    connect(ui->dtp_UserDateChoice, &TDateField::dateEntered, this, [this] {
        if (!FFilling) dtp_UserDateChoiceChange();
    });
    setWindowIcon(QIcon(":/moon/MOON_SMALL.png"));
    FormCreate();
}

TF_Astronomy::~TF_Astronomy() = default;

void TF_Astronomy::FormCreate() {
    FIsSystemLocation = false;
    t_Astro->start();
}

void TF_Astronomy::SetLocation(const TTimeLocation& location, bool isSystemLocation) {
    FLocation.Copy(location);
    FIsSystemLocation = isSystemLocation;
}

void TF_Astronomy::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (!e->spontaneous()) FormActivate();
}

void TF_Astronomy::FormActivate() {
    CalcAllValues();
    FFilling = true;
    ui->dtp_UserDateChoice->setDate(ToQDate(FLocation.CurrentDateTime()));
    FFilling = false;
    ui->l_Location->setText(QString::fromStdString(FLocation.LocationString()));
    ui->l_Lat->setText(QString::fromStdString(FLocation.LatString(true)));
    ui->l_Long->setText(QString::fromStdString(FLocation.LongString(true)));
}

void TF_Astronomy::t_AstroTimer() {
    CalcAllValues();
}

// A picked date stays: the window then describes that day and no longer
// follows the clock.
void TF_Astronomy::dtp_UserDateChoiceChange() {
    t_Astro->stop();
    const QDate d = ui->dtp_UserDateChoice->date();
    FLocation.ImposeAlternate(EncodeDate(d.year(), d.month(), d.day()));
    CalcAllValues();
    ui->l_DaylightHoursPassed->setText("--");
    ui->l_DaylightHoursRemaining->setText("--");
}

void TF_Astronomy::CalcAllValues() {
    try {
        const TAstronomyTexts t = CalcAstronomyTexts(FLocation, FIsSystemLocation);
        ui->Moon1->SetDate(t.MoonDate);
        auto set = [](QLabel* l, const std::string& s) { l->setText(QString::fromStdString(s)); };
        set(ui->l_DLStart, t.DLStart);
        set(ui->l_DLEnd, t.DLEnd);
        set(ui->lDateDSTStart, t.DateDSTStart);
        set(ui->lDateDSTEnd, t.DateDSTEnd);
        ui->lDateDSTStart->setVisible(!FIsSystemLocation);
        ui->lDateDSTEnd->setVisible(!FIsSystemLocation);
        ui->l_CurrentOffset->setVisible(t.ShowCurrentOffset);
        ui->l_CurrOffset->setVisible(t.ShowCurrentOffset);
        set(ui->l_CurrOffset, t.CurrOffset);
        set(ui->l_UTCOffset, t.UTCOffset);
        set(ui->l_UTC, t.UTC);
        set(ui->l_LocalTime, t.LocalTime);
        set(ui->l_JulianDate, t.JulianDate);
        set(ui->l_Millitary, t.Millitary);
        set(ui->l_DaysRemaining, t.DaysRemaining);
        set(ui->lGreenwichMeanSiderealTime, t.GreenwichMeanSiderealTime);
        set(ui->lLocalMeanSiderealTime, t.LocalMeanSiderealTime);
        set(ui->l_ModJulianDate, t.ModJulianDate);
        set(ui->l_MoonAge, t.MoonAge);
        set(ui->l_MoonDistance, t.MoonDistance);
        set(ui->l_Phase, t.Phase);
        set(ui->l_Sunrise, t.Sunrise);
        set(ui->l_Sunset, t.Sunset);
        set(ui->l_SunTransit, t.SunTransit);
        set(ui->l_DaylightHours, t.DaylightHours);
        set(ui->l_DaylightHoursPassed, t.DaylightHoursPassed);
        set(ui->l_DaylightHoursRemaining, t.DaylightHoursRemaining);
        set(ui->l_moonrise, t.Moonrise);
        set(ui->l_moonset, t.Moonset);
        set(ui->l_moontransit, t.MoonTransit);
    } catch (const std::exception&) {
        // A place whose values cannot be worked out keeps what it showed.
    }
}
