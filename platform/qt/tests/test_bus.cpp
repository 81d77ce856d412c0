#include "QtTestSupport.h"
#include "platform/qt/HXBus.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QWidget>

#include <vector>

namespace {

QString ProbePath() {
    return QStringLiteral(HX_TEST_DIR "/hx_test_busprobe");
}

// Reads a probe's output lines until it has printed `until` or time runs out
// (a loaded machine may take long to start a probe and its bus).
// Lines read earlier count too: another wait may already have collected it.
bool ReadUntil(QProcess& p, QStringList& lines, const QString& until, int ms = 90000) {
    if (lines.contains(until)) return true;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        while (p.canReadLine()) {
            const QString line = QString::fromUtf8(p.readLine()).trimmed();
            lines << line;
            if (line == until) return true;
        }
        if (p.state() == QProcess::NotRunning && !p.canReadLine()) {
            p.waitForReadyRead(100);
            if (!p.canReadLine()) return false;
            continue;
        }
        p.waitForReadyRead(100);
    }
    return false;
}

void StartProbe(QProcess& p, const TPrivateBus& bus, const QStringList& args) {
    p.setProcessEnvironment(bus.Environment());
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(ProbePath(), args);
    ASSERT_TRUE(p.waitForStarted(60000)) << ProbePath().toStdString();
}

QStringList AllNames(bool withTimeChange) {
    QStringList names;
    for (const char* n : HXMessageNames)
        names << QString::fromLatin1(n);
    if (withTimeChange) names << QStringLiteral("WM_TIMECHANGE");
    return names;
}

QStringList Messages(QStringList lines) {
    lines.removeAll(QStringLiteral("READY"));
    return lines;
}

void Finish(QProcess& p) {
    p.closeWriteChannel();
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished(5000);
    }
}

class Bus : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApp();
        RegisterHXMessages();
    }
    TPrivateBus PrivateBus;
};

} // namespace

TEST_F(Bus, EveryMessageArrivesInOrderAtBothPrograms) {
    HX_REQUIRE_BUS(PrivateBus);
    QProcess listener, sender;
    QStringList heard, echoed;
    StartProbe(listener, PrivateBus, {QStringLiteral("listen"), QStringLiteral("14")});
    StartProbe(sender, PrivateBus, {QStringLiteral("echo"), QStringLiteral("14")});
    ASSERT_TRUE(ReadUntil(listener, heard, QStringLiteral("READY")));
    ASSERT_TRUE(ReadUntil(sender, echoed, QStringLiteral("READY")));
    sender.write("go\n");
    ASSERT_TRUE(sender.waitForBytesWritten(60000));
    ASSERT_TRUE(ReadUntil(listener, heard, QStringLiteral("WM_TIMECHANGE")))
        << heard.join(' ').toStdString();
    ASSERT_TRUE(ReadUntil(sender, echoed, QStringLiteral("WM_TIMECHANGE")))
        << echoed.join(' ').toStdString();
    EXPECT_EQ(Messages(heard), AllNames(true));
    EXPECT_EQ(Messages(echoed), AllNames(true)); // the sender hears itself too
    Finish(listener);
    Finish(sender);
    EXPECT_EQ(listener.exitCode(), 0);
}

TEST_F(Bus, ASenderThatQuitsAtOnceHasDeliveredEverything) {
    HX_REQUIRE_BUS(PrivateBus);
    QProcess listener, sender;
    QStringList heard, said;
    StartProbe(listener, PrivateBus, {QStringLiteral("listen"), QStringLiteral("13")});
    ASSERT_TRUE(ReadUntil(listener, heard, QStringLiteral("READY")));
    StartProbe(sender, PrivateBus, {QStringLiteral("send-and-quit")});
    ASSERT_TRUE(sender.waitForFinished(90000));
    EXPECT_EQ(sender.exitCode(), 0);
    ASSERT_TRUE(ReadUntil(listener, heard, QStringLiteral("HXM_RASPhoneBookLoaded")));
    EXPECT_EQ(Messages(heard), AllNames(false));
    Finish(listener);
}

TEST_F(Bus, OfTwoProgramsClaimingTheMainWindowExactlyOneWins) {
    HX_REQUIRE_BUS(PrivateBus);
    QProcess a, b;
    QStringList la, lb;
    StartProbe(a, PrivateBus, {QStringLiteral("claim")});
    StartProbe(b, PrivateBus, {QStringLiteral("claim")});
    ASSERT_TRUE(ReadUntil(a, la, QStringLiteral("READY")));
    ASSERT_TRUE(ReadUntil(b, lb, QStringLiteral("READY")));
    a.write("go\n");
    b.write("go\n");
    ASSERT_TRUE(a.waitForBytesWritten(60000));
    ASSERT_TRUE(b.waitForBytesWritten(60000));
    auto outcome = [](QProcess& p, QStringList& lines) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 90000 && !lines.contains("WON") && !lines.contains("LOST")) {
            p.waitForReadyRead(100);
            while (p.canReadLine())
                lines << QString::fromUtf8(p.readLine()).trimmed();
        }
        return lines.contains("WON") ? 1 : lines.contains("LOST") ? 0 : -1;
    };
    const int wa = outcome(a, la), wb = outcome(b, lb);
    ASSERT_GE(wa, 0);
    ASSERT_GE(wb, 0);
    EXPECT_EQ(wa + wb, 1) << la.join(' ').toStdString() << " / " << lb.join(' ').toStdString();
    QProcess& winner = wa == 1 ? a : b;
    QProcess& loser = wa == 1 ? b : a;
    QStringList& winnerLines = wa == 1 ? la : lb;
    QStringList& loserLines = wa == 1 ? lb : la;
    // The loser asks the winner to come to the front, as a second horolux does.
    EXPECT_TRUE(ReadUntil(loser, loserLines, QStringLiteral("CALLED")))
        << loserLines.join(' ').toStdString();
    EXPECT_TRUE(ReadUntil(winner, winnerLines, QStringLiteral("FRONT")));
    Finish(loser);
    Finish(winner);
}

TEST_F(Bus, MainWindowNameIsHeldWhileTheServiceLives) {
    HX_REQUIRE_BUS(PrivateBus);
    QDBusConnection first = QDBusConnection::connectToBus(PrivateBus.Address, "hx-first");
    QDBusConnection second = QDBusConnection::connectToBus(PrivateBus.Address, "hx-second");
    ASSERT_TRUE(first.isConnected());
    ASSERT_TRUE(second.isConnected());
    const QString name = QString::fromLatin1(HXMainWindowBusName);
    EXPECT_FALSE(IsBusNameOwned(name, second));
    {
        THXMainWindowService service([] {}, first);
        EXPECT_EQ(service.Claim(), TBusNameClaim::Claimed);
        EXPECT_TRUE(IsBusNameOwned(name, second));
        EXPECT_EQ(ClaimBusName(name, second), TBusNameClaim::Taken);
    }
    EXPECT_FALSE(IsBusNameOwned(name, second));
    EXPECT_FALSE(BringRunningMainWindowToFront(second)); // nobody to answer
    QDBusConnection::disconnectFromBus("hx-first");
    QDBusConnection::disconnectFromBus("hx-second");
}

TEST_F(Bus, InProcessTransportHearsItsOwnBroadcastsInOrder) {
    HX_REQUIRE_BUS(PrivateBus);
    QDBusConnection c = QDBusConnection::connectToBus(PrivateBus.Address, "hx-self");
    std::vector<unsigned> got;
    {
        TDBusHXMessageTransport transport(c);
        transport.Install();
        THXMessageListener l([&](unsigned m) { got.push_back(m); });
        EXPECT_EQ(BroadcastHXMessage(HXM_SyncAttempt), 1);
        EXPECT_TRUE(BroadcastTimeChange());
        EXPECT_EQ(BroadcastHXMessage(HXM_SyncSuccess), 1);
        QElapsedTimer t;
        t.start();
        while (got.size() < 3 && t.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_EQ(HXMessageTransport(), nullptr); // uninstalled with the transport
    EXPECT_EQ(got, (std::vector<unsigned>{HXM_SyncAttempt, WM_TIMECHANGE, HXM_SyncSuccess}));
    QDBusConnection::disconnectFromBus("hx-self");
}

TEST_F(Bus, WithoutABusProgramsRunAndWarnOnce) {
    QDBusConnection none =
        QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/hx-bus"), "hx-none");
    ASSERT_FALSE(none.isConnected());
    testing::internal::CaptureStderr();
    {
        TDBusHXMessageTransport transport(none);
        transport.Install();
        EXPECT_EQ(BroadcastHXMessage(HXM_SyncFail), 0);
        EXPECT_FALSE(BroadcastTimeChange());
        EXPECT_EQ(ClaimBusName(QString::fromLatin1(HXMainWindowBusName), none),
                  TBusNameClaim::NoBus);
        EXPECT_FALSE(IsBusNameOwned(QString::fromLatin1(HXMainWindowBusName), none));
    }
    const std::string err = testing::internal::GetCapturedStderr();
    const size_t at = err.find("no D-Bus session bus");
    EXPECT_NE(at, std::string::npos);
    EXPECT_EQ(err.find("no D-Bus session bus", at + 1), std::string::npos);
    QDBusConnection::disconnectFromBus("hx-none");
}

TEST(BringToFront, HiddenWindowsStayHidden) {
    EnsureApp();
    QWidget w;
    BringWidgetToFront(&w);
    EXPECT_FALSE(w.isVisible());
    BringWidgetToFront(nullptr);
}
