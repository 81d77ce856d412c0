#include "clockapp/ClockDisplay.h"

#include "clockapp/ClockDisplayHost.h"
#include "clockapp/state/ClockState.h"
#include "clockapp/state/SyncControl.h"
#include "clockapp/state/WindowServices.h"
#include "clockapp/TrayIcon.h"
#include "clockapp/controls/HXAnalogClock.h"
#include "platform/qt/QtGraphics.h"
#include "timemodel/HXString.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollArea>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include <cmath>

namespace {
constexpr const char* kDisplayName = "HXClockDisplay";

int TagOf(QObject* o) {
    return o->property("Tag").toInt();
}

// A title too wide for its clock is cut with "..."; the whole of it goes
// into the strip's tip.
void SetTitleStrip(QLabel* strip, const std::string& title, int room) {
    const QString full = QString::fromStdString(title);
    const QFontMetrics metrics = strip->fontMetrics();
    const QString shown = metrics.horizontalAdvance(full) <= room
                              ? full
                              : metrics.elidedText(full, Qt::ElideRight, std::max(0, room));
    strip->setText(shown);
    strip->setProperty("FullTitle", shown == full ? QString() : full);
}
} // namespace

TClockDisplay* TClockDisplay::Of(const QMainWindow& window) {
    return window.findChild<TClockDisplay*>(kDisplayName, Qt::FindDirectChildrenOnly);
}

TClockDisplay::TClockDisplay(TClockState& state, TSyncControl& sync, IClockDisplayHost& host,
                             IWindowOpener& windows, QMainWindow& window)
    : QObject(&window), W(state), Sync(sync), Host(host), Windows(windows), Window(window) {
    setObjectName(kDisplayName);
    SetSoundPlayer(CreateCanberraPlayer(W.DataDir));
    FCaptionHost = CreateDesktopCaptionHost();
    FCaption = std::make_unique<TForegroundCaption>(*FCaptionHost);
    FTick.ResetCountdown(W.AutoSyncDuration);
    ConnectCommands();
}

TClockDisplay::~TClockDisplay() {
    // The caption of another program is never left extended.
    if (FCaption) FCaption->Restore();
}

void TClockDisplay::SetSoundPlayer(std::unique_ptr<ISoundPlayer> player) {
    if (FChimer) FChimer->Cancel();
    // A chime or alarm whose file has gone is told on the screen, once, when
    // it should sound: a line on the terminal is never seen from the desktop.
    // The box waits until the sound's tick or sequence has run.
    FSound = std::make_unique<TMissingSoundTeller>(
        std::move(player), W.DataDir, [this](const std::string& missing) {
            QTimer::singleShot(0, this, [this, missing] {
                W.ShowError("The sound file \"" + missing +
                            "\" does not exist, so it could not be played.");
            });
        });
    FChimer = std::make_unique<TChimer>(*FSound, [this](int ms, std::function<void()> f) {
        QTimer::singleShot(ms, this, std::move(f));
    });
}

void TClockDisplay::SetCaptionHost(std::unique_ptr<ICaptionHost> host) {
    FCaption->Restore();
    FCaptionHost = std::move(host);
    FCaption = std::make_unique<TForegroundCaption>(*FCaptionHost);
}

void TClockDisplay::ConnectCommands() {
    auto on = [this](const char* name, void (TClockDisplay::*f)()) {
        if (QAction* a = Host.Action(name))
            connect(a, &QAction::triggered, this, [this, f] { (this->*f)(); });
    };
    on("sbAddClock", &TClockDisplay::sbAddClockClick);
    on("miAddClock", &TClockDisplay::sbAddClockClick);
    on("miInsertAtEnd", &TClockDisplay::sbAddClockClick);
    on("miDuplicate", &TClockDisplay::miClkDuplicateClick);
    on("miInsertBefore", &TClockDisplay::miClkInsertBeforeClick);
    on("miInsertAfter", &TClockDisplay::miClkInsertAfterClick);
    on("miDelete", &TClockDisplay::miClkDeleteClick);
    on("miMoveLeftmost", &TClockDisplay::miClkMoveLeftmostClick);
    on("miMoveLeft", &TClockDisplay::miClkMoveLeftClick);
    on("miMoveRight", &TClockDisplay::miClkMoveRightClick);
    on("miMoveRightmost", &TClockDisplay::miClkMoveRightmostClick);
    on("miClkSetTitle", &TClockDisplay::miClkSetTitleClick);
    on("smiUseForChimes", &TClockDisplay::smiUseForChimesClick);
    on("miViewOnMap", &TClockDisplay::ViewOnMap);
    if (QAction* a = Host.Action("miConfigure"))
        connect(a, &QAction::triggered, this, [this] { ClockClick(W.CurrentClock); });
    // The clock's type and form are one choice each: radio items.
    for (const char* name : {"smiClockType", "smiDisplayType"}) {
        QMenu* m = Host.Menu(name);
        if (!m) continue;
        auto* group = new QActionGroup(m);
        group->setExclusive(true);
        for (QAction* a : m->actions()) {
            a->setCheckable(true);
            group->addAction(a);
        }
        connect(m, &QMenu::aboutToShow, this, [this] { MarkClockChoices(); });
    }
}

void TClockDisplay::MarkClockChoices() {
    if (!ValidCurrent()) return;
    const THXClock& clock = *W.Clocks[size_t(W.CurrentClock)];
    if (QMenu* m = Host.Menu("smiClockType"))
        for (QAction* a : m->actions())
            a->setChecked(a->property("Tag").toInt() == clock.ClockType);
    if (QAction* a = Host.Action(clock.Analog ? "smiAnalog" : "smiDigital")) a->setChecked(true);
}

QWidget* TClockDisplay::ClockControl(int index) const {
    if (index < 0 || index >= int(FControls.size())) return nullptr;
    return FControls[size_t(index)];
}

QString TClockDisplay::DisplayText(int index) const {
    QWidget* c = ClockControl(index);
    if (!c) return {};
    if (auto* l = c->findChild<QLabel*>("TimeText")) return l->text();
    return {};
}

QString TClockDisplay::TitleText(int index) const {
    QWidget* c = ClockControl(index);
    if (!c) return {};
    if (auto* a = qobject_cast<THXAnalogClock*>(c)) return a->TitlePanel->text();
    if (auto* l = c->findChild<QLabel*>("TitleStrip")) return l->text();
    return {};
}

// ---------------------------------------------------------------- layout

void TClockDisplay::RefreshClockObjects(bool relayout, bool rebuild) {
    // The clock editor's selector shows the list as it now is.
    if (ITimeZoneManager* m = Windows.TimeZoneManager()) m->ClocksChanged();
    const bool wasActive = Host.TickTimer() && Host.TickTimer()->isActive();
    if (Host.TickTimer()) Host.TickTimer()->stop();
    QWidget* area = Host.ClockArea();
    bool layout = relayout || Window.width() != W.FormWidth;
    if (QAction* a = Host.Action("smiClockBorders"))
        a->setText(W.ShowClockBorders ? "Hide Clock Borders" : "Show Clock Borders");
    const int n = int(W.Clocks.size());
    bool kindsMatch = int(FControls.size()) == n;
    for (int i = 0; kindsMatch && i < n; ++i)
        kindsMatch = FControls[size_t(i)] && (qobject_cast<THXAnalogClock*>(FControls[size_t(i)]) !=
                                              nullptr) == W.Clocks[size_t(i)]->Analog;
    if (rebuild || !kindsMatch) {
        layout = true;
        area->hide();
        for (auto& c : FControls)
            delete c.data();
        FControls.clear();
        for (int i = 0; i < n; ++i) {
            const THXClock& clock = *W.Clocks[size_t(i)];
            if (clock.Analog) {
                auto* a = new THXAnalogClock(area);
                a->setObjectName(QString("AnalogClock%1").arg(i));
                a->SetDateTime(clock.CurrentDateTime());
                a->SetSize(W.AnalogClockSize);
                a->OnMouseDown = [this](THXAnalogClock* s, QMouseEvent* e) {
                    ClockDisplayMouseDown(s->Tag, e);
                };
                a->TitlePanel->OnMouseDown = [this, a](QMouseEvent* e) {
                    ClockMouseDown(a->Tag, e);
                };
                FControls.emplace_back(a);
            } else {
                auto* panel = new QFrame(area);
                panel->setObjectName(QString("ClockPanel%1").arg(i));
                panel->setAutoFillBackground(true);
                panel->resize(30, 20);
                auto* title = new QLabel(panel);
                title->setObjectName("TitleStrip");
                title->resize(30, 10);
                auto* text = new QLabel(panel);
                text->setObjectName("TimeText");
                text->resize(10, 10);
                text->setAutoFillBackground(true);
                title->installEventFilter(this);
                text->installEventFilter(this);
                FControls.emplace_back(panel);
            }
            // The clock's own mouse handler opens the menu with "This Clock";
            // the clock area's context menu must not open it a second time.
            FControls.back()->setContextMenuPolicy(Qt::PreventContextMenu);
            FControls.back()->show();
        }
        area->show();
    }
    if (layout) {
        W.FollowHostOffset();
        Host.KeepWindowSize();
        std::vector<TClockBox> boxes(static_cast<size_t>(n));
        QFontMetrics formMetrics(Window.font());
        for (int i = 0; i < n; ++i) {
            const THXClock& clock = *W.Clocks[size_t(i)];
            QWidget* ctl = FControls[size_t(i)];
            ctl->setProperty("Tag", i);
            if (auto* a = qobject_cast<THXAnalogClock*>(ctl)) {
                a->Tag = i;
                a->TitlePanel->setProperty("Tag", i);
                a->SetColor(clock.BackColour);
                a->SetClockType(clock.AnalogClockType() ? TAnalogClockType::act24Hour
                                                        : TAnalogClockType::act12Hour);
                a->SetClockTitle(clock.TitleString());
                a->SetSize(W.AnalogClockSize);
                a->SetBevelOuter(W.ShowClockBorders ? TBevelCut::bvRaised : TBevelCut::bvNone);
                a->SetDisplayDate(clock.ShowDate);
                a->SetShowSeconds(clock.TimeFormat.find_first_of("Ss") != std::string::npos);
                a->SetDateFormat(clock.DateFormat);
                a->SetFont(clock.TimeFont);
                a->SetTitleFont(clock.ClockFaceFont);
                boxes[size_t(i)] = {0, 0, a->width(), a->height()};
            } else {
                auto* title = ctl->findChild<QLabel*>("TitleStrip");
                auto* text = ctl->findChild<QLabel*>("TimeText");
                const QFont tf = ToQFont(clock.TimeFont), ff = ToQFont(clock.ClockFaceFont);
                const QFontMetrics fm(ff);
                const int timeWidth = QFontMetrics(tf).horizontalAdvance(
                    QString::fromStdString(clock.DisplayString()));
                const int titleWidth =
                    std::min(fm.horizontalAdvance(QString::fromStdString(clock.TitleString())),
                             std::max(timeWidth, ClockTitleRoom(fm)));
                const int w = std::max(timeWidth, titleWidth) + 12;
                const int th = FontPixelHeight(clock.ClockFaceFont) + 4;
                const int xh = FontPixelHeight(clock.TimeFont) + 4;
                QPalette pal = ctl->palette();
                pal.setColor(QPalette::Window, ToQColor(clock.BackColour));
                ctl->setPalette(pal);
                const bool borders = W.ShowClockBorders;
                if (auto* f = qobject_cast<QFrame*>(ctl)) {
                    f->setFrameStyle(borders ? (QFrame::Panel | QFrame::Raised) : QFrame::NoFrame);
                    f->setLineWidth(1);
                }
                const int inner = borders ? w - 2 - 1 : w;
                const int left = borders ? 1 : 0;
                title->setFont(ff);
                QPalette tp = title->palette();
                tp.setColor(QPalette::WindowText, ToQColor(clock.ClockFaceFont.Color));
                tp.setColor(QPalette::Window, ToQColor(clBtnFace));
                title->setAutoFillBackground(true);
                title->setPalette(tp);
                title->setAlignment(Qt::AlignCenter);
                title->setGeometry(left, 1, inner, th);
                title->setProperty("Tag", i);
                SetTitleStrip(title, clock.TitleString(), w - 12);
                text->setFont(tf);
                QPalette xp = text->palette();
                xp.setColor(QPalette::WindowText, ToQColor(clock.TimeFont.Color));
                xp.setColor(QPalette::Window, ToQColor(clock.BackColour));
                text->setPalette(xp);
                text->setAlignment(Qt::AlignCenter);
                text->setGeometry(left, 1 + th, inner, xh);
                text->setProperty("Tag", i);
                text->setText(QString::fromStdString(clock.DisplayString()));
                ctl->resize(w, th + xh + 3);
                boxes[size_t(i)] = {0, 0, w, th + xh + 3};
            }
        }
        auto* scroll = qobject_cast<QScrollArea*>(
            area->parentWidget() ? area->parentWidget()->parentWidget() : nullptr);
        // Before the window is first shown the scroll area has its size but
        // has not yet placed its viewport: the width the viewport will get.
        const int areaWidth =
            !scroll ? area->width()
            : scroll->testAttribute(Qt::WA_PendingResizeEvent) ? scroll->maximumViewportSize().width()
                                                                : scroll->viewport()->width();
        FlowClocks(boxes, areaWidth, W.ConstrainWindowType);
        int right = 1, bottom = 1;
        for (int i = 0; i < n; ++i) {
            const TClockBox& b = boxes[size_t(i)];
            FControls[size_t(i)]->move(b.Left, b.Top);
            right = std::max(right, b.Left + b.Width);
            bottom = std::max(bottom, b.Top + b.Height);
        }
        area->setMinimumSize(right + 1, bottom + 1);
        area->resize(std::max(right + 1, areaWidth), std::max(bottom + 1, area->height()));
        area->update();
    }
    setHints();
    setNames();
    if (wasActive || !Host.TickTimer() || !Host.TickTimer()->isActive()) {
        if (Host.TickTimer()) Host.TickTimer()->start();
    }
}

void TClockDisplay::setNames() {
    for (int i = 0; i < int(FControls.size()) && i < int(W.Clocks.size()); ++i)
        if (auto* t = FControls[size_t(i)]->findChild<QLabel*>("TitleStrip");
            t && !qobject_cast<THXAnalogClock*>(FControls[size_t(i)]))
            SetTitleStrip(t, W.Clocks[size_t(i)]->TitleString(),
                          FControls[size_t(i)]->width() - 12);
}

void TClockDisplay::setHints() {
    for (int i = 0; i < int(FControls.size()) && i < int(W.Clocks.size()); ++i) {
        const QString hint = QString::fromStdString(W.Clocks[size_t(i)]->HintString());
        if (auto* a = qobject_cast<THXAnalogClock*>(FControls[size_t(i)]))
            a->setToolTip(hint);
        else if (auto* t = FControls[size_t(i)]->findChild<QLabel*>("TimeText"))
            t->setToolTip(hint);
    }
}

void TClockDisplay::ConstrainWindow() {
    if (W.ConstrainWindowType == 0) return;
    std::vector<TClockBox> boxes;
    for (auto& c : FControls)
        if (c) boxes.push_back({c->x(), c->y(), c->width(), c->height()});
    // The bars as they are set, also before the window is first shown.
    int bars = 2;
    if (W.ShowStatus) {
        if (auto* sb = Window.findChild<QStatusBar*>("sbMainStatusBar"); sb && !sb->isHidden())
            bars += sb->height();
    }
    // A window fitted to a few clocks is still as wide as its tool bar, so
    // that no button is hidden behind the bar's ">>".
    int barsWidth = 0;
    if (auto* tb = Window.findChild<QToolBar*>("tbMainToolSet"); tb && !tb->isHidden()) {
        bars += tb->height();
        barsWidth = tb->sizeHint().width();
    }
    const TClientSize size = ConstrainClientSize(boxes, W.ConstrainWindowType, bars, barsWidth);
    QSize target = Window.size();
    if (size.Width) target.setWidth(*size.Width);
    if (size.Height) target.setHeight(*size.Height);
    if (target != Window.size()) Window.resize(target);
}

// ---------------------------------------------------------------- the tick

void TClockDisplay::Timer1Timer() {
    try {
        UpdateClockDisplays(false);
    } catch (...) {
        Host.SetStatusText("A Serious Internal Error Has Occured...");
    }
}

TChimeSettings TClockDisplay::ChimeSettings() const {
    TChimeSettings s;
    s.RestrictChimeTimes = W.RestrictChimeTimes;
    s.ChimeStartTime = W.ChimeStartTime;
    s.ChimeEndTime = W.ChimeEndTime;
    s.Chime15mins = W.Chime15mins;
    s.Chime30mins = W.Chime30mins;
    s.Chime45mins = W.Chime45mins;
    s.Chime60mins = W.Chime60mins;
    s.ChimeType = W.ChimeType;
    s.Chime15Sound = W.Chime15Sound;
    s.Chime30Sound = W.Chime30Sound;
    s.Chime45Sound = W.Chime45Sound;
    s.Chime60Sound = W.Chime60Sound;
    s.TollHourSound = W.TollHourSound;
    return s;
}

void TClockDisplay::ShowTickBoxes() {
    // One box at a time; the boxes that ticks raise meanwhile follow it.
    if (FShowingTickBoxes || FInTick) return;
    if (Host.Ending()) {
        FTickBoxes.clear();
        return;
    }
    FShowingTickBoxes = true;
    if (!ShowDeferredBoxes(FTickBoxes, this)) return; // the window went while a box was up
    FShowingTickBoxes = false;
}

void TClockDisplay::UpdateClockDisplays(bool displayOnly) {
    // A tick never runs inside another: one that comes while the tick lets
    // messages run leaves the clocks to the running one.
    if (FInTick) return;
    FInTick = true;
    struct TGuard {
        bool& F;
        ~TGuard() { F = false; }
    } guard{FInTick};
    TDeferredBoxes boxes(FTickBoxes, this, [this] { ShowTickBoxes(); });

    if (!displayOnly) {
        const TDateTime now = Now();
        if (FTick.CountDown(W.AutoSyncDuration)) {
            if (W.AutoSyncOn && !W.SuspendSync) Sync.SyncTime();
        }
        if (FTick.ZoneReloadDue(now, TClockState::HostOffsetNow())) LoadRegTimeInfo();
        Host.SetLastForegroundWindow(QApplication::activeWindow());
        Host.CheckSoundAlarms();
        if (!W.MuteChimes) {
            const int c = W.ChimeClock;
            const TDateTime t = (c < 0 || c >= int(W.Clocks.size()))
                                    ? W.LocalClock.CurrentDateTime()
                                    : W.Clocks[size_t(c)]->CurrentDateTime();
            FChimer->Check(t, ChimeSettings());
        }
        Host.RedrawVisibleMap();
    }
    if (int(FControls.size()) != int(W.Clocks.size())) RefreshClockObjects(true, true);
    // A clock whose type or place a command has just changed shows the right
    // time at once.
    W.FollowHostOffset();
    for (int i = 0; i < int(W.Clocks.size()); ++i) {
        const THXClock& clock = *W.Clocks[size_t(i)];
        QWidget* ctl = FControls[size_t(i)];
        if (auto* a = qobject_cast<THXAnalogClock*>(ctl)) {
            a->SetDateTime(clock.ClockDateTime());
            a->SetTitleHint(clock.TitleHintString());
        } else {
            if (auto* t = ctl->findChild<QLabel*>("TimeText")) {
                const QString s = QString::fromStdString(clock.DisplayString());
                if (t->text() != s) t->setText(s);
            }
            if (auto* t = ctl->findChild<QLabel*>("TitleStrip")) {
                const QString hint = QString::fromStdString(clock.TitleHintString());
                const QString full = t->property("FullTitle").toString();
                t->setToolTip(full.isEmpty() ? hint : full + "\n" + hint);
            }
        }
    }
    TTitleSettings ts{W.TitleDateFormat, W.TitleTimeFormat,   W.TrayDateFormat, W.TrayTimeFormat,
                      W.ShowTitleName,   W.ShowTitleLocation, W.ShowTrayName,   W.ShowTrayLocation};
    int titleClock = W.TitleClock();
    const TTitleTexts texts = ComposeTitleTexts(W.Clocks, titleClock, W.LocalClock, ts);
    FTrayText = QString::fromStdString(texts.Tray);
    FTitleText = QString::fromStdString(texts.Title);
    Host.SetTrayHint(QString::fromStdString(texts.TrayHint));
    if (Window.isVisible()) {
        QApplication::setApplicationDisplayName(QString());
        Window.setWindowTitle(FTitleText);
    }
    ConstrainWindow();
    if (W.AddToAllTitles)
        AppendToForegroundTitle("   " + texts.Title);
    else
        FCaption->Restore();
}

void TClockDisplay::AppendToForegroundTitle(const std::string& text) {
    try {
        FCaption->Append(FCaptionHost->Foreground(), text);
    } catch (...) {
        // Another program's caption never stops the tick.
    }
}

// The re-read is the window's: the state reads the zone, the window tells a
// failure.
void TClockDisplay::LoadRegTimeInfo() {
    W.LoadRegTimeInfo();
}

// ---------------------------------------------------------------- commands

bool TClockDisplay::ValidCurrent() const {
    return W.CurrentClock >= 0 && W.CurrentClock < int(W.Clocks.size());
}

// A new clock looks like the clock beside it (its fonts and background);
// the first one like the shipped clocks.
std::unique_ptr<THXClock> TClockDisplay::NewClockBeside(int neighbour) const {
    auto clock = std::make_unique<THXClock>();
    if (neighbour >= 0 && neighbour < int(W.Clocks.size())) {
        const THXClock& n = *W.Clocks[size_t(neighbour)];
        clock->ClockFaceFont.Assign(n.ClockFaceFont);
        clock->TimeFont.Assign(n.TimeFont);
        clock->BackColour = n.BackColour;
    } else {
        for (TFont* f : {&clock->ClockFaceFont, &clock->TimeFont}) {
            f->Height = -13;
            f->Size = 10;
            f->Charset = 0;
        }
    }
    clock->Location.HostOffset = W.LocalClock.Location.HostOffset;
    return clock;
}

void TClockDisplay::sbAddClockClick() {
    W.Clocks.push_back(NewClockBeside(int(W.Clocks.size()) - 1));
    RefreshClockObjects(true, false);
    W.CurrentClock = int(W.Clocks.size()) - 1;
    UpdateClockDisplays(true);
    ClockClick(W.CurrentClock);
}

void TClockDisplay::miClkDuplicateClick() {
    if (!ValidCurrent()) return;
    auto copy = std::make_unique<THXClock>();
    copy->Copy(*W.Clocks[size_t(W.CurrentClock)]);
    W.Clocks.push_back(std::move(copy));
    RefreshClockObjects(true, true);
    W.CurrentClock = int(W.Clocks.size()) - 1;
    UpdateClockDisplays(true);
    ClockClick(W.CurrentClock);
}

void TClockDisplay::miClkInsertBeforeClick() {
    const int pos = std::clamp(W.CurrentClock, 0, int(W.Clocks.size()));
    W.CurrentClock = pos;
    auto clock = NewClockBeside(pos < int(W.Clocks.size()) ? pos : pos - 1);
    W.Clocks.insert(W.Clocks.begin() + pos, std::move(clock));
    W.HintClock = IndexAfterInsert(W.HintClock, pos);
    W.ChimeClock = IndexAfterInsert(W.ChimeClock, pos);
    W.EditedClock = IndexAfterInsert(W.EditedClock, pos);
    RefreshClockObjects(true, true);
    UpdateClockDisplays(true);
    ClockClick(pos);
}

void TClockDisplay::miClkInsertAfterClick() {
    W.CurrentClock = std::clamp(W.CurrentClock + 1, 0, int(W.Clocks.size()));
    miClkInsertBeforeClick();
}

void TClockDisplay::miClkDeleteClick() {
    if (!ValidCurrent()) return;
    const int pos = W.CurrentClock;
    // Both answers first: a No leaves every index as it was.
    if (pos == W.HintClock &&
        W.AskYesNo("The clock you have selected to delete is currently the Title clock\n\rAre you "
                   "sure (the "
                   "Title will revert to UTC if you proceed)") != TClockState::TAnswer::Yes)
        return;
    if (pos == W.ChimeClock &&
        W.AskYesNo("The clock you have selected to delete is currently the chime clock\n\rAre you "
                   "sure (the "
                   "chimes will sound based on local time if you proceed)") !=
            TClockState::TAnswer::Yes)
        return;
    W.HintClock = IndexAfterDelete(W.HintClock, pos);
    W.ChimeClock = IndexAfterDelete(W.ChimeClock, pos);
    W.EditedClock = IndexAfterDelete(W.EditedClock, pos);
    W.Clocks.erase(W.Clocks.begin() + pos);
    if (W.CurrentClock >= int(W.Clocks.size())) W.CurrentClock = int(W.Clocks.size()) - 1;
    RefreshClockObjects(true, true);
    UpdateClockDisplays(true);
}

void TClockDisplay::SwapClocks(int a, int b) {
    THXClock tmp;
    tmp.Copy(*W.Clocks[size_t(a)]);
    W.Clocks[size_t(a)]->Copy(*W.Clocks[size_t(b)]);
    W.Clocks[size_t(b)]->Copy(tmp);
}

void TClockDisplay::MoveClock(int from, int to) {
    const int step = to < from ? -1 : 1;
    for (int i = from; i != to; i += step)
        SwapClocks(i, i + step);
    W.HintClock = IndexAfterMove(W.HintClock, from, to);
    W.ChimeClock = IndexAfterMove(W.ChimeClock, from, to);
    W.EditedClock = IndexAfterMove(W.EditedClock, from, to);
    RefreshClockObjects(true, true);
    UpdateClockDisplays(true);
}

void TClockDisplay::miClkMoveLeftmostClick() {
    if (!ValidCurrent() || W.CurrentClock <= 0) return;
    MoveClock(W.CurrentClock, 0);
}
void TClockDisplay::miClkMoveLeftClick() {
    if (!ValidCurrent() || W.CurrentClock <= 0) return;
    MoveClock(W.CurrentClock, W.CurrentClock - 1);
}
void TClockDisplay::miClkMoveRightClick() {
    if (!ValidCurrent() || W.CurrentClock >= int(W.Clocks.size()) - 1) return;
    MoveClock(W.CurrentClock, W.CurrentClock + 1);
}
void TClockDisplay::miClkMoveRightmostClick() {
    if (!ValidCurrent() || W.CurrentClock >= int(W.Clocks.size()) - 1) return;
    MoveClock(W.CurrentClock, int(W.Clocks.size()) - 1);
}

void TClockDisplay::miClkSetTitleClick() {
    if (!ValidCurrent()) return;
    W.HintClock = W.CurrentClock == W.HintClock ? -1 : W.CurrentClock;
    UpdateClockDisplays(true);
}

void TClockDisplay::smiUseForChimesClick() {
    if (!ValidCurrent()) return;
    W.ChimeClock = W.CurrentClock == W.ChimeClock ? -1 : W.CurrentClock;
    UpdateClockDisplays();
}

void TClockDisplay::ClockClick(int tag) {
    if (tag < 0 || tag >= int(W.Clocks.size())) return;
    W.CurrentClock = tag;
    ChangeZone(tag);
    setHints();
    setNames();
}

void TClockDisplay::ChangeZone(int tag) {
    if (tag < 0 || tag >= int(W.Clocks.size())) return;
    if (!Windows.ActivateTimeZoneManager()) return;
    try {
        if (ITimeZoneManager* m = Windows.TimeZoneManager()) {
            const THXClock& clock = *W.Clocks[size_t(tag)];
            m->ConfigureClock(clock, clock.ClockType == ctLocal, tag, tag == W.ChimeClock,
                              tag == W.HintClock);
        }
        Host.ShowTimeZoneManager();
    } catch (const Exception& e) {
        W.ShowError("Could Not Display Time Zone Manager: \n\r" + e.Message);
    }
}

void TClockDisplay::ViewOnMap() {
    if (!ValidCurrent()) return;
    Windows.ShowOnMap(W.Clocks[size_t(W.CurrentClock)]->Location);
}

// ---------------------------------------------------------------- mouse

void TClockDisplay::SetCurrent(int tag) {
    W.CurrentClock = tag;
    if (QAction* a = Host.Action("miClkSetTitle")) {
        a->setCheckable(true);
        a->setChecked(tag == W.HintClock);
    }
    if (QAction* a = Host.Action("smiUseForChimes")) {
        a->setCheckable(true);
        a->setChecked(tag == W.ChimeClock);
    }
    MarkClockChoices();
}

void TClockDisplay::ShowThisClockMenu() {
    if (QMenu* m = Host.Menu("miCurrentClock")) m->menuAction()->setVisible(true);
    Host.pm_MainMenu()->popup(QCursor::pos());
}

void TClockDisplay::ClockMouseDown(int tag, QMouseEvent* e) {
    SetCurrent(tag);
    if (QMenu* m = Host.Menu("miCurrentClock")) m->menuAction()->setVisible(false);
    const bool shift = e->modifiers() & Qt::ShiftModifier;
    if (e->button() == Qt::LeftButton && !shift)
        ClockClick(tag);
    else if (e->button() == Qt::LeftButton || e->button() == Qt::MiddleButton)
        ViewOnMap();
    else if (e->button() == Qt::RightButton)
        ShowThisClockMenu();
}

void TClockDisplay::ClockDisplayMouseDown(int tag, QMouseEvent* e) {
    SetCurrent(tag);
    if (QMenu* m = Host.Menu("miCurrentClock"))
        m->menuAction()->setVisible(e->button() == Qt::RightButton);
    const bool shift = e->modifiers() & Qt::ShiftModifier;
    if (e->button() == Qt::LeftButton && shift) {
        if (QAction* a = Host.Action("smiAstro")) a->trigger();
    } else if (e->button() == Qt::LeftButton || e->button() == Qt::MiddleButton) {
        ViewOnMap();
    } else if (e->button() == Qt::RightButton) {
        ShowThisClockMenu();
    }
}

bool TClockDisplay::eventFilter(QObject* o, QEvent* e) {
    if (e->type() == QEvent::MouseButtonPress) {
        auto* me = static_cast<QMouseEvent*>(e);
        if (o->objectName() == "TitleStrip")
            ClockMouseDown(TagOf(o), me);
        else if (o->objectName() == "TimeText")
            ClockDisplayMouseDown(TagOf(o), me);
        return true;
    }
    return QObject::eventFilter(o, e);
}
