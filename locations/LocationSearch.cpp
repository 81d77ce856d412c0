// Searching the location tree: by name, code, city, country or region, and
// stepping through the results.
#include "locations/TimeZoneManager.h"

#include "clockapp/state/ClockState.h"
#include "locations/ManagerText.h"
#include "platform/qt/TextFold.h"
#include "timemodel/HXMessageBoxes.h"
#include "ui_FTimeZoneManager.h"

// ------------------------------------------------------------ searching

bool TFTimeZoneManager::Find(const std::string& text, bool select, bool exactName,
                             const std::string TTimeLocation::*field) {
    FindResults.clear();
    FindIndex = 0;
    const TLocationTree& tree = FModel->Tree();
    const auto& list = W.StandardLocations;
    // Finding is without regard to case and accents ("Tromso" finds
    // "Tromsø"); the place that is the text comes first, spelt as typed
    // before spelt otherwise, then every place that contains it, each in
    // tree order: "Tokyo" before "Nishi-Tokyo-shi". The exact search, the
    // key of a name, stays exact.
    const std::string wanted = exactName ? text : FoldedText(text);
    std::vector<std::pair<int, int>> same, folded;
    std::string value;
    for (size_t n = 0; n < tree.Nodes.size(); ++n) {
        const TLocationNode& node = tree.Nodes[n];
        if (!node.Children.empty() || node.Slot < 0 || node.Slot >= int(list.size())) continue;
        const std::string& original = (*list[size_t(node.Slot)]).*field;
        if (exactName) {
            if (original == text) {
                FindResults.emplace_back(node.Slot, int(n));
                break;
            }
            continue;
        }
        FoldText(original, value);
        if (value.find(wanted) == std::string::npos) continue;
        if (value.size() != wanted.size())
            FindResults.emplace_back(node.Slot, int(n));
        else if (original == text)
            same.emplace_back(node.Slot, int(n));
        else
            folded.emplace_back(node.Slot, int(n));
    }
    if (!same.empty() || !folded.empty()) {
        folded.insert(folded.end(), FindResults.begin(), FindResults.end());
        same.insert(same.end(), folded.begin(), folded.end());
        FindResults = std::move(same);
    }
    ShowFindCaption();
    const bool found = !FindResults.empty();
    if (select && found) {
        SelectNode(FindResults[0].second);
        SetCurrent(FindResults[0].first);
    }
    return found;
}

bool TFTimeZoneManager::FindByName(const std::string& text, bool exact, bool select) {
    return Find(text, select, exact, &TTimeLocation::Name);
}
bool TFTimeZoneManager::FindByCode(const std::string& text, bool select) {
    return Find(text, select, false, &TTimeLocation::Code);
}
bool TFTimeZoneManager::FindByCity(const std::string& text, bool select) {
    return Find(text, select, false, &TTimeLocation::City);
}
bool TFTimeZoneManager::FindByCountry(const std::string& text, bool select) {
    return Find(text, select, false, &TTimeLocation::Country);
}
bool TFTimeZoneManager::FindByRegion(const std::string& text, bool select) {
    return Find(text, select, false, &TTimeLocation::Region);
}

void TFTimeZoneManager::ShowFindCaption() {
    ui->sbFindNext->setText(Q("Find Next " + std::to_string(FindIndex + 1) + " of " +
                              std::to_string(FindResults.size())));
    ui->sbFindNext->setVisible(FindResults.size() >= 2);
}

void TFTimeZoneManager::SearchCommand(const std::string&, bool found, int message) {
    if (!found) {
        THXMessageBoxes::ShowErrorCode(message);
        return;
    }
    Location.Copy(*W.StandardLocations[size_t(FindResults[0].first)]);
    ShowLocation();
}

void TFTimeZoneManager::sbSearchByNameClick() {
    const std::string t = S(ui->e_zoneName->text());
    SearchCommand(t, FindByName(t, false, true), 20);
}
void TFTimeZoneManager::sbSearchByCodeClick() {
    const std::string t = S(ui->me_Code->text());
    SearchCommand(t, FindByCode(t, true), 22);
}
void TFTimeZoneManager::sbSearchByCityClick() {
    const std::string t = S(ui->me_City->text());
    SearchCommand(t, FindByCity(t, true), 23);
}
void TFTimeZoneManager::sbSearchByCountryClick() {
    const std::string t = S(ui->me_Country->text());
    SearchCommand(t, FindByCountry(t, true), 24);
}
void TFTimeZoneManager::sbSearchByRegionClick() {
    const std::string t = S(ui->me_Region->text());
    SearchCommand(t, FindByRegion(t, true), 26);
}

void TFTimeZoneManager::sbFindNextClick() {
    if (FindResults.empty()) return;
    ++FindIndex;
    if (FindIndex >= int(FindResults.size())) {
        FindIndex = 0;
        THXMessageBoxes::ShowErrorCode(25);
    }
    ShowFindCaption();
    const auto [slot, node] = FindResults[size_t(FindIndex)];
    if (slot < 0 || slot >= int(W.StandardLocations.size())) return;
    SelectNode(node);
    SetCurrent(slot);
    Location.Copy(*W.StandardLocations[size_t(slot)]);
    ShowLocation();
}

// A working place the list does not hold (a clock's, a pick's, a new one)
// leaves nothing selected: Update and Delete must never reach a record the
// fields no longer show.
void TFTimeZoneManager::FindCurrentLocation() {
    // The home place is its own leaf: no list record to find or change.
    const int home = FModel->Tree().HomeNode();
    if (home >= 0 && Location.Name == W.LocalClock.Location.Name &&
        !FindByName(Location.Name, true, false)) {
        ClearCurrent();
        SelectNode(home);
        ui->tvCountryView->setFocus();
        return;
    }
    if (Location.Name == kNewLocationName) {
        const auto& list = W.StandardLocations;
        if (CurrentIndex < 0 || CurrentIndex >= int(list.size()) ||
            list[size_t(CurrentIndex)]->Name != Location.Name)
            ClearCurrent();
        return;
    }
    if (FindByName(Location.Name, true, true)) {
        ui->tvCountryView->setFocus();
    } else {
        ClearCurrent();
        THXMessageBoxes::ShowErrorCode(20);
    }
}

void TFTimeZoneManager::ClearCurrent() {
    SetCurrent(-1);
    ui->tvCountryView->clearSelection();
    ui->tvCountryView->setCurrentIndex(QModelIndex());
}

