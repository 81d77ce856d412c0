// A stand-in for the system's time service on a private test bus. It records
// every SetTime call in a file and answers as its mode says:
//   fake_timedated BUS-ADDRESS RECORD-FILE accept|ntp|denied
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QObject>
#include <cstdio>

class TFakeTimedate : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.timedate1")
public:
    TFakeTimedate(QString mode, QString record)
        : Mode(std::move(mode)), Record(std::move(record)) {}

public slots:
    void SetTime(qlonglong usec, bool relative, bool interactive, const QDBusMessage& msg) {
        if (FILE* f = std::fopen(Record.toLocal8Bit().constData(), "a")) {
            std::fprintf(f, "SetTime %lld %d %d\n", usec, int(relative), int(interactive));
            std::fclose(f);
        }
        if (Mode == "ntp")
            SendError(msg, "org.freedesktop.timedate1.AutomaticTimeSyncEnabled",
                      "Automatic time synchronization is enabled");
        else if (Mode == "denied")
            SendError(msg, "org.freedesktop.DBus.Error.AccessDenied", "Permission denied");
    }

private:
    void SendError(const QDBusMessage& msg, const char* name, const char* text) {
        msg.setDelayedReply(true);
        Bus->send(msg.createErrorReply(name, text));
    }

public:
    QDBusConnection* Bus = nullptr;

private:
    QString Mode, Record;
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: fake_timedated BUS RECORD MODE\n");
        return 2;
    }
    QDBusConnection bus = QDBusConnection::connectToBus(QString::fromLocal8Bit(argv[1]), "fake");
    if (!bus.isConnected()) {
        std::fprintf(stderr, "fake_timedated: no bus\n");
        return 1;
    }
    TFakeTimedate service(QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[2]));
    service.Bus = &bus;
    if (!bus.registerObject("/org/freedesktop/timedate1", &service,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerService("org.freedesktop.timedate1")) {
        std::fprintf(stderr, "fake_timedated: cannot register\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}

#include "fake_timedated.moc"
