#include "QtTestSupport.h"
#include "platform/qt/HXQtMessagePresenter.h"
#include "platform/qt/HXTermination.h"

#include <QAbstractButton>
#include <QDialog>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

namespace {

QMessageBox* ShownBox() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box != nullptr && box->isVisible())
            return box;
    return nullptr;
}

// Runs action on the dialog once it shows; remembers what the user saw.
struct TAnswer {
    QString Title, Text;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons Buttons;
    bool Seen = false;
};

void AnswerWhenShown(TAnswer& seen, std::function<void(QMessageBox*)> action) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, &seen, action] {
        QMessageBox* box = ShownBox();
        if (box == nullptr) return;
        timer->stop();
        timer->deleteLater();
        seen.Seen = true;
        seen.Title = box->windowTitle();
        seen.Text = box->text();
        seen.Icon = box->icon();
        seen.Buttons = box->standardButtons();
        action(box);
    });
    timer->start();
}

void PressEscape(QMessageBox* box) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(box, &press);
}

std::function<void(QMessageBox*)> Click(QMessageBox::StandardButton which) {
    return [which](QMessageBox* box) { box->button(which)->click(); };
}

class QtMessageBoxes : public ::testing::Test {
protected:
    void SetUp() override { EnsureApp(); }
    TQtMessagePresenterScope Scope;
    TAnswer Seen;
};

} // namespace

TEST_F(QtMessageBoxes, EscapeAnswersNoInAYesNoBox) {
    AnswerWhenShown(Seen, PressEscape);
    EXPECT_EQ(THXMessageBoxes::AskYesNo("Delete it?"), mrNo);
    ASSERT_TRUE(Seen.Seen);
    EXPECT_EQ(Seen.Title, "Confirm");
    EXPECT_EQ(Seen.Icon, QMessageBox::Question);
    EXPECT_EQ(Seen.Buttons, QMessageBox::Yes | QMessageBox::No);
}

TEST_F(QtMessageBoxes, EscapeAnswersCancelInAYesNoCancelBox) {
    AnswerWhenShown(Seen, PressEscape);
    EXPECT_EQ(THXMessageBoxes::AskYesNoCancel("Save?"), mrCancel);
    EXPECT_EQ(Seen.Buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
}

TEST_F(QtMessageBoxes, ClickedButtonsGiveTheirResults) {
    AnswerWhenShown(Seen, Click(QMessageBox::Yes));
    EXPECT_TRUE(THXMessageBoxes::ConfirmYes("Sure?"));
    AnswerWhenShown(Seen, Click(QMessageBox::No));
    EXPECT_EQ(THXMessageBoxes::AskYesNoCancel("Save?"), mrNo);
    AnswerWhenShown(Seen, Click(QMessageBox::Yes));
    EXPECT_EQ(THXMessageBoxes::AskYesNoCancel("Save?"), mrYes);
}

TEST_F(QtMessageBoxes, YesIsTheDefaultButton) {
    std::unique_ptr<QMessageBox> box =
        TQtMessagePresenter::CreateDialog("?", TMsgDlgType::mtConfirmation, mbYes | mbNo);
    ASSERT_NE(box->defaultButton(), nullptr);
    EXPECT_EQ(static_cast<QAbstractButton*>(box->defaultButton()), box->button(QMessageBox::Yes));
    EXPECT_EQ(box->escapeButton(), box->button(QMessageBox::No));
}

TEST_F(QtMessageBoxes, NumberedMessagesShowKindIconAndLineBreaks) {
    struct TCase {
        int Code;
        QString Title;
        QMessageBox::Icon Icon;
        QString Text;
    };
    const TCase cases[] = {
        {62, "Warning", QMessageBox::Warning,
         "Warning(62) Sync Log Missing or Already Cleared\nDrift Statistics Unavailable"},
        {25, "Information", QMessageBox::Information,
         "Reached last result in current set\nReturning first result"},
        {21, "Error", QMessageBox::Critical,
         "Error(21) The name you have chosen already exists\nLocation Names should be "
         "unique\nyou may wish to add a country code (eg: US, CA, UK...) to the name"},
        {99, "Error", QMessageBox::Critical, "Error(-) Unknown Error"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Code);
        Seen = TAnswer{};
        AnswerWhenShown(Seen, Click(QMessageBox::Ok));
        THXMessageBoxes::ShowErrorCode(c.Code);
        ASSERT_TRUE(Seen.Seen);
        EXPECT_EQ(Seen.Title, c.Title);
        EXPECT_EQ(Seen.Icon, c.Icon);
        EXPECT_EQ(Seen.Text, c.Text);
        EXPECT_EQ(Seen.Buttons, QMessageBox::Ok);
    }
}

TEST_F(QtMessageBoxes, TextIsPlainAndEndsAtNul) {
    AnswerWhenShown(Seen, PressEscape);
    THXMessageBoxes::ShowInfo(std::string("<b>ZoneName</b> <default>\0rest", 31));
    EXPECT_EQ(Seen.Text, "<b>ZoneName</b> <default>");
    std::unique_ptr<QMessageBox> box =
        TQtMessagePresenter::CreateDialog("<b>x</b>", TMsgDlgType::mtError, mbOK);
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
}

// A box shows above the modal window it is raised from and stays on top with
// it, but is not that window's: when the window goes while the box is up (an
// alarm's pop-up that times out) the box stays until it is answered, and the
// answer is the user's, never one made up by the window closing.
TEST_F(QtMessageBoxes, ABoxOutlivesTheModalWindowItIsRaisedFrom) {
    QPointer<QDialog> owner = new QDialog;
    owner->setWindowFlag(Qt::WindowStaysOnTopHint);
    owner->setWindowModality(Qt::ApplicationModal);
    owner->show();
    bool onTop = false, above = false, stayed = false;
    AnswerWhenShown(Seen, [&](QMessageBox* box) {
        onTop = box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        above = box->windowHandle() != nullptr &&
                box->windowHandle()->transientParent() == owner->windowHandle();
        delete owner.data();
        QPointer<QMessageBox> alive(box);
        QTimer::singleShot(50, box, [alive, &stayed] {
            stayed = alive && alive->isVisible();
            if (alive) alive->button(QMessageBox::Yes)->click();
        });
    });
    EXPECT_EQ(THXMessageBoxes::AskYesNo("Keep it?"), mrYes);
    EXPECT_TRUE(onTop);
    EXPECT_TRUE(above) << "the box is not shown above the window it came from";
    EXPECT_TRUE(stayed) << "the box went with its window";
    EXPECT_TRUE(owner.isNull());
    EXPECT_EQ(ShownBox(), nullptr);
}

// At the end of the session (a logout) nothing waits on a question: the box
// that is up closes as Escape closes it, what the program holds is saved, and
// later boxes are not shown at all.
TEST_F(QtMessageBoxes, AtTheSessionsEndNoQuestionWaits) {
    bool saved = false;
    AnswerWhenShown(Seen, [&](QMessageBox*) { EndSession([&] { saved = true; }); });
    EXPECT_EQ(THXMessageBoxes::AskYesNoCancel("Save the changes?"), mrCancel);
    EXPECT_TRUE(saved);
    TAnswer later;
    AnswerWhenShown(later, Click(QMessageBox::Yes));
    EXPECT_EQ(THXMessageBoxes::AskYesNo("Are you sure?"), mrNo);
    EXPECT_FALSE(later.Seen);
    EXPECT_EQ(ShownBox(), nullptr);
    EndMessageDialogs(false);
    // Boxes show again; the answerer still waiting takes this one.
    EXPECT_EQ(THXMessageBoxes::AskYesNo("Are you sure?"), mrYes);
    EXPECT_TRUE(later.Seen);
}
