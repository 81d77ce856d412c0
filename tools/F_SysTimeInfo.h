// "System Time Information" and its "System Clock Drift" chart.
#pragma once

#include "platform/rtl/SystemTimeAdjustment.h"
#include "tools/SyncLog.h"
#include "tools/ZoneInfoTexts.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

class TClockState;
class THXDriftChart;
class THXMessageListener;
namespace Ui {
class TFSysTimeInfo;
class TFSystemDrift;
} // namespace Ui

// The host zone as the system's time-zone record, through the zone reader.
TSystemZoneInfo ReadHostSystemZone();

class TFSystemDrift : public QWidget {
    Q_OBJECT
public:
    TFSystemDrift(QWidget* owner, std::string logPath);
    ~TFSystemDrift() override;

    void FormCreate();
    // Reloads the chart and the statistics; false when the log cannot be
    // opened. What was appended since the last read is read, a slice at a
    // time so the clocks go on: a short addition at once, a long log over
    // several turns of the event loop.
    bool FormActivate();
    bool Reading() const;
    // A slice reads chunks until this much time is spent.
    int SliceMs = 15;
    size_t ChunkBytes = 256 * 1024;
    // tickmatch reports before it writes its line: the reload waits for the
    // log to change, at most LineWaitMs, polling every LinePollMs.
    void WMSyncSuccess();
    static constexpr int LineWaitMs = 10000;
    static constexpr int LinePollMs = 100;
    bool WaitingForLine() const { return FLineWait.isActive(); }
    bool LoadChart();
    void ComputeStatistics();

    const std::string& LogPath() const { return FLogPath; }
    THXDriftChart* Chart() const;
    // As of the last finished read.
    const TDriftStatistics& Statistics() const { return FStatistics; }
    const TSyncLogReader& Reader() const { return *FReader; }

protected:
    bool event(QEvent* e) override;

private:
    std::unique_ptr<Ui::TFSystemDrift> ui;
    std::string FLogPath;
    std::unique_ptr<THXMessageListener> FListener;
    std::unique_ptr<TSyncLogReader> FReader;
    TDriftStatistics FStatistics;
    QTimer FNextSlice;
    void ReadSlice();
    // The size and change time of the log at the last read.
    int64_t FLoadedSize = -1;
    int64_t FLoadedChange = -1;
    QTimer FLineWait;
    QElapsedTimer FWaited;
    bool LogChanged() const;
    void PollForLine();
};

class TFSysTimeInfo : public QWidget {
    Q_OBJECT
public:
    TFSysTimeInfo(const TClockState& state, QWidget* owner);
    ~TFSysTimeInfo() override;

    void FormActivate();
    void ShowRunningTime();
    void ShowTimeAdjustment();
    void ShowTimeZoneInfo();
    void sb_DriftClick();

    // The kernel's adjustment; tests give their own.
    std::function<TSystemTimeAdjustment()> ReadAdjustment = GetSystemTimeAdjustment;
    QPointer<TFSystemDrift> DriftWindow;

protected:
    bool event(QEvent* e) override;

private:
    const TClockState& FMain;
    std::unique_ptr<Ui::TFSysTimeInfo> ui;
};
