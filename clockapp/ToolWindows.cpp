// Opening the tool windows: each is made on demand, owned by the main window,
// shown non-modally and freed when it closes. The single-instance ones keep
// the commands that open them disabled while they are open.
#include "clockapp/MainWindow.h"
#include "platform/qt/EscapeCloser.h"
#include "timemodel/HXMessageBoxes.h"
#include "ui_F_clocks.h"

#include <QAction>

#include <exception>

namespace {

struct TOpenerRule {
    const char* Commands[2];
    // The Dayloom window disables its commands before it shows itself, the
    // others once they are up.
    bool DisableBeforeShow;
    int RaiseMessage;      // numbered message when showing fails, -1 none
    int CreateFailMessage; // numbered message when making it fails, -1 its own text
};

// In the order of TToolWindow.
constexpr TOpenerRule kOpeners[kToolWindowCount] = {
    {{"sb_Dayloom", "mi_Dayloom"}, true, -1, -1},
    {{"sb_SysTimeInfo", "mi_SysTimeInfo"}, false, -1, -1},
    {{"sb_Calc", "mi_TimeCalc"}, false, -1, -1},
    {{"miCalender", "sbCalendar"}, false, 64, 0},
    {{"sb_Alarms", "mi_Alarms"}, false, -1, -1},
};

} // namespace

namespace {

// Makes another astronomy window for the place and shows it; freed when it
// closes. A window that cannot be made says why; one that fails to show goes.
void OpenAstronomyWindow(const TAstronomyWindowFactory& factory, QWidget* owner,
                         const TTimeLocation& location, bool isSystemLocation) {
    if (!factory) return;
    IAstronomyWindow* astro = nullptr;
    try {
        astro = factory(owner);
    } catch (const std::exception& e) {
        THXMessageBoxes::ShowError(e.what());
        return;
    }
    if (!astro) return;
    QWidget* window = astro->Window();
    window->setAttribute(Qt::WA_DeleteOnClose);
    CloseOnEscape(window);
    try {
        astro->SetLocation(location, isSystemLocation);
        window->setVisible(true);
    } catch (...) {
        delete window;
    }
}

} // namespace

void TF_clocks::ConnectToolWindows() {
    auto on = [this](QAction* a, void (TF_clocks::*handler)()) {
        connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    };
    on(ui->sb_Dayloom, &TF_clocks::sb_DayloomClick);
    on(ui->mi_Dayloom, &TF_clocks::sb_DayloomClick);
    on(ui->sb_SysTimeInfo, &TF_clocks::sb_SysTimeInfoClick);
    on(ui->mi_SysTimeInfo, &TF_clocks::sb_SysTimeInfoClick);
    on(ui->sb_Calc, &TF_clocks::sb_CalcClick);
    on(ui->mi_TimeCalc, &TF_clocks::sb_CalcClick);
    on(ui->miCalender, &TF_clocks::miCalenderClick);
    on(ui->sbCalendar, &TF_clocks::sbCalendarClick);
    on(ui->smiAstro, &TF_clocks::sb_AstroClick);
    UpdateToolCommands();
}

void TF_clocks::SetToolWindowFactory(TToolWindow which, TToolWindowFactory factory) {
    FToolOpeners[size_t(which)].Factory = std::move(factory);
    UpdateToolCommands();
}

void TF_clocks::SetAstronomyWindowFactory(TAstronomyWindowFactory factory) {
    FAstronomyFactory = std::move(factory);
    UpdateToolCommands();
}

QWidget* TF_clocks::ToolWindow(TToolWindow which) const {
    return FToolOpeners[size_t(which)].Window;
}

// Nothing clickable that would do nothing: a command is enabled only when its
// window can be made and is not open already.
void TF_clocks::UpdateToolCommands() {
    for (size_t i = 0; i < FToolOpeners.size(); ++i) {
        const bool enabled = FToolOpeners[i].Factory && !FToolOpeners[i].Window;
        for (const char* name : kOpeners[i].Commands)
            Action(name)->setEnabled(enabled);
    }
    ui->smiAstro->setEnabled(bool(FAstronomyFactory));
}

void TF_clocks::OpenToolWindow(TToolWindow which) {
    TToolOpener& opener = FToolOpeners[size_t(which)];
    const TOpenerRule& rule = kOpeners[size_t(which)];
    if (opener.Window) {
        opener.Window->raise();
        opener.Window->activateWindow();
        return;
    }
    if (!opener.Factory) return;

    QWidget* window = nullptr;
    try {
        window = opener.Factory(this);
    } catch (const std::exception& e) {
        if (rule.CreateFailMessage < 0) THXMessageBoxes::ShowError(e.what());
    } catch (...) {
        // Not a std::exception: no text of its own; the window's message below tells of it.
    }
    if (!window) {
        if (rule.CreateFailMessage >= 0) THXMessageBoxes::ShowErrorCode(rule.CreateFailMessage);
        return;
    }

    const std::vector<QPointer<QAction>> commands = {Action(rule.Commands[0]),
                                                     Action(rule.Commands[1])};
    auto setCommands = [&commands](bool enabled) {
        for (const QPointer<QAction>& a : commands)
            if (a) a->setEnabled(enabled);
    };
    window->setAttribute(Qt::WA_DeleteOnClose);
    CloseOnEscape(window);
    // The window may outlive this object's members while the main window is
    // torn down, so the re-enabling holds the commands only.
    connect(window, &QObject::destroyed, commands[0], [commands] {
        for (const QPointer<QAction>& a : commands)
            if (a) a->setEnabled(true);
    });
    opener.Window = window;

    if (rule.DisableBeforeShow) setCommands(false);
    try {
        window->setVisible(true);
    } catch (...) {
        delete window; // re-enables the commands
        if (rule.RaiseMessage >= 0) THXMessageBoxes::ShowErrorCode(rule.RaiseMessage);
        return;
    }
    if (!rule.DisableBeforeShow) setCommands(false);
}

void TF_clocks::sb_DayloomClick() {
    OpenToolWindow(TToolWindow::Dayloom);
}
void TF_clocks::sb_SysTimeInfoClick() {
    OpenToolWindow(TToolWindow::SysTimeInfo);
}
void TF_clocks::sb_CalcClick() {
    OpenToolWindow(TToolWindow::TimeCalc);
}
void TF_clocks::miCalenderClick() {
    OpenToolWindow(TToolWindow::Calendar);
}
void TF_clocks::sbCalendarClick() {
    miCalenderClick();
}


// Every opening makes another astronomy window, for the current clock's place.
void TF_clocks::ShowAstronomyWindow(QWidget* owner, const TTimeLocation& location,
                                    bool isSystemLocation) {
    OpenAstronomyWindow(FAstronomyFactory, owner, location, isSystemLocation);
}

void TF_clocks::sb_AstroClick() {
    if (!FAstronomyFactory || CurrentClock < 0 || CurrentClock >= int(Clocks.size())) return;
    const THXClock& clock = *Clocks[size_t(CurrentClock)];
    OpenAstronomyWindow(FAstronomyFactory, this, clock.TimeLocation(), clock.ClockType == ctLocal);
}
