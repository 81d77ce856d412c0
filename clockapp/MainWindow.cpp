#include "clockapp/MainWindow.h"

#include "clockapp/ClockDisplay.h"
#include "clockapp/SmallWindows.h"
#include "clockapp/TrayIcon.h"
#include "clockapp/UpdateHost.h"
#include "platform/qt/HXIcons.h"
#include "timemodel/HXMessageBoxes.h"
#include "timemodel/HX_messages.h"
#include "timemodel/VersionInfo.h"
#include "ui_F_clocks.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>
#include <QWindowStateChangeEvent>

#include <cstdio>

namespace {

// Left double clicks on the watched widgets' own surface; those on a child
// (a clock) are the child's.
class TDblClickFilter : public QObject {
public:
    TDblClickFilter(QObject* parent, std::function<void()> onDblClick)
        : QObject(parent), FOnDblClick(std::move(onDblClick)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == QEvent::MouseButtonDblClick) {
            auto* me = static_cast<QMouseEvent*>(e);
            auto* w = qobject_cast<QWidget*>(watched);
            if (w && me->button() == Qt::LeftButton && !w->childAt(me->position().toPoint())) {
                FOnDblClick();
                return true;
            }
        }
        return QObject::eventFilter(watched, e);
    }

private:
    std::function<void()> FOnDblClick;
};

// Tells when the watched widget has taken a new size.
class TResizeFilter : public QObject {
public:
    TResizeFilter(QObject* parent, std::function<void()> onResize)
        : QObject(parent), FOnResize(std::move(onResize)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == QEvent::Resize) FOnResize();
        return QObject::eventFilter(watched, e);
    }

private:
    std::function<void()> FOnResize;
};

} // namespace

TF_clocks::TF_clocks(IHXPrefsStore& store, QWidget* parent)
    : QMainWindow(parent), TClockState(store), TSyncControl(*this, TimeServers),
      ui(new Ui::F_clocks) {
    ui->setupUi(this);
    // Every window and box of the program shows its icon, the splash too.
    QApplication::setWindowIcon(HoroluxIcon());
    setWindowIcon(HoroluxIcon());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    // The menu is the window's pop-up only; the bar that holds it in the
    // form description is never shown.
    ui->mbDesignMenus->setNativeMenuBar(false);
    ui->mbDesignMenus->hide();
    ui->tbMainToolSet->setFixedHeight(25);
    // The bar unfolds at once, not in an animation, so that its rows have
    // their height when they are given their room.
    setAnimated(false);
    if (auto* more = ui->tbMainToolSet->findChild<QToolButton*>("qt_toolbar_ext_button"))
        connect(more, &QToolButton::toggled, this, [this](bool unfolded) { ToolbarUnfolded(unfolded); });
    // The clock area may be as small as the user makes the window.
    ui->pClocks->setMinimumSize(1, 1);
    // Black by palette, not by style sheet: a style sheet on the window
    // takes over every clock's palette and puts the style's colours back
    // each time the window is polished again (as when its frame changes
    // before it is first shown).
    QPalette area = ui->pClocks->viewport()->palette();
    area.setColor(QPalette::Window, Qt::black);
    area.setColor(QPalette::Base, Qt::black);
    ui->pClocks->viewport()->setPalette(area);
    ui->miCurrentClock->menuAction()->setVisible(false);
    ui->miCurrentClock->setDefaultAction(ui->miConfigure);
    SetStatusText("Status");

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });

    ti_HoroluxTray = new TTrayIcon(this);
    ti_HoroluxTray->setObjectName("ti_HoroluxTray");
    ti_HoroluxTray->SetIcon(HoroluxIcon());
    ti_HoroluxTray->SetPopupMenu(ui->pm_MainMenu);
    ti_HoroluxTray->AutoShow = true;
    ti_HoroluxTray->OnLeftBtnClick = [this](TTrayIcon*) { ShowHideClick(); };
    ti_HoroluxTray->OnRightBtnClick = [this](TTrayIcon*) { ti_HoroluxTrayRightBtnClick(); };
    ti_HoroluxTray->SetEnabled(true);
    auto holder = [this](const char* name, THXIconKind kind) {
        auto* t = new TTrayIcon(this);
        t->setObjectName(name);
        t->SetIcon(HoroluxIcon(kind));
        t->AutoShow = false;
        return t;
    };
    t_SyncConnect = holder("t_SyncConnect", THXIconKind::SyncConnect);
    t_Failicon = holder("t_Failicon", THXIconKind::SyncFail);
    t_SyncSuccess = holder("t_SyncSuccess", THXIconKind::SyncSuccess);

    ConnectMenu();
    ConnectSync();

    // A double click on the clock area itself (not on a clock) hides or
    // shows the title bar.
    auto* dbl = new TDblClickFilter(this, [this] { pClocksDblClick(); });
    ui->pClocks->viewport()->installEventFilter(dbl);
    ui->pClocksContents->installEventFilter(dbl);
    // The clocks flow anew when the clock area's width changes (the
    // viewport's, which the scroll area sets once it has its own size).
    ui->pClocks->viewport()->installEventFilter(new TResizeFilter(this, [this] { pClocksResize(); }));
}

TF_clocks::~TF_clocks() {
    FormDestroy();
    delete ui;
}

QAction* TF_clocks::Action(const char* name) const {
    return findChild<QAction*>(name);
}
QMenu* TF_clocks::Menu(const char* name) const {
    return findChild<QMenu*>(name);
}
QMenu* TF_clocks::pm_MainMenu() const {
    return ui->pm_MainMenu;
}
QWidget* TF_clocks::ClockArea() const {
    return ui->pClocksContents;
}

void TF_clocks::ConnectMenu() {
    auto on = [this](QAction* a, void (TF_clocks::*handler)()) {
        connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    };
    on(ui->mi_ShowHide, &TF_clocks::mi_ShowHideClick);
    on(ui->miShowHideToolbar, &TF_clocks::miShowHideToolbarClick);
    on(ui->miShowHideStatus, &TF_clocks::miShowHideStatusClick);
    on(ui->miHideTitlebar, &TF_clocks::miHideTitlebarClick);
    on(ui->mi_AlwaysOnTop, &TF_clocks::mi_AlwaysOnTopClick);
    on(ui->miTitleBarClock, &TF_clocks::miTitleBarClockClick);
    on(ui->sb_Alarms, &TF_clocks::sb_AlarmsClick);
    on(ui->mi_Alarms, &TF_clocks::sb_AlarmsClick);
    on(ui->mi_DialOrDisconnect, &TF_clocks::mi_DialOrDisconnectClick);
    on(ui->mi_Exit, &TF_clocks::mi_ExitClick);
    on(ui->smiNoChimes, &TF_clocks::smiNoChimesClick);
    on(ui->smiSuspendSync, &TF_clocks::smiSuspendSyncClick);
    on(ui->miSortByName, &TF_clocks::miSortByNameClick);
    on(ui->miSortByZone, &TF_clocks::miSortByZoneClick);
    on(ui->smiAnalog, &TF_clocks::smiAnalogClick);
    on(ui->smiDigital, &TF_clocks::smiDigitalClick);
    on(ui->miCheckForUpgrade, &TF_clocks::miCheckForUpgradeClick);
    for (QAction* item : ui->smiClockType->actions())
        connect(item, &QAction::triggered, this, [this, item] { smiClockTypeClick(item); });

    // The pop-up of the window, tool bar, status bar and clock area. The
    // clock controls open it with "This Clock" shown; here it is hidden.
    for (QWidget* w : std::initializer_list<QWidget*>{this, ui->tbMainToolSet, ui->sbMainStatusBar,
                                                      ui->pClocks}) {
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(w, &QWidget::customContextMenuRequested, this,
                [this, w](const QPoint& p) { ShowContextMenu(w->mapToGlobal(p)); });
    }
}

void TF_clocks::ShowContextMenu(const QPoint& globalPos) {
    ui->miCurrentClock->menuAction()->setVisible(false);
    ui->pm_MainMenu->popup(globalPos);
}

// ---------------------------------------------------------------- start-up

void TF_clocks::SplashStep(const char* text) {
    if (ShowSplash && FSplash) FSplash->SetStatus(text);
}

void TF_clocks::FormCreate(const std::string& defaultDataDir,
                           const std::vector<std::string>& args) {
    {
        TVersionInfo version;
        version.ReadVersionInfo();
        CurrentVersion = version.FileVersion;
    }
    Timer1->stop();
    RegisterHXMessages();
    StartTime = Now();
    ExitRequested = false;
    ReadOnly = false;
    const TStartOptions options = ParseStartOptions(defaultDataDir, args);
    DataDir = options.DataDir;
    ReadOnly = options.ReadOnly;

    SetDefaults();
    try {
        LoadPrefs();
    } catch (...) {
        try {
            LoadPrefs();
        } catch (...) {
            // Read twice and still failing: the defaults set above stand.
        }
    }
    // Settings read only in part: told once, the file as it was is kept.
    if (const std::string damaged = Store.TakeDamageReport(); !damaged.empty())
        ShowError(damaged);
    KeepOnScreen();
    resize(FormWidth, FormHeight);

    FSplash = new TFSplash(nullptr);
    if (ShowSplash) {
        try {
            // The desktop maps the window some time after show(): it is
            // painted once it is there, so the wait never shows an empty
            // (black) window.
            FSplash->show();
            QElapsedTimer mapping;
            mapping.start();
            auto mapped = [this] {
                return FSplash && FSplash->windowHandle() && FSplash->windowHandle()->isExposed();
            };
            while (!mapped() && mapping.elapsed() < 2000) {
                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
                if (!mapped()) QThread::msleep(5);
            }
            if (FSplash) {
                FSplash->repaint();
                SplashWait(int(std::max<qint64>(0, SplashDelayMs - mapping.elapsed())));
            }
        } catch (...) {
            delete FSplash;
        }
    }

    // A termination signal during the start ends it between two steps.
    auto guarded = [this](auto&& step) {
        if (ExitRequested) return;
        try {
            step();
        } catch (...) {
            // Each step tells its own errors; one that fails must not keep the others from running.
        }
    };
    // Saves killed before they finished leave their temporaries behind; a
    // read-only start writes no list file, so it leaves theirs alone.
    guarded([this] { RemoveStaleSaveTemporaries(); });
    SplashStep("Loading Clocks...");
    guarded([this] { LoadCLockInfo(); });
    SplashStep("Loading Alarms...");
    guarded([this] { LoadAlarms(); });
    SplashStep("Loading Dayloom Events...");
    guarded([this] { LoadTemperalEvents(); });
    guarded([this] { TakeEarlierHomePlaces(); });
    if (LoadLocations) {
        SplashStep("Loading Location List...");
        guarded([this] { LoadStandardLocations(); });
        // A manager that cannot be created is reported; the start goes on and
        // the manager is created again when it is first asked for.
        if (!ExitRequested) {
            try {
                CreateTimeZoneManager();
            } catch (const std::exception& e) {
                ShowError(std::string("Could Not Create Time Zone Manager: \n\r") + e.what());
            }
        }
    }
    if (ActivateMap) {
        SplashStep("Loading Map...");
        guarded([this] {
            CreateMapWindow();
            if (IMapWindow* m = MapWindow()) m->SetHomeLocation(LocalClock.Location);
        });
    }
    SplashStep("Loading Time Servers...");
    guarded([this] { LoadStandardTimeServers(); });
    if (ShowSplash) SplashStep("Initialization...");

    if (ExitRequested) {
        if (FSplash) FSplash->WMCloseSplash();
        return;
    }
    // From here on the lists hold what the files held: saving them is safe.
    FCreated = true;

    if (!TitlebarVisible) {
        TitlebarVisible = true;
        miHideTitlebarClick();
    }
    if (FirstRun) {
        try {
            TTimeLocation& home = LocalClock.Location;
            home.Name = LocalZoneName;
            home.City.clear();
            home.Region.clear();
            home.Country.clear();
            home.Code.clear();
            home.Latitude = 0;
            home.Longitude = 0;
            home.Rule.None();
            try {
                LoadRegTimeInfo();
            } catch (...) {
                ShowErrorCode(11);
            }
            // The shipped Local clock shows the home place, and the title and
            // the tray show it: the user's own time from the first start.
            for (size_t i = 0; i < Clocks.size(); ++i) {
                THXClock& c = *Clocks[i];
                if (c.ClockType != ctLocal) continue;
                c.Location.Copy(home);
                if (HintClock < 0 || HintClock >= int(Clocks.size())) HintClock = int(i);
                break;
            }
            TF_Welcome welcome(this);
            welcome.exec();
        } catch (...) {
            // The welcome is a courtesy: the first start goes on without it.
        }
        FirstRun = false;
    }
    if (ConnectionType == 0) ActivateLinkhold();
    Timer1->start();
    // The clocks are laid out in the clock area as it will be shown.
    if (layout()) layout()->activate();
    try {
        WMApplySettings();
    } catch (const std::exception& e) {
        ShowError(e.what());
    }
    // The window is first shown at its constrained size, with the time in
    // its title and the tray's hint, not a second later at the first tick.
    try {
        // The window's place is its frame's. Resized while it exists on the
        // desktop unshown (the first-run notes, its child, made it), the
        // place would become that of its inside, the title bar above the
        // screen: it is made anew when shown.
        const QPoint framePos = pos();
        if (!isVisible() && testAttribute(Qt::WA_WState_Created)) destroy();
        TClockDisplay& display = ClockDisplayOf(*this);
        display.UpdateClockDisplays(true);
        if (!isVisible()) {
            QApplication::setApplicationDisplayName(QString());
            setWindowTitle(display.TitleCaption());
            move(framePos);
        }
    } catch (...) {
        // The first tick shows the time all the same; the start must go on.
    }
    if (FSplash) FSplash->WMCloseSplash();
    if (SetTimeAtStartup && !ui->smiSuspendSync->isChecked()) AutoSyncTime();
}

void TF_clocks::SplashWait(int ms) {
    QThread::msleep(static_cast<unsigned long>(ms));
}

void TF_clocks::FormActivate() {
    if (StartMinimizedPending && ti_HoroluxTray->Visible()) ShrinkToTray();
    StartMinimizedPending = false;
    if (!ShowSplash) {
        // A box about a failed save activates the window again when it
        // closes: a failure already told is not told again from here.
        FActivating = true;
        WMApplySettings();
        FActivating = false;
    }
    if (InstallUpgrade) {
        InstallUpgrade = false;
        if (ConfirmYes("It is best to update your location data file periodically\n\rSince you "
                       "have just installed/upgraded Horolux,\n\ryou may wish to do this "
                       "now.\n\rPlease note: you must have an active Internet connection")) {
            const bool found = CheckForLocationUpdate();
            if (!found && UpdateCheck().Commands().CheckFailed())
                UpdateCheck().Commands().ReportFailure(); // offline: nothing is known
            else if (!found)
                ShowInfo("You already have the most recent data.\n\rDon't forget to check for "
                         "updates periodically,\n\rthey are usually posted about once a week.");
        }
    }
}

bool TF_clocks::event(QEvent* e) {
    // The status bar keeps its text (the connection state, the last sync):
    // pointing at a menu item or button puts no text of its own there.
    if (e->type() == QEvent::StatusTip) return true;
    if (e->type() == QEvent::WindowActivate) {
        const bool r = QMainWindow::event(e);
        FormActivate();
        return r;
    }
    const bool r = QMainWindow::event(e);
    // The desktop's frame is known once the window is up, and moves with it.
    if (e->type() == QEvent::Show || e->type() == QEvent::Move || e->type() == QEvent::Resize)
        KeepOnScreen();
    if (e->type() == QEvent::Resize) FoldToolbarWhenItFits();
    return r;
}

// In a window made narrower than its tool bar, the bar's ">>" button unfolds
// the buttons that do not fit into more rows. Left to itself the unfolded bar
// lies over the clocks' titles; here its rows take their own room: the clock
// area moves down and the window grows by them, and gets it back when the bar
// folds.
void TF_clocks::ToolbarUnfolded(bool unfolded) {
    QToolBar* bar = ui->tbMainToolSet;
    if (!unfolded) {
        bar->setFixedHeight(25);
        if (FToolbarRows > 0) resize(width(), height() - FToolbarRows);
        FToolbarRows = 0;
        return;
    }
    bar->setMaximumHeight(QWIDGETSIZE_MAX);
    // The bar has its unfolded height once the window's layout has placed it.
    QTimer::singleShot(0, this, [this, bar] {
        auto* more = bar->findChild<QToolButton*>("qt_toolbar_ext_button");
        if (!more || !more->isChecked() || FToolbarRows > 0) return;
        const int rows = bar->height() - 25;
        if (rows <= 0) return;
        bar->setFixedHeight(bar->height());
        FToolbarRows = rows;
        resize(width(), height() + rows);
    });
}

// Left to itself an unfolded bar stays unfolded, ">>" and all, however wide
// the window grows again: once its one row fits, it folds.
void TF_clocks::FoldToolbarWhenItFits() {
    QToolBar* bar = ui->tbMainToolSet;
    auto* more = bar->findChild<QToolButton*>("qt_toolbar_ext_button");
    if (!more || !more->isChecked() || FToolbarRows <= 0) return;
    if (bar->width() < bar->layout()->sizeHint().width()) return;
    // As the user's click does: the bar's layout follows the click only.
    more->click();
    // Laid out again, the bar finds that all fits and hides ">>".
    bar->layout()->invalidate();
}

// The window never grows past the screen's free area, frame included; where
// it stops short of its clocks, the clock area scrolls in that direction.
void TF_clocks::KeepOnScreen() {
    const QScreen* s = screen();
    if (!s) return;
    const QRect free = s->availableGeometry();
    const QRect outer = frameGeometry(), inner = geometry();
    const int frameW = isVisible() ? outer.width() - inner.width() : 0;
    const int frameH = isVisible() ? outer.height() - inner.height() : 0;
    const QSize most(std::max(1, free.width() - frameW), std::max(1, free.height() - frameH));
    if (maximumSize() != most) setMaximumSize(most);
    const auto policy = [](bool stopped) {
        return stopped ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff;
    };
    QScrollArea* area = ui->pClocks;
    if (area->horizontalScrollBarPolicy() != policy(width() >= most.width()))
        area->setHorizontalScrollBarPolicy(policy(width() >= most.width()));
    if (area->verticalScrollBarPolicy() != policy(height() >= most.height()))
        area->setVerticalScrollBarPolicy(policy(height() >= most.height()));
}

void TF_clocks::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (!FShownOnce) {
        FShownOnce = true;
        // Desktops that never activate a new window still see the start hidden.
        if (StartMinimizedPending)
            QTimer::singleShot(0, this, [this] {
                if (StartMinimizedPending && ti_HoroluxTray->Visible()) ShrinkToTray();
                StartMinimizedPending = false;
            });
    }
    FollowVisibility();
}

void TF_clocks::hideEvent(QHideEvent* e) {
    QMainWindow::hideEvent(e);
    FollowVisibility();
}

// ClocksVisable follows what the user really sees once the window has been
// shown: the desktop can minimise or restore it without our menu.
void TF_clocks::FollowVisibility() {
    if (!FShownOnce) return;
    ClocksVisable = isVisible() && !isMinimized();
    ui->mi_ShowHide->setText(ClocksVisable ? "Hide Main Window" : "Show Main Window");
}

void TF_clocks::changeEvent(QEvent* e) {
    QMainWindow::changeEvent(e);
    if (e->type() != QEvent::WindowStateChange) return;
    auto* sc = static_cast<QWindowStateChangeEvent*>(e);
    if (isMinimized() && !(sc->oldState() & Qt::WindowMinimized))
        HXMinimize();
    else if (!isMinimized() && (sc->oldState() & Qt::WindowMinimized))
        HXRestore();
    FollowVisibility();
}

// ------------------------------------------------------ tray and visibility

// The system sounds by their names: the sound layer plays the desktop
// theme's sound for them, or nothing where the theme has none.
void TF_clocks::HXMinimize() {
    if (VisibleTaskBar)
        ClockDisplayOf(*this).Sound().Play("Minimize");
    else if (ti_HoroluxTray->Visible())
        QTimer::singleShot(0, this, [this] {
            if (isMinimized()) ShrinkToTray();
        });
}

void TF_clocks::HXRestore() {
    ClockDisplayOf(*this).Sound().Play("RestoreUp");
}

void TF_clocks::ShrinkToTray() {
    if (ti_HoroluxTray->Visible()) {
        // Clear the minimised state so that showing restores a normal window.
        if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
        hide();
    } else {
        // Without an icon to click a hidden window could not be reached.
        showMinimized();
    }
    ui->mi_ShowHide->setText("Show Main Window");
    ClocksVisable = false;
    LastForegroundWindow = nullptr;
}

void TF_clocks::ShowFromTray() {
    if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    ui->mi_ShowHide->setText("Hide Main Window");
    ClocksVisable = true;
}

void TF_clocks::mi_ShowHideClick() {
    if (ClocksVisable)
        ShrinkToTray();
    else
        ShowFromTray();
}

void TF_clocks::ShowHideClick() {
    if (!isVisible() || isMinimized()) {
        ShowFromTray();
    } else if (LastForegroundWindow == this) {
        ShrinkToTray();
    } else {
        raise();
        activateWindow();
    }
}

void TF_clocks::SecondStart() {
    // A hidden window with no icon to click is brought back; otherwise the
    // window only comes to the front, as the icon is there to show it.
    if (!ti_HoroluxTray->Visible() && (!isVisible() || isMinimized()))
        ShowFromTray();
    else if (isVisible()) {
        raise();
        activateWindow();
    }
}

void TF_clocks::ti_HoroluxTrayRightBtnClick() {
    ui->miCurrentClock->menuAction()->setVisible(false);
}

// ------------------------------------------------------- show/hide switches

void TF_clocks::HideMainToolbar() {
    if (!ui->tbMainToolSet->isHidden() == ClockSize) return;
    const int bar = ui->tbMainToolSet->height();
    ui->tbMainToolSet->setVisible(ClockSize);
    resize(width(), height() - bar);
    ui->miShowHideToolbar->setText("Show Toolbar");
}

void TF_clocks::ShowMainToolbar() {
    if (!ui->tbMainToolSet->isHidden() == ClockSize) return;
    ui->tbMainToolSet->setVisible(ClockSize);
    resize(width(), height() + ui->tbMainToolSet->height());
    ui->miShowHideToolbar->setText("Hi&de Toolbar");
}

void TF_clocks::miShowHideToolbarClick() {
    ClockSize = !ClockSize;
    if (!ClockSize)
        HideMainToolbar();
    else
        ShowMainToolbar();
    FormHeight = height();
}

void TF_clocks::HideStatus() {
    if (!ui->sbMainStatusBar->isHidden() == ShowStatus) return;
    const int bar = ui->sbMainStatusBar->height();
    ui->sbMainStatusBar->setVisible(ShowStatus);
    resize(width(), height() - bar);
    ui->miShowHideStatus->setText("Show Status");
}

void TF_clocks::ShowStatusBar() {
    if (!ui->sbMainStatusBar->isHidden() == ShowStatus) return;
    ui->sbMainStatusBar->setVisible(ShowStatus);
    resize(width(), height() + ui->sbMainStatusBar->height());
    ui->miShowHideStatus->setText("Hide Status");
}

void TF_clocks::miShowHideStatusClick() {
    ShowStatus = !ShowStatus;
    if (!ShowStatus)
        HideStatus();
    else
        ShowStatusBar();
    FormHeight = height();
}

void TF_clocks::pClocksResize() {
    // Before the lists are read there is nothing to lay out; the window's
    // own resizes while the clocks are laid out do not come back here.
    if (!FCreated || FInClocksResize) return;
    FInClocksResize = true;
    try {
        ClockDisplayOf(*this).RefreshClockObjects(false, false);
    } catch (...) {
        // A resize must not throw into the event loop; the next tick lays the clocks out again.
    }
    FInClocksResize = false;
}

void TF_clocks::pClocksDblClick() {
    miHideTitlebarClick();
}

void TF_clocks::miHideTitlebarClick() {
    const bool wasSet = TitlebarVisible;
    TitlebarVisible = !TitlebarVisible;
    const QRect g = geometry();
    const bool wasVisible = isVisible();
    // The window keeps its outer top left corner both ways: the borderless
    // window takes the frame's place, and the frame comes back at the
    // borderless window's place, never above the top of the screen (nor
    // past its left) wherever the window was moved meanwhile.
    if (wasSet) {
        const QPoint outer = frameGeometry().topLeft();
        ui->miHideTitlebar->setText("Show TitleBar");
        setWindowFlag(Qt::FramelessWindowHint, true);
        setGeometry(QRect(outer, g.size()));
    } else {
        ui->miHideTitlebar->setText("Hide TitleBar");
        setWindowFlag(Qt::FramelessWindowHint, false);
        setWindowTitle("Horolux");
        QPoint frameTopLeft = g.topLeft();
        if (const QScreen* s = screen()) {
            const QRect free = s->availableGeometry();
            frameTopLeft.setX(std::max(frameTopLeft.x(), free.left()));
            frameTopLeft.setY(std::max(frameTopLeft.y(), free.top()));
        }
        resize(g.size());
        // Placed by its frame, so that the desktop puts the title bar there.
        winId();
        if (QWindow* handle = windowHandle())
            handle->setFramePosition(frameTopLeft);
        else
            move(frameTopLeft);
    }
    if (wasVisible) show();
    try {
        ClockDisplayOf(*this).UpdateClockDisplays(true);
    } catch (...) {
        // A move must not throw into the event loop; the next tick shows the clocks again.
    }
}

void TF_clocks::mi_AlwaysOnTopClick() {
    // The item toggles its own mark before this runs.
    AlwaysOnTop = ui->mi_AlwaysOnTop->isChecked();
    WMApplySettings();
}

void TF_clocks::SetMainFormAttributes() {
    RefreshClockObjects(true, false);
    const bool onTop = windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    if (onTop != AlwaysOnTop) {
        const bool wasVisible = isVisible();
        setWindowFlag(Qt::WindowStaysOnTopHint, AlwaysOnTop);
        if (wasVisible) show();
    }
    ui->mi_AlwaysOnTop->setChecked(AlwaysOnTop);
    ui->tbMainToolSet->setVisible(ClockSize);
    ui->miShowHideToolbar->setText(ClockSize ? "Hi&de Toolbar" : "Show Toolbar");
    ui->sbMainStatusBar->setVisible(ShowStatus);
    ui->miShowHideStatus->setText(ShowStatus ? "Hide Status" : "Show Status");
    if (!AutoSyncOn) ti_HoroluxTray->SetIcon(HoroluxIcon());
}

void TF_clocks::miTitleBarClockClick() {
    AddToAllTitles = !AddToAllTitles;
    ui->miTitleBarClock->setChecked(AddToAllTitles);
}

void TF_clocks::smiNoChimesClick() {
    MuteChimes = ui->smiNoChimes->isChecked();
}
void TF_clocks::smiSuspendSyncClick() {
    SuspendSync = ui->smiSuspendSync->isChecked();
}

// The title and chime clocks follow their clocks through a sort: the user
// chose those clocks, not places in the row.
void TF_clocks::miSortByNameClick() {
    int title = HintClock >= 0 && HintClock < int(Clocks.size()) ? HintClock : -1;
    SortClocksByName(0, int(Clocks.size()) - 1, title >= 0 ? &title : nullptr, &EditedClock,
                     &ChimeClock);
    RefreshClockObjects(true, true);
    if (title >= 0) HintClock = title;
}

void TF_clocks::miSortByZoneClick() {
    int title = HintClock >= 0 && HintClock < int(Clocks.size()) ? HintClock : -1;
    SortClocksByOffset(0, int(Clocks.size()) - 1, title >= 0 ? &title : nullptr, &EditedClock,
                       &ChimeClock);
    RefreshClockObjects(true, true);
    if (title >= 0) HintClock = title;
}

void TF_clocks::smiClockTypeClick(QAction* item) {
    const int tag = item->property("Tag").toInt();
    if (CurrentClock < 0 || CurrentClock >= int(Clocks.size()) || tag < ctLocation || tag > ctLMST)
        return;
    Clocks[size_t(CurrentClock)]->ClockType = ClockTypeOf(tag);
    // A clock turned to the computer's time shows it now, with the offset
    // the computer has now, not at the next reading of the host zone.
    UpdateLocalOffsets();
    RefreshClockObjects(true, false);
    ClockDisplayOf(*this).UpdateClockDisplays(true);
}

void TF_clocks::smiAnalogClick() {
    if (CurrentClock < 0 || CurrentClock >= int(Clocks.size())) return;
    Clocks[size_t(CurrentClock)]->Analog = true;
    RefreshClockObjects(true, true);
    ClockDisplayOf(*this).UpdateClockDisplays(true);
}

void TF_clocks::smiDigitalClick() {
    if (CurrentClock < 0 || CurrentClock >= int(Clocks.size())) return;
    Clocks[size_t(CurrentClock)]->Analog = false;
    RefreshClockObjects(true, true);
    ClockDisplayOf(*this).UpdateClockDisplays(true);
}

bool TF_clocks::EnsureMapWindow() {
    if (MapWindowExists()) return true;
    if (AskYesNo("The Horolux Map is not currently active\n\rWould you like to activate it "
                 "now?") != TAnswer::Yes)
        return false;
    CreateMapWindow();
    return MapWindowExists();
}

void TF_clocks::miMapClick() {
    if (!EnsureMapWindow()) return;
    try {
        ShowMapWindow();
    } catch (...) {
        // A map that cannot be shown leaves the main window as it was.
    }
}

void TF_clocks::miTimeZoneManagerClick() {
    if (!ActivateTimeZoneManager()) return;
    try {
        ShowTimeZoneManager();
    } catch (const Exception& e) {
        ShowError("Could Not Display Time Zone Manager: \n\r" + e.Message);
    }
}

void TF_clocks::sb_AlarmsClick() {
    OpenToolWindow(TToolWindow::AlarmManager);
}

void TF_clocks::mi_DialOrDisconnectClick() {
    DialOrDisconnect();
}

void TF_clocks::mi_ExitClick() {
    ExitRequested = true;
    close();
}

// -------------------------------------------------------- settings message

void TF_clocks::WMApplySettings() {
    SetMainFormAttributes();
    if (LocalClock.Location.Name.empty()) LocalClock.Location.Name = LocalZoneName;
    SaveStep([this] { WritePrefs(); }, "preferences", "Unable to save the preferences: ");
    SaveStep([this] { WriteClockInfo(); }, "hxclocks.hxd", "");
    WMConnectionState();
}

// A failed save is reported and the program goes on with what it holds, so
// nothing more is lost. A save that keeps failing is told once, until it
// works again: its text may differ each time (a fresh temporary's name), so
// it is known by what it saves.
bool TF_clocks::SaveStep(const std::function<void()>& step, const char* saves, const char* what) {
    std::string error;
    try {
        step();
        FSaveErrors.erase(saves);
        return true;
    } catch (const std::exception& e) {
        error = std::string(what) + e.what();
    } catch (...) {
        error = std::string(what) + "unknown error";
    }
    if (FSaveErrors.insert(saves).second || !FActivating) {
        std::fprintf(stderr, "horolux: %s\n", error.c_str());
        // At the end of the program the user still hears of it, unless the
        // desktop is ending the session and nobody can answer.
        if (!ExitRequested)
            ShowError(error);
        else if (!Terminating)
            THXMessageBoxes::ShowError(error);
    }
    return false;
}

void TF_clocks::WMConnectionState() {
    try {
        LoadRegTimeInfo();
    } catch (...) {
        // The host offset known so far stays until the next time change reads it again.
    }
    ApplyConnectionType();
}

void TF_clocks::LoadRegTimeInfo() {
    const bool read = ReloadHostZone();
    if (ClockDisplayOf(*this).TickClock().ShouldReportZoneFailure(!read)) ShowErrorCode(60);
}

void TF_clocks::SetTrayHint(const QString& text) {
    if (ti_HoroluxTray) ti_HoroluxTray->SetHint(text);
}

void TF_clocks::SetStatusText(const QString& text) {
    ui->sbMainStatusBar->showMessage(text);
}
QString TF_clocks::StatusText() const {
    return ui->sbMainStatusBar->currentMessage();
}

void TF_clocks::RefreshClockObjects(bool relayout, bool rebuild) {
    ClockDisplayOf(*this).RefreshClockObjects(relayout, rebuild);
}

void TF_clocks::KeepWindowSize() {
    FormWidth = width();
    FormHeight = height();
}

void TF_clocks::Timer1Timer() {
    ClockDisplayOf(*this).Timer1Timer();
}

// ---------------------------------------------------------------- shutdown

void TF_clocks::closeEvent(QCloseEvent* e) {
    if (XtoClose || ExitRequested) {
        // The other windows close before this one commits to ending: one
        // that stays on the user's word (edits not yet applied) keeps the
        // program running with this window, instead of an end that the
        // refusal would cancel only after this window was gone. At a logout
        // nobody is asked. Until the others are closed the program is not
        // ending: their questions and messages are shown as any other.
        if (!Terminating) {
            const bool exiting = ExitRequested;
            ExitRequested = false;
            const bool closed = CloseOtherWindows();
            // A logout while a window asked ends the program all the same.
            if (!closed && !Terminating) {
                e->ignore();
                return;
            }
            ExitRequested = exiting || Terminating;
        }
        Timer1->stop();
        BroadcastHXMessage(HXM_RASTerminateLINKHOLD);
        e->accept();
        FormDestroy();
        QCoreApplication::quit();
        return;
    }
    e->ignore();
    mi_ShowHideClick();
}

bool TF_clocks::CloseOtherWindows() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w == this || !w->isVisible() || w->windowType() == Qt::Desktop) continue;
        // A window that hides itself instead (the map) has let go.
        if (!w->close() && w->isVisible()) return false;
    }
    return true;
}

void TF_clocks::FormDestroy() {
    // A window that never started has nothing of the user's to save.
    if (FDestroyed || !FCreated) return;
    FDestroyed = true;
    // What the program ends without is told, whatever was told before.
    FSaveErrors.clear();
    SaveAll();
    ti_HoroluxTray->SetEnabled(false);
}

void TF_clocks::SaveAll() {
    if (!FCreated) return;
    SaveStep([this] { WritePrefs(); }, "preferences", "Unable to save the preferences: ");
    SaveStep([this] { WriteClockInfo(); }, "hxclocks.hxd", "");
    SaveAlarms();
    // The Dayloom window writes its events when it closes; ending with it
    // open must not lose them.
    if (ToolWindow(TToolWindow::Dayloom)) SaveTemperalEvents();
}

bool TF_clocks::SaveAlarms() {
    return SaveStep([this] { WriteAlarms(); }, "hxalarms.hxd", "");
}

bool TF_clocks::SaveTemperalEvents() {
    return SaveStep([this] { WriteTemperalEvents(); }, "hxdayloom.hxd", "");
}

TWindowServices TF_clocks::WindowServices() {
    return TWindowServices{*this, *this, *this, *this, *this, *this};
}

void TF_clocks::PlaySound(const std::string& sound) {
    ClockDisplayOf(*this).Sound().Play(sound);
}

// --------------------------------------------------------- window hooks

void TF_clocks::CaptureWindowState() {
    FormWidth = width();
    FormHeight = height();
    ClockPosTop = y();
    ClockPosLeft = x();
    MuteChimes = ui->smiNoChimes->isChecked();
    SuspendSync = ui->smiSuspendSync->isChecked();
}

void TF_clocks::PrefsLoaded() {
    move(ClockPosLeft, ClockPosTop);
    ui->smiNoChimes->setChecked(MuteChimes);
    ui->smiSuspendSync->setChecked(SuspendSync);
    ui->miTitleBarClock->setChecked(AddToAllTitles);
}

// While the program ends no dialog is shown: nobody is there to answer it.
void TF_clocks::ShowError(const std::string& text) {
    if (!ExitRequested) THXMessageBoxes::ShowError(text);
}

void TF_clocks::ShowInfo(const std::string& text) {
    if (!ExitRequested) THXMessageBoxes::ShowInfo(text);
}

void TF_clocks::ShowErrorCode(int code) {
    if (!ExitRequested) THXMessageBoxes::ShowErrorCode(code);
}

TClockState::TAnswer TF_clocks::AskYesNo(const std::string& text) {
    if (ExitRequested) return TAnswer::No;
    return THXMessageBoxes::AskYesNo(text) == mrYes ? TAnswer::Yes : TAnswer::No;
}

TClockState::TAnswer TF_clocks::AskYesNoCancel(const std::string& text) {
    if (ExitRequested) return TAnswer::Cancel;
    switch (THXMessageBoxes::AskYesNoCancel(text)) {
    case mrYes:
        return TAnswer::Yes;
    case mrNo:
        return TAnswer::No;
    default:
        return TAnswer::Cancel;
    }
}

bool TF_clocks::ConfirmYes(const std::string& text) {
    return !ExitRequested && THXMessageBoxes::ConfirmYes(text);
}

void TF_clocks::ProcessMessages() {
    QCoreApplication::processEvents();
}

// The progress window is repainted, not pumped: nothing else may run while a
// list is half read.
void TF_clocks::BeginProgress(const std::string& caption, const std::string& text, bool gauge) {
    if (!FProgress) {
        FProgress = new TFControledMessage(this);
        FProgress->ShowDismiss = false;
    }
    FProgress->setWindowTitle(QString::fromStdString(caption));
    FProgress->SetMessage(text);
    FProgress->ShowProgress = gauge;
    FProgress->gRemaining()->setVisible(gauge);
    if (!FProgress->isVisible()) FProgress->show();
    FProgress->repaint();
}

void TF_clocks::ProgressPosition(int64_t max, int64_t pos) {
    if (!FProgress) return;
    // The gauge counts in kilobytes so that large files fit its range.
    FProgress->gRemaining()->setRange(0, int(std::max<int64_t>(1, max / 1024)));
    FProgress->gRemaining()->setValue(int(std::min(max, pos) / 1024));
    FProgress->repaint();
}

void TF_clocks::EndProgress() {
    if (FProgress) {
        FProgress->close();
        delete FProgress;
    }
}

void TF_clocks::BusyCursor(bool on) {
    if (on)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

TClockDisplay& ClockDisplayOf(TF_clocks& window) {
    if (TClockDisplay* d = TClockDisplay::Of(window)) return *d;
    return *new TClockDisplay(window, window, window, window, window);
}

// ------------------------------------------------------- the update check's commands

TUpdateHost& TF_clocks::UpdateCheck() {
    if (!FUpdateHost) FUpdateHost = std::make_unique<TUpdateHost>(*this, *this, this);
    return *FUpdateHost;
}

bool TF_clocks::CheckForProgramUpgrade() {
    return UpdateCheck().Commands().CheckForProgramUpgrade();
}
bool TF_clocks::CheckForLocationUpdate() {
    return UpdateCheck().Commands().CheckForLocationUpdate();
}
void TF_clocks::miCheckForUpgradeClick() {
    UpdateCheck().Commands().miCheckForUpgradeClick();
}
