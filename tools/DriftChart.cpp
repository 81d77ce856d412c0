#include "tools/DriftChart.h"

#include <QDateTime>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QMouseEvent>
#include <QScatterSeries>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

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

void THXDriftChart::SetSamples(std::vector<TDriftSample> samples) {
    FSamples = std::move(samples);
    FMoving = ::MovingAverage(FSamples, LocalAveragePeriod);
    FAverage = ::OverallAverage(FSamples);
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
    const double margin = to > from ? (to - from) * 0.03 : 0.5;
    FFilling = true;
    AxisX->setRange(QDateTime::fromMSecsSinceEpoch(qint64(ToChartX(from - margin))),
                    QDateTime::fromMSecsSinceEpoch(qint64(ToChartX(to + margin))));
    FFilling = false;
}

void THXDriftChart::AxisRangeChanged() {
    if (FFilling) return;
    Fill(FromChartX(qreal(AxisX->min().toMSecsSinceEpoch())),
         FromChartX(qreal(AxisX->max().toMSecsSinceEpoch())));
}

void THXDriftChart::Fill(TDateTime from, TDateTime to) {
    QList<QPointF> points, moving;
    double lo = 0, hi = 0;
    bool any = false;
    auto take = [&](const TDriftSample& s, QList<QPointF>& into) {
        if (s.Date < from || s.Date > to) return;
        into.append(QPointF(ToChartX(s.Date), s.Drift));
        lo = any ? std::min(lo, s.Drift) : s.Drift;
        hi = any ? std::max(hi, s.Drift) : s.Drift;
        any = true;
    };
    for (const TDriftSample& s : FSamples) take(s, points);
    for (const TDriftSample& s : FMoving) take(s, moving);
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
        e->accept();
        return;
    }
    QChartView::mousePressEvent(e);
}

void THXDriftChart::mouseMoveEvent(QMouseEvent* e) {
    if (FPanning) {
        chart()->scroll(FPanFrom.x() - e->position().x(), 0);
        FPanFrom = e->position();
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
