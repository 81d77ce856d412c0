// A started main window with the alarm windows installed, at a pinned instant
// (UTC 2026-02-14 12:00, host +1), a recording sound player and helpers to
// find the parts of a window by their names and answer its modal editor.
#pragma once

#include "alarms/AlarmWindows.h"
#include "clockapp/ClockDisplay.h"
#include "clockapp/tests/WindowTest.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QTableWidget>

#include <deque>
#include <functional>
#include <string>
#include <vector>

inline constexpr double kSecond = 1.0 / 86400;
inline const TDateTime kPinnedUtc = EncodeDate(2026, 2, 14) + EncodeTime(12, 0, 0, 0);

class AlarmEditorClocks : public QuietClocks {
public:
    using QuietClocks::QuietClocks;
    void SyncTime() override {}
    std::vector<std::string> Errors;
    bool ActivateManager = false; // the answer to "activate the manager?"

protected:
    void ShowError(const std::string& text) override { Errors.push_back(text); }
    bool ConfirmYes(const std::string&) override { return ActivateManager; }
};

// Records every box; answers the questions from Answers, in order, then as
// Escape would.
struct TAnsweringPresenter : TRecordingPresenter {
    std::deque<TModalResult> Answers;
    TModalResult Present(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons,
                         int help) override {
        const TModalResult escape = TRecordingPresenter::Present(text, type, buttons, help);
        if (!(buttons & mbYes) || Answers.empty()) return escape;
        const TModalResult a = Answers.front();
        Answers.pop_front();
        return a;
    }
};

class AlarmEditorTest : public TWindowTest<AlarmEditorClocks, TAnsweringPresenter> {
protected:
    void BeforeStart() override { InstallAlarmWindows(*w, w->WindowServices()); }
    void SetUp() override {
        PinClock(kPinnedUtc, 1);
        TWindowTest::SetUp();
        w->Timer1->stop();
        ClockDisplayOf(*w).LoadRegTimeInfo(); // the host at +1
        auto rec = std::make_unique<TRecordingSoundPlayer>();
        sound = rec.get();
        ClockDisplayOf(*w).SetSoundPlayer(std::move(rec));
        w->Alarms.clear();
        w->TemperalEvents.clear();
        w->MuteChimes = true;
        w->LocalClock.Location.Name = "Home Town";
    }
    void TearDown() override {
        QLocale::setDefault(FDefaultLocale);
        for (QWidget* x : QApplication::topLevelWidgets())
            if (x != w.get() && x->isVisible()) x->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        TWindowTest::TearDown();
        ResetClockSource();
    }
    // A place of its own at UTC+offset, without daylight saving.
    static void Place(TTimeLocation& l, const std::string& name, double offset = 0) {
        l.Name = name;
        l.StdOffset = offset;
        l.Rule.ReadDataString("0");
    }
    template <class T> static T* Part(QWidget* window, const char* name) {
        T* p = window->findChild<T*>(name);
        EXPECT_NE(p, nullptr) << name;
        return p;
    }
    static void Click(QWidget* window, const char* name) {
        if (auto* b = Part<QAbstractButton>(window, name)) b->click();
    }
    static QString Text(QWidget* window, const char* name) {
        if (auto* l = window->findChild<QLabel*>(name)) return l->text();
        if (auto* e = window->findChild<QLineEdit*>(name)) return e->text();
        if (auto* b = window->findChild<QAbstractButton*>(name)) return b->text();
        ADD_FAILURE() << name;
        return {};
    }
    static std::vector<std::string> Row(QTableWidget* grid, int row) {
        std::vector<std::string> r;
        for (int c = 0; c < grid->columnCount(); ++c)
            r.push_back(grid->item(row, c) ? grid->item(row, c)->text().toStdString() : "");
        return r;
    }
    // Runs the command; the modal dialog it opens gets the answer.
    static void Answering(const std::function<void()>& command,
                          const std::function<void(QWidget*)>& answer) {
        bool answered = false;
        AnswerNextModal([&answered, answer](QWidget* d) {
            answered = true;
            answer(d);
        });
        command();
        EXPECT_TRUE(answered);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    std::vector<std::string> Sounds() const {
        std::vector<std::string> r;
        for (const auto& e : sound->Played)
            r.push_back(e.Sound);
        return r;
    }
    // An (empty) file of the data directory; its full name.
    std::string Touch(const char* name) const {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << name;
        return f.fileName().toStdString();
    }
    std::string FileText(const char* name) const {
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::ReadOnly)) return "<none>";
        return f.readAll().toStdString();
    }
    TRecordingSoundPlayer* sound = nullptr;
    const QLocale FDefaultLocale;
};
