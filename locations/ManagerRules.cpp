// The daylight-saving rules of "hxdst.hxd": loading them into the combo and
// saving them back, never over a file that did not read whole.
#include "locations/TimeZoneManager.h"

#include "clockapp/state/ClockState.h"
#include "clockapp/state/ListFiles.h"
#include "timemodel/DSTRuleFile.h"
#include "timemodel/HXMessageBoxes.h"
#include "ui_FTimeZoneManager.h"

// ------------------------------------------------------------ rules

void TFTimeZoneManager::LoadDSTRules() {
    const std::string path = W.DataDir + "hxdst.hxd";
    TDSTRuleFileRead read = ReadDSTRuleFile(path);
    FRuleFile = read;
    if (!read.Opened) {
        // A file that exists but cannot be read is never overwritten.
        FRuleFileIncomplete = FileExists(path);
        THXMessageBoxes::ShowErrorCode(13);
        return;
    }
    Rules = std::move(read.Rules);
    FRuleFileIncomplete = read.Failed;
    if (read.Failed) {
        // Told once a load, and kept as a copy; the manager never saves
        // over it (the rules after the damage would be gone).
        const std::string copy = KeepDamagedRuleFile(path);
        THXMessageBoxes::ShowError(read.Error + " -- DST Rules loaded: " +
                                   std::to_string(Rules.size() + 1) +
                                   (copy.empty() ? "" : "\n\rThe file as it was has been kept as " + copy));
    }
    // The combo always follows the list and keeps showing the place's rule.
    const QString shown = ui->vcbDaylightSavings->currentText();
    const bool touched = FRuleTouched;
    FillDSTRuleCombo();
    const int at = ui->vcbDaylightSavings->findText(shown, Qt::MatchExactly);
    ui->vcbDaylightSavings->setCurrentIndex(at);
    if (at < 0) ui->vcbDaylightSavings->setEditText(shown);
    FRuleTouched = touched;
}

void TFTimeZoneManager::FillDSTRuleCombo() {
    std::vector<std::string> items;
    items.reserve(Rules.size());
    for (const TDSTRule& r : Rules)
        items.push_back(r.Description());
    // Through the framed combo's own item list, which its completion keeps.
    ui->vcbDaylightSavings->SetItems(items);
}

void TFTimeZoneManager::SaveDSTRules() {
    // After a partial or failed load the file holds more than the list.
    if (FRuleFileIncomplete) return;
    std::string error;
    switch (WriteDSTRuleFile(W.DataDir + "hxdst.hxd", FRuleFile, Rules, &error)) {
    case TDSTRuleFileWrite::Written:
        break;
    case TDSTRuleFileWrite::CannotCreate:
        THXMessageBoxes::ShowInfo("Could not save updated DST rules");
        break;
    case TDSTRuleFileWrite::WriteFailed:
        THXMessageBoxes::ShowError("Error saving DST rules \n\r" + error);
        break;
    }
}

