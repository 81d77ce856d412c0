#include "clockapp/UpdateHost.h"

#include "clockapp/MainWindow.h"

#include <QDesktopServices>
#include <QUrl>

TUpdateHost::TUpdateHost(TF_clocks& window) : window_(window), qtUI_(&window) {
    UseUI(&qtUI_);
}

void TUpdateHost::UseUI(IWebFileInfoUI* ui) {
    const std::string server = commands_ ? commands_->WebServer : HoroluxWebServer;
    commands_.reset();
    wfi_ = std::make_unique<TWebFileInfo>(ui ? ui : &qtUI_);
    commands_ = std::make_unique<TUpdateCheckCommands>(this, wfi_.get());
    commands_->WebServer = server;
}

bool TUpdateHost::UseProxySettings() {
    return window_.UseProxySettings;
}
std::string TUpdateHost::ProxyServer() {
    return window_.ProxyServer;
}
std::string TUpdateHost::HTTPProxyPort() {
    return window_.HTTPProxyPort;
}
std::string TUpdateHost::CurrentVersion() {
    return window_.CurrentVersion;
}
std::string TUpdateHost::LocationDataVersion() {
    return window_.LocationDataVersion;
}
std::string TUpdateHost::DataDirectory() {
    return window_.DataDir;
}
bool TUpdateHost::ConfirmYes(const std::string& text) {
    return window_.ConfirmYes(text);
}
void TUpdateHost::ShowErrorCode(int code) {
    window_.ShowErrorCode(code);
}
void TUpdateHost::ShowError(const std::string& text) {
    window_.ShowError(text);
}

void TUpdateHost::OpenWebPage(const std::string& url) {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

bool TUpdateHost::LocationManagerActive() {
    return window_.TimeZoneManager() != nullptr;
}
bool TUpdateHost::ActivateTimeZoneManager() {
    return window_.ActivateTimeZoneManager();
}
// A location file that cannot be replaced or written is reported; the
// download stays for the next check and the window goes on.
bool TUpdateHost::CheckNewLocations() {
    try {
        return window_.TClockState::CheckNewLocations();
    } catch (const std::exception& e) {
        window_.ShowError(e.what());
        return false;
    }
}
void TUpdateHost::MergeNewLocations() {
    try {
        window_.TClockState::MergeNewLocations();
    } catch (const std::exception& e) {
        window_.ShowError(e.what());
    }
}

// ------------------------------------------------------- the window's commands

TUpdateHost& TF_clocks::UpdateCheck() {
    if (!FUpdateHost) FUpdateHost = std::make_unique<TUpdateHost>(*this);
    return *FUpdateHost;
}

bool TF_clocks::CheckForProgramUpgrade() {
    return UpdateCheck().Commands().CheckForProgramUpgrade();
}
bool TF_clocks::CheckForLocationUpdate() {
    return UpdateCheck().Commands().CheckForLocationUpdate();
}
void TF_clocks::miCheckForUpgradeClick() {
    UpdateCheck().Commands().miCheckForUpgradeClick();
}
