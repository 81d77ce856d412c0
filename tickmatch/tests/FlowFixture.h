// Drives one Tickmatch window in this process against test servers, a fake
// time service on a private "system" bus and a recording reporter.
#pragma once

#include "tickmatch/Tickmatch.h"
#include "tickmatch/tests/TestApp.h"
#include "tickmatch/tests/TestProcess.h"
#include "tickmatch/tests/TestServers.h"

#include <QElapsedTimer>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

class TRecordingReporter : public TSyncReporter {
public:
    bool MainWindow = true;
    std::vector<std::string> Events;
    bool MainWindowRunning() override { return MainWindow; }
    void RegisterMessages() override {}
    void Broadcast(const std::string& name) override { Events.push_back(name); }
    void BroadcastTimeChange() override { Events.push_back("TimeChanged"); }
    void Deliver(const std::string& name) {
        if (OnMessage) OnMessage(name);
    }
};

class TScriptedDialogs : public TTickmatchDialogs {
public:
    std::vector<std::string> Shown;
    bool Answer = true;
    std::function<void()> WhileAsking;
    void Warning(const std::string& text) override { Shown.push_back("Warning: " + text); }
    void Error(const std::string& text) override { Shown.push_back("Error: " + text); }
    bool AskYesNo(const std::string& text) override {
        Shown.push_back("Ask: " + text);
        if (WhileAsking) WhileAsking();
        return Answer;
    }
};

class Flow : public ::testing::Test {
protected:
    // The machine's clock as Tickmatch sees it (UTC), local time one hour ahead.
    const TDateTime Pinned = EncodeDate(2026, 12, 8) + EncodeTime(10, 45, 45, 0);

    void SetUp() override {
        TestApp();
        Dir = MakeTempDir("tickmatch-flow");
        ASSERT_FALSE(Dir.empty());
        ASSERT_TRUE(Bus.Start(Dir, "system"));
        StartService("accept");
        PinClock(Pinned, 1.0);
    }
    void TearDown() override {
        Form.reset();
        ResetClockSource();
        RemoveTree(Dir);
    }
    void StartService(const std::string& mode) {
        Service = std::make_unique<TFakeTimeService>();
        ASSERT_TRUE(Service->Start(Bus.Address(), Dir + "/calls-" + mode, mode));
    }
    // A server on 127.0.0.1 telling the pinned time moved by offset days.
    TTestTimeServer& Server(TTestTimeServer::TKind, TDateTime offset = 0) {
        Servers.push_back(std::make_unique<TTestTimeServer>());
        auto& s = *Servers.back();
        TDateTime told = Pinned + offset;
        s.ServerTime = [told] { return told; };
        return s;
    }
    static std::vector<std::string>
    Args(const std::string& protocol, const std::string& offset = "0",
         const std::string& stay = "0", const std::string& setDate = "0",
         const std::string& confirm = "0", const std::string& log = "hxsynclog.hxd") {
        return {"-s", "127.0.0.1", protocol, offset, stay, setDate, confirm, log};
    }
    // Creates the window, runs its start-up and waits for the program to end
    // (or, for a staying window, for the outcome).
    void Run(const std::vector<std::string>& args, uint16_t port, int timeoutMs = 10000) {
        Clock = std::make_unique<TSystemClockSetter>(Bus.Address());
        Form = std::make_unique<TF_Tickmatch>(
            args, Dir, TF_Tickmatch::TServices{&Reporter, &Dialogs, Clock.get()});
        Form->TC_TimeClient->PortOverride = port;
        Form->Terminate = [this] { Ended = true; };
        Form->FormCreate();
        RunUntil([&] { return Ended || HasOutcome(); }, timeoutMs);
    }
    bool HasOutcome() const {
        for (const auto& e : Reporter.Events)
            if (e == "HXM_SyncSuccess" || e == "HXM_SyncFail") return true;
        return false;
    }
    static void RunUntil(const std::function<bool()>& done, int timeoutMs) {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < timeoutMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    static void Pump(int ms) {
        RunUntil([] { return false; }, ms);
    }
    std::string Log() const { return ReadFile(Dir + "/hxsynclog.hxd"); }
    std::string Calls() const { return Service->Calls(); }
    std::string Start() const { return "SYNC-ATTEMPT\tHost: 127.0.0.1\tDec-08-2026 11:45:45"; }
    // The fake service's record of one shift by ms milliseconds.
    static std::string Shift(long long ms) {
        return "SetTime " + std::to_string(ms * 1000) + " 1 1\n";
    }
    static TDateTime Sec(double s) { return s / SecsPerDay; }

    std::string Dir;
    TPrivateBus Bus;
    std::unique_ptr<TFakeTimeService> Service;
    std::vector<std::unique_ptr<TTestTimeServer>> Servers;
    TRecordingReporter Reporter;
    TScriptedDialogs Dialogs;
    std::unique_ptr<TSystemClockSetter> Clock;
    std::unique_ptr<TF_Tickmatch> Form;
    bool Ended = false;
};
