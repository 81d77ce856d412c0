#include "net/http/WebFileInfoQtUI.h"
#include "platform/qt/QtGraphics.h"
#include "timemodel/HXMessageBoxes.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// A dialog without caption buttons that the user cannot close by itself.
class TFixedDialog : public QDialog {
public:
    using QDialog::QDialog;
    void reject() override {}
};

void Centre(QWidget* w) {
    if (const QScreen* s = QGuiApplication::primaryScreen())
        w->move(s->availableGeometry().center() - w->rect().center());
}

constexpr Qt::WindowFlags DialogFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint; // no border icons

} // namespace

TWebDlProgress::TWebDlProgress(QWidget* parent) : QDialog(parent, DialogFlags) {
    setObjectName("WebDlProgress");
    setWindowTitle("Download Progress");
    setCursor(Qt::WaitCursor);
    setFixedSize(272, 123);
    lblDownloading = new QLabel(this);
    lblDownloading->setObjectName("lblDownloading");
    lblDownloading->setGeometry(2, 10, 268, 18);
    lblDownloading->setAlignment(Qt::AlignCenter);
    lblDownloading->setTextFormat(Qt::PlainText);
    pbarProgress = new QProgressBar(this);
    pbarProgress->setObjectName("pbarProgress");
    pbarProgress->setGeometry(36, 40, 200, 14);
    pbarProgress->setRange(0, 100);
    pbarProgress->setValue(0);
    pbarProgress->setTextVisible(false);
    lblProgress = new QLabel(this);
    lblProgress->setObjectName("lblProgress");
    lblProgress->setGeometry(2, 60, 268, 22);
    lblProgress->setAlignment(Qt::AlignCenter);
    lblProgress->setTextFormat(Qt::PlainText);
    btnCancel = new QPushButton("&Cancel", this);
    btnCancel->setObjectName("btnCancel");
    btnCancel->setGeometry(102, 94, 68, 22);
    btnCancel->setCursor(Qt::ArrowCursor);
    setTabOrder(pbarProgress, btnCancel);
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
}

void TWebDlProgress::btnCancelClick() {
    Cancelled = true;
    if (OnCancel) OnCancel();
}

// Through the suite's message layer, as every other box: shown above the
// window it is raised from, and answered as Escape would once the session
// ends.
int TWebFileInfoQtUI::MessageBox(const std::string& text, const std::string& caption, int flags) {
    const bool yesNo = (flags & 0xF) == MB_YESNO;
    const TMsgDlgType type = (flags & 0xF0) == MB_ICONQUESTION      ? TMsgDlgType::mtConfirmation
                             : (flags & 0xF0) == MB_ICONEXCLAMATION ? TMsgDlgType::mtWarning
                                                                    : TMsgDlgType::mtCustom;
    const TModalResult r = MessageDlgTitled(caption, text, type, yesNo ? mbYes | mbNo : mbOK);
    if (!yesNo) return IDOK;
    return r == mrYes ? IDYES : IDNO;
}

void TWebFileInfoQtUI::ShowMessage(const std::string& text) {
    MessageDlgTitled(QApplication::applicationName().toStdString(), text, TMsgDlgType::mtCustom,
                     mbOK);
}

void TWebFileInfoQtUI::RunWaitDialog(const std::string& message, const TFont& font) {
    TFixedDialog dlg(owner_, DialogFlags);
    dlg.setObjectName("WaitDialog");
    dlg.setWindowTitle("Please Wait");
    dlg.setCursor(Qt::WaitCursor);
    dlg.setFixedSize(240, 100);
    auto* label = new QLabel(Q(message), &dlg);
    label->setObjectName("lblMessage");
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(0, 27, 232, 23);
    label->setAlignment(Qt::AlignCenter);
    label->setFont(ToQFont(font));
    Centre(&dlg);
    wait_ = &dlg;
    waitClosed_ = false;
    if (!waitClosed_) dlg.exec();
    wait_ = nullptr;
}

void TWebFileInfoQtUI::CloseWaitDialog() {
    waitClosed_ = true;
    if (wait_) wait_->done(QDialog::Accepted);
}

void TWebFileInfoQtUI::RunProgressDialog(const std::string& caption, const TFont& font,
                                         std::function<void()> onCancel) {
    TWebDlProgress dlg(owner_);
    dlg.setFont(ToQFont(font));
    dlg.lblDownloading->setText(Q(caption));
    dlg.OnCancel = std::move(onCancel);
    Centre(&dlg);
    progress_ = &dlg;
    progressClosed_ = false;
    if (!progressClosed_) dlg.exec();
    progress_ = nullptr;
}

void TWebFileInfoQtUI::SetProgress(const std::string& text, int percent) {
    if (!progress_) return;
    progress_->lblProgress->setText(Q(text));
    if (percent >= 0) progress_->pbarProgress->setValue(percent);
}

void TWebFileInfoQtUI::CloseProgressDialog() {
    progressClosed_ = true;
    if (progress_) progress_->done(progress_->Cancelled ? QDialog::Rejected : QDialog::Accepted);
}

void TWebFileInfoQtUI::ShowReadMeText(const std::string& text, const TFont& font) {
    QDialog dlg(owner_, DialogFlags);
    dlg.setObjectName("ReadMe");
    dlg.setWindowTitle("Read Me");
    QSize size(800, 600);
    if (const QScreen* s = QGuiApplication::primaryScreen())
        size = s->availableGeometry().size() * 4 / 5;
    dlg.setFixedSize(size);
    dlg.setFont(ToQFont(font));
    auto* memo = new QPlainTextEdit(&dlg);
    memo->setObjectName("memo");
    memo->setReadOnly(true);
    memo->setPlainText(Q(text));
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setGeometry(10, 10, size.width() - 25, size.height() - 80);
    auto* ok = new QPushButton("&Ok", &dlg);
    ok->setObjectName("btnOk");
    ok->setGeometry(size.width() / 2 - 34, size.height() - 56, 68, 22);
    QObject::connect(ok, &QPushButton::clicked, &dlg, &QDialog::accept);
    Centre(&dlg);
    dlg.exec();
}

bool TWebFileInfoQtUI::OpenDocument(const std::string& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(Q(path)));
}

std::string TWebFileInfoQtUI::TempFolder() {
    return QDir::tempPath().toStdString();
}
