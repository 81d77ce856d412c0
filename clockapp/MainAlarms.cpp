// The main window's side of alarm firing: the tick's alarm check and its
// effects, the alarm pop-ups and the late-alarm window. Both windows are
// application-modal without a loop of their own, so the clocks, chimes and
// further alarms go on while they wait; an answer is applied when it comes.
#include "clockapp/state/AlarmFiring.h"
#include "clockapp/MainWindow.h"
#include "platform/qt/Launch.h"
#include "timemodel/HX_messages.h"

#include <QDialog>

#include <exception>
#include <memory>

void TF_clocks::SetAlarmWindowFactories(TAlarmMessageFactory message,
                                        TAlarmExplorerFactory explorer) {
    FAlarmMessageFactory = std::move(message);
    FAlarmExplorerFactory = std::move(explorer);
}

QWidget* TF_clocks::AlarmExplorer() const {
    return FAlarmWindows.Explorer;
}

void TF_clocks::CheckSoundAlarms() {
    if (Alarms.empty()) return;
    UpdateAlarmOffsets();
    struct TActions : IAlarmActions {
        TF_clocks& W;
        explicit TActions(TF_clocks& w) : W(w) {}
        void SoundAlarm(int index, const std::string& soundFile) override {
            W.SoundAlarm(index, soundFile);
        }
        void Broadcast(unsigned msg) override { BroadcastHXMessage(msg); }
        void SyncTime() override { W.SyncTime(); }
        void Launch(const std::string& text) override {
            try {
                if (W.AlarmLauncher)
                    W.AlarmLauncher(text);
                else
                    LaunchFileOrProgram(text);
            } catch (...) {
                // A program that does not start reports nothing.
            }
        }
        void WriteAlarms() override {
            try {
                W.WriteAlarms();
            } catch (const std::exception& e) {
                W.ShowError(e.what());
            }
        }
        void ExploreLateAlarms() override { W.ExploreLateAlarms(); }
    } actions(*this);
    const TAlarmSounds sounds{MajorAlarmSound, NormalAlarmSound, MinorAlarmSound};
    CheckDueAlarms(Alarms, sounds, actions);
}

void TF_clocks::SoundAlarm(int index, const std::string& soundFile) {
    if (index < 0 || index >= int(Alarms.size())) return;
    const uint64_t id = Alarms[size_t(index)]->Id.Value();
    // Answered once: by the pop-up's result, or as a snooze when it fails or
    // goes without one.
    auto answered = std::make_shared<bool>(false);
    QPointer<QDialog> dialog;
    try {
        IAlarmMessage* message = FAlarmMessageFactory ? FAlarmMessageFactory(this) : nullptr;
        if (!message || !message->Dialog()) throw std::runtime_error("no alarm window");
        dialog = message->Dialog();
        message->SetAlarm(*Alarms[size_t(index)], soundFile);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->setWindowModality(Qt::ApplicationModal);
        connect(dialog, &QDialog::finished, this, [this, id, message, answered](int result) {
            if (*answered || FAlarmWindows.Closing) return;
            *answered = true;
            std::string snooze;
            try {
                snooze = message->SnoozeDuration();
            } catch (...) {
                // No snooze that reads: the alarm is answered without one.
            }
            AnswerAlarm(id, result == kAlarmAcknowledged, snooze);
        });
        connect(dialog, &QObject::destroyed, this, [this, id, answered] {
            if (*answered || FAlarmWindows.Closing) return;
            *answered = true;
            AnswerAlarm(id, false, {});
        });
        std::erase_if(FAlarmWindows.Messages, [](const QPointer<QWidget>& p) { return !p; });
        FAlarmWindows.Messages.emplace_back(dialog.data());
        dialog->show();
        dialog->raise();
        dialog->activateWindow();
    } catch (...) {
        delete dialog.data();
        if (!*answered) {
            *answered = true;
            AnswerAlarm(id, false, {});
        }
    }
}

void TF_clocks::AnswerAlarm(uint64_t id, bool acknowledged, const std::string& snoozeText) {
    TAlarm* alarm = FindAlarm(Alarms, id);
    if (!alarm) return; // deleted while its pop-up was up
    ApplyAlarmAnswer(*alarm, acknowledged, snoozeText);
    try {
        WriteAlarms();
    } catch (const std::exception& e) {
        ShowError(e.what());
    }
}

void TF_clocks::ExploreLateAlarms() {
    if (FAlarmWindows.Explorer || !FAlarmExplorerFactory) return;
    QPointer<QWidget> window;
    try {
        window = FAlarmExplorerFactory(this);
        if (!window) throw std::runtime_error("no late-alarm window");
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->setWindowModality(Qt::ApplicationModal);
        FAlarmWindows.Explorer = window;
        window->show();
        window->raise();
        window->activateWindow();
    } catch (...) {
        delete window.data();
        ShowErrorCode(10);
    }
}

TF_clocks::TAlarmWindowSet::~TAlarmWindowSet() {
    Closing = true;
    delete Explorer.data();
    for (const QPointer<QWidget>& m : Messages)
        delete m.data();
}
