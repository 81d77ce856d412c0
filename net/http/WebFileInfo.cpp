#include "net/http/WebFileInfo.h"

#include <sstream>

#include "net/http/HttpClient.h"

namespace {

// One client for every update check of the program; it lives while a
// component uses it.
std::weak_ptr<THttpClient>& SharedClient() {
    static std::weak_ptr<THttpClient> client;
    return client;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

} // namespace

TWebFileInfo::TWebFileInfo(IWebFileInfoUI* ui) : ui_(ui) {}

TWebFileInfo::~TWebFileInfo() {
    if (client_) {
        client_->OnRequestDone = nullptr;
        client_->OnDocData = nullptr;
        client_->ResponseStream = nullptr;
    }
}

const TFont& TWebFileInfo::UIFont() {
    if (UIOwnerFont && OwnerFont) uiFont_ = OwnerFont();
    return uiFont_;
}

void TWebFileInfo::SetUIFont(const TFont& font) {
    uiFont_ = font;
    UIOwnerFont = false;
}

void TWebFileInfo::SetActive(bool value) {
    if (!value) active_ = false;
}

void TWebFileInfo::SetHomeURL(const std::string& url) {
    if (url.size() > 6 && LowerCase(url.substr(0, 7)) == "http://") {
        active_ = false;
        homeUrl_ = url;
    }
}

void TWebFileInfo::EnsureClient() {
    if (client_) return;
    client_ = SharedClient().lock();
    if (!client_) {
        client_ = std::make_shared<THttpClient>();
        SharedClient() = client_;
    }
}

void TWebFileInfo::HttpError(const std::string& message) {
    lastError_ = message;
    ++failuresShown_;
    ui_->MessageBox(Format("Error retrieving update information.\rException: %s.", message.c_str()),
                    "Exception", MB_ICONEXCLAMATION);
}

bool TWebFileInfo::Busy() {
    if (client_->State() == hsIdle) return false;
    // Another check runs: its request, stream and events stay as they are.
    HttpError(EHttpException("HTTP component is busy", 1).Message);
    return true;
}

bool TWebFileInfo::Start(const std::string& url) {
    client_->URL = url;
    client_->OnRequestDone = [this](THttpClient*, THttpRequest, uint16_t error) {
        RequestDone(error);
    };
    try {
        client_->StartGet();
    } catch (const EHttpException& e) {
        HttpError(e.Message);
        return false;
    }
    return true;
}

void TWebFileInfo::RequestDone(uint16_t error) {
    lastError_ = error != 0 ? client_->StatusText : std::string();
    const TWait w = waiting_;
    waiting_ = TWait::None;
    if (w == TWait::WaitDialog)
        ui_->CloseWaitDialog();
    else if (w == TWait::Progress)
        ui_->CloseProgressDialog();
}

bool TWebFileInfo::Fetch(const std::string& url, std::string& text,
                         const std::string& waitMessage) {
    lastError_.clear();
    if (Busy()) return false;
    std::ostringstream stream;
    client_->ResponseStream = &stream;
    if (!Start(url)) {
        client_->ResponseStream = nullptr;
        return false;
    }
    waiting_ = TWait::WaitDialog;
    ui_->RunWaitDialog(waitMessage, UIFont());
    client_->ResponseStream = nullptr;
    if (client_->DoneError != 0 || client_->Status != 200) {
        lastError_ = client_->StatusText;
        return false;
    }
    text = stream.str();
    return true;
}

bool TWebFileInfo::RetrieveInfo() {
    if (active_) return true;
    if (homeUrl_.empty()) {
        ++failuresShown_;
        ui_->MessageBox("Can not retrieve version information\rbecause no home url was provided.",
                        "Missing Home URL", MB_ICONEXCLAMATION);
        return false;
    }
    const TWfiTags& t = InfoTags;
    if (t.AuthorTag.empty() && t.DateTag.empty() && t.DownloadTag.empty() &&
        t.ProductNameTag.empty() && t.ReadMeTag.empty() && t.ReadMeExtTag.empty() &&
        t.RedirectTag.empty() && t.RunParamsTag.empty() && t.VersionTag.empty()) {
        ++failuresShown_;
        ui_->MessageBox(
            "Can not retrieve version information\rbecause no tag information was provided.",
            "Missing Tag Information", MB_ICONEXCLAMATION);
        return false;
    }
    EnsureClient();
    if (ProxyHost.empty()) {
        client_->Proxy.clear();
        client_->ProxyPort = "80";
    } else {
        client_->Proxy = ProxyHost;
        client_->ProxyPort = std::to_string(ProxyPort);
    }
    const std::string url = page_.RedirectURL.empty() ? homeUrl_ : page_.RedirectURL;
    std::string text;
    const bool fetched = Fetch(url, text, "Checking For Update...");
    if (!fetched && client_->Status > 200 && client_->DoneError == 0) {
        // The server's status as a number. A failure of our own (no name, no
        // connection) is not shown here: LastError holds its reason, and the
        // owner, who knows what was being checked, tells it.
        ++failuresShown_;
        ui_->ShowMessage(std::to_string(client_->Status));
    }

    page_ = {};
    productDate_ = 0;
    downloadFileName_.clear();
    bool result = false;
    if (fetched && lastError_.empty()) {
        result = true;
        page_ = ParseUpdatePage(SplitLines(text), InfoTags);
        if (!page_.ProductDateStr.empty() && DateFormat == wfidDFSDate) {
            try {
                productDate_ = ParseDFSDate(page_.ProductDateStr);
            } catch (const EConvertError&) {
                productDate_ = 0; // a date we cannot read does not spoil the check
            }
        }
        downloadFileName_ = BareFileName(page_.DownloadURL);
        if (downloadFileName_.size() > 1000) downloadFileName_.resize(1000);
    }
    if (result && !page_.RedirectURL.empty()) {
        if (++pageRedirects_ > MaxPageRedirects) {
            pageRedirects_ = 0;
            page_ = {};
            lastError_ = "Too many redirects";
            active_ = false;
            return false;
        }
        active_ = RetrieveInfo();
        pageRedirects_ = 0;
        return active_;
    }
    pageRedirects_ = 0;
    active_ = result;
    return result;
}

bool TWebFileInfo::IsUpdateAvailable() {
    if (!active_) return false;
    if (VersionFormat == wfivSimpleString)
        return IsNewerSimpleString(CurrentVersion, page_.ProductVersion);
    return IsNewerBuildNumber(CurrentVersion, page_.ProductVersion);
}

bool TWebFileInfo::ShowReadMe(int ask) {
    if (!active_ && !RetrieveInfo()) return false;
    if (page_.ProductReadMe.empty() && page_.ProductReadMeExt.empty()) return false;
    if (ask == 1) {
        const std::string text = Format("Current version is %s.\rVersion %s is available.",
                                        CurrentVersion.c_str(), page_.ProductVersion.c_str()) +
                                 "\r" + "Would you like to view the ReadMe file?";
        if (ui_->MessageBox(text, "Update Available", MB_YESNO | MB_ICONQUESTION) != IDYES)
            return false;
    }
    if (!page_.ProductReadMeExt.empty()) {
        const std::string name = BareFileName(page_.ProductReadMeExt);
        std::string folder = ui_->TempFolder();
        if (!folder.empty() && folder.back() != '/') folder += '/';
        if (!name.empty() &&
            Download(page_.ProductReadMeExt, folder + name, "Downloading ReadMe") &&
            ui_->OpenDocument(folder + name))
            return true;
        ui_->MessageBox("Can not start program.", "Error", MB_ICONEXCLAMATION);
    }
    if (!page_.ProductReadMe.empty()) {
        std::string text;
        if (Fetch(page_.ProductReadMe, text, "Retrieving ReadMe..."))
            ui_->ShowReadMeText(text, UIFont());
    }
    return true;
}

bool TWebFileInfo::DownloadUpdate(const std::string& target) {
    if (!active_ && !RetrieveInfo()) return false;
    std::string path = target;
    if (!path.empty() && (path.back() == '/' || path.back() == '\\')) {
        if (downloadFileName_.empty()) {
            lastError_ = "No file name for the download";
            return false;
        }
        path += downloadFileName_;
    }
    return Download(page_.DownloadURL, path, "Downloading Update");
}

bool TWebFileInfo::Download(const std::string& url, const std::string& path,
                            const std::string& caption) {
    EnsureClient();
    lastError_.clear();
    if (Busy()) return false;
    TDownloadFile file;
    if (!file.Open(path)) {
        lastError_ = "Can not create " + path;
        return false;
    }
    client_->ResponseStream = &file.Stream();
    client_->OnDocData = [this](THttpClient*, const char*, int) { Progress(); };
    cancelled_ = false;
    barPosition_ = 0;
    if (!Start(url)) {
        client_->OnDocData = nullptr;
        client_->ResponseStream = nullptr;
        return false;
    }
    waiting_ = TWait::Progress;
    ui_->RunProgressDialog(caption, UIFont(), [this] {
        cancelled_ = true;
        client_->AbortRequest();
    });
    client_->OnDocData = nullptr;
    client_->ResponseStream = nullptr;
    // Only a complete document with status 200 replaces the target; an error
    // page, a cancel or a broken transfer leaves nothing behind.
    if (cancelled_ || client_->DoneError != 0 || client_->Status != 200) {
        lastError_ = client_->StatusText;
        file.Discard();
        return false;
    }
    if (!file.Commit()) {
        lastError_ = "Can not write " + path;
        return false;
    }
    return true;
}

void TWebFileInfo::Progress() {
    const int received = client_->BytesReceived;
    const int size = client_->DocLength;
    if (waiting_ == TWait::Progress && !cancelled_) {
        int percent = -1;
        if (size > 0) {
            const int p = static_cast<int>(static_cast<long long>(received) * 100 / size);
            if (p > barPosition_) percent = barPosition_ = p;
        }
        ui_->SetProgress(Format("%s of %s bytes received.", ThousandsText(received).c_str(),
                                ThousandsText(size).c_str()),
                         percent);
    }
    if (OnDownloadProgress) OnDownloadProgress(this, received, size);
}
