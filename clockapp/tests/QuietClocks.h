// A main window for tests and benchmarks: the start-up's own dialogs (missing
// list files, questions) are answered without a window, and message boxes go
// to a presenter that records their texts.
#pragma once

#include "clockapp/MainWindow.h"
#include "timemodel/HXMessageBoxes.h"

#include <string>
#include <vector>

// Records every box and answers it as Escape would.
struct TRecordingPresenter : IMessagePresenter {
    std::vector<std::string> Texts;
    TModalResult Present(const std::string& text, TMsgDlgType, TMsgDlgButtons buttons,
                         int) override {
        Texts.push_back(text);
        return EscapeResult(buttons);
    }
};

class QuietClocks : public TF_clocks {
public:
    using TF_clocks::TF_clocks;

protected:
    void ShowError(const std::string&) override {}
    void ShowInfo(const std::string&) override {}
    void ShowErrorCode(int) override {}
    TAnswer AskYesNo(const std::string&) override { return TAnswer::No; }
    TAnswer AskYesNoCancel(const std::string&) override { return TAnswer::Cancel; }
    bool ConfirmYes(const std::string&) override { return false; }
};

// Preferences for a window that starts with no first-run notes, upgrade
// question or splash.
inline void SetQuietStartPrefs(IHXPrefsStore& store) {
    for (const char* name : {"FirstRun", "InstallUpgrade", "ShowSplash"})
        store.SetValue(THXRootKey::HKEY_CURRENT_USER, kPrefsKey, name,
                       THXStoredValue::FromInteger(0));
}

// Preferences for a window that syncs over LAN with the time server on
// 127.0.0.1 and shows no first-run, upgrade, splash or sound on the way.
inline void SetQuietLanSyncPrefs(IHXPrefsStore& store) {
    using V = THXStoredValue;
    constexpr auto CU = THXRootKey::HKEY_CURRENT_USER;
    for (const char* name : {"FirstRun", "InstallUpgrade", "ShowSplash", "PlayConnectSound",
                             "PlaySyncSound", "CycleTimeServers", "WarnLargeSync"})
        store.SetValue(CU, kPrefsKey, name, V::FromInteger(0));
    store.SetValue(CU, kPrefsKey, "ConnectionType", V::FromBinary({1})); // one byte, as stored
    store.SetValue(CU, kPrefsKey, "NTPProtocol", V::FromInteger(1));
    store.SetValue(CU, kPrefsKey, "TimeServer", V::FromString("127.0.0.1"));
}
