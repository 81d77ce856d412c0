// What the main window starts outside itself: the user guide and the sync log
// through the desktop's URL opener, the desktop's date-and-time settings, and
// the tool windows it opens for their own subsystems.
#include "TestApp.h"
#include "clockapp/tests/WindowTest.h"

#include "clockapp/MainWindow.h"
#include "clockapp/SmallWindows.h"
#include "clockapp/TrayIcon.h"
#include "timemodel/HXMessageBoxes.h"
#include "timemodel/HX_messages.h"
#include "timemodel/TimeLocation.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <gtest/gtest.h>

#include <fstream>
#include <stdexcept>

namespace {

using V = THXStoredValue;
constexpr auto CU = THXRootKey::HKEY_CURRENT_USER;
using Strings = std::vector<std::string>;

} // namespace

// Stands in for the desktop: takes the "file" URLs the program opens and
// notes whether the help-loading window was up meanwhile.
class TUrlCatcher : public QObject {
    Q_OBJECT
public:
    QWidget* Owner = nullptr;
    std::vector<QUrl> Urls;
    bool LoadingShown = false;

public slots:
    void open(const QUrl& url) {
        Urls.push_back(url);
        if (Owner)
            if (auto* loading = Owner->findChild<TF_HelpLoading*>())
                LoadingShown = loading->isVisible();
    }
};

namespace {

class LaunchTest : public TWindowTest<> {
protected:
    void BeforeStart() override {
        w->LinkholdRunning = [] { return true; };
    }
    void SetUp() override {
        TWindowTest::SetUp();
        catcher.Owner = w.get();
    }
    void TearDown() override {
        QDesktopServices::unsetUrlHandler("file");
        if (!savedPath.isNull()) qputenv("PATH", savedPath);
        TWindowTest::TearDown();
    }

    void CatchFileUrls() { QDesktopServices::setUrlHandler("file", &catcher, "open"); }
    // PATH of this process only, back as it was after the test.
    void SetPath(const QString& path) {
        if (savedPath.isNull()) savedPath = qgetenv("PATH");
        qputenv("PATH", path.toLocal8Bit());
    }
    std::string DataFile(const char* name) const { return dir.filePath(name).toStdString(); }
    bool HelpLoadingExists() const { return w->findChild<TF_HelpLoading*>() != nullptr; }

    TUrlCatcher catcher;
    QByteArray savedPath;
};

const std::string kReaderText = "A PDF viewer is required to display Horolux Help\n\rGet one for "
                                "free at ";

} // namespace

TEST_F(LaunchTest, HelpOpensTheShippedGuideWhileTheLoadingWindowShows) {
    ASSERT_TRUE(QFile::copy(HX_SUITE_DIR "/help.pdf", dir.filePath("help.pdf")));
    CatchFileUrls();
    w->Action("mi_Help")->trigger();
    ASSERT_EQ(catcher.Urls.size(), 1u);
    EXPECT_EQ(catcher.Urls[0], QUrl::fromLocalFile(dir.filePath("help.pdf")));
    EXPECT_TRUE(catcher.LoadingShown);
    EXPECT_FALSE(HelpLoadingExists());
    EXPECT_TRUE(presenter.Texts.empty());
    // What the desktop is handed is the guide itself.
    QFile opened(catcher.Urls[0].toLocalFile());
    ASSERT_TRUE(opened.open(QIODevice::ReadOnly));
    EXPECT_TRUE(opened.read(5) == "%PDF-");
}

TEST_F(LaunchTest, HelpWithoutAViewerOrWithoutTheFileTellsTheUser) {
    { std::ofstream(DataFile("help.pdf")) << "%PDF-1.4\n"; }
    // No URL handler: the test platform has nothing to open documents with.
    w->mi_HelpClick();
    ASSERT_EQ(presenter.Texts.size(), 1u);
    EXPECT_EQ(presenter.Texts[0].rfind(kReaderText, 0), 0u) << presenter.Texts[0];
    EXPECT_GT(presenter.Texts[0].size(), kReaderText.size()); // with the download address
    EXPECT_FALSE(HelpLoadingExists());

    presenter.Texts.clear();
    QFile::remove(dir.filePath("help.pdf"));
    CatchFileUrls();
    w->mi_HelpClick();
    EXPECT_TRUE(catcher.Urls.empty());
    EXPECT_EQ(presenter.Texts,
              Strings{"Horolux could not locate the user guide file\n\rensure that \"help.pdf\" "
                      "is installed and in the same directory at \"horolux\""});
}

TEST_F(LaunchTest, ViewSyncLogOpensTheLogOfTheDataDirectory) {
    { std::ofstream(DataFile("hxsynclog.hxd")) << "SUCCESS\n"; }
    CatchFileUrls();
    w->ViewSyncLog();
    ASSERT_EQ(catcher.Urls.size(), 1u);
    EXPECT_EQ(catcher.Urls[0], QUrl::fromLocalFile(dir.filePath("hxsynclog.hxd")));
}

TEST_F(LaunchTest, DateTimeStartsTheDesktopSettingsWithTheirPage) {
    QTemporaryDir bin;
    const QString args = dir.filePath("datetime.args");
    const QString script = bin.filePath("gnome-control-center");
    {
        std::ofstream out(script.toStdString());
        out << "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" << args.toStdString() << ".tmp'\n"
            << "/bin/mv '" << args.toStdString() << ".tmp' '" << args.toStdString() << "'\n";
    }
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    SetPath(bin.path());
    w->Action("smiLaunchDateTime")->trigger();
    EXPECT_TRUE(presenter.Texts.empty());
    QElapsedTimer t;
    t.start();
    while (!QFile::exists(args) && t.elapsed() < 20000)
        QThread::msleep(10);
    std::ifstream in(args.toStdString());
    Strings lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    EXPECT_EQ(lines, Strings{"datetime"});

    QTemporaryDir emptyBin;
    SetPath(emptyBin.path());
    w->smiLaunchDateTimeClick();
    ASSERT_EQ(presenter.Texts.size(), 1u);
    EXPECT_NE(presenter.Texts[0].find("package gnome-control-center"), std::string::npos)
        << presenter.Texts[0];
}

// ------------------------------------------------------------ tool windows

namespace {

// A tool window as its subsystem would make it; it can be told to fail when
// it is shown.
class TStandInWindow : public QWidget {
public:
    TStandInWindow(QWidget* owner, bool failShowing)
        : QWidget(owner, Qt::Window), FFailShowing(failShowing) {
        ++Alive;
    }
    ~TStandInWindow() override { --Alive; }
    static inline int Alive = 0;
    void setVisible(bool visible) override {
        if (visible && FFailShowing) throw std::runtime_error("cannot show");
        QWidget::setVisible(visible);
    }

private:
    bool FFailShowing;
};

class TStandInAstronomy : public TStandInWindow, public IAstronomyWindow {
public:
    using TStandInWindow::TStandInWindow;
    QWidget* Window() override { return this; }
    void SetLocation(const TTimeLocation& location, bool isSystemLocation) override {
        LocationName = location.Name;
        IsSystemLocation = isSystemLocation;
        VisibleWhenTold = isVisible();
    }
    std::string LocationName;
    bool IsSystemLocation = false;
    bool VisibleWhenTold = true;
};

struct TOpener {
    TToolWindow Kind;
    const char* Toolbar;
    const char* Menu;
};
const TOpener kOpeners[] = {
    {TToolWindow::Dayloom, "sb_Dayloom", "mi_Dayloom"},
    {TToolWindow::SysTimeInfo, "sb_SysTimeInfo", "mi_SysTimeInfo"},
    {TToolWindow::TimeCalc, "sb_Calc", "mi_TimeCalc"},
    {TToolWindow::Calendar, "sbCalendar", "miCalender"},
    {TToolWindow::AlarmManager, "sb_Alarms", "mi_Alarms"},
};

class ToolWindowTest : public LaunchTest {
protected:
    // Installs a factory that counts its windows and notes the commands'
    // state at the moment the window is shown.
    void Provide(const TOpener& o) {
        w->SetToolWindowFactory(o.Kind, [this, o](QWidget* owner) -> QWidget* {
            ++made;
            if (failCreate) throw std::runtime_error("cannot make");
            EXPECT_EQ(owner, w.get());
            auto* window = new TStandInWindow(owner, failShow);
            shownWithCommandEnabled.clear();
            window->installEventFilter(&showWatch);
            showWatch.Check = [this, o] {
                shownWithCommandEnabled.push_back(w->Action(o.Toolbar)->isEnabled());
            };
            return window;
        });
    }
    bool Enabled(const TOpener& o) const {
        return w->Action(o.Toolbar)->isEnabled() && w->Action(o.Menu)->isEnabled();
    }
    bool Disabled(const TOpener& o) const {
        return !w->Action(o.Toolbar)->isEnabled() && !w->Action(o.Menu)->isEnabled();
    }

    struct TShowWatch : QObject {
        std::function<void()> Check;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Show && Check) Check();
            return false;
        }
    } showWatch;
    int made = 0;
    bool failCreate = false;
    bool failShow = false;
    std::vector<bool> shownWithCommandEnabled;
};

} // namespace

TEST_F(ToolWindowTest, CommandsWithoutAWindowFactoryAreDisabled) {
    for (const TOpener& o : kOpeners) {
        EXPECT_TRUE(Disabled(o)) << o.Toolbar;
        w->Action(o.Toolbar)->trigger();
        EXPECT_EQ(w->ToolWindow(o.Kind), nullptr);
    }
    EXPECT_FALSE(w->Action("smiAstro")->isEnabled());
}

TEST_F(ToolWindowTest, OneWindowAtATimeWithItsCommandsDisabledUntilItCloses) {
    for (const TOpener& o : kOpeners) {
        SCOPED_TRACE(o.Toolbar);
        made = 0;
        Provide(o);
        ASSERT_TRUE(Enabled(o));
        w->Action(o.Menu)->trigger();
        QPointer<QWidget> window = w->ToolWindow(o.Kind);
        ASSERT_TRUE(window);
        EXPECT_TRUE(window->isVisible());
        EXPECT_TRUE(window->isWindow());
        EXPECT_EQ(window->parentWidget(), w.get());
        EXPECT_FALSE(window->isModal());
        EXPECT_TRUE(Disabled(o));
        // The Dayloom window is up with its commands already off; the others
        // switch them off once they show.
        EXPECT_EQ(shownWithCommandEnabled, std::vector<bool>{o.Kind != TToolWindow::Dayloom});

        w->Action(o.Toolbar)->trigger(); // disabled: nothing happens
        switch (o.Kind) {
        case TToolWindow::Dayloom:
            w->sb_DayloomClick();
            break;
        case TToolWindow::SysTimeInfo:
            w->sb_SysTimeInfoClick();
            break;
        case TToolWindow::TimeCalc:
            w->sb_CalcClick();
            break;
        case TToolWindow::Calendar:
            w->sbCalendarClick();
            break;
        case TToolWindow::AlarmManager:
            w->sb_AlarmsClick();
            break;
        }
        EXPECT_EQ(made, 1);
        EXPECT_EQ(w->ToolWindow(o.Kind), window);

        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(window); // freed on close
        EXPECT_EQ(w->ToolWindow(o.Kind), nullptr);
        EXPECT_TRUE(Enabled(o));
        w->Action(o.Toolbar)->trigger();
        EXPECT_EQ(made, 2);
        ASSERT_TRUE(w->ToolWindow(o.Kind));
        w->ToolWindow(o.Kind)->close();
    }
    EXPECT_TRUE(presenter.Texts.empty());
}

TEST_F(ToolWindowTest, AWindowThatCannotShowIsFreedAndOnlyTheCalendarSaysSo) {
    failShow = true;
    for (const TOpener& o : kOpeners) {
        SCOPED_TRACE(o.Toolbar);
        presenter.Texts.clear();
        Provide(o);
        w->Action(o.Toolbar)->trigger();
        EXPECT_EQ(w->ToolWindow(o.Kind), nullptr);
        EXPECT_EQ(TStandInWindow::Alive, 0);
        EXPECT_TRUE(Enabled(o));
        if (o.Kind == TToolWindow::Calendar)
            EXPECT_EQ(presenter.Texts, Strings{HXErrorMessage(64).Text});
        else
            EXPECT_TRUE(presenter.Texts.empty());
    }
}

TEST_F(ToolWindowTest, ACalendarThatCannotBeMadeShowsMessage0) {
    failCreate = true;
    const TOpener& calendar = kOpeners[3];
    Provide(calendar);
    w->Action("miCalender")->trigger();
    EXPECT_EQ(presenter.Texts, Strings{HXErrorMessage(0).Text});
    EXPECT_TRUE(Enabled(calendar));
    // A factory that gives nothing is the same failure.
    w->SetToolWindowFactory(TToolWindow::Calendar, [](QWidget*) { return nullptr; });
    w->Action("sbCalendar")->trigger();
    EXPECT_EQ(presenter.Texts.size(), 2u);
}

TEST_F(ToolWindowTest, AstronomyGetsTheCurrentClocksPlaceBeforeShowing) {
    std::vector<QPointer<TStandInAstronomy>> made;
    bool fail = false;
    w->SetAstronomyWindowFactory([&](QWidget* owner) -> IAstronomyWindow* {
        made.push_back(new TStandInAstronomy(owner, fail));
        return made.back();
    });
    ASSERT_TRUE(w->Action("smiAstro")->isEnabled());
    w->Clocks.clear();
    for (const char* name : {"Tokyo", "Here"}) {
        w->Clocks.push_back(std::make_unique<THXClock>());
        w->Clocks.back()->Location.Name = name;
    }
    w->Clocks[1]->ClockType = 1; // Local
    w->Clocks[0]->ClockType = 2;

    w->CurrentClock = 0;
    w->Action("smiAstro")->trigger();
    w->CurrentClock = 1;
    w->Action("smiAstro")->trigger();
    // Each opening is another window; its command stays enabled.
    ASSERT_EQ(made.size(), 2u);
    EXPECT_EQ(made[0]->LocationName, "Tokyo");
    EXPECT_FALSE(made[0]->IsSystemLocation);
    EXPECT_EQ(made[1]->LocationName, "Here");
    EXPECT_TRUE(made[1]->IsSystemLocation);
    for (const auto& a : made) {
        EXPECT_FALSE(a->VisibleWhenTold);
        EXPECT_TRUE(a->isVisible());
        EXPECT_EQ(a->parentWidget(), w.get());
    }
    EXPECT_TRUE(w->Action("smiAstro")->isEnabled());
    made[0]->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(made[0]);

    fail = true;
    w->Action("smiAstro")->trigger();
    ASSERT_EQ(made.size(), 3u);
    EXPECT_FALSE(made[2]); // freed when it could not show
    EXPECT_TRUE(presenter.Texts.empty());
}

#include "test_launches.moc"
