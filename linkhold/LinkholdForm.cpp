#include "linkhold/LinkholdForm.h"

#include "timemodel/HX_messages.h"
#include "ui_F_HXLINKHOLD.h"

#include <QCheckBox>
#include <QTimer>

TF_HXLINKHOLD::TF_HXLINKHOLD(IRASBackend& backend, ILinkholdStore& store,
                             std::function<bool()> mainWindowRunning,
                             std::function<void()> terminate, QWidget* parent)
    : QWidget(parent, Qt::Tool), UpdateTimer(new QTimer(this)), ui(new Ui::F_HXLINKHOLD) {
    ui->setupUi(this);
    UpdateTimer->setObjectName(QStringLiteral("UpdateTimer"));
    UpdateTimer->setInterval(1000);
    connect(UpdateTimer, &QTimer::timeout, this, &TF_HXLINKHOLD::UpdateTimerTimer);
    connect(ui->cbMonitoring, &QCheckBox::clicked, this, &TF_HXLINKHOLD::cbMonitoringClick);
    TLinkhold::THooks hooks;
    hooks.MainWindowRunning = std::move(mainWindowRunning);
    hooks.Terminate = [this, terminate = std::move(terminate)] {
        UpdateTimer->stop();
        if (terminate) terminate();
    };
    hooks.HideForm = [this] { hide(); };
    hooks.EnableTimer = [this] { UpdateTimer->start(); };
    Core = std::make_unique<TLinkhold>(backend, store, std::move(hooks));
}

TF_HXLINKHOLD::~TF_HXLINKHOLD() {
    Listener.reset();
    Core.reset();
    delete ui;
}

void TF_HXLINKHOLD::FormCreate() {
    // Listening first: an answer to the first report is not missed.
    Listener = std::make_unique<THXMessageListener>([this](unsigned msg) { Core->Dispatch(msg); });
    Core->FormCreate();
}

void TF_HXLINKHOLD::UpdateTimerTimer() {
    Core->UpdateTimerTimer();
}

void TF_HXLINKHOLD::cbMonitoringClick() {
    if (ui->cbMonitoring->isChecked())
        UpdateTimer->start();
    else
        UpdateTimer->stop();
}
