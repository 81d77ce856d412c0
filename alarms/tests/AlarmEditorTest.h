// A started main window with the alarm windows installed, at a pinned instant
// (UTC 2026-02-14 12:00, host +1), a recording sound player and helpers to
// find the parts of a window by their names and answer its modal editor.
#pragma once

#include "alarms/AlarmWindows.h"
#include "clockapp/ClockDisplay.h"
#include "alarms/tests/WindowParts.h"
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

class AlarmEditorTest : public TWindowTest<AlarmEditorClocks, TAnsweringPresenter>, public TWindowParts {
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
