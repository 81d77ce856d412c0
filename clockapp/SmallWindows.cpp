#include "clockapp/SmallWindows.h"

#include "platform/qt/HXIcons.h"
#include "platform/qt/Launch.h"
#include "timemodel/HXMessageBoxes.h"
#include "ui_AboutBox.h"
#include "ui_FControledMessage.h"
#include "ui_FSplash.h"
#include "ui_F_HelpLoading.h"
#include "ui_F_Welcome.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QUrl>

QString DisplayText(const std::string& text) {
    QString s = QString::fromStdString(text);
    s.replace("\n\r", "\n");
    s.replace("\r\n", "\n");
    s.replace('\r', '\n');
    return s;
}

namespace {
void CentreOnScreen(QWidget* w) {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect r = w->frameGeometry();
        r.moveCenter(screen->availableGeometry().center());
        w->move(r.topLeft());
    }
}
} // namespace

// ------------------------------------------------------------------ splash

TFSplash::TFSplash(QWidget* owner) : QWidget(owner), ui(new Ui::FSplash) {
    ui->setupUi(this);
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    ui->Image1->setPixmap(HoroluxPixmap(96));
    CentreOnScreen(this);
    qApp->installEventFilter(this);
}

TFSplash::~TFSplash() {
    qApp->removeEventFilter(this);
    delete ui;
}

bool TFSplash::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && watched != this) {
        auto* w = qobject_cast<QDialog*>(watched);
        if (w && w->isWindow() && !FDialogsUp.contains(w)) {
            FDialogsUp.append(w);
            if (isVisible()) {
                FSteppedBack = true;
                hide();
            }
        }
    } else if ((event->type() == QEvent::Hide || event->type() == QEvent::Destroy) &&
               FDialogsUp.removeAll(watched) > 0 && FDialogsUp.isEmpty() && FSteppedBack) {
        FSteppedBack = false;
        if (!FClosing) show();
    }
    return QWidget::eventFilter(watched, event);
}

QLabel* TFSplash::l_Status() const {
    return ui->l_Status;
}

void TFSplash::SetStatus(const QString& text) {
    StatusHistory << text;
    ui->l_Status->setText(text);
    repaint();
}

void TFSplash::WMCloseSplash() {
    close();
}

void TFSplash::closeEvent(QCloseEvent* e) {
    FClosing = true;
    e->accept();
    deleteLater();
}

// --------------------------------------------------------------- about box

TAboutBox::TAboutBox(QWidget* owner) : QDialog(owner), ui(new Ui::AboutBox) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    ui->ProgramIcon->setPixmap(HoroluxPixmap(64));
    connect(ui->OKButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->sbTallowinNet, &QToolButton::clicked, this,
            [] { QDesktopServices::openUrl(QUrl(kHoroluxWebPage)); });
}

TAboutBox::~TAboutBox() {
    delete ui;
}

void TAboutBox::showEvent(QShowEvent* e) {
    ui->l_Version->setText(VersionText);
    ui->l_Copyright->setText(LegalText);
    CentreOnScreen(this);
    QDialog::showEvent(e);
}

// --------------------------------------------------------- first-run notes

TF_Welcome::TF_Welcome(QWidget* owner) : QDialog(owner), ui(new Ui::F_Welcome) {
    ui->setupUi(this);
    connect(ui->b_SetTime, &QPushButton::clicked, this, &TF_Welcome::b_SetTimeClick);
}

TF_Welcome::~TF_Welcome() {
    delete ui;
}

// The notes come up before any clock is shown, while their owner is still an
// unshown window in the screen's corner: they are centred on the screen.
void TF_Welcome::showEvent(QShowEvent* e) {
    CentreOnScreen(this);
    QDialog::showEvent(e);
}

// These notes are not shown again: they stay open until the settings are
// open, so that what they ask can still be done.
void TF_Welcome::b_SetTimeClick() {
    if (LaunchDateTimeSettings()) accept();
}

bool LaunchDateTimeSettings() {
    const std::vector<std::string> command = FindDateTimeSettingsCommand();
    if (!command.empty() && LaunchDesktopProgram(command)) return true;
    // The packages that hold the programs looked for, by desktop.
    THXMessageBoxes::ShowInfo("No date and time settings program was found on this computer.\n\r"
                              "Install the date and time settings of your desktop, then try again. "
                              "On Debian and Ubuntu they are in the package gnome-control-center "
                              "(GNOME), systemsettings (KDE Plasma) or lxqt-admin (LXQt and "
                              "other desktops).");
    return false;
}

// ------------------------------------------------------------ help loading

TF_HelpLoading::TF_HelpLoading(QWidget* owner) : QDialog(owner), ui(new Ui::F_HelpLoading) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    ui->Image1->setPixmap(HoroluxPixmap(48));
    t_HelpLoading = new QTimer(this);
    t_HelpLoading->setObjectName("t_HelpLoading");
    t_HelpLoading->setInterval(3000);
    connect(t_HelpLoading, &QTimer::timeout, this, &QWidget::close);
    t_HelpLoading->start();
    CentreOnScreen(this);
}

TF_HelpLoading::~TF_HelpLoading() {
    delete ui;
}

// ---------------------------------------------------------------- progress

TFControledMessage::TFControledMessage(QWidget* owner)
    : QDialog(owner), ui(new Ui::FControledMessage) {
    ui->setupUi(this);
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint);
    connect(ui->bbDismiss, &QPushButton::clicked, this, &QDialog::reject);
}

TFControledMessage::~TFControledMessage() {
    delete ui;
}

QProgressBar* TFControledMessage::gRemaining() const {
    return ui->gRemaining;
}
QLabel* TFControledMessage::lMessage() const {
    return ui->lMessage;
}
QPushButton* TFControledMessage::bbDismiss() const {
    return ui->bbDismiss;
}

void TFControledMessage::SetMessage(const std::string& text) {
    ui->lMessage->setText(DisplayText(text));
}

void TFControledMessage::showEvent(QShowEvent* e) {
    ui->gRemaining->setVisible(ShowProgress);
    ui->bbDismiss->setVisible(ShowDismiss);
    CentreOnScreen(this);
    QDialog::showEvent(e);
}
