// Tickmatch's reports over the suite's inter-program messages (the session bus).
#pragma once

#include "tickmatch/SyncServices.h"

#include <memory>

class TDBusHXMessageTransport;
class THXMessageListener;

class THXBusReporter : public TSyncReporter {
public:
    THXBusReporter();
    ~THXBusReporter() override;
    bool MainWindowRunning() override;
    void RegisterMessages() override;
    void Broadcast(const std::string& messageName) override;
    void BroadcastTimeChange() override;

private:
    std::unique_ptr<TDBusHXMessageTransport> Transport;
    std::unique_ptr<THXMessageListener> Listener;
};

// The dialogs through the suite's message dialog (and its presenter).
class TMessageDlgDialogs : public TTickmatchDialogs {
public:
    void Warning(const std::string& text) override;
    void Error(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
};
