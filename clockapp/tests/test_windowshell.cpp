// The main window as it first appears and as its frame changes: the splash,
// the first show, the title bar switched by a double click.
#include "TestApp.h"

#include "clockapp/ClockDisplay.h"
#include "clockapp/SmallWindows.h"
#include "clockapp/TrayIcon.h"
#include "clockapp/tests/QuietClocks.h"
#include "timemodel/HXClock.h"

#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>
#include <gtest/gtest.h>

#include <memory>

namespace {

using V = THXStoredValue;
constexpr auto CU = THXRootKey::HKEY_CURRENT_USER;

// Takes what the screen shows of the splash when the program starts waiting.
class SplashClocks : public QuietClocks {
public:
    using QuietClocks::QuietClocks;
    int Waits = 0;
    QImage OnScreen;

protected:
    void SplashWait(int) override {
        ++Waits;
        if (FSplash && FSplash->windowHandle() && FSplash->windowHandle()->isExposed())
            OnScreen = FSplash->screen()->grabWindow(FSplash->winId()).toImage();
    }
};

class WindowShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        TTrayIcon::SetNotificationAreaOverride(true);
        SetQuietStartPrefs(store);
    }
    void TearDown() override { TTrayIcon::SetNotificationAreaOverride(std::nullopt); }
    template <class T = QuietClocks> std::unique_ptr<T> Start() {
        auto w = std::make_unique<T>(store);
        w->SplashDelayMs = 0;
        w->FormCreate("/nonexistent", {"-datadir", dir.path().toStdString(), "-readonly"});
        return w;
    }
    void WriteClocks(int count) {
        std::string text;
        for (int i = 0; i < count; ++i) {
            THXClock c;
            c.ClockType = 0;
            c.Location.Name = "Place" + std::to_string(i);
            text += c.DataString('\t') + "\r\n";
        }
        QFile f(dir.filePath("hxclocks.hxd"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.c_str());
    }
    static void DoubleClick(QWidget* w, QPoint at) {
        QMouseEvent e(QEvent::MouseButtonDblClick, at, w->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }
    QTemporaryDir dir;
    THXMemoryPrefsStore store;
};

} // namespace

TEST_F(WindowShellTest, SplashIsPaintedBeforeTheWaitAndEveryWindowHasTheIcon) {
    store.SetValue(CU, kPrefsKey, "ShowSplash", V::FromInteger(1));
    auto w = Start<SplashClocks>();
    // The program's icon is on its windows and boxes, the splash too.
    EXPECT_FALSE(QWidget().windowIcon().isNull());
    ASSERT_EQ(w->Waits, 1);
    ASSERT_FALSE(w->OnScreen.isNull()) << "the splash is on the screen when the wait begins";
    int lit = 0;
    for (int y = 0; y < w->OnScreen.height(); ++y)
        for (int x = 0; x < w->OnScreen.width(); ++x)
            if (QColor(w->OnScreen.pixel(x, y)).lightness() > 40) ++lit;
    EXPECT_GT(lit, 100) << "not an all-black frame";
}

// Before it is first shown the window has the size the tick would give it and
// the time in its title and tray hint: nothing jumps a second later.
TEST_F(WindowShellTest, FirstShowHasTheConstrainedSizeAndTheTime) {
    WriteClocks(3);
    store.SetValue(CU, kPrefsKey, "ConstrainWindowType", V::FromInteger(1));
    store.SetValue(CU, kPrefsKey, "FormWidth", V::FromInteger(900));
    auto w = Start();
    ASSERT_EQ(w->Clocks.size(), 3u);
    ASSERT_FALSE(w->isVisible());
    const QSize first = w->size();
    const QString title = w->windowTitle();
    const QString hint = w->ti_HoroluxTray->Hint();
    EXPECT_NE(first.width(), 900);
    EXPECT_TRUE(title.contains("UTC")) << title.toStdString();
    EXPECT_FALSE(hint.isEmpty());

    w->show();
    QCoreApplication::processEvents();
    w->Timer1->stop();
    ClockDisplayOf(*w).UpdateClockDisplays(true);
    EXPECT_EQ(w->size(), first);
    w->close();
}

TEST_F(WindowShellTest, DoubleClickOnTheClockAreaHidesAndShowsTheTitleBarOnScreen) {
    WriteClocks(1);
    auto w = Start();
    w->show();
    QCoreApplication::processEvents();
    w->Timer1->stop();
    auto* area = w->findChild<QScrollArea*>("pClocks");
    ASSERT_TRUE(area);
    QWidget* contents = w->ClockArea();
    const QPoint empty(contents->width() - 3, contents->height() - 3);
    ASSERT_EQ(contents->childAt(empty), nullptr);

    DoubleClick(contents, empty);
    QCoreApplication::processEvents();
    EXPECT_FALSE(w->TitlebarVisible);
    EXPECT_TRUE(w->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(w->Action("miHideTitlebar")->text(), "Show TitleBar");

    // The borderless window is put at the screen's top (as a desktop or the
    // preferences may do); the title bar then comes back on the screen.
    w->setGeometry(QRect(QPoint(0, 0), w->size()));
    QCoreApplication::processEvents();
    DoubleClick(w->ClockArea(), QPoint(w->ClockArea()->width() - 3, w->ClockArea()->height() - 3));
    QCoreApplication::processEvents();
    EXPECT_TRUE(w->TitlebarVisible);
    EXPECT_FALSE(w->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(w->Action("miHideTitlebar")->text(), "Hide TitleBar");
    const QRect free = w->screen()->availableGeometry();
    EXPECT_TRUE(free.contains(w->frameGeometry().topLeft()))
        << w->frameGeometry().x() << "," << w->frameGeometry().y();
    EXPECT_GT(w->geometry().top(), w->frameGeometry().top()) << "the frame is back";

    // A double click on a clock is the clock's, not the area's.
    QWidget* clock = ClockDisplayOf(*w).ClockControl(0);
    ASSERT_TRUE(clock);
    DoubleClick(contents, clock->geometry().center());
    EXPECT_TRUE(w->TitlebarVisible);
    w->close();
}

// The tool bar never lies over a clock: a window fitted to a few clocks is as
// wide as the bar, so no button waits behind ">>"; and where the user has made
// the window narrower, the rows that ">>" unfolds push the clocks down, the
// window growing by them and shrinking back when they fold.
TEST_F(WindowShellTest, ToolBarButtonsAllShowAndNeverCoverAClock) {
    WriteClocks(2);
    store.SetValue(CU, kPrefsKey, "ConstrainWindowType", V::FromInteger(1));
    auto w = Start();
    w->show();
    QCoreApplication::processEvents();
    w->Timer1->stop();
    auto* bar = w->findChild<QToolBar*>("tbMainToolSet");
    ASSERT_TRUE(bar);
    auto* more = bar->findChild<QToolButton*>("qt_toolbar_ext_button");
    ASSERT_TRUE(more);
    ASSERT_EQ(bar->actions().size(), 9);
    for (QAction* a : bar->actions()) {
        QWidget* button = bar->widgetForAction(a);
        ASSERT_TRUE(button) << a->objectName().toStdString();
        EXPECT_TRUE(button->isVisible()) << a->objectName().toStdString() << " is behind >>";
    }
    EXPECT_FALSE(more->isVisible());

    const auto expectClear = [&](const char* when) {
        const QRect barRect(bar->mapTo(w.get(), QPoint(0, 0)), bar->size());
        TClockDisplay& display = ClockDisplayOf(*w);
        for (int i = 0; i < int(w->Clocks.size()); ++i) {
            QWidget* c = display.ClockControl(i);
            const QRect clock(c->mapTo(w.get(), QPoint(0, 0)), c->size());
            EXPECT_FALSE(barRect.intersects(clock)) << when << ": clock " << i;
            EXPECT_TRUE(w->rect().contains(clock)) << when << ": clock " << i;
        }
    };
    w->ConstrainWindowType = 0;
    const QSize first = w->size();
    // Narrow enough for two rows (in a window too low for its rows the bar
    // offers a menu instead, which closes again).
    w->resize(bar->sizeHint().width() * 2 / 3, w->height());
    QCoreApplication::processEvents();
    ASSERT_TRUE(more->isVisible());
    ASSERT_NE(more->popupMode(), QToolButton::InstantPopup);
    const int folded = w->height();
    more->click();
    QCoreApplication::processEvents();
    EXPECT_GT(bar->height(), 25) << "unfolded into rows";
    EXPECT_GT(w->height(), folded);
    expectClear("unfolded");
    more->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->height(), 25);
    EXPECT_EQ(w->height(), folded);
    expectClear("folded");

    // Unfolded, then widened back: one row again, as high as at first.
    more->click();
    QCoreApplication::processEvents();
    ASSERT_GT(bar->height(), 25);
    w->resize(first.width(), w->height());
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->height(), 25);
    EXPECT_EQ(w->size(), first);
    EXPECT_FALSE(more->isVisible());
    EXPECT_FALSE(more->isChecked());
    expectClear("widened");
    w->close();
}

// A window of free size comes up with its clocks in rows as wide as the
// window, not in the one column that the clock area's width before the first
// show would give (nothing lays them out again when it shows).
TEST_F(WindowShellTest, FreeSizeWindowFlowsItsClocksAcrossItsWidthAtStart) {
    WriteClocks(3);
    store.SetValue(CU, kPrefsKey, "ConstrainWindowType", V::FromInteger(0));
    store.SetValue(CU, kPrefsKey, "FormWidth", V::FromInteger(900));
    auto w = Start();
    ASSERT_FALSE(w->isVisible());
    TClockDisplay& display = ClockDisplayOf(*w);
    for (int i = 1; i < 3; ++i)
        EXPECT_EQ(display.ClockControl(i)->y(), display.ClockControl(0)->y()) << i;
}

// Made narrower by the user, a window of free size flows its clocks into more
// rows at once, not only when a clock is changed.
TEST_F(WindowShellTest, FreeSizeWindowFlowsItsClocksAgainWhenResized) {
    WriteClocks(6);
    store.SetValue(CU, kPrefsKey, "ConstrainWindowType", V::FromInteger(0));
    store.SetValue(CU, kPrefsKey, "FormWidth", V::FromInteger(1200));
    auto w = Start();
    w->show();
    QCoreApplication::processEvents();
    w->Timer1->stop();
    TClockDisplay& display = ClockDisplayOf(*w);
    ASSERT_EQ(display.ClockControl(5)->y(), display.ClockControl(0)->y());
    w->resize(display.ClockControl(0)->width() * 2 + 10, w->height());
    QCoreApplication::processEvents();
    auto* area = w->findChild<QScrollArea*>("pClocks");
    for (int i = 0; i < 6; ++i) {
        QWidget* c = display.ClockControl(i);
        EXPECT_LE(c->x() + c->width(), area->viewport()->width()) << i;
    }
    EXPECT_GT(display.ClockControl(5)->y(), display.ClockControl(0)->y());
    w->close();
}
