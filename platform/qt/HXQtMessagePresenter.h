// Shows the message dialogs as QMessageBox windows.
#pragma once

#include "timemodel/HXMessageBoxes.h"

#include <QMessageBox>
#include <memory>

class TQtMessagePresenter : public IMessagePresenter {
public:
    // A box is shown above the window it is raised from, or above parent
    // while no window of the program is active or modal; none of them owns
    // it.
    explicit TQtMessagePresenter(QWidget* parent = nullptr) : Parent(parent) {}
    TModalResult Present(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons,
                         int helpContext) override;
    TModalResult PresentTitled(const std::string& title, const std::string& text,
                               TMsgDlgType type, TMsgDlgButtons buttons) override;

    // The dialog as it will be shown: title and icon of its kind, the buttons
    // in the order Yes, No, OK, Cancel with the first as default, Escape
    // giving No or Cancel, and the text with its line breaks.
    static std::unique_ptr<QMessageBox> CreateDialog(const std::string& text, TMsgDlgType type,
                                                     TMsgDlgButtons buttons,
                                                     QWidget* parent = nullptr);
    // The modal result for what QMessageBox::exec returned.
    static TModalResult ResultOf(int execResult, TMsgDlgButtons buttons);
    static QString TitleOf(TMsgDlgType type);
    // The window a box raised now is shown above: the modal window that is
    // up (the only one the user can be working in), else the active window,
    // else the fallback. A box is shown above it, also above one that stays
    // on top, so no box can hide under a window it blocks.
    static QWidget* OwnerWindow(QWidget* fallback = nullptr);
    // A window of the program that stays on top is up: a modal window opened
    // now must stay on top too, or it could open under the window it blocks.
    static bool StayOnTopWindowShown();

private:
    TModalResult Show(const QString& title, const std::string& text, TMsgDlgType type,
                      TMsgDlgButtons buttons);
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
