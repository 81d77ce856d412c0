// The alarm and Dayloom item editors on a clock state of their own, started on
// an empty data directory at a pinned instant (UTC 2026-02-14 12:00, host +1),
// with stand-ins for the picker and the sounds, and helpers to find the parts
// of an editor or window by their names, answer its modal editor and make the
// tool windows through their factories.
#pragma once

#include "alarms/tests/WindowParts.h"
#include "clockapp/state/tests/FakeServices.h"
#include "clockapp/tests/TestApp.h"
#include "timemodel/HXMessageBoxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QTableWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Records every box; answers the questions from Answers, in order, then as
// Escape would.
struct TEditorBoxes : IMessagePresenter {
    std::vector<std::string> Texts;
    std::deque<TModalResult> Answers;
    TModalResult Present(const std::string& text, TMsgDlgType, TMsgDlgButtons buttons,
                         int) override {
        Texts.push_back(text);
        if (!(buttons & mbYes) || Answers.empty()) return EscapeResult(buttons);
        const TModalResult a = Answers.front();
        Answers.pop_front();
        return a;
    }
};

class EditorOnStateTest : public ::testing::Test, public TWindowParts {
protected:
    void SetUp() override {
        PinClock(EncodeDate(2026, 2, 14) + EncodeTime(12, 0, 0, 0), 1);
        TestApp();
        SetMessagePresenter(&presenter);
        w = std::make_unique<TClockState>(store);
        StartClockState(*w, dir.path().toStdString());
        services = std::make_unique<TFakeServices>(*w);
        sound = &services->Sound;
        w->Alarms.clear();
        w->TemperalEvents.clear();
        w->MuteChimes = true;
        w->LocalClock.Location.Name = "Home Town";
        presenter.Texts.clear();
    }
    void TearDown() override {
        QLocale::setDefault(FDefaultLocale);
        for (QWidget* x : QApplication::topLevelWidgets())
            if (x->isVisible()) x->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        services.reset();
        w.reset();
        SetMessagePresenter(nullptr);
        ResetClockSource();
    }
    // The tool window made by its installed factory (InstallAlarmWindows
    // first), freed on close and shown, as the main window's command does.
    QWidget* OpenToolWindow(TToolWindow which) {
        const TToolWindowFactory& make = services->Factories.Tools[int(which)];
        EXPECT_TRUE(make);
        if (!make) return nullptr;
        QWidget* window = make(nullptr);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
        return window;
    }
    std::string FileText(const char* name) const {
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::ReadOnly)) return "<none>";
        return f.readAll().toStdString();
    }
    const std::vector<std::string>& Sounds() const { return sound->Played; }
    // An (empty) file of the data directory; its full name.
    std::string Touch(const char* name) const {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << name;
        return f.fileName().toStdString();
    }

    QTemporaryDir dir;
    THXMemoryPrefsStore store;
    TEditorBoxes presenter;
    std::unique_ptr<TClockState> w;
    std::unique_ptr<TFakeServices> services;
    TFakeSound* sound = nullptr;
    const QLocale FDefaultLocale;
};
