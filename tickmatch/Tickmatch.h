// The Tickmatch window: one synchronisation attempt from the command line,
// reported by broadcast and logged in the sync log. Hidden unless asked to stay.
#pragma once

#include "tickmatch/ClockSetter.h"
#include "tickmatch/SyncRules.h"
#include "tickmatch/SyncServices.h"
#include "tickmatch/TimeClient.h"

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

class QLabel;
class QTimer;

class TF_Tickmatch : public QWidget {
    Q_OBJECT
public:
    struct TServices {
        TSyncReporter* Reporter = nullptr;
        TTickmatchDialogs* Dialogs = nullptr;
        TClockSetter* Clock = nullptr;
    };

    // args: the command line without the program name; dataDir: where the
    // sync log lives.
    TF_Tickmatch(std::vector<std::string> args, std::string dataDir, TServices services,
                 QWidget* parent = nullptr);
    ~TF_Tickmatch() override;

    // The start-up steps: argument check, window, the attempt.
    void FormCreate();

    // Set once the program is to end; Terminate is how it ends.
    bool Terminated() const { return TerminateRequested; }
    std::function<void()> Terminate;

    TWSTimeClient* TC_TimeClient;
    QTimer* timer_Resolve;
    QLabel* StaticText1;

    // The reply time-out, from the request.
    int ReplyTimeoutMs = 7000;

    void AttemptSyncronize();
    void SetTime(TDateTime newUtc, TDateTime oldUtc);
    void FinishSync();

    void tc_TimeClientTime(TDateTime dateTime);
    void tc_TimeClientDayTime(const std::string& dateTime);
    void TC_TimeClientNTPTime(TDateTime dateTime);
    void TC_TimeClientError();
    void timer_ResolveTimer();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void ServerTime(TDateTime serverTime, bool hasDate, tickmatch::TProtocol protocol);
    void Fail(const std::string& failText);
    void WriteLogLine();
    void EndProgram();

    std::vector<std::string> Args;
    std::string DataDir;
    TServices Services;
    tickmatch::TTickmatchArgs Params;
    bool ArgumentsRead = false;
    bool LogEnabled = false;
    std::string LogPath;
    std::string LogLine;
    // One attempt, one outcome: true from the request to its outcome.
    bool AttemptRunning = false;
    bool TerminateRequested = false;
    // The line of this attempt is in the log already: a failure is logged
    // before it is broadcast, so horolux can read why it failed.
    bool LogLineWritten = false;
    // What the socket said of the last error; empty for a time-out.
    std::string SocketError;
};
