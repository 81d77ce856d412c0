#include "tickmatch/Tickmatch.h"

#include <utility>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <filesystem>

using namespace tickmatch;

TF_Tickmatch::TF_Tickmatch(std::vector<std::string> args, std::string dataDir, TServices services,
                           QWidget* parent)
    : QWidget(parent), Args(std::move(args)), DataDir(std::move(dataDir)), Services(services) {
    setObjectName("F_Tickmatch");
    setWindowTitle("Time Sync");
    setFixedSize(200, 30);
    StaticText1 = new QLabel(this);
    StaticText1->setObjectName("StaticText1");
    StaticText1->setGeometry(0, 0, 4, 30);
    TC_TimeClient = new TWSTimeClient(this);
    TC_TimeClient->setObjectName("TC_TimeClient");
    TC_TimeClient->OnTime = [this](TWSTimeClient*, TDateTime dt) { tc_TimeClientTime(dt); };
    TC_TimeClient->OnDayTime = [this](TWSTimeClient*, const std::string& text) {
        tc_TimeClientDayTime(text);
    };
    TC_TimeClient->OnNTPTime = [this](TWSTimeClient*, TDateTime dt, long double) {
        TC_TimeClientNTPTime(dt);
    };
    TC_TimeClient->OnError = [this](TWSTimeClient*, const std::string& message) {
        SocketError = message;
        TC_TimeClientError();
    };
    timer_Resolve = new QTimer(this);
    timer_Resolve->setObjectName("timer_Resolve");
    timer_Resolve->setSingleShot(true);
    timer_Resolve->setTimerType(Qt::PreciseTimer);
    connect(timer_Resolve, &QTimer::timeout, this, &TF_Tickmatch::timer_ResolveTimer);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
    Terminate = [] {
        // Queued, so it also ends a program whose event loop has not started yet.
        QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
    };
}

TF_Tickmatch::~TF_Tickmatch() = default;

void TF_Tickmatch::EndProgram() {
    if (TerminateRequested) return;
    TerminateRequested = true;
    if (AttemptRunning) {
        AttemptRunning = false;
        timer_Resolve->stop();
        TC_TimeClient->Abort();
    }
    if (Terminate) Terminate();
}

void TF_Tickmatch::FormCreate() {
    if (!Services.Reporter->MainWindowRunning())
        Services.Dialogs->Warning("Horolux Not Found - This is unusual!");
    Services.Reporter->OnMessage = [this](const std::string& name) {
        if (name == "HXM_TerminateTickmatch") EndProgram();
    };
    Services.Reporter->RegisterMessages();

    if (Args.size() != std::size_t(ArgumentCount)) {
        Services.Dialogs->Error("Incorrect Tickmatch Parameters - Exiting...");
        hide();
        EndProgram();
        return;
    }
    try {
        Params = ParseArguments(Args);
    } catch (const EConvertError& e) {
        // Without its arguments the program can do nothing useful; it ends
        // rather than wait hidden.
        Services.Dialogs->Error(e.Message);
        hide();
        EndProgram();
        return;
    }
    ArgumentsRead = true;
    if (Params.LogName != LogNone) {
        if (IsValidLogName(Params.LogName)) {
            LogEnabled = true;
            LogPath = DataDir + "/" + Params.LogName;
        } else {
            std::fprintf(stderr,
                         "tickmatch: the log name \"%s\" is not a plain file name; no log line is "
                         "written\n",
                         Params.LogName.c_str());
        }
    }

    if (Params.Stay != 0)
        show();
    else
        hide();

    if (Params.Mode == "-s")
        AttemptSyncronize();
    else if (Params.Stay == 0)
        EndProgram(); // hidden, with nothing to do
}

void TF_Tickmatch::AttemptSyncronize() {
    if (!ArgumentsRead || AttemptRunning || TerminateRequested) return;
    LogLine = LogLineStart(Params.Server, Now());
    LogLineWritten = false;
    SocketError.clear();
    AttemptRunning = true;
    Services.Reporter->Broadcast("HXM_SyncAttempt");
    if (!AttemptRunning) return; // ended while the broadcast was delivered
    TC_TimeClient->Addr = Params.Server;
    timer_Resolve->start(ReplyTimeoutMs);
    try {
        switch (ProtocolFromArgument(Params.Protocol)) {
        case TProtocol::Daytime:
            TC_TimeClient->RequestDayTime();
            break;
        case TProtocol::Sntp:
            TC_TimeClient->RequestNTPTime();
            break;
        case TProtocol::Time:
            TC_TimeClient->RequestTime();
            break;
        }
    } catch (const std::exception&) {
        TC_TimeClientError();
    }
}

void TF_Tickmatch::ServerTime(TDateTime serverTime, bool hasDate, TProtocol protocol) {
    if (!AttemptRunning) return;
    timer_Resolve->stop();
    TDateTime oldUtc = FromMilliseconds(ToMilliseconds(NowUTC()));
    TDateTime newUtc =
        CorrectedTime(serverTime, hasDate, protocol, Params.UtcOffset, Params.SetDate, oldUtc);
    SetTime(newUtc, oldUtc);
}

void TF_Tickmatch::tc_TimeClientTime(TDateTime dateTime) {
    ServerTime(dateTime, true, TProtocol::Time);
}

void TF_Tickmatch::tc_TimeClientDayTime(const std::string& dateTime) {
    if (!AttemptRunning) return;
    auto timeOfDay = DecodeDaytimeReply(dateTime);
    if (!timeOfDay) {
        Fail(FailInvalidTimestamp + CleanReplyText(dateTime));
        return;
    }
    ServerTime(*timeOfDay, false, TProtocol::Daytime);
}

void TF_Tickmatch::TC_TimeClientNTPTime(TDateTime dateTime) {
    ServerTime(dateTime, true, TProtocol::Sntp);
}

void TF_Tickmatch::SetTime(TDateTime newUtc, TDateTime oldUtc) {
    if (!AttemptRunning) return;
    timer_Resolve->stop();
    if (Params.ConfirmLargeChange && IsLargeChange(oldUtc, newUtc)) {
        bool yes = Services.Dialogs->AskYesNo(LargeChangeQuestion(oldUtc, newUtc));
        if (!AttemptRunning) return; // told to end while the question was open: the clock stays
        if (!yes) {
            Fail(FailUserAborted);
            return;
        }
    }
    // Relative: the time the question stayed open is not lost.
    int64_t shiftUs = (ToMilliseconds(newUtc) - ToMilliseconds(oldUtc)) * 1000;
    std::string reason;
    if (Services.Clock->ShiftClock(shiftUs, reason)) {
        Services.Reporter->BroadcastTimeChange();
        Services.Reporter->Broadcast("HXM_SyncSuccess");
        LogLine += LogSuccessFields(newUtc, oldUtc);
    } else {
        std::fprintf(stderr, "tickmatch: could not set the system time: %s\n", reason.c_str());
        LogLine += LogFailField(std::string(FailCouldNotSet) + " - " + reason);
        WriteLogLine();
        Services.Reporter->Broadcast("HXM_SyncFail");
    }
    FinishSync();
}

void TF_Tickmatch::Fail(const std::string& failText) {
    if (!AttemptRunning) return;
    timer_Resolve->stop();
    LogLine += LogFailField(failText);
    WriteLogLine();
    Services.Reporter->Broadcast("HXM_SyncFail");
    FinishSync();
}

void TF_Tickmatch::TC_TimeClientError() {
    timer_ResolveTimer();
}

void TF_Tickmatch::timer_ResolveTimer() {
    if (!AttemptRunning) return;
    TC_TimeClient->Abort();
    // A socket error says what it was (a refusal, a name that is not
    // known) after the time-out's own text.
    Fail(SocketError.empty() ? std::string(FailTimedOut)
                             : std::string(FailTimedOut) + " - " + SocketError);
}

void TF_Tickmatch::FinishSync() {
    if (!AttemptRunning) return;
    WriteLogLine();
    AttemptRunning = false;
    if (Params.Stay == 0) EndProgram();
}

void TF_Tickmatch::WriteLogLine() {
    if (std::exchange(LogLineWritten, true)) return;
    if (LogEnabled) {
        std::error_code ec;
        std::filesystem::create_directories(DataDir, ec);
        std::string error;
        if (!AppendLogLine(LogPath, LogLine, error)) {
            std::fprintf(stderr, "tickmatch: the sync log cannot be written: %s\n", error.c_str());
            if (Params.Stay != 0)
                Services.Dialogs->Error("The sync log cannot be written: " + error);
        }
    }
}

void TF_Tickmatch::closeEvent(QCloseEvent* event) {
    event->accept();
    EndProgram();
}
