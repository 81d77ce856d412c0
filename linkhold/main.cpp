// hxlinkhold: runs hidden beside horolux on dial-up machines, reports the
// dial-up state, dials and hangs up on request and exports the phone book.
#include "linkhold/Linkhold.h"
#include "linkhold/LinkholdForm.h"
#include "linkhold/PppdRAS.h"

#include "platform/qt/HXBus.h"
#include "platform/qt/HXIcons.h"
#include "platform/qt/HXQtMessagePresenter.h"
#include "platform/qt/LocaleNames.h"
#include "timemodel/HX_messages.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QElapsedTimer>
#include <QThread>

namespace {

// One hxlinkhold only. A copy that is ending gives its name up first, so
// the name is waited for a little before this one gives way.
TBusNameClaim ClaimLinkholdName() {
    QElapsedTimer t;
    t.start();
    for (;;) {
        const TBusNameClaim claim = ClaimBusName(QString::fromLatin1(HXLinkholdBusName));
        if (claim != TBusNameClaim::Taken || t.elapsed() >= 2000) return claim;
        QThread::msleep(50);
    }
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("hxlinkhold");
    QApplication::setApplicationDisplayName("Horolux DUN Manager");
    TakeLocaleNames();
    QApplication::setWindowIcon(HoroluxIcon(THXIconKind::SyncConnect));
    QApplication::setQuitOnLastWindowClosed(false);

    if (ClaimLinkholdName() == TBusNameClaim::Taken) return 0;
    TQtMessagePresenterScope presenter;
    TDBusHXMessageTransport transport;
    transport.Install();

    TPppdBackend backend;
    TRegistryLinkholdStore store;
    bool ended = false;
    TF_HXLINKHOLD form(
        backend, store, [] { return IsBusNameOwned(QString::fromLatin1(HXMainWindowBusName)); },
        [&ended] {
            // The next hxlinkhold may start at once: the name goes first.
            QDBusConnection::sessionBus().unregisterService(QString::fromLatin1(HXLinkholdBusName));
            ended = true;
            QCoreApplication::quit();
        });
    // horolux tells this program to end when it quits; when it dies instead
    // (a crash, a kill), its name leaving the bus says the same. Watched
    // before the start-up look for horolux, so no moment goes unwatched.
    QDBusServiceWatcher horoluxGone(QString::fromLatin1(HXMainWindowBusName),
                                    QDBusConnection::sessionBus(),
                                    QDBusServiceWatcher::WatchForUnregistration);
    QObject::connect(&horoluxGone, &QDBusServiceWatcher::serviceUnregistered, &form,
                     [&form] { form.Monitor().Dispatch(HXM_RASTerminateLINKHOLD); });
    form.FormCreate();
    if (ended) return 0;
    return app.exec();
}
