// The location tree: the tree view's model, grouping and sorting the list
// into it, and the place current in it.
#include "locations/TimeZoneManager.h"

#include "clockapp/state/ClockState.h"
#include "clockapp/state/WindowServices.h"
#include "locations/ManagerText.h"
#include "ui_FTimeZoneManager.h"

// ------------------------------------------------------------ tree model

void TLocationTreeModel::SetTree(TLocationTree tree) {
    beginResetModel();
    FTree = std::move(tree);
    endResetModel();
}

QModelIndex TLocationTreeModel::IndexOfNode(int node) const {
    if (node < 0 || node >= int(FTree.Nodes.size())) return {};
    return createIndex(FTree.Nodes[size_t(node)].Row, 0, quintptr(node + 1));
}

int TLocationTreeModel::NodeOf(const QModelIndex& index) const {
    return index.isValid() ? int(index.internalId()) - 1 : -1;
}

QModelIndex TLocationTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0) return {};
    const std::vector<int>& children =
        parent.isValid() ? FTree.Nodes[size_t(NodeOf(parent))].Children : FTree.Roots;
    if (row >= int(children.size())) return {};
    return createIndex(row, 0, quintptr(children[size_t(row)] + 1));
}

QModelIndex TLocationTreeModel::parent(const QModelIndex& child) const {
    const int node = NodeOf(child);
    if (node < 0) return {};
    return IndexOfNode(FTree.Nodes[size_t(node)].Parent);
}

int TLocationTreeModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) return int(FTree.Roots.size());
    return int(FTree.Nodes[size_t(NodeOf(parent))].Children.size());
}

int TLocationTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant TLocationTreeModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole) return {};
    const int node = NodeOf(index);
    if (node < 0) return {};
    return Q(FTree.Nodes[size_t(node)].Text);
}

// ------------------------------------------------------------ the tree

void TFTimeZoneManager::SortLocations() {
    if (GroupingMode == 1)
        W.SortLocationsByZone();
    else if (GroupingMode == 2)
        W.SortLocationsByName(0, int(W.StandardLocations.size()) - 1);
    else
        W.SortLocationsByRegion();
}

void TFTimeZoneManager::RebuildLocationTree() {
    auto& list = W.StandardLocations;
    if (GroupingMode == 0)
        W.SortLocationsByRegion();
    else if (GroupingMode == 1)
        W.SortLocationsByZone();
    else if (GroupingMode != 2)
        W.SortLocationsByRegion();
    TLocationTree tree;
    const std::string home = FOfferHome ? HomeName() : std::string();
    tree.Build(list, GroupingMode, FOfferHome ? &home : nullptr);
    ui->tvCountryView->setUpdatesEnabled(false);
    FModel->SetTree(std::move(tree));
    ui->tvCountryView->setUpdatesEnabled(true);
    // Old results name nodes that no longer exist.
    FindResults.clear();
    FindIndex = 0;
    ShowFindCaption();
    ResolveCurrent();
}

void TFTimeZoneManager::Grouping(uint8_t mode) {
    TBusy busy;
    GroupingMode = mode;
    SortLocations();
    RebuildLocationTree();
    FindCurrentLocation();
}

void TFTimeZoneManager::sbSortByLocationClick() {
    Grouping(0);
}
void TFTimeZoneManager::sbSortByZoneClick() {
    Grouping(1);
}
void TFTimeZoneManager::sbSortByNameClick() {
    Grouping(2);
}

void TFTimeZoneManager::sbExpandAllClick() {
    ui->tvCountryView->expandAll();
}
void TFTimeZoneManager::sbCollapseAllClick() {
    ui->tvCountryView->collapseAll();
}

int TFTimeZoneManager::LocationIndexOf(const TTimeLocation* slot) const {
    const auto& list = W.StandardLocations;
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].get() == slot) return int(i);
    return -1;
}

void TFTimeZoneManager::SetCurrent(int index) {
    const auto& list = W.StandardLocations;
    if (index < 0 || index >= int(list.size())) {
        CurrentIndex = -1;
    } else {
        CurrentIndex = index;
        FCurrentRecord.Copy(*list[size_t(index)]);
    }
    UpdateLocationCommands();
}

// The sorts exchange the contents of the slots: the current record is found
// again by what it holds.
void TFTimeZoneManager::ResolveCurrent() {
    const auto& list = W.StandardLocations;
    if (CurrentIndex < 0) return UpdateLocationCommands();
    if (CurrentIndex < int(list.size()) &&
        SameLocationRecord(*list[size_t(CurrentIndex)], FCurrentRecord))
        return UpdateLocationCommands();
    CurrentIndex = -1;
    for (size_t i = 0; i < list.size(); ++i)
        if (SameLocationRecord(*list[i], FCurrentRecord)) {
            CurrentIndex = int(i);
            break;
        }
    UpdateLocationCommands();
}

void TFTimeZoneManager::UpdateLocationCommands() {
    const bool valid = CurrentIndex >= 0;
    ui->sb_UpdateLoc->setEnabled(valid);
    ui->sb_DelLoc->setEnabled(valid);
    if (QAction* a = MenuAction("miUpdateLoc")) a->setEnabled(valid);
    if (QAction* a = MenuAction("miDelLoc")) a->setEnabled(valid);
    const bool map = Windows.MapWindowAvailable();
    ui->sb_Map->setEnabled(map);
    if (QAction* a = MenuAction("miMap")) a->setEnabled(map);
    if (QAction* a = MenuAction("smiAstroData")) a->setEnabled(Windows.AstronomyWindowAvailable());
}

void TFTimeZoneManager::SelectNode(int node) {
    const QModelIndex index = FModel->IndexOfNode(node);
    if (!index.isValid()) return;
    ui->tvCountryView->setCurrentIndex(index);
    ui->tvCountryView->scrollTo(index);
}

void TFTimeZoneManager::tvCountryViewClick() {
    if (!ConfirmLocationChanged()) {
        FindCurrentLocation();
        return;
    }
    const int node = FModel->NodeOf(ui->tvCountryView->currentIndex());
    if (node < 0 || !FModel->Tree().IsLeaf(node)) return;
    const int slot = FModel->Tree().Nodes[size_t(node)].Slot;
    if (slot == TLocationNode::kHomeSlot) {
        Location.Copy(W.LocalClock.Location);
        SetCurrent(-1);
        ShowLocation();
        return;
    }
    if (slot < 0 || slot >= int(W.StandardLocations.size())) return;
    Location.Copy(*W.StandardLocations[size_t(slot)]);
    SetCurrent(slot);
    ShowLocation();
}

