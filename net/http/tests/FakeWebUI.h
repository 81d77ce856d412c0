// A stand-in for the update check's dialogs: it records what would be shown,
// answers questions from a list and waits in an event loop where the real
// dialogs would be modal.
#pragma once

#include <QEventLoop>
#include <deque>
#include <string>
#include <vector>

#include "net/http/WebFileInfo.h"

class TFakeWebUI : public IWebFileInfoUI {
public:
    std::vector<std::string> Shown;    // "caption|text" of message boxes, "msg|text" of ShowMessage
    std::vector<std::string> Waits;    // wait dialog messages
    std::vector<std::string> Captions; // progress dialog captions
    std::vector<std::string> ProgressTexts;
    std::vector<int> Bar;
    std::vector<std::string> ReadMes, Opened;
    std::deque<int> Answers;    // for Yes/No questions; IDNO when empty
    int CancelAfterChunks = -1; // press Cancel when this many progress updates came
    std::string Temp;
    bool OpenSucceeds = true;

    int MessageBox(const std::string& text, const std::string& caption, int flags) override {
        Shown.push_back(caption + "|" + text);
        if ((flags & 0xF) != MB_YESNO) return IDOK;
        if (Answers.empty()) return IDNO;
        const int a = Answers.front();
        Answers.pop_front();
        return a;
    }
    void ShowMessage(const std::string& text) override { Shown.push_back("msg|" + text); }
    void RunWaitDialog(const std::string& message, const TFont&) override {
        Waits.push_back(message);
        Run(waitClosed_);
    }
    void CloseWaitDialog() override { Close(waitClosed_); }
    void RunProgressDialog(const std::string& caption, const TFont&,
                           std::function<void()> onCancel) override {
        Captions.push_back(caption);
        cancel_ = std::move(onCancel);
        updates_ = 0;
        Run(progressClosed_);
        cancel_ = nullptr;
    }
    void SetProgress(const std::string& text, int percent) override {
        ProgressTexts.push_back(text);
        if (percent >= 0) Bar.push_back(percent);
        if (++updates_ == CancelAfterChunks && cancel_) cancel_();
    }
    void CloseProgressDialog() override { Close(progressClosed_); }
    void ShowReadMeText(const std::string& text, const TFont&) override { ReadMes.push_back(text); }
    bool OpenDocument(const std::string& path) override {
        Opened.push_back(path);
        return OpenSucceeds;
    }
    std::string TempFolder() override { return Temp; }

private:
    void Run(bool& closed) {
        closed = false;
        QEventLoop loop;
        loop_ = &loop;
        if (!closed) loop.exec();
        loop_ = nullptr;
    }
    void Close(bool& closed) {
        closed = true;
        if (loop_) loop_->quit();
    }
    QEventLoop* loop_ = nullptr;
    bool waitClosed_ = false, progressClosed_ = false;
    std::function<void()> cancel_;
    int updates_ = 0;
};
