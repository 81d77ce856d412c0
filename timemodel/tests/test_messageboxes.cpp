#include "timemodel/HXMessageBoxes.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

// Answers every dialog with a chosen result and remembers what was asked.
class TRecordingPresenter : public IMessagePresenter {
public:
    struct TCall {
        std::string Text;
        TMsgDlgType Type;
        TMsgDlgButtons Buttons;
        int HelpContext;
    };
    TModalResult Answer = mrOk;
    std::vector<TCall> Calls;

    TModalResult Present(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons,
                         int helpContext) override {
        Calls.push_back({text, type, buttons, helpContext});
        return Answer;
    }
};

class MessageBoxes : public ::testing::Test {
protected:
    void SetUp() override { SetMessagePresenter(&Presenter); }
    void TearDown() override { SetMessagePresenter(nullptr); }
    TRecordingPresenter Presenter;
};

} // namespace

TEST_F(MessageBoxes, OperationsUseTheirKindAndButtons) {
    THXMessageBoxes::ShowInfo("i");
    THXMessageBoxes::ShowError("e");
    THXMessageBoxes::AskYesNo("q");
    THXMessageBoxes::AskYesNoCancel("c");
    THXMessageBoxes::ConfirmYes("y");
    ASSERT_EQ(Presenter.Calls.size(), 5u);
    EXPECT_EQ(Presenter.Calls[0].Type, TMsgDlgType::mtInformation);
    EXPECT_EQ(Presenter.Calls[0].Buttons, TMsgDlgButtons(mbOK));
    EXPECT_EQ(Presenter.Calls[1].Type, TMsgDlgType::mtError);
    EXPECT_EQ(Presenter.Calls[1].Buttons, TMsgDlgButtons(mbOK));
    EXPECT_EQ(Presenter.Calls[2].Type, TMsgDlgType::mtConfirmation);
    EXPECT_EQ(Presenter.Calls[2].Buttons, TMsgDlgButtons(mbYes | mbNo));
    EXPECT_EQ(Presenter.Calls[3].Buttons, TMsgDlgButtons(mbYes | mbNo | mbCancel));
    EXPECT_EQ(Presenter.Calls[4].Buttons, TMsgDlgButtons(mbYes | mbNo));
    for (const auto& c : Presenter.Calls)
        EXPECT_EQ(c.HelpContext, 0);
}

TEST_F(MessageBoxes, AnswersArePassedOn) {
    Presenter.Answer = mrCancel;
    EXPECT_EQ(THXMessageBoxes::AskYesNoCancel("?"), mrCancel);
    EXPECT_EQ(THXMessageBoxes::AskYesNo("?"), mrCancel);
    EXPECT_FALSE(THXMessageBoxes::ConfirmYes("?"));
    Presenter.Answer = mrNo;
    EXPECT_FALSE(THXMessageBoxes::ConfirmYes("?"));
    Presenter.Answer = mrYes;
    EXPECT_TRUE(THXMessageBoxes::ConfirmYes("?"));
}

TEST_F(MessageBoxes, TextEndsAtTheFirstNul) {
    THXMessageBoxes::ShowInfo(std::string("shown\0hidden", 12));
    ASSERT_EQ(Presenter.Calls.size(), 1u);
    EXPECT_EQ(Presenter.Calls[0].Text, "shown");
}

TEST_F(MessageBoxes, EveryCodeHasItsKindAndText) {
    const std::set<int> info = {20, 22, 23, 24, 25, 26, 61, 63};
    const std::set<int> table = {0,  1,  2,  3,  4,  5,  6,  7,  8,  10, 11, 12, 13, 14, 20,
                                 21, 22, 23, 24, 25, 26, 30, 50, 51, 60, 61, 62, 63, 64, 65};
    for (int code = -1; code <= 100; ++code) {
        const THXErrorMessage m = HXErrorMessage(code);
        SCOPED_TRACE(code);
        if (!table.count(code)) {
            EXPECT_EQ(m.Kind, TMsgDlgType::mtError);
            EXPECT_EQ(m.Text, "Error(-) Unknown Error");
            continue;
        }
        const TMsgDlgType want = code == 62         ? TMsgDlgType::mtWarning
                                 : info.count(code) ? TMsgDlgType::mtInformation
                                                    : TMsgDlgType::mtError;
        EXPECT_EQ(m.Kind, want);
        // Error texts carry their own code in brackets.
        if (m.Kind == TMsgDlgType::mtError) {
            EXPECT_EQ(m.Text.rfind("Error(" + std::to_string(code) + ") ", 0), 0u);
        }
        EXPECT_EQ(m.Text.find(".exe"), std::string::npos);
    }
}

TEST_F(MessageBoxes, TableTextsAreExact) {
    EXPECT_EQ(HXErrorMessage(1).Text, "Error(1) Unable to Load Preferences From the Regestry");
    EXPECT_EQ(HXErrorMessage(6).Text,
              "Error(6) Unable to start hxlinkhold - Horolux's Dial-up manager.");
    EXPECT_EQ(HXErrorMessage(7).Text,
              "Error(7) Unable to start tickmatch - Horolux's Time Sync Manager");
    EXPECT_EQ(HXErrorMessage(21).Text,
              "Error(21) The name you have chosen already exists\n\rLocation Names should be "
              "unique\n\ryou may wish to add a country code (eg: US, CA, UK...) to the name");
    EXPECT_EQ(HXErrorMessage(25).Text,
              "Reached last result in current set\n\rReturning first result");
    EXPECT_EQ(HXErrorMessage(62).Text,
              "Warning(62) Sync Log Missing or Already Cleared\r\nDrift Statistics Unavailable");
    EXPECT_EQ(
        HXErrorMessage(63).Text,
        "You currently have the latest version of\r\nboth Horolux and associated data files!");
    EXPECT_EQ(HXErrorMessage(65).Text,
              "Error(65) Could not launch file\n\rIt could be that the file does not exist or the "
              "path is incorrect");
    EXPECT_EQ(HXErrorMessage(11).Text,
              "Error(11) Error Accessing Time Zone Information from the System - World and UTC "
              "Times will be unreliable");
}

TEST_F(MessageBoxes, ShowErrorCodeShowsTheTableEntryWithOk) {
    for (int code : {9, 15, 99}) {
        Presenter.Calls.clear();
        THXMessageBoxes::ShowErrorCode(code);
        ASSERT_EQ(Presenter.Calls.size(), 1u);
        EXPECT_EQ(Presenter.Calls[0].Text, "Error(-) Unknown Error");
        EXPECT_EQ(Presenter.Calls[0].Type, TMsgDlgType::mtError);
        EXPECT_EQ(Presenter.Calls[0].Buttons, TMsgDlgButtons(mbOK));
    }
    Presenter.Calls.clear();
    THXMessageBoxes::ShowErrorCode(62);
    EXPECT_EQ(Presenter.Calls[0].Type, TMsgDlgType::mtWarning);
    THXMessageBoxes::ShowErrorCode(50);
    EXPECT_EQ(Presenter.Calls[1].Text, "Error(50) Dial Attempt Failed");
}

TEST(MessageDialogText, BothLineBreakPairsAndLoneBreaksShowAsOneLineFeed) {
    EXPECT_EQ(DialogDisplayText("a\n\rb\r\nc"), "a\nb\nc");
    EXPECT_EQ(DialogDisplayText("a\n\r\n\rb"), "a\n\nb");
    EXPECT_EQ(DialogDisplayText("a\r\n\r\nb"), "a\n\nb");
    EXPECT_EQ(DialogDisplayText("Please Wait...\rLocation"), "Please Wait...\nLocation");
    EXPECT_EQ(DialogDisplayText("end\n"), "end\n");
    EXPECT_EQ(DialogDisplayText("x\n\n"), "x\n\n");
}

TEST(MessageDialogText, EscapeAnswersNoOrCancel) {
    EXPECT_EQ(EscapeResult(mbYes | mbNo), mrNo);
    EXPECT_EQ(EscapeResult(mbYes | mbNo | mbCancel), mrCancel);
    EXPECT_EQ(EscapeResult(mbOK), mrOk);
}

TEST(MessageDialogText, WithoutPresenterQuestionsTakeTheEscapeAnswer) {
    SetMessagePresenter(nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(THXMessageBoxes::AskYesNoCancel("Save?"), mrCancel);
    EXPECT_FALSE(THXMessageBoxes::ConfirmYes("Sure?"));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Save?"), std::string::npos);
}
