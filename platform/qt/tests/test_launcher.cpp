// The launcher of Execute alarms and the alarm pop-up's "<-- Launch": how a
// text is split, what it starts, and that no shell ever reads it.
#include "QtTestSupport.h"
#include "platform/qt/Launch.h"

#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <gtest/gtest.h>

#include <random>

// Stands in for the desktop's opener of web addresses and documents.
class TOpenedUrls : public QObject {
    Q_OBJECT
public:
    std::vector<QUrl> Urls;
public slots:
    void open(const QUrl& url) { Urls.push_back(url); }
};

namespace {

using Strings = std::vector<std::string>;

TEST(LaunchSplit, BackslashTextsKeepTheirSplitOthersSplitIntoWords) {
    const struct {
        const char* Text;
        const char* Dir;
        const char* File;
        Strings Args;
    } cases[] = {
        {"c:\\prog\\app.exe -f", "c:\\prog\\", "app.exe", {"-f"}},
        // A backslash in a parameter moves the split there.
        {"c:\\prog\\app.exe -f c:\\data\\x", "c:\\prog\\app.exe -f c:\\data\\", "x", {}},
        {"c:\\dir\\ x", "c:\\dir\\", "", {"x"}},
        {"http://x.org/a", "", "http://x.org/a", {}},
        {"/usr/bin/prog -o /tmp/x", "", "/usr/bin/prog", {"-o", "/tmp/x"}},
        {"\"/opt/my app/run\" 'a b' \"\" c", "", "/opt/my app/run", {"a b", "", "c"}},
        {"prog ; rm -rf $(x) `y` | z", "", "prog", {";", "rm", "-rf", "$(x)", "`y`", "|", "z"}},
        {"  ", "", "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        const TLaunchSplit s = SplitLaunchText(c.Text);
        EXPECT_EQ(s.Directory, c.Dir);
        EXPECT_EQ(s.File, c.File);
        EXPECT_EQ(s.Arguments, c.Args);
    }
}

TEST(LaunchSplit, BoundedRandomTextsNeverCrash) {
    std::mt19937 rng(19);
    const std::string alphabet = "ab \t\"'\\/:;$()`|.~\xc3\xa9\n";
    for (int i = 0; i < 3000; ++i) {
        std::string text;
        const int n = int(rng() % 40);
        for (int k = 0; k < n; ++k)
            text += alphabet[rng() % alphabet.size()];
        const TLaunchSplit s = SplitLaunchText(text);
        if (text.find('\\') != std::string::npos) {
            EXPECT_EQ(text.compare(0, s.Directory.size() + s.File.size(), s.Directory + s.File), 0)
                << text;
        }
        const TLaunchPlan p = PlanLaunch(text); // only looks, starts nothing
        if (p.Kind == TLaunchKind::Program) {
            EXPECT_FALSE(p.Target.empty());
        }
    }
}

class Launcher : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApp();
        saved = QDir::currentPath();
        QDesktopServices::setUrlHandler("https", &opened, "open");
        QDesktopServices::setUrlHandler("file", &opened, "open");
    }
    void TearDown() override {
        QDesktopServices::unsetUrlHandler("https");
        QDesktopServices::unsetUrlHandler("file");
        QDir::setCurrent(saved);
    }
    // A copy of the recording stand-in program at that path.
    QString Fake(const QString& path) {
        EXPECT_TRUE(QFile::copy(HX_RECORDER_PROGRAM, path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }
    // What the stand-in recorded: its working directory, then one argument a
    // line; waits (bounded) for the detached program.
    static QStringList Recorded(const QString& file) {
        QElapsedTimer t;
        t.start();
        while (!QFile::exists(file) && t.elapsed() < 20000)
            QThread::msleep(10);
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly)) return {"nothing recorded"};
        QStringList lines = QString::fromUtf8(f.readAll()).split('\n');
        if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
        return lines;
    }
    QTemporaryDir dir;
    QString saved;
    TOpenedUrls opened;
};

TEST_F(Launcher, AProgramGetsItsWordsAsArgumentsAndNoShellReadsThem) {
    const QString program = Fake(dir.filePath("my prog"));
    QDir::setCurrent(dir.path());
    const std::string text = "\"" + program.toStdString() + "\" a/b 'c d' ; $(touch " +
                             dir.filePath("pwned").toStdString() + ") `touch x`";
    ASSERT_TRUE(LaunchFileOrProgram(text));
    EXPECT_EQ(Recorded(dir.filePath("my prog.args")),
              (QStringList{"cwd=" + dir.path(), "a/b", "c d", ";", "$(touch",
                           dir.filePath("pwned") + ")", "`touch", "x`"}));
    EXPECT_FALSE(QFile::exists(dir.filePath("pwned")));
    EXPECT_FALSE(QFile::exists(dir.filePath("x`")));
}

TEST_F(Launcher, ABackslashTextStartsTheFileInItsDirectory) {
    // The directory part ends in the backslash, and is the working directory.
    const QString bin = dir.filePath("bin\\");
    ASSERT_TRUE(QDir().mkpath(bin));
    Fake(dir.filePath("bin\\fake"));
    ASSERT_TRUE(LaunchFileOrProgram((bin + "fake -x /y").toStdString()));
    EXPECT_EQ(Recorded(bin + "/bin\\fake.args"), (QStringList{"cwd=" + bin, "-x", "/y"}));
}

TEST_F(Launcher, WebAddressesAndDocumentsGoToTheDesktopWhole) {
    QFile doc(dir.filePath("my notes.txt"));
    ASSERT_TRUE(doc.open(QIODevice::WriteOnly));
    doc.close();
    EXPECT_TRUE(LaunchFileOrProgram("https://example.org/a?c=d&e=$(f)"));
    EXPECT_TRUE(LaunchFileOrProgram(dir.filePath("my notes.txt").toStdString()));
    ASSERT_EQ(opened.Urls.size(), 2u);
    EXPECT_EQ(opened.Urls[0].toString(), "https://example.org/a?c=d&e=$(f)");
    EXPECT_EQ(opened.Urls[1], QUrl::fromLocalFile(dir.filePath("my notes.txt")));
    // Nothing there: nothing started, and the caller is told.
    EXPECT_FALSE(LaunchFileOrProgram(dir.filePath("missing x").toStdString()));
    EXPECT_FALSE(LaunchFileOrProgram(""));
    EXPECT_EQ(opened.Urls.size(), 2u);
}

} // namespace

#include "test_launcher.moc"
