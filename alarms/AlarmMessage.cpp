#include "alarms/AlarmMessage.h"

#include "platform/qt/Launch.h"
#include "timemodel/HXMessageBoxes.h"
#include "ui_TF_AlarmMessage.h"

#include <QGuiApplication>
#include <QLayout>
#include <QPainter>
#include <QScreen>
#include <QTimer>

namespace {

constexpr int kBorderWidth = 4;
const QColor kBorderColour(160, 16, 16);
const QColor kSheetColour(255, 244, 200);

} // namespace

TF_AlarmMessage::TF_AlarmMessage(ISoundService& sound, QWidget* owner)
    : QDialog(owner), Sound(sound), ui(new Ui::TF_AlarmMessage) {
    ui->setupUi(this);
    // Borderless and above every other window.
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    // Without a window frame it must still stand out from whatever is behind
    // it: a light sheet with a strong border and a heading strip.
    QPalette sheet = palette();
    sheet.setColor(QPalette::Window, kSheetColour);
    sheet.setColor(QPalette::WindowText, Qt::black);
    setPalette(sheet);
    setAutoFillBackground(true);
    QMargins margins = layout()->contentsMargins();
    margins += QMargins(kBorderWidth, kBorderWidth, kBorderWidth, kBorderWidth);
    layout()->setContentsMargins(margins);
    QPalette heading = ui->Label1->palette();
    heading.setColor(QPalette::Window, kBorderColour);
    heading.setColor(QPalette::WindowText, Qt::white);
    ui->Label1->setPalette(heading);
    ui->Label1->setAutoFillBackground(true);
    ui->Label1->setAlignment(Qt::AlignCenter);
    ui->Label1->setMargin(3);
    tTimer = new QTimer(this);
    tTimer->setObjectName("tTimer");
    tTimer->setInterval(1000);
    connect(ui->sb_Ack, &QPushButton::clicked, this, [this] { done(kAlarmAcknowledged); });
    connect(ui->sb_Dozewise, &QPushButton::clicked, this, [this] { sb_DozewiseClick(); });
    connect(ui->SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
    connect(ui->sbLaunch, &QToolButton::clicked, this, [this] { sbLaunchClick(); });
}

TF_AlarmMessage::~TF_AlarmMessage() {
    delete ui;
}

void TF_AlarmMessage::paintEvent(QPaintEvent* e) {
    QDialog::paintEvent(e);
    QPainter p(this);
    p.setPen(QPen(kBorderColour, kBorderWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);
    const int half = kBorderWidth / 2;
    p.drawRect(rect().adjusted(half, half, -half - kBorderWidth % 2, -half - kBorderWidth % 2));
}

void TF_AlarmMessage::SetAlarm(const TAlarm& alarm, const std::string& soundFile) {
    Alarm.Copy(alarm);
    FCountdown.SecondsLeft = 25;
    ui->l_Description->setText(QString::fromStdString(alarm.Text));
    ui->l_AlarmType->setText(QString::fromStdString(alarm.TypeString()));
    SoundFileName = soundFile;
}

std::string TF_AlarmMessage::SnoozeDuration() const {
    return ui->e_SnoozeDuration->text().toStdString();
}

void TF_AlarmMessage::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (FShown) return;
    FShown = true;
    FormShow();
}

void TF_AlarmMessage::Centre() {
    adjustSize();
    if (QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
}

void TF_AlarmMessage::Play() {
    try {
        Sound.PlaySound(SoundFileName);
    } catch (...) {
        // A sound that cannot be played reports nothing.
    }
}

void TF_AlarmMessage::FormShow() {
    Centre();
    FCountdown.Start(Alarm.AlarmType);
    if (FCountdown.Replaying())
        connect(tTimer, &QTimer::timeout, this, [this] { ReplayTimer(); });
    else
        connect(tTimer, &QTimer::timeout, this, [this] { DozewiseTimer(); });
    tTimer->start();
    Play();
}

void TF_AlarmMessage::DozewiseTimer() {
    const auto step = FCountdown.Step();
    ui->sb_Dozewise->setText(QString::fromStdString(FCountdown.Caption));
    if (step == TAlarmCountdown::TStep::Close) {
        tTimer->stop();
        done(kAlarmTimedOut);
    }
}

void TF_AlarmMessage::ReplayTimer() {
    const auto step = FCountdown.Step();
    ui->sb_Dozewise->setText(QString::fromStdString(FCountdown.Caption));
    if (step == TAlarmCountdown::TStep::Replay) {
        show();
        raise();
        activateWindow();
        Play();
    }
}

void TF_AlarmMessage::sb_DozewiseClick() {
    tTimer->stop();
    done(kAlarmDozewise);
}

void TF_AlarmMessage::reject() {
    sb_DozewiseClick();
}

void TF_AlarmMessage::SpeedButton1Click() {
    if (FCountdown.Wait()) tTimer->stop();
    ui->sb_Dozewise->setText(QString::fromStdString(FCountdown.Caption));
}

void TF_AlarmMessage::sbLaunchClick() {
    bool started = false;
    try {
        started = LaunchFileOrProgram(ui->l_Description->text().toStdString());
    } catch (...) {
        // A launch that throws is one that failed: told just below.
    }
    if (!started) THXMessageBoxes::ShowErrorCode(65);
}
