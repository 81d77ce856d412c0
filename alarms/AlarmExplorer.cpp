#include "alarms/AlarmExplorer.h"

#include "clockapp/state/AlarmFiring.h"
#include "clockapp/state/ClockState.h"
#include "clockapp/state/WindowServices.h"
#include "platform/qt/HXQtMessagePresenter.h"
#include "ui_TFAlarmExplorer.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <exception>

TFAlarmExplorer::TFAlarmExplorer(TClockState& state, IListSaver& lists, QWidget* owner)
    : QDialog(owner), W(state), Lists(lists), ui(new Ui::TFAlarmExplorer) {
    ui->setupUi(this);
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    // It blocks every other window: under an alarm's pop-up it could not be
    // found.
    if (TQtMessagePresenter::StayOnTopWindowShown()) setWindowFlag(Qt::WindowStaysOnTopHint);
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

// Centred on the screen, wherever (and whether) the main window is shown.
void TFAlarmExplorer::showEvent(QShowEvent* e) {
    if (!FShown) {
        FShown = true;
        QWidget* main = parentWidget();
        QScreen* screen =
            main && main->screen() ? main->screen() : QGuiApplication::primaryScreen();
        if (screen) {
            adjustSize();
            move(screen->availableGeometry().center() - rect().center());
        }
    }
    QDialog::showEvent(e);
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
    // A failure is told, as every window tells it; the list is saved again
    // when horolux ends.
    Lists.SaveAlarms();
}
