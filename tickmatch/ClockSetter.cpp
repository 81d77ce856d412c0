#include "tickmatch/ClockSetter.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <atomic>

namespace {

const char* const Service = "org.freedesktop.timedate1";
const char* const ObjectPath = "/org/freedesktop/timedate1";
const char* const Interface = "org.freedesktop.timedate1";

std::string ReasonFor(const QString& errorName, const QString& message) {
    if (errorName == "org.freedesktop.timedate1.AutomaticTimeSyncEnabled")
        return "automatic time synchronisation is on";
    if (errorName == "org.freedesktop.DBus.Error.AccessDenied" ||
        errorName == "org.freedesktop.DBus.Error.InteractiveAuthorizationRequired" ||
        errorName == "org.freedesktop.PolicyKit1.Error.NotAuthorized" ||
        errorName == "org.freedesktop.PolicyKit1.Error.Cancelled")
        return "not authorised to set the time";
    if (errorName == "org.freedesktop.DBus.Error.ServiceUnknown" ||
        errorName == "org.freedesktop.DBus.Error.NameHasNoOwner" ||
        errorName == "org.freedesktop.DBus.Error.UnknownObject" ||
        errorName == "org.freedesktop.DBus.Error.UnknownMethod")
        return "no system time service";
    if (errorName == "org.freedesktop.DBus.Error.NoReply" ||
        errorName == "org.freedesktop.DBus.Error.Timeout")
        return "the system time service did not answer";
    std::string text = message.toStdString();
    return text.empty() ? errorName.toStdString() : text;
}

} // namespace

TSystemClockSetter::TSystemClockSetter(std::string busAddress) : BusAddress(std::move(busAddress)) {
    static std::atomic<int> counter{0};
    ConnectionName = "tickmatch-clock-" + std::to_string(++counter);
}

TSystemClockSetter::~TSystemClockSetter() {
    if (!BusAddress.empty())
        QDBusConnection::disconnectFromBus(QString::fromStdString(ConnectionName));
}

bool TSystemClockSetter::ShiftClock(int64_t microseconds, std::string& reason) {
    QDBusConnection bus =
        BusAddress.empty() ? QDBusConnection::systemBus()
                           : QDBusConnection::connectToBus(QString::fromStdString(BusAddress),
                                                           QString::fromStdString(ConnectionName));
    if (!bus.isConnected()) {
        reason = "the system bus cannot be reached";
        return false;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(Service, ObjectPath, Interface, "SetTime");
    // Relative, so time spent waiting (for the user, for the reply) is not lost;
    // interactive, so the desktop may ask for a password.
    call << qlonglong(microseconds) << true << true;
    call.setInteractiveAuthorizationAllowed(true);
    QDBusMessage reply = bus.call(call, QDBus::Block, ReplyTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) return true;
    reason = ReasonFor(reply.errorName(), reply.errorMessage());
    return false;
}
