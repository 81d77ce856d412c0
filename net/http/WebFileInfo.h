// TWebFileInfo: reads the product's update page, compares the published
// version with the running one, shows the ReadMe and downloads the release.
// Each request is waited for in a modal dialog of its UI, so the program's
// event loop keeps running inside RetrieveInfo, ShowReadMe and DownloadUpdate.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "net/http/UpdatePage.h"
#include "platform/rtl/Graphics.h"
#include "platform/rtl/SysUtils.h"

class THttpClient;

enum TWfiOption : uint8_t {
    wfioAlwaysOverwrite = 1,
    wfioDisplayUI = 2,
    wfioDisplayReadMe = 4,
    wfioRunUpdate = 8,
    wfioExitDuringUpdate = 16,
};
using TWfiOptions = uint8_t; // a set of TWfiOption bits

enum TWfiVersionFormat { wfivBuildNumber, wfivSimpleString };
enum TWfiDateFormat { wfidDFSDate, wfidNone };

// Message box flags and answers, as the platform's message box takes them.
constexpr int MB_OK = 0;
constexpr int MB_YESNO = 4;
constexpr int MB_ICONQUESTION = 32;
constexpr int MB_ICONEXCLAMATION = 48;
constexpr int IDOK = 1;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// What the component shows. The program uses the Qt dialogs; tests put in
// their own. Texts from the page are plain text, never markup.
class IWebFileInfoUI {
public:
    virtual ~IWebFileInfoUI() = default;
    virtual int MessageBox(const std::string& text, const std::string& caption, int flags) = 0;
    virtual void ShowMessage(const std::string& text) = 0;
    // The wait dialog: shown modally until CloseWaitDialog.
    virtual void RunWaitDialog(const std::string& message, const TFont& font) = 0;
    virtual void CloseWaitDialog() = 0;
    // The progress dialog: modal until CloseProgressDialog; its Cancel button
    // calls onCancel.
    virtual void RunProgressDialog(const std::string& caption, const TFont& font,
                                   std::function<void()> onCancel) = 0;
    // percent < 0 leaves the bar where it is.
    virtual void SetProgress(const std::string& text, int percent) = 0;
    virtual void CloseProgressDialog() = 0;
    virtual void ShowReadMeText(const std::string& text, const TFont& font) = 0;
    // Opens a document with the desktop's viewer; true when it started.
    virtual bool OpenDocument(const std::string& path) = 0;
    virtual std::string TempFolder() = 0;
};

class TWebFileInfo {
public:
    explicit TWebFileInfo(IWebFileInfoUI* ui); // ui not owned
    ~TWebFileInfo();
    TWebFileInfo(const TWebFileInfo&) = delete;
    TWebFileInfo& operator=(const TWebFileInfo&) = delete;

    bool Active() const { return active_; }
    void SetActive(bool value); // only false is taken
    std::string CurrentVersion;
    TWfiDateFormat DateFormat = wfidDFSDate;
    const std::string& HomeURL() const { return homeUrl_; }
    void SetHomeURL(const std::string& url); // only "http://..." is taken
    TWfiTags InfoTags;
    const std::string& LastError() const { return lastError_; }
    TWfiOptions Options() const { return options_; }
    void SetOptions(TWfiOptions o) { options_ = o | wfioDisplayUI; }
    std::string ProxyHost;
    int ProxyPort = 80;
    TWfiVersionFormat VersionFormat = wfivBuildNumber;
    // The dialogs' font: the owner's while UIOwnerFont is set.
    const TFont& UIFont();
    void SetUIFont(const TFont& font);
    bool UIOwnerFont = true;
    std::function<TFont()> OwnerFont; // the owning window's font, when there is one
    std::function<void(TWebFileInfo*, int bytesReceived, int fileSize)> OnDownloadProgress;
    int MaxPageRedirects = 5; // redirect tags followed by one retrieval

    // What the page said (read only for the owner).
    const std::string& DownloadURL() const { return page_.DownloadURL; }
    const std::string& ProductName() const { return page_.ProductName; }
    const std::string& ProductAuthor() const { return page_.ProductAuthor; }
    const std::string& ProductAuthorEMail() const { return page_.ProductAuthorEMail; }
    TDateTime ProductDate() const { return productDate_; }
    const std::string& ProductDateStr() const { return page_.ProductDateStr; }
    const std::string& ProductReadMe() const { return page_.ProductReadMe; }
    const std::string& ProductReadMeExt() const { return page_.ProductReadMeExt; }
    const std::string& ProductVersion() const { return page_.ProductVersion; }
    const std::string& RunParams() const { return page_.RunParams; }
    const std::string& DownloadFileName() const { return downloadFileName_; }

    bool RetrieveInfo();
    // How many failures the component has shown the user itself; an owner
    // compares it around a call so that one failure gets one box.
    int FailuresShown() const { return failuresShown_; }
    bool IsUpdateAvailable();
    bool ShowReadMe(int ask);
    // Target ending in "/" gets the download's file name; otherwise it is the
    // full path. The file appears only when the download is complete.
    bool DownloadUpdate(const std::string& target);

    // The client all update checks share (tests look at it).
    THttpClient* Client() const { return client_.get(); }

private:
    bool Fetch(const std::string& url, std::string& text, const std::string& waitMessage);
    bool Download(const std::string& url, const std::string& path, const std::string& caption);
    bool Start(const std::string& url);
    bool Busy();
    void RequestDone(uint16_t error);
    void Progress();
    void HttpError(const std::string& message);
    void EnsureClient();

    IWebFileInfoUI* ui_;
    std::shared_ptr<THttpClient> client_;
    bool active_ = false;
    std::string homeUrl_;
    std::string lastError_;
    TWfiOptions options_ = 30;
    TWfiPageValues page_;
    TDateTime productDate_ = 0;
    std::string downloadFileName_;
    int pageRedirects_ = 0;
    enum class TWait { None, WaitDialog, Progress } waiting_ = TWait::None;
    bool cancelled_ = false;
    int barPosition_ = 0;
    TFont uiFont_;
    int failuresShown_ = 0;
};
