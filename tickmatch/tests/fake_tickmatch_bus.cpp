// Stands in for tickmatch on the session bus: appends its working directory and
// arguments to "tickmatch.calls" in its working directory, then reports as
// tickmatch does. A server whose name starts with "good" succeeds; any other
// fails.
#include "platform/qt/HXBus.h"
#include "timemodel/HX_messages.h"

#include <QCoreApplication>
#include <QDir>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    {
        std::ofstream calls("tickmatch.calls", std::ios::app);
        calls << QDir::currentPath().toStdString();
        for (int i = 1; i < argc; ++i)
            calls << '\t' << argv[i];
        calls << '\n';
    }
    RegisterHXMessages();
    TDBusHXMessageTransport transport;
    if (!transport.IsConnected()) return 1;
    transport.Install();
    const std::string server = argc > 2 ? argv[2] : "";
    BroadcastHXMessage(HXM_SyncAttempt);
    BroadcastHXMessage(server.rfind("good", 0) == 0 ? HXM_SyncSuccess : HXM_SyncFail);
    return 0;
}
