#include "timemodel/HXMessageBoxes.h"

#include <cstdio>

namespace {

IMessagePresenter* gPresenter = nullptr;
bool gEnded = false;

const char* KindName(TMsgDlgType type) {
    switch (type) {
    case TMsgDlgType::mtWarning:
        return "Warning";
    case TMsgDlgType::mtError:
        return "Error";
    case TMsgDlgType::mtInformation:
        return "Information";
    case TMsgDlgType::mtConfirmation:
        return "Confirm";
    case TMsgDlgType::mtCustom:
        break;
    }
    return "Message";
}

// Without a window system (or before the program installs its presenter) the
// text still reaches the user on the console, and questions take the safe
// answer, the one Escape gives.
TModalResult ConsolePresent(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons) {
    std::fprintf(stderr, "%s: %s\n", KindName(type), DialogDisplayText(text).c_str());
    return EscapeResult(buttons);
}

struct TTableEntry {
    int Code;
    TMsgDlgType Kind;
    const char* Text;
};

constexpr TMsgDlgType E = TMsgDlgType::mtError;
constexpr TMsgDlgType I = TMsgDlgType::mtInformation;
constexpr TMsgDlgType W = TMsgDlgType::mtWarning;

// Texts keep their own spelling; the program names are those of the Linux
// suite.
const TTableEntry kTable[] = {
    {0, E, "Error(0) Unidentified Fatal Horolux Error - run and hide..."},
    {1, E, "Error(1) Unable to Load Preferences From the Regestry"},
    {2, E, "Error(2) Unable to Locate File hxclocks.hxd - No clocks loaded, New file created"},
    {3, E, "Error(3) Unable to Locate File hxalarms.hxd - No alarms loaded, New file created"},
    {4, E, "Error(4) Unable to Locate File hxzones.hxd - No Locations Loaded"},
    {5, E, "Error(5) Unable to Locate File hxservers.hxd - No Time Servers Loaded"},
    {6, E, "Error(6) Unable to start hxlinkhold - Horolux's Dial-up manager."},
    {7, E, "Error(7) Unable to start tickmatch - Horolux's Time Sync Manager"},
    {8, E, "Error(8) Unable to Locate File hxdayloom.hxd - No Dayloom Events Loaded"},
    {10, E, "Error(10) Late Alarm Explorer failure - Contact Support"},
    {11, E,
     "Error(11) Error Accessing Time Zone Information from the System - World and UTC Times "
     "will be unreliable"},
    {12, E,
     "Error(12) NEW_hxzones.hxd file found but it could not be opened - Location Merge not "
     "possible"},
    {13, E, "Error(13) Unable to Locate File hxdst.hxd - No DST Rules Loaded"},
    {14, E, "Error(14) Unable to create output file: hxdst.hxd - No DST Rules Saved"},
    {20, I, "No locations with a name matching these criteria were found in the current list"},
    {21, E,
     "Error(21) The name you have chosen already exists\n\rLocation Names should be "
     "unique\n\ryou may wish to add a country code (eg: US, CA, UK...) to the name"},
    {22, I, "No locations with a code matching these criteria were found in the current list"},
    {23, I, "No locations with a city matching these criteria were found in the current list"},
    {24, I, "No locations with a country matching these criteria were found in the current list"},
    {25, I, "Reached last result in current set\n\rReturning first result"},
    {26, I, "No locations with a region matching these criteria were found in the current list"},
    {30, E, "Error(30) hxtimer is missing or at leat Horolux couldn't find it"},
    {50, E, "Error(50) Dial Attempt Failed"},
    {51, E, "Error(51) Disconnect Attempt Failed"},
    {60, E, "Error(60) Could Not Read System Time Zone Information - Adopting UTC as Local"},
    {61, I,
     "Synchronization Log Cleared - System Drift stats will be unavailable until new data is "
     "collected"},
    {62, W, "Warning(62) Sync Log Missing or Already Cleared\r\nDrift Statistics Unavailable"},
    {63, I, "You currently have the latest version of\r\nboth Horolux and associated data files!"},
    {64, E, "Error(64) Could not create Calendar"},
    {65, E,
     "Error(65) Could not launch file\n\rIt could be that the file does not exist or the path "
     "is incorrect"},
};

} // namespace

void SetMessagePresenter(IMessagePresenter* presenter) {
    gPresenter = presenter;
}
IMessagePresenter* MessagePresenter() {
    return gPresenter;
}

void EndMessageDialogs(bool ended) {
    gEnded = ended;
}
bool MessageDialogsEnded() {
    return gEnded;
}

TModalResult MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons,
                        int helpContext) {
    const std::string shown = text.substr(0, text.find('\0'));
    if (gPresenter == nullptr || gEnded) return ConsolePresent(shown, type, buttons);
    return gPresenter->Present(shown, type, buttons, helpContext);
}

TModalResult MessageDlgTitled(const std::string& title, const std::string& text,
                              TMsgDlgType type, TMsgDlgButtons buttons) {
    const std::string shown = text.substr(0, text.find('\0'));
    if (gPresenter == nullptr || gEnded) return ConsolePresent(shown, type, buttons);
    return gPresenter->PresentTitled(title.substr(0, title.find('\0')), shown, type, buttons);
}

TModalResult EscapeResult(TMsgDlgButtons buttons) {
    if (buttons & mbCancel) return mrCancel;
    if (buttons & mbNo) return mrNo;
    if (buttons & mbOK) return mrOk;
    return mrCancel;
}

std::string DialogDisplayText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n' || c == '\r') {
            out += '\n';
            const char pair = c == '\n' ? '\r' : '\n';
            if (i + 1 < text.size() && text[i + 1] == pair) ++i;
        } else {
            out += c;
        }
    }
    return out;
}

THXErrorMessage HXErrorMessage(int code) {
    for (const TTableEntry& e : kTable)
        if (e.Code == code) return {e.Kind, e.Text};
    return {TMsgDlgType::mtError, "Error(-) Unknown Error"};
}

void THXMessageBoxes::ShowInfo(const std::string& text) {
    MessageDlg(text, TMsgDlgType::mtInformation, mbOK, 0);
}

void THXMessageBoxes::ShowError(const std::string& text) {
    MessageDlg(text, TMsgDlgType::mtError, mbOK, 0);
}

TModalResult THXMessageBoxes::AskYesNo(const std::string& text) {
    return MessageDlg(text, TMsgDlgType::mtConfirmation, mbYes | mbNo, 0);
}

TModalResult THXMessageBoxes::AskYesNoCancel(const std::string& text) {
    return MessageDlg(text, TMsgDlgType::mtConfirmation, mbYes | mbNo | mbCancel, 0);
}

bool THXMessageBoxes::ConfirmYes(const std::string& text) {
    return AskYesNo(text) == mrYes;
}

void THXMessageBoxes::ShowErrorCode(int code) {
    const THXErrorMessage m = HXErrorMessage(code);
    MessageDlg(m.Text, m.Kind, mbOK, 0);
}
