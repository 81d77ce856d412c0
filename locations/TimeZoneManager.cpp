#include "locations/TimeZoneManager.h"

#include "clockapp/ListFiles.h"
#include "clockapp/ClockState.h"
#include "clockapp/state/WindowServices.h"
#include "clockapp/SmallWindows.h"
#include "platform/media/HomePlace.h"
#include "net/http/UpdateCheckCommands.h"
#include "platform/qt/QtGraphics.h"
#include "platform/qt/TextFold.h"
#include "timemodel/DSTRuleFile.h"
#include "timemodel/HXMessageBoxes.h"
#include "timemodel/HXString.h"
#include "timemodel/RecordCheck.h"
#include "ui_FTimeZoneManager.h"

#include <QCloseEvent>
#include <algorithm>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QInputDialog>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QUrl>

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}
std::string S(const QString& s) {
    return s.toStdString();
}

constexpr const char* kUnknownRule = "Unknown/N.0.0.0.0:0:0/N.0.0.0.0:0:0/DST rule is unknown";
constexpr const char* kNewLocationName = "<New Location>";

bool AskedNo(const std::string& text) {
    return THXMessageBoxes::AskYesNo(text) == mrNo;
}

// The hour-glass while a command sorts and rebuilds.
struct TBusy {
    TBusy() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TBusy() { QGuiApplication::restoreOverrideCursor(); }
};

} // namespace

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

// ------------------------------------------------------------ creation

TFTimeZoneManager::TFTimeZoneManager(TClockState& state, IClockEditing& editing,
                                     IWindowOpener& windows, QWidget* owner)
    : QDialog(owner, Qt::Window), W(state), Editing(editing), Windows(windows),
      ui(new Ui::FTimeZoneManager) {
    ui->setupUi(this);
    setObjectName("TFTimeZoneManager");
    FModel = new TLocationTreeModel(this);
    ui->tvCountryView->setModel(FModel);
    ui->vcbDaylightSavings->setInsertPolicy(QComboBox::NoInsert);
    // Rule descriptions are long: the combo does not widen the window for them.
    ui->vcbDaylightSavings->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    ui->vcbDaylightSavings->setMinimumContentsLength(24);
    // "Find Next" sits in the bottom row, under the tree whose results it
    // steps through, with its room kept while hidden: showing it or a longer
    // count never widens the window or moves another button.
    // The rule controls, hidden for the Local clock, keep their room too.
    for (QWidget* c : {static_cast<QWidget*>(ui->sbFindNext),
                       static_cast<QWidget*>(ui->l_DaylightSavings),
                       static_cast<QWidget*>(ui->vcbDaylightSavings)}) {
        QSizePolicy keep = c->sizePolicy();
        keep.setRetainSizeWhenHidden(true);
        c->setSizePolicy(keep);
    }
    ui->sbFindNext->setMinimumWidth(
        ui->sbFindNext->fontMetrics().horizontalAdvance("Find Next 99999 of 99999") + 24);
    ui->sbFindNext->hide();
    // Small buttons stay small: the format combos beside the "?" buttons get the width.
    for (QWidget* b :
         {static_cast<QWidget*>(ui->sbExpandAll), static_cast<QWidget*>(ui->sbCollapseAll),
          static_cast<QWidget*>(ui->sbTimeFormatEg), static_cast<QWidget*>(ui->sbDateFormatEg)})
        b->setMaximumWidth(30);
    ui->bOK->setDefault(false);
    ui->bOK->setAutoDefault(false);
    ui->bCancel->setAutoDefault(false);
    ChooseFont = QtFontChooser();
    ChooseColour = QtColourChooser();
    Attributes = new TClockAttributesEditor(ui->l_MajorTimeColour, ui->p_BackgroundColour,
                                            ui->sb_ClockFaceFont, ChooseFont, ChooseColour);
    SubmissionServer = HoroluxWebServer;
    AskEmailAddress = [](QWidget* parent) -> std::optional<std::string> {
        bool ok = false;
        const QString answer = QInputDialog::getText(
            parent, "Enter Your Email Address",
            DisplayText("Enter your email address to receive confirmation\n\rof your location "
                        "submission\n\rThe same address will then be used for all future "
                        "submissions"),
            QLineEdit::Normal, QString(), &ok);
        if (!ok) return std::nullopt;
        return S(answer);
    };
    BuildMenu();
    ConnectHandlers();

    // FormCreate
    TFControledMessage progress(this);
    progress.ShowDismiss = false;
    progress.setWindowTitle("Sorting Locations");
    progress.SetMessage(
        "Please Wait...\n\r\n\rLocation data is being sorted.\n\rThis may take a while...");
    progress.show();
    progress.repaint();
    GroupingMode = 0;
    W.EditedClock = 0;
    IsLocalClock = false;
    ShowPending = true;
    RebuildLocationTree();
    LoadDSTRules();
    FillClockSelector();
    progress.close();
    ui->pcClockPreferences->hide();
    ui->pClockBorder->hide();
    ui->bOK->setEnabled(false);
    ui->bCancel->setEnabled(false);
    sb_RestoreDefaultsClick();
    UpdateLocationCommands();
}

TFTimeZoneManager::~TFTimeZoneManager() {
    // The tree's expanded places are persistent indexes: dropped one by one
    // with the view they cost seconds over every shipped place; the model
    // going first lets them all go at once. Nothing of the view may call
    // back into this half-destroyed window meanwhile.
    ui->tvCountryView->removeEventFilter(this);
    QObject::disconnect(ui->tvCountryView->selectionModel(), nullptr, this, nullptr);
    QObject::disconnect(ui->tvCountryView, nullptr, this, nullptr);
    delete FModel;
    FModel = nullptr;
    delete ui;
}

int TFTimeZoneManager::ClockIndex() const {
    return W.EditedClock;
}

QAction* TFTimeZoneManager::MenuAction(const char* name) const {
    return findChild<QAction*>(name);
}

void TFTimeZoneManager::BuildMenu() {
    FMenu = new QMenuBar(this);
    FMenu->setObjectName("mmTimeZoneManager");
    FMenu->setNativeMenuBar(false);
    layout()->setMenuBar(FMenu);
    auto add = [this](QMenu* menu, const char* name, const char* text,
                      void (TFTimeZoneManager::*handler)()) {
        QAction* a = menu->addAction(text);
        a->setObjectName(name);
        if (handler) connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
        return a;
    };
    using M = TFTimeZoneManager;
    QMenu* file = FMenu->addMenu("&File");
    add(file, "smiUnload", "&Free Memory and Close Window", &M::smiUnloadClick);
    QMenu* sort = FMenu->addMenu("&Sort");
    add(sort, "miSortByLocation", "By &Location Details", &M::sbSortByLocationClick);
    add(sort, "miSortByZone", "By Time &Zone", &M::sbSortByZoneClick);
    add(sort, "miSortByName", "By &Name", &M::sbSortByNameClick);
    sort->addSeparator();
    add(sort, "miExpandAll", "E&xpand All", &M::sbExpandAllClick);
    add(sort, "miCollapseAll", "Co&llapse All", &M::sbCollapseAllClick);
    QMenu* search = FMenu->addMenu("S&earch");
    add(search, "miSearchByName", "By &Name", &M::sbSearchByNameClick);
    // The original menu bound no action to these two; they search as their
    // buttons do.
    add(search, "miSearchByCode", "By C&ode", &M::sbSearchByCodeClick);
    add(search, "miSearchByCity", "By &City", &M::sbSearchByCityClick);
    add(search, "miSearchByCountry", "By Co&untry", &M::sbSearchByCountryClick);
    QMenu* loc = FMenu->addMenu("&Location");
    add(loc, "miClear", "&Clear location fields", &M::sbClearClick);
    add(loc, "miAddLoc", "&Add current location to list", &M::sb_AddLocClick);
    add(loc, "miUpdateLoc", "&Update existing location on list", &M::sb_UpdateLocClick);
    add(loc, "miDelLoc", "&Delete existing location from list", &M::sb_DelLocClick);
    loc->addSeparator();
    add(loc, "miMap", "&Plot current location on map", &M::sb_MapClick);
    add(loc, "smiAstroData", "As&tronomical data for this location", &M::smiAstroDataClick);
    QMenu* clock = FMenu->addMenu("&Clock");
    clock->setObjectName("miClock");
    add(clock, "miAddNewClock", "Create &New", &M::sbAddNewClockClick);
    add(clock, "miApply", "&Modify Current", &M::sbApplyClick);
    QMenu* web = FMenu->addMenu("&Web");
    add(web, "smiCheckForUpdate", "&Check for New Locations...", &M::smiCheckForUpdateClick);
    add(web, "sbWebSubmit", "Submit This &Location...", &M::sbWebSubmitClick);
    QMenu* help = FMenu->addMenu("&Help");
    add(help, "smiAbout", "&About", &M::smiAboutClick);
}

void TFTimeZoneManager::ConnectHandlers() {
    auto on = [this](QAbstractButton* b, void (TFTimeZoneManager::*handler)()) {
        connect(b, &QAbstractButton::clicked, this, [this, handler] { (this->*handler)(); });
    };
    using M = TFTimeZoneManager;
    on(ui->sbSortByLocation, &M::sbSortByLocationClick);
    on(ui->sbSortByZone, &M::sbSortByZoneClick);
    on(ui->sbSortByName, &M::sbSortByNameClick);
    on(ui->sbExpandAll, &M::sbExpandAllClick);
    on(ui->sbCollapseAll, &M::sbCollapseAllClick);
    on(ui->sbSearchByName, &M::sbSearchByNameClick);
    on(ui->sbSearchByCode, &M::sbSearchByCodeClick);
    on(ui->sbSearchByCity, &M::sbSearchByCityClick);
    on(ui->sbSearchByCountry, &M::sbSearchByCountryClick);
    on(ui->sbSearchByRegion, &M::sbSearchByRegionClick);
    on(ui->sbFindNext, &M::sbFindNextClick);
    on(ui->sbClear, &M::sbClearClick);
    on(ui->sb_AddLoc, &M::sb_AddLocClick);
    on(ui->sb_UpdateLoc, &M::sb_UpdateLocClick);
    on(ui->sb_DelLoc, &M::sb_DelLocClick);
    on(ui->sb_Map, &M::sb_MapClick);
    on(ui->bOK, &M::bOKClick);
    on(ui->bCancel, &QDialog::reject);
    on(ui->sbApply, &M::sbApplyClick);
    on(ui->sbApplyAttributes, &M::sbApplyClick);
    on(ui->sbAddNewClock, &M::sbAddNewClockClick);
    on(ui->sb_RestoreDefaults, &M::sb_RestoreDefaultsClick);
    on(ui->sbTimeFormatEg, &M::sbTimeFormatEgClick);
    on(ui->sbDateFormatEg, &M::sbDateFormatEgClick);
    on(ui->sbDSTInfo, &M::sbDSTInfoClick);
    connect(ui->tvCountryView, &QAbstractItemView::clicked, this, [this] { tvCountryViewClick(); });
    // A place reached with the keys is selected as a click selects it: the
    // fields, Update and Delete never lag behind the highlighted place.
    ui->tvCountryView->installEventFilter(this);
    connect(ui->tvCountryView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] {
                if (!FTreeKey) return;
                FTreeKey = false;
                // Once the key has moved the selection too: a refused change
                // then takes both back to the working place.
                QTimer::singleShot(0, this, [this] { tvCountryViewClick(); });
            });

    // Only what the user types marks the fields edited.
    for (QLineEdit* e : {ui->e_zoneName, ui->me_City, ui->me_Region, ui->me_Code, ui->e_LatH,
                         ui->e_LatM, ui->e_LatS, ui->e_LongH, ui->e_LongM, ui->e_LongS})
        connect(e, &QLineEdit::textEdited, this, [this] { AnyLocationPropertyChanged(); });
    for (QLineEdit* e : {ui->e_LatH, ui->e_LatM, ui->e_LatS, ui->e_LongH, ui->e_LongM, ui->e_LongS})
        connect(e, &QLineEdit::editingFinished, this, [this, e] { AnyLatLongFieldChanged(e); });
    connect(ui->eUTCOffset, &QLineEdit::textEdited, this, [this] { CheckBlank(); });
    auto ruleTouched = [this] {
        FRuleTouched = true;
        AnyLocationPropertyChanged();
    };
    connect(ui->vcbDaylightSavings, &QComboBox::activated, this, ruleTouched);
    connect(ui->vcbDaylightSavings, &TFramedComboBox::Change, this, ruleTouched);
    if (QLineEdit* e = ui->vcbDaylightSavings->lineEdit())
        connect(e, &QLineEdit::textEdited, this, ruleTouched);

    connect(ui->cbCurrentClock, &QComboBox::activated, this, [this] { cbCurrentClockChange(); });
    connect(ui->cbClockFormat, &QComboBox::activated, this,
            [this] { ProposedClockFormatChange(); });
    for (QComboBox* c : {ui->cbClockDisplayFormat, ui->cbClockTimeFormat, ui->cbClockDateFormat})
        connect(c, &QComboBox::activated, this, [this] { AnyClockPropertyChanged(); });
    for (QComboBox* c : {ui->cbClockTimeFormat, ui->cbClockDateFormat})
        connect(c->lineEdit(), &QLineEdit::textEdited, this, [this] { AnyClockPropertyChanged(); });
    connect(ui->cbDisplayDate, &QAbstractButton::clicked, this,
            [this] { AnyClockPropertyChanged(); });
}

// ------------------------------------------------------------ show and close

bool TFTimeZoneManager::eventFilter(QObject* watched, QEvent* e) {
    if (watched == ui->tvCountryView) FTreeKey = e->type() == QEvent::KeyPress;
    return QDialog::eventFilter(watched, e);
}

// The working place is shown once the window is up, from the event loop: a
// message box never opens from inside the showing.
void TFTimeZoneManager::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!FPlaced) {
        FPlaced = true;
        if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
    }
    if (!ShowPending) return;
    QPointer<TFTimeZoneManager> self(this);
    QTimer::singleShot(0, this, [self] {
        if (!self || !self->ShowPending || !self->isVisible()) return;
        self->ShowPending = false;
        self->ShowCurrentLocation();
        self->ClockChanged = false;
    });
}

bool TFTimeZoneManager::CanClose() {
    return ConfirmClockChanged() && ConfirmLocationChanged();
}

void TFTimeZoneManager::closeEvent(QCloseEvent* e) {
    if (!CanClose()) {
        e->ignore();
        return;
    }
    FCloseConfirmed = true;
    QDialog::closeEvent(e);
    FCloseConfirmed = false;
}

// Every way out of the window (buttons, Escape, the caption) asks first.
void TFTimeZoneManager::done(int r) {
    if (!FCloseConfirmed && !CanClose()) return;
    QDialog::done(r);
}

void TFTimeZoneManager::bOKClick() {
    ClockChanged = false;
    done(QDialog::Accepted);
}

bool TFTimeZoneManager::ConfirmLocationChanged() {
    return !LocationChanged ||
           !AskedNo("Changes to the Current Location will be lost.\n\rAre you sure?");
}

bool TFTimeZoneManager::ConfirmClockChanged() {
    return !ClockChanged ||
           !AskedNo("Changes to the Current Clock have not be applied.\n\rAre you sure?");
}

// ------------------------------------------------------------ the pick

void TFTimeZoneManager::PrepareLocationPick(const TTimeLocation& location) {
    LocationChanged = false;
    ClockChanged = false;
    Location.Copy(location);
    IsLocalClock = false;
    ShowPending = true;
    SetCurrent(-1);
    ui->cb_ThisZoneIsHint->setEnabled(false);
    ui->pcClockPreferences->hide();
    ui->pClockBorder->hide();
    ui->bOK->setEnabled(true);
    ui->bCancel->setEnabled(true);
    OfferHome(true);
}

// A new alarm, event or calculation starts at the home place, which the list
// does not hold: a pick offers it first, under its name.
std::string TFTimeZoneManager::HomeName() const {
    const std::string& name = W.LocalClock.Location.Name;
    return name.empty() ? kNewLocationName : name;
}

void TFTimeZoneManager::OfferHome(bool offer) {
    if (FOfferHome == offer && (!offer || (FModel->Tree().HomeNode() >= 0 &&
                                              FModel->Tree().Nodes[0].Text == HomeName())))
        return;
    FOfferHome = offer;
    RebuildLocationTree();
}

bool TFTimeZoneManager::PickLocation(TTimeLocation& location) {
    if (FInPick) return false;
    // Open for a clock: its edits are confirmed before the window turns into
    // a pick.
    if (isVisible()) {
        if (!CanClose()) return false;
        hide();
    }
    PrepareLocationPick(location);
    FInPick = true;
    for (const char* name : {"smiUnload", "miAddNewClock", "miApply"})
        MenuAction(name)->setEnabled(false);
    const int r = exec();
    FInPick = false;
    OfferHome(false);
    for (const char* name : {"smiUnload", "miAddNewClock"})
        MenuAction(name)->setEnabled(true);
    SelectClockIndex(); // "Modify Current" only for a clock that exists
    ui->bOK->setEnabled(false);
    ui->bCancel->setEnabled(false);
    if (r != QDialog::Accepted) return false;
    location.Copy(Location);
    return true;
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

// ------------------------------------------------------------ other commands

void TFTimeZoneManager::sb_MapClick() { Windows.ShowOnMap(Location); }

void TFTimeZoneManager::smiAstroDataClick() {
    Windows.ShowAstronomyWindow(this, Location, false);
}

// The main window's own command: message 63 when nothing is newer, and a
// check that failed says so instead of claiming all is up to date.
void TFTimeZoneManager::smiCheckForUpdateClick() {
    Windows.CheckForUpgrade();
}

void TFTimeZoneManager::smiAboutClick() {
    THXMessageBoxes::ShowInfo(
        "Location Database Version: " + W.LocationDataVersion + "\n\r" +
        "Number of Active Locations: " + std::to_string(W.StandardLocations.size()));
}

void TFTimeZoneManager::smiUnloadClick() {
    if (FInPick || !CanClose()) return;
    LocationChanged = false;
    ClockChanged = false;
    W.StandardLocations.clear();
    Windows.ReleaseTimeZoneManager();
    hide();
    deleteLater();
}

void TFTimeZoneManager::sbDSTInfoClick() {
    Windows.OpenRulewick();
}

void TFTimeZoneManager::sbWebSubmitClick() {
    if (W.UserEmailAddress.empty()) {
        if (!AskEmailAddress) return;
        const std::optional<std::string> answer = AskEmailAddress(this);
        if (!answer) return;
        W.UserEmailAddress = *answer;
    }
    // The fields go into a copy: a submission changes nothing of the
    // working place.
    const TTimeLocation keep = Location;
    if (!ReadLocationFields()) return;
    TTimeLocation sent = Location;
    Location = keep;
    sent.Rule.Notes.clear();
    const std::string address =
        LocationSubmissionAddress(SubmissionServer, sent, W.CurrentVersion, W.UserEmailAddress);
    QDesktopServices::openUrl(QUrl::fromEncoded(QByteArray::fromStdString(address)));
}

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
    ui->cbClockFormat->setCurrentIndex(std::min<int>(clock.ClockType, 8));
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
    const bool local = listed.ClockType == 1;
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
    if (scratch.ClockType == 1) {
        if (Clock.ClockType != 1 &&
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
    if (Clock.ClockType == 1) {
        if (W.Clocks[size_t(index)]->ClockType != 1) {
            for (size_t n = 0; n < W.Clocks.size(); ++n) {
                if (W.Clocks[n]->ClockType != 1) continue;
                const std::string N = std::to_string(n);
                const std::string question =
                    "Clock " + N + " is already set as the 'Local' clock" + "\n\r" +
                    "Only one 'Local' clock is allowed" + "\n\r" +
                    "Would you like to set the current clock as the new 'Local' clock" +
                    "\n\r\n\r" +
                    "Selecting 'No' will change the current clock's type to: " + "'Location'" +
                    "\n\r" + "Selecting 'Yes' will make Clock " + N + "'s type 'Location'";
                if (THXMessageBoxes::AskYesNo(question) == mrYes) {
                    W.Clocks[n]->ClockType = 0;
                } else {
                    Clock.ClockType = 0;
                    ui->cbClockFormat->setCurrentIndex(0);
                    ProposedClockFormatChange();
                    break;
                }
            }
        }
        // The home record follows only a clock that stayed Local.
        if (Clock.ClockType == 1) {
            W.LocalClock.Copy(Clock);
            try {
                W.LoadRegTimeInfo();
            } catch (...) {
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

// ------------------------------------------------------------ install

void InstallTimeZoneManager(TClockState& state, const TWindowServices& services) {
    TClockState* s = &state;
    IClockEditing* editing = &services.Clocks;
    IWindowOpener* windows = &services.Windows;
    services.Factories.SetTimeZoneManagerFactory(
        [s, editing, windows](QWidget* owner) -> ITimeZoneManager* {
            return new TFTimeZoneManager(*s, *editing, *windows, owner);
        });
}
