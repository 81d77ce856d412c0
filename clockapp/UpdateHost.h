// The main window's side of the "Check for Upgrade" commands: its preferences,
// dialogs and stored-state merge as the update check needs them, and the web
// update component wfiWebUpdate with its Qt dialogs.
#pragma once

#include "net/http/UpdateCheckCommands.h"
#include "net/http/WebFileInfoQtUI.h"

#include <memory>

class IWindowOpener;
class QWidget;
class TClockState;

class TUpdateHost : public IUpdateCheckHost {
public:
    // The dialogs of the component are owned by dialogOwner.
    TUpdateHost(TClockState& state, IWindowOpener& windows, QWidget* dialogOwner);

    bool UseProxySettings() override;
    std::string ProxyServer() override;
    std::string HTTPProxyPort() override;
    std::string CurrentVersion() override;
    std::string LocationDataVersion() override;
    std::string DataDirectory() override;
    bool ConfirmYes(const std::string& text) override;
    void ShowErrorCode(int code) override;
    void ShowError(const std::string& text) override;
    void OpenWebPage(const std::string& url) override;
    bool LocationManagerActive() override;
    bool ActivateTimeZoneManager() override;
    bool CheckNewLocations() override;
    void MergeNewLocations() override;

    // Puts the component's dialogs on another presenter (the tests' stand-in);
    // the server the commands ask stays.
    void UseUI(IWebFileInfoUI* ui);

    TWebFileInfo& wfiWebUpdate() { return *wfi_; }
    TUpdateCheckCommands& Commands() { return *commands_; }

private:
    TClockState& state_;
    IWindowOpener& windows_;
    TWebFileInfoQtUI qtUI_;
    std::unique_ptr<TWebFileInfo> wfi_;
    std::unique_ptr<TUpdateCheckCommands> commands_;
};
