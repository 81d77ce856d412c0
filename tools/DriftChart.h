// The clock-drift chart: the samples as points, their moving average over
// three and the overall average, fifty points a page. Left drag zooms, right
// drag pans; the series always hold just the range shown.
#pragma once

#include "tools/SyncLog.h"

#include <QChartView>

#include <vector>

class QScatterSeries;
class QLineSeries;
class QDateTimeAxis;
class QValueAxis;

class THXDriftChart : public QChartView {
    Q_OBJECT
public:
    explicit THXDriftChart(QWidget* parent = nullptr);

    static constexpr size_t PointsPerPage = 50;
    static constexpr size_t LocalAveragePeriod = 3;

    // Every sample, in log order; the chart then shows the last page.
    void SetSamples(std::vector<TDriftSample> samples);
    const std::vector<TDriftSample>& Samples() const { return FSamples; }
    size_t PageCount() const;
    void ShowPage(size_t page);

    QScatterSeries* DriftData = nullptr;
    QLineSeries* LocalAverage = nullptr;
    QLineSeries* OverallAverage = nullptr;
    QDateTimeAxis* AxisX = nullptr;
    QValueAxis* AxisY = nullptr;

    // The chart's x values: the day number's wall time, so labels read as logged.
    static qreal ToChartX(TDateTime t);
    static TDateTime FromChartX(qreal x);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    // The series to the samples dated from .. to.
    void Fill(TDateTime from, TDateTime to);
    void AxisRangeChanged();

    std::vector<TDriftSample> FSamples;
    std::vector<TDriftSample> FMoving;
    double FAverage = 0;
    bool FFilling = false;
    bool FPanning = false;
    QPointF FPanFrom;
};
