// Saves that fail, in the data directory or in the key store: every command
// that writes reports and the window goes on; nothing of the user's changes.
#include "TestApp.h"

#include "clockapp/MainWindow.h"
#include "clockapp/state/RegistryPrefsStore.h"
#include "clockapp/TrayIcon.h"
#include "clockapp/tests/QuietClocks.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

// Boxes go to the recording presenter; questions are answered No.
class SavingClocks : public TF_clocks {
public:
    using TF_clocks::TF_clocks;

protected:
    void ShowErrorCode(int) override {}
    TAnswer AskYesNo(const std::string&) override { return TAnswer::No; }
    TAnswer AskYesNoCancel(const std::string&) override { return TAnswer::Cancel; }
    bool ConfirmYes(const std::string&) override { return false; }
};

std::map<std::string, std::string> Snapshot(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        std::ostringstream text;
        if (e.is_regular_file()) text << std::ifstream(e.path(), std::ios::binary).rdbuf();
        files[fs::relative(e.path(), dir).string()] = text.str();
    }
    return files;
}

enum class TBlocked { DataDirectory, KeyStore };

class SaveFailureTest : public ::testing::TestWithParam<TBlocked> {
protected:
    void SetUp() override {
        TestApp();
        TTrayIcon::SetNotificationAreaOverride(true);
        SetMessagePresenter(&presenter);
        data = fs::path(tmp.path().toStdString()) / "data";
        keys = fs::path(tmp.path().toStdString()) / "keys";
        fs::create_directories(data);
        std::ofstream(data / "hxclocks.hxd") << "Lima\t-5\t0\t12\t77\t0!\r\n";
        std::ofstream(data / "hxdayloom.hxd"); // present: a missing one would be made
        setenv("HOROLUX_KEYSTORE_DIR", keys.c_str(), 1);
        {
            THXRegistryPrefsStore seed;
            for (const char* name : {"FirstRun", "InstallUpgrade", "ShowSplash"})
                seed.SetValue(THXRootKey::HKEY_CURRENT_USER, kPrefsKey, name,
                              THXStoredValue::FromInteger(0));
        }
        // Even root cannot create a file where a directory stands.
        if (GetParam() == TBlocked::DataDirectory) {
            fs::create_directory(data / "hxclocks.hx_");
            fs::create_directory(data / "hxalarms.hx_");
        } else {
            fs::remove(keys / "HKEY_CURRENT_USER.lock");
            fs::create_directory(keys / "HKEY_CURRENT_USER.lock");
        }
        before = Snapshot(data);
        w = std::make_unique<SavingClocks>(store);
        w->SplashDelayMs = 0;
        w->FormCreate("/nonexistent", {"-datadir", data.string()});
    }
    void TearDown() override {
        w.reset();
        SetMessagePresenter(nullptr);
        TTrayIcon::SetNotificationAreaOverride(std::nullopt);
        unsetenv("HOROLUX_KEYSTORE_DIR");
    }
    // Whether the last box told of a failed save.
    bool Reported() {
        const bool told = !presenter.Texts.empty() &&
                          presenter.Texts.back().find("Unable to save") != std::string::npos;
        presenter.Texts.clear();
        return told;
    }

    QTemporaryDir tmp;
    fs::path data, keys;
    std::map<std::string, std::string> before;
    TRecordingPresenter presenter;
    THXRegistryPrefsStore store;
    std::unique_ptr<SavingClocks> w;
};

TEST_P(SaveFailureTest, EveryWritingCommandReportsAndTheWindowGoesOn) {
    EXPECT_TRUE(Reported()) << "the start's own save";
    w->show();
    EXPECT_NO_THROW(w->FormActivate());
    // Told at the start already: an activation does not tell it again.
    EXPECT_FALSE(Reported());
    EXPECT_NO_THROW(w->Action("mi_AlwaysOnTop")->trigger());
    EXPECT_TRUE(Reported());
    EXPECT_TRUE(w->AlwaysOnTop);
    AnswerNextModal([](QWidget* d) {
        if (auto* ok = d->findChild<QPushButton*>("OKBtn")) ok->click();
    });
    EXPECT_NO_THROW(w->Action("sb_Prefs")->trigger());
    EXPECT_TRUE(Reported());
    ASSERT_EQ(w->Clocks.size(), 1u);
    EXPECT_EQ(w->Clocks[0]->Location.Name, "Lima");
    EXPECT_NO_THROW(w->Action("mi_Exit")->trigger());
    EXPECT_TRUE(Reported());
    // Clocks and alarms stay as they were where they could not be written.
    if (GetParam() == TBlocked::DataDirectory) {
        EXPECT_EQ(Snapshot(data), before);
    }
}

INSTANTIATE_TEST_SUITE_P(Blocked, SaveFailureTest,
                         ::testing::Values(TBlocked::DataDirectory, TBlocked::KeyStore));

} // namespace

namespace {
TEST(DamagedSettings, AreToldOnceAtTheStart) {
    TestApp();
    QTemporaryDir tmp;
    const fs::path keys = fs::path(tmp.path().toStdString()) / "keys";
    fs::create_directories(keys);
    std::ofstream(keys / "HKEY_CURRENT_USER.reg")
        << "REGEDIT4\n[HKEY_CURRENT_USER\\SOFTWARE\\Horolux\\Prefs]\n\"FirstRun\"=dword:0\n"
           "\"InstallUpgrade\"=dword:0\n\"ShowSplash\"=dword:0\n\x7f\x03garbage\n";
    setenv("HOROLUX_KEYSTORE_DIR", keys.c_str(), 1);
    TRecordingPresenter presenter;
    SetMessagePresenter(&presenter);
    {
        THXRegistryPrefsStore store;
        SavingClocks w(store);
        w.SplashDelayMs = 0;
        w.FormCreate("/nonexistent", {"-datadir", tmp.path().toStdString()});
    }
    SetMessagePresenter(nullptr);
    unsetenv("HOROLUX_KEYSTORE_DIR");
    size_t told = 0;
    for (const std::string& t : presenter.Texts)
        told += t.find("HKEY_CURRENT_USER.reg.bad") != std::string::npos;
    EXPECT_EQ(told, 1u) << ::testing::PrintToString(presenter.Texts);
    EXPECT_TRUE(fs::exists(keys / "HKEY_CURRENT_USER.reg.bad"));
}
} // namespace

namespace {

// A full disk under the key store: each failing save names a temporary of its
// own, as the store's writer makes a fresh one each time.
class TFullDiskStore : public THXMemoryPrefsStore {
public:
    bool Full = false;
    int Tries = 0;
    void EndUpdate() override {
        if (Full)
            throw std::runtime_error("cannot write /keys/HKEY_CURRENT_USER.reg." +
                                     std::to_string(++Tries) + ": No space left on device");
    }
};

// With the splash off every activation saves, and the box about a failed save
// activates the window again when it closes: one failing save is told once,
// until a save works again.
TEST(FullDisk, AFailingSaveIsToldOnceUntilASaveWorks) {
    TestApp();
    TTrayIcon::SetNotificationAreaOverride(true);
    TRecordingPresenter presenter;
    SetMessagePresenter(&presenter);
    QTemporaryDir tmp;
    TFullDiskStore store;
    for (const char* name : {"FirstRun", "InstallUpgrade", "ShowSplash", "CheckForUpgrades"})
        store.SetValue(THXRootKey::HKEY_CURRENT_USER, kPrefsKey, name,
                       THXStoredValue::FromInteger(0));
    {
        SavingClocks w(store);
        w.SplashDelayMs = 0;
        w.FormCreate("/nonexistent", {"-datadir", tmp.path().toStdString()});
        w.show();
        const auto told = [&] {
            size_t n = 0;
            for (const std::string& t : presenter.Texts)
                n += t.find("Unable to save the preferences") != std::string::npos;
            presenter.Texts.clear();
            return n;
        };
        told();
        store.Full = true;
        for (int i = 0; i < 5; ++i)
            w.FormActivate();
        EXPECT_EQ(store.Tries, 5);
        EXPECT_EQ(told(), 1u);
        store.Full = false;
        w.FormActivate();
        EXPECT_EQ(told(), 0u);
        store.Full = true;
        w.FormActivate();
        w.FormActivate();
        EXPECT_EQ(told(), 1u) << "failing again after a save that worked";
        store.Full = false;
    }
    SetMessagePresenter(nullptr);
    TTrayIcon::SetNotificationAreaOverride(std::nullopt);
}

} // namespace
