#include "alarms/AlarmExplorer.h"

#include "clockapp/AlarmFiring.h"
#include "clockapp/MainWindow.h"
#include "ui_TFAlarmExplorer.h"

#include <QTimer>

#include <exception>

TFAlarmExplorer::TFAlarmExplorer(TF_clocks& owner)
    : QDialog(&owner), W(owner), ui(new Ui::TFAlarmExplorer) {
    ui->setupUi(this);
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    connect(ui->BitBtn1, &QPushButton::clicked, this, [this] { AckAllClick(); });
    connect(ui->sb_Ack, &QToolButton::clicked, this, [this] { sb_AckClick(); });
    connect(ui->sb_Delete, &QToolButton::clicked, this, [this] { sb_DeleteClick(); });
    connect(this, &QDialog::finished, this, [this] { FormClose(); });
    FillLateAlarms();
    adjustSize();
}

TFAlarmExplorer::~TFAlarmExplorer() {
    delete ui;
}

void TFAlarmExplorer::FillLateAlarms() {
    ui->clb_Alarms->clear();
    ui->sb_Ack->setEnabled(false);
    LateAlarms = LateAlarmIds(W.Alarms);
    for (const uint64_t id : LateAlarms) {
        auto* row = new QListWidgetItem(
            QString::fromStdString(LateAlarmRow(*FindAlarm(W.Alarms, id))), ui->clb_Alarms);
        row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
        row->setCheckState(Qt::Unchecked);
        ui->sb_Ack->setEnabled(true);
    }
    if (LateAlarms.empty()) {
        // Made with nothing to show: it closes as soon as it is up.
        if (isVisible())
            close();
        else
            QTimer::singleShot(0, this, [this] { close(); });
    }
}

std::vector<uint64_t> TFAlarmExplorer::CheckedAlarms() const {
    std::vector<uint64_t> ids;
    for (int i = 0; i < ui->clb_Alarms->count() && i < int(LateAlarms.size()); ++i)
        if (ui->clb_Alarms->item(i)->checkState() == Qt::Checked)
            ids.push_back(LateAlarms[size_t(i)]);
    return ids;
}

void TFAlarmExplorer::AckAllClick() {
    AcknowledgeAlarms(W.Alarms, LateAlarms);
    close();
}

void TFAlarmExplorer::sb_AckClick() {
    AcknowledgeAlarms(W.Alarms, CheckedAlarms());
    FillLateAlarms();
}

void TFAlarmExplorer::sb_DeleteClick() {
    DeleteAlarms(W.Alarms, CheckedAlarms());
    FillLateAlarms();
}

void TFAlarmExplorer::FormClose() {
    try {
        W.WriteAlarms();
    } catch (const std::exception&) {
        // The list is saved again when horolux ends.
    }
}
