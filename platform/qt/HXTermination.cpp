#include "platform/qt/HXTermination.h"

#include "timemodel/HXMessageBoxes.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int gSignalPipe[2] = {-1, -1};

// Only what is safe in a signal handler: one byte into the pipe, which the
// event loop reads.
void OnTerminate(int) {
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(gSignalPipe[1], &c, 1);
}

} // namespace

void EndSession(const std::function<void()>& onSave) {
    EndMessageDialogs();
    // Dialogs still up (a question, a start-up message, an editor) end as
    // Escape ends them; what they guarded is saved below or dropped, never
    // waited for.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible()) d->reject();
    if (onSave) onSave();
}

void CatchTermination(QObject* context, std::function<void()> onSave) {
    if (gSignalPipe[0] < 0 && ::pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [onSave] {
        char buf[16];
        while (::read(gSignalPipe[0], buf, sizeof buf) > 0) {
        }
        EndSession(onSave);
        // Not quit(): that lets a window refuse to close (one with edits not
        // yet applied), and the program would go on waiting.
        QCoreApplication::exit(0);
    });
    struct sigaction sa {};
    sa.sa_handler = OnTerminate;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaction(sig, &sa, nullptr);
}
