// The private buses of a program test and an ear on the session one: every
// broadcast heard is recorded by name, the time change as "TimeChanged".
#pragma once

#include "tickmatch/tests/TestProcess.h"

#include "platform/qt/HXBus.h"
#include "timemodel/HX_messages.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Runs the event loop until done or the time is up; whether done.
inline bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

class TBusWatch {
protected:
    // Starts a session and a "system" bus in dir and listens on the session
    // bus through a connection of the name given.
    bool StartBuses(const std::string& dir, const char* connectionName) {
        if (!SessionBus.Start(dir, "session") || !SystemBus.Start(dir, "system")) return false;
        ConnectionName = QString::fromLatin1(connectionName);
        Bus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(
            QString::fromStdString(SessionBus.Address()), ConnectionName));
        if (!Bus->isConnected()) return false;
        Transport = std::make_unique<TDBusHXMessageTransport>(*Bus);
        Transport->Install();
        RegisterHXMessages();
        Listener = std::make_unique<THXMessageListener>([this](unsigned msg) {
            Heard.push_back(msg == WM_TIMECHANGE ? "TimeChanged" : RegisteredMessageName(msg));
        });
        return true;
    }
    // Delivers every broadcast the bus has routed to us so far: a call to the
    // bus itself is answered only after them, however loaded the machine is.
    void Settle() {
        if (Bus && Bus->isConnected()) Bus->interface()->serviceOwner("org.freedesktop.DBus");
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    // How often the message was heard so far.
    size_t Count(const std::string& name) const {
        return size_t(std::count(Heard.begin(), Heard.end(), name));
    }
    // Runs the event loop until the message has been heard n times.
    bool WaitFor(const std::string& name, size_t n = 1, int timeoutMs = 60000) {
        return PumpUntil([&] { return Count(name) >= n; }, timeoutMs);
    }
    void StopListening() {
        Listener.reset();
        Transport.reset();
        Bus.reset();
        if (!ConnectionName.isEmpty()) QDBusConnection::disconnectFromBus(ConnectionName);
    }

    TPrivateBus SessionBus, SystemBus;
    std::unique_ptr<QDBusConnection> Bus;
    std::unique_ptr<TDBusHXMessageTransport> Transport;
    std::unique_ptr<THXMessageListener> Listener;
    std::vector<std::string> Heard;

private:
    QString ConnectionName;
};
