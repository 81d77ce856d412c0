#include "tools/F_SysTimeInfo.h"

#include "clockapp/state/ClockState.h"
#include "clockapp/state/SyncControl.h"
#include "platform/media/ZoneRecord.h"
#include "platform/qt/EscapeCloser.h"
#include "timemodel/HXMessageBoxes.h"
#include "timemodel/HX_messages.h"
#include "tools/DriftChart.h"
#include "ui_TFSysTimeInfo.h"
#include "ui_TFSystemDrift.h"

#include <QEvent>

#include <sys/stat.h>
#include <tuple>

TSystemZoneInfo ReadHostSystemZone() {
    TSystemZoneInfo i;
    int y, m, d;
    DecodeDate(NowUTC(), y, m, d);
    const TZoneRecord z = ReadZoneRecord("", y);
    if (!z.Ok) return i;
    // Without a summer period the system knows no standard or daylight time.
    i.Result = !z.HasSummer ? TZoneIdResult::Unknown
               : z.DaylightNow ? TZoneIdResult::Daylight
                               : TZoneIdResult::Standard;
    i.Bias = z.Rule.Bias;
    i.StandardBias = -z.Rule.StopDate.Bias;
    i.DaylightBias = -z.Rule.StartDate.Bias;
    i.StandardName = z.StdName;
    i.DaylightName = z.DltName;
    z.Rule.StopDate.SaveToSystemTime(i.StandardDate);
    z.Rule.StartDate.SaveToSystemTime(i.DaylightDate);
    return i;
}

namespace {

void Set(QLabel* l, const std::string& text) {
    l->setText(QString::fromStdString(text));
}

bool FileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Size and change time in nanoseconds; -1 when there is no file.
std::pair<int64_t, int64_t> FileStamp(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return {-1, -1};
    return {int64_t(st.st_size), int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

} // namespace

// ------------------------------------------------------------- drift chart

TFSystemDrift::TFSystemDrift(QWidget* owner, std::string logPath)
    : QWidget(owner, Qt::Window), ui(std::make_unique<Ui::TFSystemDrift>()),
      FLogPath(std::move(logPath)) {
    ui->setupUi(this);
    // The chart keeps the samples; the reader only adds to them.
    FReader = std::make_unique<TSyncLogReader>(FLogPath, ui->DriftChart->SampleStore());
    FormCreate();
}

TFSystemDrift::~TFSystemDrift() = default;

THXDriftChart* TFSystemDrift::Chart() const {
    return ui->DriftChart;
}

void TFSystemDrift::FormCreate() {
    // The window may be made before the main window registered the messages.
    RegisterHXMessages();
    FListener = std::make_unique<THXMessageListener>([this](unsigned msg) {
        if (msg == HXM_SyncSuccess) WMSyncSuccess();
    });
    FLineWait.setInterval(LinePollMs);
    connect(&FLineWait, &QTimer::timeout, this, [this] { PollForLine(); });
    FNextSlice.setSingleShot(true);
    FNextSlice.setInterval(0);
    connect(&FNextSlice, &QTimer::timeout, this, [this] { ReadSlice(); });
}

bool TFSystemDrift::event(QEvent* e) {
    const bool r = QWidget::event(e);
    if (e->type() == QEvent::WindowActivate) FormActivate();
    return r;
}

bool TFSystemDrift::FormActivate() {
    const bool read = LoadChart();
    // A long read shows its figures when it ends.
    if (!Reading()) ComputeStatistics();
    return read;
}

// The bus does not hold the sender, so there is nothing to reply first. The
// report comes before tickmatch appends its line, so a log that has not
// changed yet is watched until it does.
void TFSystemDrift::WMSyncSuccess() {
    if (LogChanged()) {
        FLineWait.stop();
        FormActivate();
        return;
    }
    FWaited.start();
    FLineWait.start();
}

bool TFSystemDrift::LogChanged() const {
    const auto [size, change] = FileStamp(FLogPath);
    return size != FLoadedSize || change != FLoadedChange;
}

void TFSystemDrift::PollForLine() {
    if (LogChanged() || FWaited.elapsed() >= LineWaitMs) {
        FLineWait.stop();
        FormActivate();
    }
}

bool TFSystemDrift::LoadChart() {
    if (Reading()) return true;
    std::tie(FLoadedSize, FLoadedChange) = FileStamp(FLogPath);
    if (!FReader->Begin()) {
        // A log that went shows as empty.
        FStatistics = FReader->Statistics(NowUTC());
        ui->DriftChart->SamplesChanged(0);
        return false;
    }
    ReadSlice();
    return true;
}

bool TFSystemDrift::Reading() const {
    return FReader->Reading();
}

void TFSystemDrift::ReadSlice() {
    QElapsedTimer spent;
    spent.start();
    bool done = false;
    if (!FReader->Reading()) {
        if (!FReader->Checking()) return;
        // What the shown read took up from is compared with the file, in
        // slices; a difference starts a read from the top.
        while (!(done = FReader->Check(ChunkBytes)) && spent.elapsed() < SliceMs) {
        }
        if (!done || FReader->Reading()) {
            if (FReader->Reading()) setCursor(Qt::BusyCursor);
            FNextSlice.start();
        }
        return;
    }
    while (!(done = FReader->Step(ChunkBytes)) && spent.elapsed() < SliceMs) {
    }
    if (!done) {
        setCursor(Qt::BusyCursor);
        FNextSlice.start();
        return;
    }
    unsetCursor();
    FStatistics = FReader->Statistics(NowUTC());
    ui->DriftChart->SamplesChanged(FReader->SampleAverage());
    ComputeStatistics();
    // The comparison goes on after this turn of the event loop.
    if (FReader->Checking()) FNextSlice.start();
}

void TFSystemDrift::ComputeStatistics() {
    const TDriftStatistics& s = FStatistics;
    Set(ui->l_NumLogEntries, IntToStr(s.Entries));
    Set(ui->l_SuccessRate, SuccessRateText(s));
    Set(ui->l_MaximumDrift, DriftText(s.MaxDrift));
    Set(ui->l_AverageDrift, DriftText(s.AverageDrift));
    Set(ui->l_LogDateRange, LogDateRangeText(s));
}

// ------------------------------------------------------------- information

TFSysTimeInfo::TFSysTimeInfo(const TClockState& state, QWidget* owner)
    : QWidget(owner, Qt::Window), FMain(state), ui(std::make_unique<Ui::TFSysTimeInfo>()) {
    ui->setupUi(this);
    connect(ui->sb_Drift, &QPushButton::clicked, this, [this] { sb_DriftClick(); });
    // "Running for" counts on while the window is open.
    auto* running = new QTimer(this);
    running->setObjectName("t_Running");
    running->setInterval(1000);
    connect(running, &QTimer::timeout, this, [this] { ShowRunningTime(); });
    running->start();
}

TFSysTimeInfo::~TFSysTimeInfo() = default;

bool TFSysTimeInfo::event(QEvent* e) {
    const bool r = QWidget::event(e);
    if (e->type() == QEvent::Show || e->type() == QEvent::WindowActivate) FormActivate();
    return r;
}

void TFSysTimeInfo::ShowRunningTime() {
    const double running = std::max(0.0, Now() - FMain.StartTime);
    Set(ui->l_ActiveTime, running > 1 ? FloatToStrF(running, TFloatFormat::ffFixed, 7, 2) + " days"
                                      : FormatDateTime("HH:MM:SS", running));
}

void TFSysTimeInfo::FormActivate() {
    ShowRunningTime();
    Set(ui->l_NumLocations, FMain.StandardLocations.empty() ? std::string("--Not Loaded--")
                                                             : IntToStr(int64_t(FMain.StandardLocations.size())));
    ShowTimeAdjustment();
    ShowTimeZoneInfo();
}

void TFSysTimeInfo::ShowTimeAdjustment() {
    const TSystemTimeAdjustment a = ReadAdjustment ? ReadAdjustment() : TSystemTimeAdjustment{};
    // On this system the adjustment is the kernel's (adjtimex), not a
    // Windows NT setting.
    const std::string title = "System Time Adjustments (kernel) - ";
    if (!a.Ok) {
        ui->gb_SysTimeAdjust->setTitle(QString::fromStdString(title + "?"));
        Set(ui->l_SysTimeAdjustment, "?");
        Set(ui->l_SysAdjustInc, "?");
        return;
    }
    ui->gb_SysTimeAdjust->setTitle(QString::fromStdString(title + (a.Disabled ? "Disabled" : "Enabled")));
    Set(ui->l_SysTimeAdjustment, IntToStr(a.Adjustment));
    Set(ui->l_SysAdjustInc, IntToStr(a.Increment));
}

void TFSysTimeInfo::ShowTimeZoneInfo() {
    const TZoneInfoTexts t = ZoneInfoTexts(ReadHostSystemZone());
    Set(ui->l_ActiveBias, t.ActiveBias);
    Set(ui->l_StandardName, t.StandardName);
    Set(ui->l_DaylightName, t.DaylightName);
    if (!t.Filled) return;
    Set(ui->l_Bias, t.Bias);
    Set(ui->l_StandardBias, t.StandardBias);
    Set(ui->l_DaylightBias, t.DaylightBias);
    Set(ui->l_DaylightDate, t.DaylightDate);
    Set(ui->l_StandardDate, t.StandardDate);
}

void TFSysTimeInfo::sb_DriftClick() {
    const std::string path = FMain.DataDir + kSyncLogFileName;
    if (!FileExists(path)) {
        THXMessageBoxes::ShowErrorCode(62);
        return;
    }
    auto* drift = new TFSystemDrift(this, path);
    drift->setAttribute(Qt::WA_DeleteOnClose);
    CloseOnEscape(drift);
    QPointer<QPushButton> button = ui->sb_Drift;
    connect(drift, &QObject::destroyed, button, [button] {
        if (button) button->setEnabled(true);
    });
    DriftWindow = drift;
    // The first read decides: a log that went meanwhile gives no window.
    if (!drift->FormActivate()) {
        delete drift;
        THXMessageBoxes::ShowErrorCode(62);
        return;
    }
    drift->show();
    button->setEnabled(false);
}
