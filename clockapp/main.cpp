// horolux: the main program of the suite.
#include "alarms/AlarmWindows.h"
#include "clockapp/state/ClockState.h"
#include "clockapp/MainWindow.h"
#include "clockapp/state/RegistryPrefsStore.h"
#include "clockapp/state/WindowServices.h"
#include "globe/TimeZoneMap.h"
#include "locations/TimeZoneManager.h"
#include "platform/qt/HXBus.h"
#include "platform/qt/HXQtMessagePresenter.h"
#include "platform/qt/LocaleNames.h"
#include "platform/qt/HXTermination.h"
#include "platform/rtl/DataDir.h"
#include "timemodel/HXMessageBoxes.h"
#include "tools/TimeTools.h"

#include <cstdio>

#include <QApplication>
#include <QPointer>
#include <QSessionManager>

#include <algorithm>
#include <optional>

// The last guard: an exception that a handler let through is reported and
// the program goes on; through Qt's own code it would end the program and
// lose what is not yet saved.
class THXApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* e) override {
        try {
            return QApplication::notify(receiver, e);
        } catch (const std::exception& x) {
            std::fprintf(stderr, "horolux: %s\n", x.what());
            THXMessageBoxes::ShowError(x.what());
        } catch (...) {
            std::fprintf(stderr, "horolux: unknown error in an event handler\n");
        }
        return false;
    }
};

int main(int argc, char** argv) {
    THXApplication app(argc, argv);
    QApplication::setApplicationName("Horolux");
    QApplication::setApplicationDisplayName("Horolux");
    TakeLocaleNames();
    QApplication::setQuitOnLastWindowClosed(false);

    // One main window per desktop session: a second start hands over to the
    // first and ends, without creating anything.
    RegisterHXMessages();
    QPointer<TF_clocks> mainWindow;
    std::optional<THXMainWindowService> service;
    service.emplace([&mainWindow] {
        if (mainWindow) mainWindow->SecondStart();
    });
    if (service->Claim() == TBusNameClaim::Taken) {
        if (!BringRunningMainWindowToFront()) std::fprintf(stderr, "horolux is already running\n");
        return 0;
    }
    TDBusHXMessageTransport transport;
    transport.Install();
    TQtMessagePresenterScope dialogs;

    std::vector<std::string> args(argv + 1, argv + argc);
    // With "-datadir" the installation is not consulted for a data directory.
    const bool ownDir = std::find(args.begin(), args.end(), "-datadir") != args.end();
    const std::string dataDir =
        ownDir ? ProgramDirectory() : ResolveDataDirectory(ProgramDirectory());
    // The bus name covers one desktop session only: a horolux of another
    // session, or one started without a bus, would write the same list files.
    // The data directory's own lock keeps them to one; a "-readonly" start
    // writes no list file and shares the directory.
    std::optional<THXDataDirLock> dataLock;
    dataLock.emplace();
    const TStartOptions options = ParseStartOptions(dataDir, args);
    const std::string& usedDir = options.DataDir;
    if (!options.ReadOnly && dataLock->Take(usedDir) == TDataDirLock::InUse) {
        const std::string text =
            "Horolux is already running on the data directory " + usedDir +
            " (in another desktop session, or started where it could not reach the session "
            "bus).\n\rOnly one Horolux at a time can use that directory, so this one does not "
            "start.";
        std::fprintf(stderr, "horolux: %s\n", DialogDisplayText(text).c_str());
        THXMessageBoxes::ShowError(text);
        return 1;
    }

    THXRegistryPrefsStore store;
    auto* form = new TF_clocks(store);
    mainWindow = form;
    // Every other part gets the clock state and the main window's services,
    // never the window itself.
    TClockState& state = *form;
    const TWindowServices services = form->WindowServices();
    InstallTimeTools(state, services);
    InstallAlarmWindows(state, services);
    InstallTimeZoneManager(state, services);
    InstallMapWindow(state, services);
    // A logout saves as "Exit" does, and asks nothing.
    CatchTermination(form, [form] {
        form->Terminating = true;
        form->mi_ExitClick();
    });
    QObject::connect(&app, &QGuiApplication::commitDataRequest, form,
                     [form](QSessionManager&) { form->SaveAll(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, form, [form] { form->FormDestroy(); });

    // Newer places of an installation update are offered to the user's list.
    form->InstalledDataDir = ProgramDirectory();
    form->FormCreate(dataDir, args);
    int rc = 0;
    // A termination during the start has already closed the window.
    if (!form->ExitRequested) {
        form->show();
        rc = QApplication::exec();
    }
    // Everything is saved now: a horolux started meanwhile may run while this
    // one frees its windows.
    form->FormDestroy();
    dataLock.reset();
    service.reset();
    delete form;
    return rc;
}
