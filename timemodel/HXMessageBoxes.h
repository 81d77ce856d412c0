// Message dialogs shared by horolux, rulewick and hxlinkhold, and the numbered
// message table. Every dialog goes through one presenter, so a program shows
// real windows and a test answers the dialogs itself.
#pragma once

#include <string>

// Dialog kinds and buttons of the class library's message dialog.
enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

enum TMsgDlgBtn : unsigned {
    mbYes = 1u << 0,
    mbNo = 1u << 1,
    mbOK = 1u << 2,
    mbCancel = 1u << 3,
};
using TMsgDlgButtons = unsigned; // a set of TMsgDlgBtn

// Modal results, with the class library's values.
using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = 1;
constexpr TModalResult mrCancel = 2;
constexpr TModalResult mrYes = 6;
constexpr TModalResult mrNo = 7;

// Shows one modal dialog and returns the button the user chose. The text is
// passed as given; line breaks ("\n\r", "\r\n", lone CR or LF) are the
// presenter's to render (see DialogDisplayText).
class IMessagePresenter {
public:
    virtual ~IMessagePresenter() = default;
    virtual TModalResult Present(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons,
                                 int helpContext) = 0;
    // The same dialog under a title of its own instead of its kind's; a
    // presenter without titles shows it as any other.
    virtual TModalResult PresentTitled(const std::string& title, const std::string& text,
                                       TMsgDlgType type, TMsgDlgButtons buttons) {
        (void)title;
        return Present(text, type, buttons, 0);
    }
};

// The process-wide presenter; nullptr restores the console fallback, which
// prints the text to stderr and answers as Escape would.
void SetMessagePresenter(IMessagePresenter* presenter);
IMessagePresenter* MessagePresenter();

// Once the program is ending (a logout, SIGTERM) nobody is there to answer:
// from then on no dialog is shown, its text goes to the console and a
// question takes the answer Escape gives. Tests turn it back off.
void EndMessageDialogs(bool ended = true);
bool MessageDialogsEnded();

// The class library's message dialog: the text up to its first NUL goes to the
// presenter.
TModalResult MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons,
                        int helpContext);

// MessageDlg with a title of its own (the update check's boxes).
TModalResult MessageDlgTitled(const std::string& title, const std::string& text,
                              TMsgDlgType type, TMsgDlgButtons buttons);

// The answer a dialog gives when the user presses Escape or closes it.
TModalResult EscapeResult(TMsgDlgButtons buttons);

// Text as the dialog shows it: each "\n\r", "\r\n", lone CR or lone LF becomes
// one line feed.
std::string DialogDisplayText(const std::string& text);

// One entry of the numbered message table.
struct THXErrorMessage {
    TMsgDlgType Kind;
    std::string Text;
};
// The kind and text shown for a code; codes outside the table give the
// "Error(-) Unknown Error" error.
THXErrorMessage HXErrorMessage(int code);

// Class operations; a program may still hold an instance, which carries no state.
class THXMessageBoxes {
public:
    static void ShowInfo(const std::string& text);
    static void ShowError(const std::string& text);
    static TModalResult AskYesNo(const std::string& text);
    static TModalResult AskYesNoCancel(const std::string& text);
    static bool ConfirmYes(const std::string& text);
    static void ShowErrorCode(int code);
};
