#include "tools/DriftChart.h"

#include <QDateTime>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QMouseEvent>
#include <QScatterSeries>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <iterator>

THXDriftChart::THXDriftChart(QWidget* parent) : QChartView(parent) {
    // The view's own chart: one set in its place would leave this one behind.
    QChart* chart = this->chart();
    chart->setTitle("System Clock Drift");
    DriftData = new QScatterSeries;
    DriftData->setName("DriftData");
    DriftData->setMarkerSize(7);
    LocalAverage = new QLineSeries;
    LocalAverage->setName("Local Average");
    LocalAverage->setPen(QPen(QColor(Qt::red), 2));
    OverallAverage = new QLineSeries;
    OverallAverage->setName("Overall Average");
    OverallAverage->setPen(QPen(QColor(0, 255, 0), 1)); // lime
    for (QAbstractSeries* s : {static_cast<QAbstractSeries*>(DriftData),
                               static_cast<QAbstractSeries*>(LocalAverage),
                               static_cast<QAbstractSeries*>(OverallAverage)})
        chart->addSeries(s);
    AxisX = new QDateTimeAxis;
    AxisX->setTitleText("Date");
    AxisX->setFormat("MMM, dd");
    AxisY = new QValueAxis;
    AxisY->setTitleText("Drift");
    AxisY->setLabelFormat("%.3g");
    chart->addAxis(AxisX, Qt::AlignBottom);
    chart->addAxis(AxisY, Qt::AlignLeft);
    for (QAbstractSeries* s : chart->series()) {
        s->attachAxis(AxisX);
        s->attachAxis(AxisY);
    }
    setRenderHint(QPainter::Antialiasing);
    setRubberBand(QChartView::HorizontalRubberBand);
    connect(AxisX, &QDateTimeAxis::rangeChanged, this, [this] { AxisRangeChanged(); });
    ShowPage(0);
}

qreal THXDriftChart::ToChartX(TDateTime t) {
    int y, mo, d, h, mi, s, ms;
    DecodeDateTime(t, y, mo, d, h, mi, s, ms);
    return qreal(QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms)).toMSecsSinceEpoch());
}

TDateTime THXDriftChart::FromChartX(qreal x) {
    const QDateTime dt = QDateTime::fromMSecsSinceEpoch(qint64(x));
    const QDate d = dt.date();
    const QTime t = dt.time();
    TDateTime r;
    if (!TryEncodeDate(d.year(), d.month(), d.day(), r)) return x < 0 ? -693593 : 2958465;
    return r + EncodeTime(t.hour(), t.minute(), t.second(), t.msec());
}

THXDriftChart::TDateTicks THXDriftChart::DateTicks(TDateTime from, TDateTime to) {
    // Whole hours: 1, 2, 3, 6, 12, then days: 1, 2, a week and doublings.
    static const double kHours[] = {1, 2, 3, 6, 12, 24, 48, 168};
    const double fromH = from * 24, toH = std::max(to, from) * 24;
    // A bound a rounding error off a whole unit lies on it.
    const double eps = 1e-6;
    TDateTicks t;
    for (size_t i = 0;; ++i) {
        const double unit = i < std::size(kHours) ? kHours[i] : 168 * std::ldexp(1.0, int(i - std::size(kHours) + 1));
        const double lo = std::floor(fromH / unit + eps);
        double hi = std::ceil(toH / unit - eps);
        if (hi <= lo) hi = lo + 1;
        if (hi - lo + 1 <= MaxTicks || unit > 1e7) {
            t.Min = lo * unit / 24;
            t.Max = hi * unit / 24;
            t.Count = int(hi - lo) + 1;
            t.Unit = unit / 24;
            // Hour ticks name their hour, so no two labels read the same.
            t.Format = unit < 24 ? "MMM, dd'<br>'hh:mm" : "MMM, dd";
            return t;
        }
    }
}

void THXDriftChart::SetAxisRange(TDateTime from, TDateTime to) {
    const TDateTicks t = DateTicks(from, to);
    FUnit = t.Unit;
    FFilling = true;
    AxisX->setFormat(QString::fromLatin1(t.Format));
    AxisX->setTickCount(t.Count);
    AxisX->setRange(QDateTime::fromMSecsSinceEpoch(qint64(ToChartX(t.Min))),
                    QDateTime::fromMSecsSinceEpoch(qint64(ToChartX(t.Max))));
    FFilling = false;
}

void THXDriftChart::SamplesChanged(double average) {
    FAverage = average;
    ShowPage(PageCount() - 1);
}

size_t THXDriftChart::PageCount() const {
    return std::max<size_t>(1, (FSamples.size() + PointsPerPage - 1) / PointsPerPage);
}

void THXDriftChart::ShowPage(size_t page) {
    page = std::min(page, PageCount() - 1);
    TDateTime from = DateOf(Now()) - 1, to = from + 2;
    if (!FSamples.empty()) {
        const auto begin = FSamples.begin() + ptrdiff_t(page * PointsPerPage);
        const auto end = FSamples.begin() + ptrdiff_t(std::min(FSamples.size(), (page + 1) * PointsPerPage));
        const auto [lo, hi] = std::minmax_element(begin, end, [](const TDriftSample& a, const TDriftSample& b) {
            return a.Date < b.Date;
        });
        from = lo->Date;
        to = hi->Date;
    }
    Fill(from, to);
    // A margin, so the first and last points are not cut in half.
    const double margin = FSamples.empty() ? 0 : to > from ? (to - from) * 0.03 : 0.5;
    SetAxisRange(from - margin, to + margin);
}

void THXDriftChart::AxisRangeChanged() {
    if (FFilling) return;
    // A zoom: widened to whole units, and the samples in it shown.
    SetAxisRange(FromChartX(qreal(AxisX->min().toMSecsSinceEpoch())),
                 FromChartX(qreal(AxisX->max().toMSecsSinceEpoch())));
    Fill(FromChartX(qreal(AxisX->min().toMSecsSinceEpoch())),
         FromChartX(qreal(AxisX->max().toMSecsSinceEpoch())));
}

void THXDriftChart::Fill(TDateTime from, TDateTime to) {
    QList<QPointF> points, moving;
    double lo = 0, hi = 0;
    bool any = false;
    auto take = [&](TDateTime date, double drift, QList<QPointF>& into) {
        into.append(QPointF(ToChartX(date), drift));
        lo = any ? std::min(lo, drift) : drift;
        hi = any ? std::max(hi, drift) : drift;
        any = true;
    };
    // The moving average of each sample with those before it, worked out
    // here for the samples shown rather than kept for all.
    const size_t period = LocalAveragePeriod;
    for (size_t i = 0; i < FSamples.size(); ++i) {
        const TDriftSample& s = FSamples[i];
        if (s.Date < from || s.Date > to) continue;
        take(s.Date, s.Drift, points);
        if (i + 1 >= period) take(s.Date, MovingAverageAt(FSamples, i, period), moving);
    }
    DriftData->replace(points);
    LocalAverage->replace(moving);
    QList<QPointF> average;
    if (!points.isEmpty()) {
        average = {QPointF(ToChartX(from), FAverage), QPointF(ToChartX(to), FAverage)};
        lo = std::min(lo, FAverage);
        hi = std::max(hi, FAverage);
    }
    OverallAverage->replace(average);
    if (!any) {
        lo = -1.0 / 86400;
        hi = 1.0 / 86400;
    }
    const double pad = hi > lo ? (hi - lo) * 0.1 : std::max(std::fabs(hi) * 0.1, 1e-7);
    AxisY->setRange(lo - pad, hi + pad);
}

void THXDriftChart::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::RightButton) {
        FPanning = true;
        FPanFrom = e->position();
        FPanMin = FromChartX(qreal(AxisX->min().toMSecsSinceEpoch()));
        FPanMax = FromChartX(qreal(AxisX->max().toMSecsSinceEpoch()));
        e->accept();
        return;
    }
    QChartView::mousePressEvent(e);
}

void THXDriftChart::mouseMoveEvent(QMouseEvent* e) {
    if (FPanning) {
        // By whole ticks, so they stay on whole days or hours.
        const double width = chart()->plotArea().width();
        if (width > 0 && FUnit > 0) {
            const double days = (FPanFrom.x() - e->position().x()) * (FPanMax - FPanMin) / width;
            const double shift = std::round(days / FUnit) * FUnit;
            SetAxisRange(FPanMin + shift, FPanMax + shift);
            Fill(FPanMin + shift, FPanMax + shift);
        }
        e->accept();
        return;
    }
    QChartView::mouseMoveEvent(e);
}

// The right button pans only: it does not zoom out as the view would.
void THXDriftChart::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::RightButton) {
        FPanning = false;
        e->accept();
        return;
    }
    QChartView::mouseReleaseEvent(e);
}
