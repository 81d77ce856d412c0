// The clock editor: one clock of the main window, its kind, formats and
// looks, applied to the window or added as a new clock.
#include "locations/TimeZoneManager.h"

#include "clockapp/state/ClockState.h"
#include "clockapp/state/WindowServices.h"
#include "locations/ManagerText.h"
#include "platform/media/HomePlace.h"
#include "timemodel/HXMessageBoxes.h"
#include "timemodel/RecordCheck.h"
#include "ui_FTimeZoneManager.h"

#include <QLineEdit>

#include <algorithm>
#include <memory>

// ------------------------------------------------------------ clock editor

void TFTimeZoneManager::ConfigureClock(const THXClock& clock, bool isLocal, int index,
                                       bool usedForChimes, bool usedForTitle) {
    LocationChanged = false;
    ClockChanged = false;
    Clock.Copy(clock);
    Location.Copy(clock.Location);
    IsLocalClock = isLocal;
    ShowPending = true;
    // The place came from a clock, not from the list.
    SetCurrent(-1);
    ui->cb_ThisZoneIsHint->setEnabled(true);
    ui->cb_ThisZoneIsHint->setChecked(usedForTitle);
    ui->cbUseForChimes->setChecked(usedForChimes);
    W.EditedClock = index;
    ui->pcClockPreferences->show();
    ui->pClockBorder->show();
    ui->cbDisplayDate->setChecked(clock.ShowDate);
    FillClockSelector();
    if (isVisible()) {
        ShowPending = false;
        ShowCurrentLocation();
    }
    ui->cbClockFormat->setCurrentIndex(std::min<int>(clock.ClockType, ctLMST));
    ui->cbClockDisplayFormat->setCurrentIndex(clock.Analog ? 0 : 1);
    ui->cbClockTimeFormat->setEditText(Q(clock.TimeFormat));
    ProposedClockFormatChange();
    Attributes->FaceFont = clock.ClockFaceFont;
    Attributes->TimeFont = clock.TimeFont;
    Attributes->BackColour = clock.BackColour;
    Attributes->Show();
    ui->cbClockTimeFormat->setEditText(Q(clock.TimeFormat));
    ui->cbClockDateFormat->setEditText(Q(clock.DateFormat));
    ui->bOK->setEnabled(false);
    ui->bCancel->setEnabled(false);
}

void TFTimeZoneManager::ClocksChanged() {
    FillClockSelector();
}

void TFTimeZoneManager::FillClockSelector() {
    ui->cbCurrentClock->clear();
    for (size_t i = 0; i < W.Clocks.size(); ++i)
        ui->cbCurrentClock->addItem(Q(std::to_string(i) + " - " + W.Clocks[i]->TitleString()));
    SelectClockIndex();
}

void TFTimeZoneManager::SelectClockIndex() {
    const int index = ClockIndex();
    const bool valid = index >= 0 && index < int(W.Clocks.size());
    if (valid) {
        ui->cbCurrentClock->setCurrentIndex(index);
    } else {
        const int na = ui->cbCurrentClock->findText("Not Applicable");
        if (na < 0) ui->cbCurrentClock->addItem("Not Applicable");
        ui->cbCurrentClock->setCurrentIndex(ui->cbCurrentClock->count() - 1);
    }
    ui->cbCurrentClock->setEnabled(valid);
    ui->sbApply->setEnabled(valid);
    ui->sbApplyAttributes->setEnabled(valid);
    if (QAction* a = MenuAction("miApply")) a->setEnabled(valid && !FInPick);
}

void TFTimeZoneManager::cbCurrentClockChange() {
    if (!ConfirmClockChanged() || !ConfirmLocationChanged()) {
        SelectClockIndex();
        return;
    }
    const int index = ui->cbCurrentClock->currentIndex();
    if (index < 0 || index >= int(W.Clocks.size())) return SelectClockIndex();
    const THXClock& listed = *W.Clocks[size_t(index)];
    const bool local = listed.ClockType == ctLocal;
    // ConfigureClock shows the clock's place (the window is open): once, so
    // an unlisted place says so once.
    // The listed clock itself, with the place it keeps: Set Clock must not
    // put the home record's offset and rule into it.
    ConfigureClock(listed, local, index, index == W.ChimeClock, index == W.HintClock);
    if (ShowPending) {
        ShowPending = false;
        ShowCurrentLocation();
    }
    ClockChanged = false;
}

void TFTimeZoneManager::ProposedClockFormatChange() {
    THXClock scratch;
    scratch.Copy(Clock);
    scratch.SetClockTypeString(S(ui->cbClockFormat->currentText()));
    const bool date = ShowTimeFormats(ui->cbClockTimeFormat, scratch);
    ui->cbDisplayDate->setEnabled(date);
    ui->lClockDateFormat->setEnabled(date);
    ui->cbClockDateFormat->setEnabled(date);
    const bool wasLocal = IsLocalClock;
    if (scratch.ClockType == ctLocal) {
        if (Clock.ClockType != ctLocal &&
            THXMessageBoxes::AskYesNo(
                "You have selected to display a local clock.\n\rWould you like to update the "
                "current values\n\rwith those of your current local clock?") == mrYes) {
            scratch.Copy(W.LocalClock);
            Clock.Copy(scratch);
            Location.Copy(Clock.Location);
            IsLocalClock = true;
            ShowCurrentLocation();
        }
        IsLocalClock = true;
    } else {
        IsLocalClock = false;
        // Out of Local, a place the earlier release took from home (a fixed
        // offset, no rule) becomes the home place with its rule, so the clock
        // goes on telling the home time across clock changes; any other
        // place is the clock's own.
        if (wasLocal && !FRuleTouched) {
            const TTimeLocation before = Location;
            if (TakeEarlierHomePlace(Location, W.LocalClock.Location, W.HomeZone)) {
                // What the user typed in the fields stays.
                Location.Name = before.Name;
                Location.City = before.City;
                Location.Region = before.Region;
                Location.Country = before.Country;
                Location.Code = before.Code;
            }
        }
    }
    // Into or out of Local: the offset and rule fields show what the clock
    // will show (the computer's, or the place's own again). A rule the user
    // chose in the combo stays chosen.
    if (IsLocalClock != wasLocal && !FRuleTouched)
        ShowOffsetAndRule();
    else if (IsLocalClock != wasLocal)
        ui->eUTCOffset->setText(
            Q(FloatToStr(IsLocalClock ? W.LocalClock.Location.HostOffset : Location.StdOffset)));
    ShowRuleControls(!IsLocalClock);
}

void TFTimeZoneManager::AnyClockPropertyChanged() {
    ClockChanged = true;
}

bool TFTimeZoneManager::ReadClockFields() {
    const TTimeLocation before = Location;
    if (!ReadLocationFields(false)) return false;
    THXClock read;
    read.Copy(Clock);
    read.Location.Copy(Location);
    read.TimeFont = Attributes->TimeFont;
    read.ClockFaceFont = Attributes->FaceFont;
    read.BackColour = Attributes->BackColour;
    read.TimeFormat = S(ui->cbClockTimeFormat->currentText());
    read.DateFormat = S(ui->cbClockDateFormat->currentText());
    read.ShowDate = ui->cbDisplayDate->isChecked();
    read.SetClockTypeString(S(ui->cbClockFormat->currentText()));
    read.SetDisplayKindString(S(ui->cbClockDisplayFormat->currentText()));
    // A clock the clocks file cannot hold is refused, its place included.
    if (const TRecordFault fault = CheckClockRecord(read)) {
        Location = before;
        THXMessageBoxes::ShowError(RecordFaultText(fault));
        return false;
    }
    Clock.Copy(read);
    return true;
}

void TFTimeZoneManager::sbApplyClick() {
    const int index = ClockIndex();
    if (index < 0 || index >= int(W.Clocks.size())) return;
    if (!ReadClockFields()) return;
    ClockChanged = false;
    if (Clock.ClockType == ctLocal) {
        if (W.Clocks[size_t(index)]->ClockType != ctLocal) {
            for (size_t n = 0; n < W.Clocks.size(); ++n) {
                if (W.Clocks[n]->ClockType != ctLocal) continue;
                const std::string N = std::to_string(n);
                const std::string question =
                    "Clock " + N + " is already set as the 'Local' clock" + "\n\r" +
                    "Only one 'Local' clock is allowed" + "\n\r" +
                    "Would you like to set the current clock as the new 'Local' clock" +
                    "\n\r\n\r" +
                    "Selecting 'No' will change the current clock's type to: " + "'Location'" +
                    "\n\r" + "Selecting 'Yes' will make Clock " + N + "'s type 'Location'";
                if (THXMessageBoxes::AskYesNo(question) == mrYes) {
                    W.Clocks[n]->ClockType = ctLocation;
                } else {
                    Clock.ClockType = ctLocation;
                    ui->cbClockFormat->setCurrentIndex(0);
                    ProposedClockFormatChange();
                    break;
                }
            }
        }
        // The home record follows only a clock that stayed Local.
        if (Clock.ClockType == ctLocal) {
            W.LocalClock.Copy(Clock);
            try {
                W.LoadRegTimeInfo();
            } catch (...) {
                // The host offset known so far stays until the next time change reads it again.
            }
        }
    }
    const int at = ClockIndex(); // the questions may have let the list move
    if (!Editing.ApplyClockSettings(at, Clock, ui->cb_ThisZoneIsHint->isChecked(),
                              ui->cbUseForChimes->isChecked()))
        return;
    Editing.RefreshClockObjects(true, true);
    FillClockSelector();
}

void TFTimeZoneManager::sbAddNewClockClick() {
    // Fields that do not read add no clock: a blank one would be left behind.
    if (!ReadClockFields()) return;
    auto clock = std::make_unique<THXClock>();
    clock->Location.HostOffset = W.LocalClock.Location.HostOffset;
    W.Clocks.push_back(std::move(clock));
    W.EditedClock = int(W.Clocks.size()) - 1;
    sbApplyClick();
}

void TFTimeZoneManager::sb_ClockFaceFontClick() {
    Attributes->ChooseFaceFont();
}

void TFTimeZoneManager::l_MajorTimeColourClick() {
    Attributes->ChooseTimeFont();
}

void TFTimeZoneManager::p_BackgroundColourClick() {
    Attributes->ChooseBackColour();
}

// The face font too goes back to the default time font, in black.
void TFTimeZoneManager::sb_RestoreDefaultsClick() {
    Attributes->FaceFont = DefaultSampleFont();
    Attributes->RestoreDefaults();
}

void TFTimeZoneManager::sbTimeFormatEgClick() {
    THXMessageBoxes::ShowInfo(TimeFormatExample(S(ui->cbClockTimeFormat->currentText())));
}

void TFTimeZoneManager::sbDateFormatEgClick() {
    THXMessageBoxes::ShowInfo(DateFormatExample(S(ui->cbClockDateFormat->currentText())));
}

