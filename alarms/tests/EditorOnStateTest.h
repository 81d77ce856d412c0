// The alarm and Dayloom item editors on a clock state of their own, started on
// an empty data directory at a pinned instant (UTC 2026-02-14 12:00, host +1),
// with stand-ins for the picker and the sounds, and helpers to find the parts
// of an editor by their names.
#pragma once

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
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// Records every box and answers it as Escape would.
struct TEditorBoxes : IMessagePresenter {
    std::vector<std::string> Texts;
    TModalResult Present(const std::string& text, TMsgDlgType, TMsgDlgButtons buttons,
                         int) override {
        Texts.push_back(text);
        return EscapeResult(buttons);
    }
};

class EditorOnStateTest : public ::testing::Test {
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
