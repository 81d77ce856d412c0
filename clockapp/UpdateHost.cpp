#include "clockapp/UpdateHost.h"

#include "clockapp/state/ClockState.h"
#include "clockapp/state/WindowServices.h"

#include <QDesktopServices>
#include <QUrl>

TUpdateHost::TUpdateHost(TClockState& state, IWindowOpener& windows, QWidget* dialogOwner)
    : state_(state), windows_(windows), qtUI_(dialogOwner) {
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
    return state_.UseProxySettings;
}
std::string TUpdateHost::ProxyServer() {
    return state_.ProxyServer;
}
std::string TUpdateHost::HTTPProxyPort() {
    return state_.HTTPProxyPort;
}
std::string TUpdateHost::CurrentVersion() {
    return state_.CurrentVersion;
}
std::string TUpdateHost::LocationDataVersion() {
    return state_.LocationDataVersion;
}
std::string TUpdateHost::DataDirectory() {
    return state_.DataDir;
}
bool TUpdateHost::ConfirmYes(const std::string& text) {
    return state_.ConfirmYes(text);
}
void TUpdateHost::ShowErrorCode(int code) {
    state_.ShowErrorCode(code);
}
void TUpdateHost::ShowError(const std::string& text) {
    state_.ShowError(text);
}

void TUpdateHost::OpenWebPage(const std::string& url) {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

bool TUpdateHost::LocationManagerActive() {
    return windows_.TimeZoneManager() != nullptr;
}
bool TUpdateHost::ActivateTimeZoneManager() {
    return windows_.ActivateTimeZoneManager();
}
// A location file that cannot be replaced or written is reported; the
// download stays for the next check and the window goes on.
bool TUpdateHost::CheckNewLocations() {
    try {
        return state_.CheckNewLocations();
    } catch (const std::exception& e) {
        state_.ShowError(e.what());
        return false;
    }
}
void TUpdateHost::MergeNewLocations() {
    try {
        state_.MergeNewLocations();
    } catch (const std::exception& e) {
        state_.ShowError(e.what());
    }
}
