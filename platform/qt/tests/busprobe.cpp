// A stand-in program for the bus tests, on the session bus of its environment.
//   listen N      print each message that arrives, one per line; end after N
//   echo N        like listen, but on a "go" line from stdin broadcast the
//                 thirteen messages and a time change first
//   send-and-quit broadcast the thirteen messages and end at once
//   claim         on a "go" line claim the main window's name; print WON or
//                 LOST; the loser asks the winner to come to the front, the
//                 winner prints FRONT when asked and ends when stdin closes
// Every mode prints READY once it is subscribed.
#include "platform/qt/HXBus.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void BroadcastAll() {
    for (int i = 0; i < HXMessageCount; ++i)
        BroadcastHXMessage(RegisterWindowMessage(HXMessageNames[i]));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) return 2;
    const std::string mode = argv[1];
    const int expected = argc > 2 ? std::atoi(argv[2]) : 0;

    RegisterHXMessages();
    TDBusHXMessageTransport transport;
    if (!transport.IsConnected()) return 3;
    transport.Install();

    if (mode == "send-and-quit") {
        Say("READY");
        BroadcastAll();
        // Ends without any clean-up of the connection: only what each
        // broadcast made sure of has arrived.
        std::_Exit(0);
    }

    int received = 0;
    THXMessageListener listener([&](unsigned msg) {
        Say(msg == WM_TIMECHANGE ? std::string("WM_TIMECHANGE") : RegisteredMessageName(msg));
        if (++received == expected && (mode == "listen" || mode == "echo")) app.quit();
    });

    THXMainWindowService service([] { Say("FRONT"); });
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buf[256];
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf - 1);
        if (n <= 0) {
            input.setEnabled(false);
            app.quit();
            return;
        }
        buf[n] = '\0';
        if (std::strstr(buf, "go") == nullptr) return;
        if (mode == "echo") {
            BroadcastAll();
            BroadcastTimeChange();
        } else if (mode == "claim") {
            if (service.Claim() == TBusNameClaim::Claimed) {
                Say("WON");
            } else {
                Say("LOST");
                Say(BringRunningMainWindowToFront() ? "CALLED" : "NOANSWER");
                app.quit();
            }
        }
    });

    // Only a probe forgotten by its test ends so; the test's own waits end first.
    QTimer::singleShot(300000, &app, [&] { app.exit(4); });
    Say("READY");
    return app.exec();
}
