#include "net/http/UpdateCheckCommands.h"

#include <cctype>

void SetMainFormDefaults(TWebFileInfo& w) {
    TWfiTags& t = w.InfoTags;
    t.AuthorTag = "hxAuthor";
    t.AuthorEMailTag = "hxAuthorEmail";
    t.DateTag = "hx_HXdate";
    t.DownloadTag = "hx_HXdownload";
    t.ProductNameTag = "hx_HXproduct";
    t.ReadMeTag = "hx_HXreadMe";
    t.ReadMeExtTag = "hx_HXreadMeExt";
    t.RedirectTag = "hx_HXredirect";
    t.RunParamsTag = "hx_HXparams";
    t.VersionTag = "hx_HXversion";
    w.SetOptions(wfioDisplayUI | wfioDisplayReadMe | wfioRunUpdate | wfioExitDuringUpdate);
    TFont font;
    font.Name = "System";
    font.Height = -13;
    w.SetUIFont(font); // also clears UIOwnerFont
}

void TUpdateCheckCommands::Prepare(const std::string& currentVersion, TWfiOptions options) {
    wfi_->SetActive(false);
    if (host_->UseProxySettings()) {
        wfi_->ProxyHost = host_->ProxyServer();
        wfi_->ProxyPort = StrToIntDef(host_->HTTPProxyPort(), 80);
    } else {
        wfi_->ProxyHost.clear();
        wfi_->ProxyPort = 80;
    }
    wfi_->VersionFormat = wfivBuildNumber;
    wfi_->CurrentVersion = currentVersion;
    wfi_->SetHomeURL(WebServer + UpdatePagePath);
    wfi_->SetOptions(options);
}

bool TUpdateCheckCommands::Retrieve() {
    const int shown = wfi_->FailuresShown();
    const bool ok = wfi_->RetrieveInfo();
    if (!ok) {
        checkFailed_ = true;
        failureShown_ = wfi_->FailuresShown() != shown;
    }
    return ok;
}

bool TUpdateCheckCommands::CheckForProgramUpgrade() {
    checkFailed_ = false;
    failureShown_ = false;
    locationsOnly_ = false;
    Prepare(host_->CurrentVersion(),
            wfioAlwaysOverwrite | wfioDisplayReadMe | wfioRunUpdate | wfioExitDuringUpdate);
    TWfiTags& t = wfi_->InfoTags;
    t.AuthorTag = "hxAuthor";
    t.AuthorEMailTag = "hxAuthorEmail";
    t.DateTag = "hx_HXDate";
    t.DownloadTag = "hx_HXDownlaod";
    t.ProductNameTag = "hx_HXPoductName";
    t.ReadMeTag = "hx_HXReadme";
    t.ReadMeExtTag = "hx_HXReadmeEX";
    t.RedirectTag = "hx_HXRedirect";
    t.RunParamsTag = "hx_HXRunParameters";
    t.VersionTag = "hx_HXVersion";
    if (Retrieve() && wfi_->IsUpdateAvailable()) {
        if (host_->ConfirmYes("An Upgrade to " + wfi_->ProductName() + " " +
                              wfi_->ProductVersion() + " is available." + "\n\r" +
                              "Would you like to go to the Horolux web site now?")) {
            host_->OpenWebPage(WebServer + ProductPagePath);
            return true;
        }
    }
    // The location data is on the same page: a page that could not be read
    // is not asked for (and its error shown) twice.
    if (checkFailed_) return false;
    return LocationUpdate();
}

bool TUpdateCheckCommands::CheckForLocationUpdate() {
    checkFailed_ = false;
    failureShown_ = false;
    locationsOnly_ = true;
    return LocationUpdate();
}

bool TUpdateCheckCommands::LocationUpdate() {
    Prepare(host_->LocationDataVersion(), wfioAlwaysOverwrite | wfioDisplayUI | wfioDisplayReadMe);
    TWfiTags& t = wfi_->InfoTags;
    t.AuthorTag = "hxAuthor";
    t.AuthorEMailTag = "hxAuthorEmail";
    t.DateTag = "hxLDate";
    t.DownloadTag = "hxLDownlaod";
    t.ProductNameTag = "hxLPoductName";
    t.ReadMeTag = "hxLReadme";
    t.ReadMeExtTag = "hxLReadmeEX";
    t.RedirectTag = "hxLRedirect";
    t.RunParamsTag = "hxLRunParameters";
    t.VersionTag = "hxLVersion";
    if (!Retrieve() || !wfi_->IsUpdateAvailable()) return false;
    if (host_->ConfirmYes("An Upgrade to " + wfi_->ProductName() + " " + wfi_->ProductVersion() +
                          " is available." + "\n\r" + "Would you like to install it?")) {
        wfi_->ShowReadMe(1);
        std::string dir = host_->DataDirectory();
        if (!dir.empty() && dir.back() != '/') dir += '/';
        // Whatever the page calls its file, location data lands under the
        // one name the merge looks for, and only when it arrived whole.
        if (!wfi_->DownloadUpdate(dir + NewLocationFile) && !wfi_->LastError().empty() &&
            wfi_->LastError() != "Connection aborted on request")
            host_->ShowError("The location data could not be downloaded.\n\r" + wfi_->LastError());
    }
    // A file that waits from an earlier download is offered too.
    if (host_->LocationManagerActive() || host_->ActivateTimeZoneManager()) {
        if (host_->CheckNewLocations()) host_->MergeNewLocations();
    }
    return true;
}

void TUpdateCheckCommands::ReportFailure() {
    // One failure, one box: the component's own report says it already.
    if (failureShown_) return;
    std::string reason =
        wfi_->LastError().empty() ? std::string("the update page could not be read") : wfi_->LastError();
    if (reason.back() != '.') reason += '.';
    // A failed check stops before any download or merge.
    const std::string nothing = "\n\rNothing was changed.";
    if (locationsOnly_) {
        host_->ShowError("Could not check for new locations: " + reason + nothing);
    } else {
        reason[0] = char(std::toupper(static_cast<unsigned char>(reason[0])));
        host_->ShowError("The check for upgrades failed.\n\r" + reason + nothing);
    }
}

void TUpdateCheckCommands::miCheckForUpgradeClick() {
    if (CheckForProgramUpgrade()) return;
    if (checkFailed_)
        ReportFailure();
    else
        host_->ShowErrorCode(63);
}
