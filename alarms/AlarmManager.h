// The alarm manager and the alarm editor. The manager works on the main
// window's alarm list itself, which the tick reads every second; only the
// editor works on a copy, taken back on OK. Grid rows stand for alarm
// identities, so a list changed by the tick or the late-alarm window meanwhile
// never turns a command onto another alarm.
#pragma once

#include "alarms/EditorFields.h"
#include "platform/qt/FileChooser.h"
#include "timemodel/Alarm.h"

#include <QDialog>
#include <QWidget>

#include <cstdint>
#include <vector>

class IListSaver;
class ILocationPicker;
class ISoundService;
class TClockState;
namespace Ui {
class TFHXalarms;
class TF_AddEditAlarm;
} // namespace Ui

class TF_AddEditAlarm : public QDialog {
    Q_OBJECT
public:
    TF_AddEditAlarm(TClockState& state, ILocationPicker& picker, ISoundService& sound,
                    QWidget* parent);
    ~TF_AddEditAlarm() override;

    // The working alarm: filled by the caller before exec, read after OK.
    TAlarm Alarm;

    void FormShow();
    // OK: the fields into Alarm and the dialog ends, unless the repeat does
    // not convert (then it says so and stays open).
    void OKBtnClick();
    void ChangeZone();
    void UpdateForm();
    void sb_PickPayloadClick();
    void sbTestPayloadClick();

    // The location manager's pick and the file dialog; tests answer them.
    TLocationPick PickLocation;
    TFileChooser ChoosePayload;

protected:
    void showEvent(QShowEvent* e) override;

private:
    TClockState& W;
    ISoundService& Sound;
    Ui::TF_AddEditAlarm* ui;
    bool FShown = false;
};

class TFHXalarms : public QWidget {
    Q_OBJECT
public:
    TFHXalarms(TClockState& state, IListSaver& lists, ILocationPicker& picker, ISoundService& sound,
               QWidget* owner);
    ~TFHXalarms() override;

    // The number of alarms when the grid was last filled.
    int AlarmCount = 0;
    // The identity of the alarm of each row after the heading row.
    std::vector<uint64_t> RowAlarms;

    void FormActivate();
    void LoadAlarms();
    void AddAlarm();
    void DupAlarm();
    void EditAlarm();
    void DeleteAlarm();

protected:
    void closeEvent(QCloseEvent* e) override;
    bool event(QEvent* e) override;

private:
    // Refills the grid when the list no longer reads as shown.
    void FollowList();
    std::vector<std::string> RowTexts(const TAlarm& a) const;
    // The alarm the selected row stands for (the first one for the heading
    // row); -1 when there is none.
    int SelectedAlarm();
    void SelectAlarm(uint64_t id);
    void AppendCopy(const TAlarm& alarm);
    // Shows the editor modally: true on OK, with the editor still there.
    bool RunEditor(TF_AddEditAlarm* editor, const char* caption);

    TClockState& W;
    IListSaver& Lists;
    ILocationPicker& Picker;
    ISoundService& Sound;
    Ui::TFHXalarms* ui;
    std::vector<std::vector<std::string>> FShown;
    bool FBusy = false;
};
