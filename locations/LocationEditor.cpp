// The location fields: showing the working place, reading what was typed,
// and adding, updating and deleting places of the list.
#include "locations/TimeZoneManager.h"

#include "clockapp/state/ClockState.h"
#include "locations/ManagerText.h"
#include "timemodel/HXMessageBoxes.h"
#include "timemodel/HXString.h"
#include "timemodel/RecordCheck.h"
#include "ui_FTimeZoneManager.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPointer>

#include <algorithm>
#include <memory>

namespace {

constexpr const char* kUnknownRule = "Unknown/N.0.0.0.0:0:0/N.0.0.0.0:0:0/DST rule is unknown";

} // namespace

// ------------------------------------------------------------ showing

void TFTimeZoneManager::ShowCurrentLocation() {
    ShownLocation.Copy(Location);
    ShowLocation();
    FindCurrentLocation();
    SelectClockIndex();
    LocationChanged = false;
}

void TFTimeZoneManager::ShowRuleControls(bool show) {
    ui->l_DaylightSavings->setVisible(show);
    ui->vcbDaylightSavings->setVisible(show);
    ui->eUTCOffset->setEnabled(show);
}

// The combo shows the place's rule; one the list lacks is shown as its
// description, and the rule file is left as it is.
void TFTimeZoneManager::ShowRule() {
    int at = -1;
    for (size_t i = 0; i < Rules.size(); ++i)
        if (SameRuleItem(Rules[i], Location.Rule)) {
            at = int(i);
            break;
        }
    // The blank new place has no rule of its own to bring in.
    if (at < 0 && Location.Name == kNewLocationName) {
        ui->vcbDaylightSavings->setCurrentIndex(-1);
        ui->vcbDaylightSavings->setEditText("");
        FRuleTouched = false;
        return;
    }
    // A rule the list lacks is shown, not brought into the file: showing a
    // place never writes.
    if (at < 0) {
        ui->vcbDaylightSavings->setCurrentIndex(-1);
        ui->vcbDaylightSavings->setEditText(Q(Location.Rule.Description()));
        FRuleTouched = false;
        return;
    }
    ui->vcbDaylightSavings->setCurrentIndex(at);
    // The rule's name, at the start of its description, is what shows.
    if (QLineEdit* e = ui->vcbDaylightSavings->lineEdit()) e->setCursorPosition(0);
    FRuleTouched = false;
}

// A Local clock shows the computer's offset and no rule, and neither can be
// typed; the place keeps its own offset and rule (the hidden combo holds the
// place's rule when it is listed), shown again once the clock is no longer
// Local.
void TFTimeZoneManager::ShowOffsetAndRule() {
    if (IsLocalClock) {
        ui->eUTCOffset->setText(Q(FloatToStr(W.LocalClock.Location.HostOffset)));
        int at = -1;
        for (size_t i = 0; i < Rules.size() && at < 0; ++i)
            if (SameRuleItem(Rules[i], Location.Rule)) at = int(i);
        ui->vcbDaylightSavings->setCurrentIndex(at);
        if (at < 0) ui->vcbDaylightSavings->setEditText("");
        FRuleTouched = false;
        ShowRuleControls(false);
    } else {
        ui->eUTCOffset->setText(Q(FloatToStr(Location.StdOffset)));
        ShowRule();
        ShowRuleControls(true);
    }
}

void TFTimeZoneManager::ShowLocation() {
    ui->e_zoneName->setText(Q(Location.Name));
    ui->me_City->setText(Q(Location.City));
    ui->me_Region->setText(Q(Location.Region));
    ui->me_Country->setText(Q(Location.Country));
    ui->me_Code->setText(Q(Location.Code));
    ShowOffsetAndRule();
    ShowLatitude(Location.Latitude);
    ShowLongitude(Location.Longitude);
    LocationChanged = false;
}

int TFTimeZoneManager::SelectedDirection(QObject* grid) const {
    return static_cast<QListWidget*>(grid)->currentRow();
}

void TFTimeZoneManager::SelectDirection(QObject* grid, int row) {
    static_cast<QListWidget*>(grid)->setCurrentRow(row);
}

void TFTimeZoneManager::ShowLatitude(double v) {
    const TAngleFields f = AngleFields(v);
    ui->e_LatH->setText(Q(f.Degrees));
    ui->e_LatM->setText(Q(f.Minutes));
    ui->e_LatS->setText(Q(f.Seconds));
    SelectDirection(ui->sg_NorthSouth, v > 0 ? 0 : 1);
    LocationChanged = true;
}

// Longitudes are stored positive to the west.
void TFTimeZoneManager::ShowLongitude(double v) {
    const TAngleFields f = AngleFields(v);
    ui->e_LongH->setText(Q(f.Degrees));
    ui->e_LongM->setText(Q(f.Minutes));
    ui->e_LongS->setText(Q(f.Seconds));
    SelectDirection(ui->sg_EastWest, v > 0 ? 1 : 0);
    LocationChanged = true;
}

bool TFTimeZoneManager::ReadLocationFields(bool forList) {
    TLocationFieldTexts t;
    t.Offset = S(ui->eUTCOffset->text());
    t.LatH = S(ui->e_LatH->text());
    t.LatM = S(ui->e_LatM->text());
    t.LatS = S(ui->e_LatS->text());
    t.South = SelectedDirection(ui->sg_NorthSouth) == 1;
    t.LongH = S(ui->e_LongH->text());
    t.LongM = S(ui->e_LongM->text());
    t.LongS = S(ui->e_LongS->text());
    t.East = SelectedDirection(ui->sg_EastWest) == 0;
    TLocationFieldValues v;
    v.Latitude = Location.Latitude;
    v.Longitude = Location.Longitude;
    const std::string error = CheckLocationFields(t, v);
    if (!error.empty()) {
        THXMessageBoxes::ShowError(error);
        return false;
    }
    TTimeLocation read = Location;
    read.Name = S(ui->e_zoneName->text());
    read.City = S(ui->me_City->text());
    read.Region = S(ui->me_Region->text());
    read.Country = S(ui->me_Country->text());
    read.Code = S(ui->me_Code->text());
    // What the user cannot change keeps the place's own value: the offset
    // field of a Local clock shows the computer's offset, and the rule
    // stays unless the user chose another in the combo.
    if (!IsLocalClock) read.StdOffset = v.StdOffset;
    if (FRuleTouched) {
        const int at = ui->vcbDaylightSavings->findText(ui->vcbDaylightSavings->currentText(),
                                                        Qt::MatchExactly);
        if (at >= 0 && at < int(Rules.size()))
            read.Rule.Copy(Rules[size_t(at)]);
        else
            read.Rule.ReadDataString(kUnknownRule);
    }
    // An untouched combo: the place keeps its own rule, notes and all.
    read.Longitude = v.Longitude;
    read.Latitude = v.Latitude;
    // A place the location file cannot hold is refused, its field named.
    if (forList) {
        if (const TRecordFault fault = CheckLocationRecord(read)) {
            THXMessageBoxes::ShowError(RecordFaultText(fault));
            return false;
        }
    }
    Location = read;
    return true;
}

// ------------------------------------------------------------ field guards

void TFTimeZoneManager::CheckBlank() {
    if (ui->eUTCOffset->text().isEmpty()) ui->eUTCOffset->setText("0");
}

void TFTimeZoneManager::AnyLocationPropertyChanged() {
    LocationChanged = true;
    ClockChanged = true;
}

void TFTimeZoneManager::AnyLatLongFieldChanged(QObject* field) {
    auto* e = static_cast<QLineEdit*>(field);
    try {
        ParseFloat(S(e->text()));
    } catch (...) {
        e->setText("0");
    }
}

// ------------------------------------------------------------ edits

void TFTimeZoneManager::sbClearClick() {
    if (!ConfirmLocationChanged()) return;
    for (QLineEdit* e : {ui->e_zoneName, ui->me_City, ui->me_Region, ui->me_Country, ui->me_Code})
        e->clear();
    if (IsLocalClock) {
        ui->eUTCOffset->setText(Q(FloatToStr(W.LocalClock.Location.HostOffset)));
        ShowRuleControls(false);
    } else {
        ui->eUTCOffset->setText("0");
        if (ui->vcbDaylightSavings->count() > 0) {
            ui->vcbDaylightSavings->setCurrentIndex(0);
            ui->vcbDaylightSavings->setEditText(ui->vcbDaylightSavings->itemText(0));
            // A long rule text is read from its start: the name comes first.
            if (QLineEdit* edit = ui->vcbDaylightSavings->lineEdit()) edit->setCursorPosition(0);
        } else {
            ui->vcbDaylightSavings->setEditText("");
        }
        // The combo now shows a choice of its own, not the place's rule.
        FRuleTouched = true;
        ShowRuleControls(true);
    }
    for (QLineEdit* e : {ui->e_LatH, ui->e_LatM, ui->e_LatS, ui->e_LongH, ui->e_LongM, ui->e_LongS})
        e->setText("0");
    SelectDirection(ui->sg_NorthSouth, 0);
    SelectDirection(ui->sg_EastWest, 0);
}

// A list the file cannot take stays as it is here; the user is told why.
void TFTimeZoneManager::WriteLocations() {
    try {
        W.WriteStandardLocations();
    } catch (const std::exception& e) {
        THXMessageBoxes::ShowError(e.what());
    }
}

// After an added or updated place: the file, the tree, and the place in it.
void TFTimeZoneManager::LocationListChanged() {
    WriteLocations();
    RebuildLocationTree();
    FindCurrentLocation();
    LocationChanged = false;
}

void TFTimeZoneManager::sb_AddLocClick() {
    if (FindByName(S(ui->e_zoneName->text()), true, false)) {
        THXMessageBoxes::ShowErrorCode(21);
        return;
    }
    if (!ReadLocationFields()) return;
    TBusy busy;
    auto added = std::make_unique<TTimeLocation>();
    added->Copy(Location);
    W.StandardLocations.push_back(std::move(added));
    SortLocations();
    LocationListChanged();
}

void TFTimeZoneManager::sb_UpdateLocClick() {
    if (CurrentIndex < 0 || CurrentIndex >= int(W.StandardLocations.size())) return;
    const std::string name = S(ui->e_zoneName->text());
    if (FindByName(name, true, false) && name != Location.Name) {
        THXMessageBoxes::ShowErrorCode(21);
        return;
    }
    if (!ReadLocationFields()) return;
    TBusy busy;
    TTimeLocation& record = *W.StandardLocations[size_t(CurrentIndex)];
    TTimeLocation stored = Location;
    // While the Local clock is edited the fields show the home offset and no
    // rule, neither of which the user can change: the listed place keeps
    // its own.
    if (IsLocalClock) {
        stored.StdOffset = record.StdOffset;
        stored.Rule.Copy(record.Rule);
    }
    record.Copy(stored);
    FCurrentRecord.Copy(stored);
    LocationListChanged();
}

void TFTimeZoneManager::sb_DelLocClick() {
    auto& list = W.StandardLocations;
    if (CurrentIndex < 0 || CurrentIndex >= int(list.size())) return;
    const TTimeLocation* doomed = list[size_t(CurrentIndex)].get();
    QString name = QString::fromStdString(doomed->Name);
    // Cut, so a long name cannot fill the screen.
    if (name.size() > 60) name = name.left(60) + "...";
    QPointer<TFTimeZoneManager> alive(this);
    if (THXMessageBoxes::AskYesNo("Delete the location \"" + name.toStdString() +
                                  "\" from the list?") != mrYes ||
        !alive || CurrentIndex < 0 || CurrentIndex >= int(list.size()) ||
        list[size_t(CurrentIndex)].get() != doomed)
        return;
    TBusy busy;
    LocationChanged = false;
    list.erase(list.begin() + CurrentIndex);
    WriteLocations();
    const int next = std::max(CurrentIndex - 1, 0);
    if (next < int(list.size())) {
        Location.Copy(*list[size_t(next)]);
        SetCurrent(next);
    } else {
        // Nothing left to show: a new place.
        Location.Copy(TTimeLocation());
        SetCurrent(-1);
        ShowLocation();
    }
    RebuildLocationTree();
    FindCurrentLocation();
    if (CurrentIndex >= 0) ShowLocation();
}

