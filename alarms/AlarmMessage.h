// The alarm pop-up: shows a sounding alarm, plays its sound, and counts down
// to an automatic snooze or, for a Major alarm, to the next replay.
#pragma once

#include "alarms/AlarmCountdown.h"
#include "clockapp/state/WindowServices.h"
#include "timemodel/Alarm.h"

#include <QDialog>

class QTimer;
namespace Ui {
class TF_AlarmMessage;
}

class TF_AlarmMessage : public QDialog, public IAlarmMessage {
    Q_OBJECT
public:
    TF_AlarmMessage(ISoundService& sound, QWidget* owner);
    ~TF_AlarmMessage() override;

    QDialog* Dialog() override { return this; }
    void SetAlarm(const TAlarm& alarm, const std::string& soundFile) override;
    std::string SnoozeDuration() const override;

    TAlarm Alarm; // a copy of the alarm shown
    std::string SoundFileName;
    int SecondsLeft() const { return FCountdown.SecondsLeft; }
    QTimer* tTimer = nullptr;

    void FormShow();
    void DozewiseTimer();
    void ReplayTimer();
    void sb_DozewiseClick();
    void SpeedButton1Click();
    void sbLaunchClick();

protected:
    void showEvent(QShowEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void reject() override; // Escape: as "Dozewise"

private:
    void Centre();
    void Play();

    ISoundService& Sound;
    Ui::TF_AlarmMessage* ui;
    TAlarmCountdown FCountdown;
    bool FShown = false;
};
