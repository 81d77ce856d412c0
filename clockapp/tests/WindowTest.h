// A quiet main window started on an empty data directory of its own, with an
// in-process message loop and a recording presenter. The fixtures of the
// window's tests build on it; BeforeStart runs just before FormCreate.
#pragma once

#include "clockapp/TrayIcon.h"
#include "clockapp/tests/QuietClocks.h"
#include "clockapp/tests/TestApp.h"
#include "timemodel/HX_messages.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

template <class TClocks = QuietClocks, class TPresenter = TRecordingPresenter>
class TWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        TTrayIcon::SetNotificationAreaOverride(true);
        SetMessagePresenter(&presenter);
        SetHXMessageTransport(&loop);
        SetQuietStartPrefs(store);
        w = std::make_unique<TClocks>(store);
        w->SplashDelayMs = 0;
        BeforeStart();
        w->FormCreate("/nonexistent", {"-datadir", dir.path().toStdString()});
        loop.Deliver();
        presenter.Texts.clear();
    }
    void TearDown() override {
        w.reset();
        SetHXMessageTransport(nullptr);
        SetMessagePresenter(nullptr);
        TTrayIcon::SetNotificationAreaOverride(std::nullopt);
    }
    virtual void BeforeStart() {}

    QTemporaryDir dir;
    THXMemoryPrefsStore store;
    TPresenter presenter;
    TLoopbackHXMessageTransport loop;
    std::unique_ptr<TClocks> w;
};
