// The preferences through the suite's key store files.
#include "clockapp/state/ClockState.h"
#include "clockapp/state/RegistryPrefsStore.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
class KeyStoreDir : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("hxks-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        setenv("HOROLUX_KEYSTORE_DIR", dir.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("HOROLUX_KEYSTORE_DIR");
        fs::remove_all(dir);
    }
    fs::path dir;
};
} // namespace

TEST_F(KeyStoreDir, FullWriteReadsBackBitIdenticalThroughTheFiles) {
    {
        THXRegistryPrefsStore store;
        TClockState a(store);
        a.SetDefaults();
        a.ChimeStartTime = 0.1 + 0.2;
        a.LocalOffsetOverride = -9.75;
        a.HintClock = -1;
        a.ConnectionType = 1;
        a.TitleDateFormat = "DDD MMM d, YYYY  ";
        a.RASPassword = "se\tcret ";
        a.LocalClock.Location.Name = "Home\tTown";
        a.WritePrefs();
    }
    THXRegistryPrefsStore store;
    TClockState b(store);
    b.SetDefaults();
    b.LoadPrefs();
    EXPECT_TRUE(b.RejectedPrefs.empty());
    const double expected = 0.1 + 0.2;
    EXPECT_EQ(std::memcmp(&b.ChimeStartTime, &expected, 8), 0);
    EXPECT_EQ(b.LocalOffsetOverride, -9.75);
    EXPECT_EQ(b.HintClock, -1);
    EXPECT_EQ(b.ConnectionType, 1);
    EXPECT_EQ(b.TitleDateFormat, "DDD MMM d, YYYY  ");
    EXPECT_EQ(b.RASPassword, "se\tcret ");
    EXPECT_EQ(b.LocalClock.ClockType, 1);
    EXPECT_TRUE(fs::exists(dir / "HKEY_CURRENT_USER.reg"));
}

TEST_F(KeyStoreDir, LegacyMachineKeyGoesAtTheSecondStart) {
    {
        THXRegistryPrefsStore store;
        store.SetValue(THXRootKey::HKEY_LOCAL_MACHINE, kPrefsKey, "ShowSplash",
                       THXStoredValue::FromInteger(0));
    }
    for (int start = 0; start < 2; ++start) {
        THXRegistryPrefsStore store;
        TClockState s(store);
        s.SetDefaults();
        s.LoadPrefs();
        EXPECT_FALSE(s.ShowSplash) << start;
        s.WritePrefs();
    }
    THXRegistryPrefsStore store;
    EXPECT_FALSE(store.KeyExists(THXRootKey::HKEY_LOCAL_MACHINE, kHoroluxKey));
}
