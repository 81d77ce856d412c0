#include "TestApp.h"

#include "clockapp/SmallWindows.h"
#include "clockapp/TrayIcon.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <gtest/gtest.h>

TEST(TrayIcon, EnabledAddsAndRemovesTheIcon) {
    TestApp();
    TTrayIcon t;
    t.SetIcon(QApplication::style()->standardIcon(QStyle::SP_ComputerIcon));
    EXPECT_TRUE(t.AutoShow);
    EXPECT_FALSE(t.Enabled());
    EXPECT_FALSE(t.Shown()); // never added while disabled
    t.SetHint("before");
    EXPECT_FALSE(t.Shown());
    t.SetEnabled(true);
    EXPECT_TRUE(t.Shown());
    EXPECT_EQ(t.ShownTip(), "before");
    t.SetEnabled(true); // same value: nothing
    EXPECT_TRUE(t.Shown());
    t.SetEnabled(false);
    EXPECT_FALSE(t.Shown());
}

TEST(TrayIcon, HintIsCutTo63Characters) {
    TestApp();
    TTrayIcon t;
    t.SetIcon(QApplication::style()->standardIcon(QStyle::SP_ComputerIcon));
    t.SetEnabled(true);
    const QString longHint(80, QChar('x'));
    t.SetHint(longHint);
    EXPECT_EQ(t.Hint(), longHint);
    EXPECT_EQ(t.ShownTip().size(), 63);
}

TEST(TrayIcon, ClicksRaiseTheirEventsAndTheMenuDefault) {
    TestApp();
    TTrayIcon t;
    int left = 0, dbl = 0, right = 0, moves = 0;
    t.OnLeftBtnClick = [&](TTrayIcon* s) { left += s == &t; };
    t.OnLeftBtnDblClick = [&](TTrayIcon*) { ++dbl; };
    t.OnRightBtnClick = [&](TTrayIcon*) { ++right; };
    t.OnMouseMove = [&](TTrayIcon*) { ++moves; };
    t.LeftButtonDown();
    t.MouseMove();
    // No menu: a right click raises only the event.
    t.RightButtonDown(QPoint(5, 5));
    EXPECT_EQ(left, 1);
    EXPECT_EQ(right, 1);
    EXPECT_EQ(moves, 1);

    QMenu empty;
    t.SetPopupMenu(&empty);
    t.LeftButtonDblClick(); // an empty menu runs no item
    EXPECT_EQ(dbl, 1);

    QMenu menu;
    int firstRuns = 0;
    QAction* first = menu.addAction("First");
    QObject::connect(first, &QAction::triggered, [&] { ++firstRuns; });
    menu.addAction("Second");
    t.SetPopupMenu(&menu);
    t.LeftButtonDblClick();
    EXPECT_EQ(firstRuns, 1);
    t.RightButtonDown(QPoint(5, 5));
    EXPECT_EQ(menu.defaultAction(), first);
    EXPECT_TRUE(menu.isVisible());
    menu.hide();
    t.AutoShow = false;
    t.LeftButtonDblClick();
    EXPECT_EQ(firstRuns, 1);
}

TEST(ProgressWindow, DefaultsShowDismissAndNoGauge) {
    TestApp();
    TFControledMessage m;
    EXPECT_EQ(m.objectName(), "FControledMessage");
    EXPECT_EQ(m.windowTitle(), "Message");
    m.show();
    EXPECT_FALSE(m.gRemaining()->isVisible());
    EXPECT_TRUE(m.bbDismiss()->isVisible());
    EXPECT_EQ(m.bbDismiss()->text(), "Dismiss");
    m.hide();
    m.ShowProgress = true;
    m.ShowDismiss = false;
    m.SetMessage("Please Wait...\rLocation data is being loaded...");
    m.show();
    EXPECT_TRUE(m.gRemaining()->isVisible());
    EXPECT_FALSE(m.bbDismiss()->isVisible());
    EXPECT_EQ(m.lMessage()->text(), "Please Wait...\nLocation data is being loaded...");
}

TEST(ProgressWindow, DismissAnswersCancel) {
    TestApp();
    TFControledMessage m;
    QTimer::singleShot(0, &m, [&] { m.bbDismiss()->click(); });
    EXPECT_EQ(m.exec(), QDialog::Rejected);
}

TEST(Splash, ClosingMessageFreesItShownOrNot) {
    TestApp();
    QPointer<TFSplash> never = new TFSplash;
    never->WMCloseSplash();
    QPointer<TFSplash> shown = new TFSplash;
    shown->show();
    shown->SetStatus("Loading Clocks...");
    EXPECT_EQ(shown->l_Status()->text(), "Loading Clocks...");
    shown->WMCloseSplash();
    EXPECT_FALSE(shown->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(never);
    EXPECT_FALSE(shown);
}

TEST(AboutBox, ShowsTheTextsItIsGiven) {
    TestApp();
    TAboutBox box;
    EXPECT_EQ(box.windowTitle(), "About Horolux");
    box.VersionText = "2.1.0.37";
    box.LegalText = "Copyright the makers";
    QTimer::singleShot(0, &box, [&] {
        EXPECT_EQ(box.findChild<QLabel*>("l_Version")->text(), "2.1.0.37");
        EXPECT_EQ(box.findChild<QLabel*>("l_Copyright")->text(), "Copyright the makers");
        EXPECT_EQ(box.findChild<QWidget*>("sbTallowinNet")->toolTip(),
                  "Jump to the Horolux web site");
        box.findChild<QPushButton*>("OKButton")->click();
    });
    EXPECT_EQ(box.exec(), QDialog::Accepted);
}

TEST(Welcome, NotesAndButton) {
    TestApp();
    TF_Welcome w;
    EXPECT_EQ(w.windowTitle(), "Startup Notes");
    auto* b = w.findChild<QPushButton*>("b_SetTime");
    ASSERT_TRUE(b);
    EXPECT_EQ(b->text(), "Set Date && Time"); // shown as "Set Date & Time"
    EXPECT_EQ(b->toolTip(), "Open the Desktop's Date and Time Settings");
    bool found = false;
    for (QLabel* l : w.findChildren<QLabel*>())
        found |= l->text().startsWith("If you haven't already, please ensure that you have set "
                                      "your local Time Zone");
    EXPECT_TRUE(found);
}

TEST(HelpLoading, ClosesAfterItsTimer) {
    TestApp();
    TF_HelpLoading h;
    EXPECT_EQ(h.t_HelpLoading->interval(), 3000);
    EXPECT_TRUE(h.t_HelpLoading->isActive());
    h.show();
    h.t_HelpLoading->setInterval(1);
    h.t_HelpLoading->start();
    QElapsedTimer clock;
    clock.start();
    while (h.isVisible() && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_FALSE(h.isVisible());
}
