// Boxes held back while a piece of work runs: what waits, what is asked at
// once, and that nothing is shown for an owner that has gone.
#include "QtTestSupport.h"
#include "platform/qt/DeferredBoxes.h"

#include <QElapsedTimer>

#include <functional>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

struct TUser : IMessagePresenter {
    Strings Texts;
    std::function<void()> WhileOpen;
    TModalResult Present(const std::string& text, TMsgDlgType, TMsgDlgButtons, int) override {
        Texts.push_back(text);
        if (WhileOpen) WhileOpen();
        return mrYes;
    }
};

TEST(DeferredBoxes, InformingBoxesWaitForTheLoopQuestionsAreAskedAtOnce) {
    EnsureApp();
    TUser user;
    SetMessagePresenter(&user);
    TDeferredBoxQueue queue;
    auto* owner = new QObject;
    bool shown = true;
    int shows = 0;
    {
        TDeferredBoxes boxes(queue, owner, [&] {
            ++shows;
            shown = ShowDeferredBoxes(queue, owner);
        });
        EXPECT_EQ(MessageDlg("first", TMsgDlgType::mtError, mbOK, 0), mrOk);
        EXPECT_EQ(MessageDlg("asked", TMsgDlgType::mtConfirmation, mbYes | mbNo, 0), mrYes);
        EXPECT_EQ(MessagePresenter(), &boxes);
        MessageDlg("second", TMsgDlgType::mtInformation, mbOK, 0);
        MessageDlg("third", TMsgDlgType::mtInformation, mbOK, 0);
    }
    EXPECT_EQ(MessagePresenter(), &user);
    EXPECT_EQ(user.Texts, Strings{"asked"});

    // The owner goes while the first waiting box is up: the rest is dropped.
    user.WhileOpen = [&] {
        if (user.Texts.size() == 2) delete owner;
    };
    QElapsedTimer t;
    t.start();
    while (shows == 0 && t.elapsed() < 60000)
        QCoreApplication::processEvents();
    EXPECT_EQ(shows, 1);
    EXPECT_FALSE(shown);
    EXPECT_EQ(user.Texts, (Strings{"asked", "first"}));

    // A scope whose owner has gone before the loop runs shows nothing.
    user.WhileOpen = nullptr;
    TDeferredBoxQueue late;
    auto* gone = new QObject;
    {
        TDeferredBoxes boxes(late, gone, [&] { ++shows; });
        MessageDlg("late", TMsgDlgType::mtInformation, mbOK, 0);
    }
    delete gone;
    QCoreApplication::processEvents();
    EXPECT_EQ(shows, 1);
    SetMessagePresenter(nullptr);
}

} // namespace
