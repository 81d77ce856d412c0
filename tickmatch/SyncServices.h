// What the Tickmatch window needs from the desktop: telling the other
// programs how the attempt went, and asking the user.
#pragma once

#include <functional>
#include <string>

class TSyncReporter {
public:
    virtual ~TSyncReporter() = default;
    // Whether horolux's main window is there to hear the reports.
    virtual bool MainWindowRunning() = 0;
    // Registers the suite's messages; received ones go to OnMessage by name.
    virtual void RegisterMessages() = 0;
    // One of the suite's HXM_ messages, to every program.
    virtual void Broadcast(const std::string& messageName) = 0;
    // The system clock was changed.
    virtual void BroadcastTimeChange() = 0;
    std::function<void(const std::string& messageName)> OnMessage;
};

class TTickmatchDialogs {
public:
    virtual ~TTickmatchDialogs() = default;
    virtual void Warning(const std::string& text) = 0;
    virtual void Error(const std::string& text) = 0;
    // An information box with Yes and No; true only for Yes.
    virtual bool AskYesNo(const std::string& text) = 0;
};
