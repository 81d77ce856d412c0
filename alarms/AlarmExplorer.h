// The late-alarm window: the alarms that were missed (horolux was not
// running, the machine slept), to acknowledge or delete.
#pragma once

#include <QDialog>

#include <cstdint>
#include <vector>

class IListSaver;
class TClockState;
namespace Ui {
class TFAlarmExplorer;
}

class TFAlarmExplorer : public QDialog {
    Q_OBJECT
public:
    TFAlarmExplorer(TClockState& state, IListSaver& lists, QWidget* owner);
    ~TFAlarmExplorer() override;

    // For each row, in row order, the identity of its alarm.
    std::vector<uint64_t> LateAlarms;

    void FillLateAlarms();
    void AckAllClick();
    void sb_AckClick();
    void sb_DeleteClick();
    void FormClose();

protected:
    void showEvent(QShowEvent* e) override;

private:
    std::vector<uint64_t> CheckedAlarms() const;

    TClockState& W;
    IListSaver& Lists;
    Ui::TFAlarmExplorer* ui;
    bool FShown = false;
};
