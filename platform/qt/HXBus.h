// The suite's programs on the D-Bus session bus: the HXM_ broadcasts and the
// time-change message as signals on our own path and interface, and the main
// window's bus name, which stands for "a horolux main window exists".
//
// Without a reachable session bus the programs still run: broadcasts go
// nowhere and one warning says so.
//
// A program, once its QApplication exists:
//     RegisterHXMessages();
//     TDBusHXMessageTransport transport;  transport.Install();
//     THXMessageListener listener([&](unsigned msg) { if (msg == HXM_SyncFail) ...; });
// horolux also claims the main window's name with THXMainWindowService and,
// when that name is taken, calls BringRunningMainWindowToFront and ends.
#pragma once

#include "timemodel/HX_messages.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <functional>

class QWidget;

inline constexpr const char* HXBusMessagesPath = "/org/horolux/Messages";
inline constexpr const char* HXBusMessagesInterface = "org.horolux.Messages";
inline constexpr const char* HXBusMessageSignal = "HXMessage"; // one string: the name
inline constexpr const char* HXBusTimeChangedSignal = "TimeChanged";

inline constexpr const char* HXMainWindowBusName = "org.horolux.MainWindow";
inline constexpr const char* HXMainWindowPath = "/org/horolux/MainWindow";
inline constexpr const char* HXMainWindowInterface = "org.horolux.MainWindow";

// Held by hxlinkhold while it runs, so that only one is ever started.
inline constexpr const char* HXLinkholdBusName = "org.horolux.Linkhold";

// Prints, once per process, that the session bus cannot be reached.
void WarnNoSessionBus();

// Carries the broadcasts over a bus connection and hands what arrives (from
// every program, this one included) to DispatchHXMessage/DispatchTimeChange.
class TDBusHXMessageTransport : public QObject, public IHXMessageTransport {
    Q_OBJECT
public:
    explicit TDBusHXMessageTransport(QDBusConnection connection = QDBusConnection::sessionBus(),
                                     QObject* parent = nullptr);
    ~TDBusHXMessageTransport() override;

    bool IsConnected() const { return Connection.isConnected(); }
    // Makes this the process transport (undone when it is destroyed).
    void Install();

    // Both return after the bus has taken the message, so the sender may
    // quit at once.
    bool SendHXMessage(const std::string& name) override;
    bool SendTimeChange() override;

private slots:
    void OnHXMessage(const QString& name);
    void OnTimeChanged();

private:
    bool SendSignal(const char* member, const QString* name);
    bool RoundTrip();

    QDBusConnection Connection;
};

enum class TBusNameClaim { Claimed, Taken, NoBus };

// Claims a well-known name without queueing: of several claimants at once,
// exactly one gets it.
TBusNameClaim ClaimBusName(const QString& name,
                           QDBusConnection connection = QDBusConnection::sessionBus());
bool IsBusNameOwned(const QString& name,
                    QDBusConnection connection = QDBusConnection::sessionBus());

// Raises and activates a shown window; a window hidden in the tray stays hidden.
void BringWidgetToFront(QWidget* widget);

// The main window's presence on the bus: owns HXMainWindowBusName while it
// lives and answers BringToFront.
class THXMainWindowService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.horolux.MainWindow")
public:
    explicit THXMainWindowService(std::function<void()> bringToFront,
                                  QDBusConnection connection = QDBusConnection::sessionBus(),
                                  QObject* parent = nullptr);
    ~THXMainWindowService() override;

    TBusNameClaim Claim();
    bool Owned() const { return HoldsName; }

public slots:
    Q_SCRIPTABLE void BringToFront();

private:
    std::function<void()> OnBringToFront;
    QDBusConnection Connection;
    bool HoldsName = false;
    bool Exported = false;
};

// Asks the running main window to come to the front; false when none
// answered.
bool BringRunningMainWindowToFront(QDBusConnection connection = QDBusConnection::sessionBus());
