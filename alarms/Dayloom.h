// The Dayloom window: how long since or until each tracked date, refreshed
// every second, over the main window's event list itself; and the item
// editor, which works on a copy taken back on OK.
#pragma once

#include "alarms/EditorFields.h"
#include "timemodel/Alarm.h"

#include <QDialog>
#include <QWidget>

class QTimer;
class IListSaver;
class ILocationPicker;
class ISoundService;
class TClockState;
namespace Ui {
class TF_Dayloom;
class TAddEditTrackingItem;
} // namespace Ui

class TAddEditTrackingItem : public QDialog {
    Q_OBJECT
public:
    TAddEditTrackingItem(const TClockState& state, ILocationPicker& picker, QWidget* parent);
    ~TAddEditTrackingItem() override;

    // The working event: filled by the caller before exec, read after OK.
    TTemperalEvent Event;

    void FormActivate();
    void ChangeZone();
    // OK: the fields into Event and the dialog ends, unless the repeat does
    // not convert (then it says so and stays open).
    void OKBtnClick();

    // The location manager's pick; tests answer it.
    TLocationPick PickLocation;

protected:
    void showEvent(QShowEvent* e) override;

private:
    Ui::TAddEditTrackingItem* ui;
    bool FShown = false;
};

class TF_Dayloom : public QWidget {
    Q_OBJECT
public:
    TF_Dayloom(TClockState& state, IListSaver& lists, ILocationPicker& picker, ISoundService& sound,
               QWidget* owner);
    ~TF_Dayloom() override;

    int SelectedIndex = 0; // the event whose figures are shown
    bool ItemsHidden = false;
    QTimer* t_Refresh = nullptr;

    void loadItems();
    void t_RefreshTimer();
    void sg_ItemsClick();
    void sb_AddClick();
    void sb_EditClick();
    void sb_DeleteClick();
    void sb_detailClick();
    void ExpandItems();
    void ShrinkItems();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    int FixedHeights() const;
    bool RunEditor(TAddEditTrackingItem* editor);

    TClockState& W;
    IListSaver& Lists;
    ILocationPicker& Picker;
    ISoundService& Sound;
    Ui::TF_Dayloom* ui;
    bool FSelecting = false;
};
