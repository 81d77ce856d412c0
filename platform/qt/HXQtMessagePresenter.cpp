#include "platform/qt/HXQtMessagePresenter.h"

#include <QApplication>
#include <QCoreApplication>
#include <QPointer>
#include <QPushButton>
#include <QWindow>

QString TQtMessagePresenter::TitleOf(TMsgDlgType type) {
    switch (type) {
    case TMsgDlgType::mtWarning:
        return QStringLiteral("Warning");
    case TMsgDlgType::mtError:
        return QStringLiteral("Error");
    case TMsgDlgType::mtInformation:
        return QStringLiteral("Information");
    case TMsgDlgType::mtConfirmation:
        return QStringLiteral("Confirm");
    case TMsgDlgType::mtCustom:
        break;
    }
    return QCoreApplication::applicationName();
}

std::unique_ptr<QMessageBox> TQtMessagePresenter::CreateDialog(const std::string& text,
                                                               TMsgDlgType type,
                                                               TMsgDlgButtons buttons,
                                                               QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowTitle(TitleOf(type));
    switch (type) {
    case TMsgDlgType::mtWarning:
        box->setIcon(QMessageBox::Warning);
        break;
    case TMsgDlgType::mtError:
        box->setIcon(QMessageBox::Critical);
        break;
    case TMsgDlgType::mtInformation:
        box->setIcon(QMessageBox::Information);
        break;
    case TMsgDlgType::mtConfirmation:
        box->setIcon(QMessageBox::Question);
        break;
    case TMsgDlgType::mtCustom:
        box->setIcon(QMessageBox::NoIcon);
        break;
    }
    // Texts are shown as they are: a "<" must never turn a message into markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(QString::fromStdString(DialogDisplayText(text)));

    if (buttons == 0) buttons = mbOK;
    const std::pair<TMsgDlgBtn, QMessageBox::StandardButton> order[] = {
        {mbYes, QMessageBox::Yes},
        {mbNo, QMessageBox::No},
        {mbOK, QMessageBox::Ok},
        {mbCancel, QMessageBox::Cancel},
    };
    QAbstractButton* first = nullptr;
    for (const auto& [flag, standard] : order) {
        if (!(buttons & flag)) continue;
        QPushButton* b = box->addButton(standard);
        if (first == nullptr) first = b;
    }
    box->setDefaultButton(static_cast<QPushButton*>(first));
    QMessageBox::StandardButton escape = QMessageBox::Ok;
    switch (EscapeResult(buttons)) {
    case mrCancel:
        escape = QMessageBox::Cancel;
        break;
    case mrNo:
        escape = QMessageBox::No;
        break;
    default:
        break;
    }
    box->setEscapeButton(box->button(escape) != nullptr ? box->button(escape) : first);
    return box;
}

TModalResult TQtMessagePresenter::ResultOf(int execResult, TMsgDlgButtons buttons) {
    switch (execResult) {
    case QMessageBox::Yes:
        return mrYes;
    case QMessageBox::No:
        return mrNo;
    case QMessageBox::Ok:
        return mrOk;
    case QMessageBox::Cancel:
        return mrCancel;
    default:
        return EscapeResult(buttons);
    }
}

QWidget* TQtMessagePresenter::OwnerWindow(QWidget* fallback) {
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal->isVisible())
        return modal;
    if (QWidget* active = QApplication::activeWindow(); active && active->isVisible())
        return active;
    return fallback;
}

bool TQtMessagePresenter::StayOnTopWindowShown() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowFlags().testFlag(Qt::WindowStaysOnTopHint)) return true;
    return false;
}

TModalResult TQtMessagePresenter::Present(const std::string& text, TMsgDlgType type,
                                          TMsgDlgButtons buttons, int /*helpContext*/) {
    return Show(QString(), text, type, buttons);
}

TModalResult TQtMessagePresenter::PresentTitled(const std::string& title, const std::string& text,
                                                TMsgDlgType type, TMsgDlgButtons buttons) {
    return Show(QString::fromStdString(title), text, type, buttons);
}

TModalResult TQtMessagePresenter::Show(const QString& title, const std::string& text,
                                       TMsgDlgType type, TMsgDlgButtons buttons) {
    QWidget* owner = OwnerWindow(Parent);
    // The box is shown above the window it is raised from (a transient of
    // it, and on top with it) but is not that window's child: the window may
    // go while the box is up (an alarm's pop-up times out), and the box stays
    // until it is answered; no question is answered by its window closing.
    std::unique_ptr<QMessageBox> box = CreateDialog(text, type, buttons, nullptr);
    if (!title.isEmpty()) box->setWindowTitle(title);
    if (StayOnTopWindowShown()) box->setWindowFlag(Qt::WindowStaysOnTopHint);
    if (owner) {
        if (QWindow* above = owner->window()->windowHandle()) {
            box->winId(); // its own window, to be made a transient of the owner's
            box->windowHandle()->setTransientParent(above);
        }
    }
    QPointer<QMessageBox> alive(box.get());
    const int result = box->exec();
    if (!alive) {
        (void)box.release();
        return EscapeResult(buttons == 0 ? TMsgDlgButtons(mbOK) : buttons);
    }
    return ResultOf(result, buttons == 0 ? TMsgDlgButtons(mbOK) : buttons);
}

TQtMessagePresenterScope::TQtMessagePresenterScope(QWidget* parent)
    : Presenter(parent), Previous(MessagePresenter()) {
    SetMessagePresenter(&Presenter);
}

TQtMessagePresenterScope::~TQtMessagePresenterScope() {
    SetMessagePresenter(Previous);
}
