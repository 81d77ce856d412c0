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

    // Every sample, in log order, kept here alone (the log's reader adds to
    // it); after a change SamplesChanged shows the last page.
    std::vector<TDriftSample>& SampleStore() { return FSamples; }
    const std::vector<TDriftSample>& Samples() const { return FSamples; }
    // average: the mean of all samples.
    void SamplesChanged(double average);
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

    // The date axis over from .. to: widened to whole units (hours or days,
    // the fewest that give at most MaxTicks ticks) with a tick on each.
    struct TDateTicks {
        TDateTime Min = 0, Max = 0;
        int Count = 0;   // ticks, both ends included
        double Unit = 0; // days between ticks
        const char* Format = "";
    };
    static constexpr int MaxTicks = 8;
    static TDateTicks DateTicks(TDateTime from, TDateTime to);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    // The series to the samples dated from .. to.
    void Fill(TDateTime from, TDateTime to);
    void AxisRangeChanged();
    // Shows from .. to, widened to whole days or hours with a tick at each.
    void SetAxisRange(TDateTime from, TDateTime to);

    std::vector<TDriftSample> FSamples;
    double FAverage = 0;
    double FUnit = 0; // days between the date ticks
    bool FFilling = false;
    bool FPanning = false;
    QPointF FPanFrom;
    TDateTime FPanMin = 0, FPanMax = 0;
};
