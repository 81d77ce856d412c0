// The update check's dialogs on Qt Widgets: message boxes, the wait dialog,
// the download progress dialog TWebDlProgress and the ReadMe window.
#pragma once

#include <QDialog>
#include <memory>

#include "net/http/WebFileInfo.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QWidget;

// Built in code; its parts carry their names as object names.
class TWebDlProgress : public QDialog {
public:
    explicit TWebDlProgress(QWidget* parent = nullptr);
    QProgressBar* pbarProgress;
    QLabel* lblDownloading;
    QLabel* lblProgress;
    QPushButton* btnCancel;
    bool Cancelled = false;
    std::function<void()> OnCancel;
    void btnCancelClick();
    void reject() override {} // only Cancel ends a download
};

class TWebFileInfoQtUI : public IWebFileInfoUI {
public:
    explicit TWebFileInfoQtUI(QWidget* owner = nullptr) : owner_(owner) {}
    int MessageBox(const std::string& text, const std::string& caption, int flags) override;
    void ShowMessage(const std::string& text) override;
    void RunWaitDialog(const std::string& message, const TFont& font) override;
    void CloseWaitDialog() override;
    void RunProgressDialog(const std::string& caption, const TFont& font,
                           std::function<void()> onCancel) override;
    void SetProgress(const std::string& text, int percent) override;
    void CloseProgressDialog() override;
    void ShowReadMeText(const std::string& text, const TFont& font) override;
    bool OpenDocument(const std::string& path) override;
    std::string TempFolder() override;

    // The dialogs while they are up (tests answer them).
    QDialog* WaitDialog() const { return wait_; }
    TWebDlProgress* ProgressDialog() const { return progress_; }

private:
    QWidget* owner_;
    QDialog* wait_ = nullptr;
    TWebDlProgress* progress_ = nullptr;
    bool waitClosed_ = false, progressClosed_ = false;
};

