// The main window's "Check for Upgrade" commands: a newer program, then newer
// location data, read from the product's update page through the window's
// web update component wfiWebUpdate.
#pragma once

#include <string>

#include "net/http/WebFileInfo.h"

// What the commands need of the main window.
class IUpdateCheckHost {
public:
    virtual ~IUpdateCheckHost() = default;
    // Preferences.
    virtual bool UseProxySettings() = 0;
    virtual std::string ProxyServer() = 0;
    virtual std::string HTTPProxyPort() = 0;
    virtual std::string CurrentVersion() = 0;
    virtual std::string LocationDataVersion() = 0;
    virtual std::string DataDirectory() = 0; // with or without a trailing "/"
    // Dialogs and the shell.
    virtual bool ConfirmYes(const std::string& text) = 0;
    virtual void ShowErrorCode(int code) = 0; // numbered message
    virtual void ShowError(const std::string& text) = 0;
    virtual void OpenWebPage(const std::string& url) = 0; // the shell's "open", result unused
    // The location manager and the merge of a downloaded location file.
    virtual bool LocationManagerActive() = 0;
    virtual bool ActivateTimeZoneManager() = 0;
    virtual bool CheckNewLocations() = 0;
    virtual void MergeNewLocations() = 0;
};

// The maker's web server; the deployment may point it elsewhere.
constexpr const char* HoroluxWebServer = "http://www.horolux.com";

// The settings wfiWebUpdate has on the main window before any check.
void SetMainFormDefaults(TWebFileInfo& wfiWebUpdate);

// The main window's part: it keeps wfiWebUpdate and hands the downloaded
// location file over to its stored-state code through the host's
// CheckNewLocations and MergeNewLocations.
class TUpdateCheckCommands {
public:
    TUpdateCheckCommands(IUpdateCheckHost* host, TWebFileInfo* wfiWebUpdate)
        : host_(host), wfi_(wfiWebUpdate) {
        SetMainFormDefaults(*wfi_);
    }

    std::string WebServer = HoroluxWebServer;
    std::string UpdatePagePath = "/hx/update/index.html";
    std::string ProductPagePath = "/hx";
    // Where downloaded location data waits for the merge.
    static constexpr const char* NewLocationFile = "NEW_hxzones.hxd";

    bool CheckForProgramUpgrade();
    bool CheckForLocationUpdate();
    void miCheckForUpgradeClick();

    // True when the last check could not read the update page.
    bool CheckFailed() const { return checkFailed_; }
    // Says which check failed, why, and that nothing was changed, unless the
    // component has already shown that failure.
    void ReportFailure();

private:
    bool LocationUpdate();
    void Prepare(const std::string& currentVersion, TWfiOptions options);
    bool Retrieve();

    IUpdateCheckHost* host_;
    TWebFileInfo* wfi_;
    bool checkFailed_ = false;
    bool failureShown_ = false;
    bool locationsOnly_ = false; // the last check asked for location data alone
};
