#include "platform/qt/HXBus.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QWidget>
#include <cerrno>
#include <cstdio>

namespace {

QDBusMessage BusDriverCall(const char* member) {
    return QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QString::fromLatin1(member));
}

} // namespace

void WarnNoSessionBus() {
    static bool warned = false;
    if (warned) return;
    warned = true;
    std::fprintf(stderr,
                 "%s: no D-Bus session bus is reachable; the Horolux programs cannot send "
                 "each other messages\n",
                 program_invocation_short_name);
}

TDBusHXMessageTransport::TDBusHXMessageTransport(QDBusConnection connection, QObject* parent)
    : QObject(parent), Connection(std::move(connection)) {
    if (!Connection.isConnected()) {
        WarnNoSessionBus();
        return;
    }
    const QString path = QString::fromLatin1(HXBusMessagesPath);
    const QString iface = QString::fromLatin1(HXBusMessagesInterface);
    Connection.connect(QString(), path, iface, QString::fromLatin1(HXBusMessageSignal), this,
                       SLOT(OnHXMessage(QString)));
    Connection.connect(QString(), path, iface, QString::fromLatin1(HXBusTimeChangedSignal), this,
                       SLOT(OnTimeChanged()));
    // Once the bus has answered, it has also taken our subscriptions: nothing
    // broadcast after this constructor is missed.
    RoundTrip();
}

TDBusHXMessageTransport::~TDBusHXMessageTransport() {
    if (HXMessageTransport() == this) SetHXMessageTransport(nullptr);
}

void TDBusHXMessageTransport::Install() {
    SetHXMessageTransport(this);
}

bool TDBusHXMessageTransport::RoundTrip() {
    const QDBusMessage reply = Connection.call(BusDriverCall("GetId"), QDBus::Block, 10000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

bool TDBusHXMessageTransport::SendSignal(const char* member, const QString* name) {
    if (!Connection.isConnected()) {
        WarnNoSessionBus();
        return false;
    }
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(HXBusMessagesPath),
                                                     QString::fromLatin1(HXBusMessagesInterface),
                                                     QString::fromLatin1(member));
    if (name != nullptr) signal << *name;
    if (!Connection.send(signal)) return false;
    // Messages of one connection reach the bus in order: when the bus answers
    // this call, it has already passed the signal on to every receiver.
    return RoundTrip();
}

bool TDBusHXMessageTransport::SendHXMessage(const std::string& name) {
    const QString n = QString::fromStdString(name);
    return SendSignal(HXBusMessageSignal, &n);
}

bool TDBusHXMessageTransport::SendTimeChange() {
    return SendSignal(HXBusTimeChangedSignal, nullptr);
}

void TDBusHXMessageTransport::OnHXMessage(const QString& name) {
    DispatchHXMessage(name.toStdString());
}

void TDBusHXMessageTransport::OnTimeChanged() {
    DispatchTimeChange();
}

TBusNameClaim ClaimBusName(const QString& name, QDBusConnection connection) {
    if (!connection.isConnected() || connection.interface() == nullptr) {
        WarnNoSessionBus();
        return TBusNameClaim::NoBus;
    }
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        connection.interface()->registerService(name, QDBusConnectionInterface::DontQueueService,
                                                QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) return TBusNameClaim::Taken;
    return reply.value() == QDBusConnectionInterface::ServiceRegistered ? TBusNameClaim::Claimed
                                                                        : TBusNameClaim::Taken;
}

bool IsBusNameOwned(const QString& name, QDBusConnection connection) {
    if (!connection.isConnected() || connection.interface() == nullptr) {
        WarnNoSessionBus();
        return false;
    }
    const QDBusReply<bool> reply = connection.interface()->isServiceRegistered(name);
    return reply.isValid() && reply.value();
}

void BringWidgetToFront(QWidget* widget) {
    if (widget == nullptr || !widget->isVisible()) return;
    widget->raise();
    widget->activateWindow();
}

THXMainWindowService::THXMainWindowService(std::function<void()> bringToFront,
                                           QDBusConnection connection, QObject* parent)
    : QObject(parent), OnBringToFront(std::move(bringToFront)), Connection(std::move(connection)) {}

THXMainWindowService::~THXMainWindowService() {
    if (HoldsName) Connection.unregisterService(QString::fromLatin1(HXMainWindowBusName));
    if (Exported) Connection.unregisterObject(QString::fromLatin1(HXMainWindowPath));
}

TBusNameClaim THXMainWindowService::Claim() {
    if (HoldsName) return TBusNameClaim::Claimed;
    if (!Connection.isConnected()) {
        WarnNoSessionBus();
        return TBusNameClaim::NoBus;
    }
    // The object is there before the name, so whoever sees the name can call it.
    if (!Exported)
        Exported = Connection.registerObject(QString::fromLatin1(HXMainWindowPath), this,
                                             QDBusConnection::ExportScriptableSlots);
    const TBusNameClaim result = ClaimBusName(QString::fromLatin1(HXMainWindowBusName), Connection);
    HoldsName = result == TBusNameClaim::Claimed;
    if (!HoldsName && Exported) {
        Connection.unregisterObject(QString::fromLatin1(HXMainWindowPath));
        Exported = false;
    }
    return result;
}

void THXMainWindowService::BringToFront() {
    if (OnBringToFront) OnBringToFront();
}

bool BringRunningMainWindowToFront(QDBusConnection connection) {
    if (!connection.isConnected()) {
        WarnNoSessionBus();
        return false;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(HXMainWindowBusName), QString::fromLatin1(HXMainWindowPath),
        QString::fromLatin1(HXMainWindowInterface), QStringLiteral("BringToFront"));
    const QDBusMessage reply = connection.call(call, QDBus::Block, 5000);
    return reply.type() == QDBusMessage::ReplyMessage;
}
