// The hidden window, offscreen: its parts by name, the monitoring switch, and
// messages and polls reaching the monitor.
#include "linkhold/LinkholdForm.h"
#include "linkhold/tests/FakeRAS.h"
#include "linkhold/tests/TestApp.h"

#include "timemodel/HX_messages.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <gtest/gtest.h>

using Strings = std::vector<std::string>;

TEST(LinkholdForm, HiddenWindowPollsWhileMonitoringAndHandsMessagesOn) {
    TestApp();
    RegisterHXMessages();
    TLoopbackHXMessageTransport bus;
    SetHXMessageTransport(&bus);
    TRecordingDialogs dialogs;
    SetMessagePresenter(&dialogs);
    TFakeRAS ras;
    ras.Entries = {"Office"};
    TMemoryLinkholdStore store;
    store.Prefs = {"Office", "ann", ""};
    int ended = 0;
    {
        TF_HXLINKHOLD form(
            ras, store, [] { return true; }, [&] { ++ended; });
        EXPECT_EQ(form.objectName(), "F_HXLINKHOLD");
        EXPECT_EQ(form.windowTitle(), "HX D.U.N. Manager");
        EXPECT_EQ(form.size(), QSize(330, 35));
        EXPECT_TRUE(form.windowFlags() & Qt::Tool);
        auto* cb = form.findChild<QCheckBox*>("cbMonitoring");
        auto* status = form.findChild<QLabel*>("lStatus");
        auto* timer = form.findChild<QTimer*>("UpdateTimer");
        ASSERT_TRUE(cb && status && timer);
        EXPECT_EQ(cb->text(), "Monitoring");
        EXPECT_TRUE(cb->isChecked());
        EXPECT_EQ(status->text(), "lStatus");
        EXPECT_EQ(timer->interval(), 1000);
        EXPECT_FALSE(timer->isActive());

        form.FormCreate();
        EXPECT_FALSE(form.isVisible());
        EXPECT_TRUE(timer->isActive());
        EXPECT_EQ(bus.Sent, (Strings{"HXM_RASPhoneBookLoaded", "HXM_RASDisconnected"}));
        bus.Sent.clear();

        cb->click();
        EXPECT_FALSE(timer->isActive());
        cb->click();
        EXPECT_TRUE(timer->isActive());

        // The poll notices the link coming up.
        ras.Links = {{"ppp0", true}};
        QElapsedTimer t;
        t.start();
        while (bus.Sent.empty() && t.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        EXPECT_EQ(bus.Sent, Strings{"HXM_RASConnected"});
        bus.Sent.clear();

        // Requests arrive as messages.
        BroadcastHXMessage(HXM_RASDisconnectRequest);
        BroadcastHXMessage(HXM_RASTerminateLINKHOLD);
        bus.Deliver();
        EXPECT_EQ(ras.Calls, (std::vector<TFakeRAS::TCall>{{"hangup", "Office", "", ""}}));
        EXPECT_EQ(ended, 1);
        EXPECT_FALSE(timer->isActive());
        ras.Finish(true);
    }
    EXPECT_TRUE(dialogs.Texts.empty());
    SetMessagePresenter(nullptr);
    SetHXMessageTransport(nullptr);
}
