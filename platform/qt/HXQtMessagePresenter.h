// Shows the message dialogs as QMessageBox windows.
#pragma once

#include "timemodel/HXMessageBoxes.h"

#include <QMessageBox>
#include <memory>

class TQtMessagePresenter : public IMessagePresenter {
public:
    explicit TQtMessagePresenter(QWidget* parent = nullptr) : Parent(parent) {}
    TModalResult Present(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons,
                         int helpContext) override;

    // The dialog as it will be shown: title and icon of its kind, the buttons
    // in the order Yes, No, OK, Cancel with the first as default, Escape
    // giving No or Cancel, and the text with its line breaks.
    static std::unique_ptr<QMessageBox> CreateDialog(const std::string& text, TMsgDlgType type,
                                                     TMsgDlgButtons buttons,
                                                     QWidget* parent = nullptr);
    // The modal result for what QMessageBox::exec returned.
    static TModalResult ResultOf(int execResult, TMsgDlgButtons buttons);
    static QString TitleOf(TMsgDlgType type);

private:
    QWidget* Parent;
};

// Installs a TQtMessagePresenter as the process presenter for its lifetime.
class TQtMessagePresenterScope {
public:
    explicit TQtMessagePresenterScope(QWidget* parent = nullptr);
    ~TQtMessagePresenterScope();
    TQtMessagePresenterScope(const TQtMessagePresenterScope&) = delete;
    TQtMessagePresenterScope& operator=(const TQtMessagePresenterScope&) = delete;

private:
    TQtMessagePresenter Presenter;
    IMessagePresenter* Previous;
};
