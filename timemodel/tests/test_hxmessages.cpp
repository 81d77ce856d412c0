#include "timemodel/HX_messages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class HXMessages : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterHXMessages();
        SetHXMessageTransport(&Loop);
    }
    void TearDown() override { SetHXMessageTransport(nullptr); }
    TLoopbackHXMessageTransport Loop;
};

std::vector<unsigned> AllIds() {
    return {HXM_SyncAttempt,          HXM_SyncSuccess,          HXM_SyncFail,
            HXM_TerminateTickmatch,   HXM_DSTRulesChanged,      HXM_RASInquiry,
            HXM_RASDisconnected,      HXM_RASConnected,         HXM_RASDialRequest,
            HXM_RASDisconnectRequest, HXM_RASTerminateLINKHOLD, HXM_LoadRASPhoneBook,
            HXM_RASPhoneBookLoaded};
}

} // namespace

TEST_F(HXMessages, RegistrationStoresDistinctStableIdentifiersInTableOrder) {
    const std::vector<unsigned> first = AllIds();
    for (int i = 0; i < HXMessageCount; ++i) {
        EXPECT_GE(first[i], 0xC000u);
        EXPECT_EQ(RegisteredMessageName(first[i]), HXMessageNames[i]);
        if (i > 0) {
            EXPECT_GT(first[i], first[i - 1]);
        }
    }
    RegisterHXMessages(); // again, as the preferences dialog does
    EXPECT_EQ(AllIds(), first);
    EXPECT_EQ(RegisterWindowMessage("hxm_syncfail"), HXM_SyncFail);
    EXPECT_EQ(std::string(HXMessageNames[10]), "HXM_RASTerminateLINKHOLD");
}

TEST_F(HXMessages, BroadcastReachesEveryHandlerOnDeliveryInOrder) {
    std::vector<unsigned> a, b;
    THXMessageListener la([&](unsigned m) { a.push_back(m); });
    THXMessageListener lb([&](unsigned m) { b.push_back(m); });
    for (unsigned id : AllIds())
        EXPECT_EQ(BroadcastHXMessage(id), 1);
    EXPECT_TRUE(BroadcastTimeChange());
    EXPECT_TRUE(a.empty()); // not inside the sender's call
    Loop.Deliver();
    std::vector<unsigned> want = AllIds();
    want.push_back(WM_TIMECHANGE);
    EXPECT_EQ(a, want);
    EXPECT_EQ(b, want);
    ASSERT_EQ(Loop.Sent.size(), 14u);
    EXPECT_EQ(Loop.Sent[0], "HXM_SyncAttempt");
}

TEST_F(HXMessages, UnknownIdentifiersAndNamesGoNowhere) {
    std::vector<unsigned> got;
    THXMessageListener l([&](unsigned m) { got.push_back(m); });
    EXPECT_EQ(BroadcastHXMessage(0), 0);
    EXPECT_EQ(BroadcastHXMessage(0xBFFF), 0);
    EXPECT_TRUE(Loop.Sent.empty());
    DispatchHXMessage("HXM_NotOurs");
    EXPECT_TRUE(got.empty());
    EXPECT_EQ(FindRegisteredMessage("HXM_NotOurs"), 0u); // a peer cannot grow the table
    DispatchHXMessage("HXM_RASConnected");
    EXPECT_EQ(got, std::vector<unsigned>{HXM_RASConnected});
}

TEST_F(HXMessages, NoTransportSendsNothing) {
    SetHXMessageTransport(nullptr);
    EXPECT_EQ(BroadcastHXMessage(HXM_SyncFail), 0);
    EXPECT_FALSE(BroadcastTimeChange());
}

TEST_F(HXMessages, HandlersMayBroadcastAndUnregisterWhileDispatching) {
    std::vector<unsigned> got;
    int second = 0;
    THXMessageListener first([&](unsigned m) {
        got.push_back(m);
        if (m == HXM_RASDialRequest) {
            RemoveHXMessageHandler(second);
            BroadcastHXMessage(HXM_RASConnected); // answered later, in order
        }
    });
    second = AddHXMessageHandler([&](unsigned) { ADD_FAILURE() << "removed handler called"; });
    BroadcastHXMessage(HXM_RASDialRequest);
    Loop.Deliver();
    EXPECT_EQ(got, (std::vector<unsigned>{HXM_RASDialRequest, HXM_RASConnected}));
}
