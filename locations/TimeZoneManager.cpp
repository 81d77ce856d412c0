// The manager itself: the window, its menu and handlers, showing and
// closing, the pick and the commands that lead to other windows.
#include "locations/TimeZoneManager.h"

#include "clockapp/state/ClockState.h"
#include "clockapp/state/WindowServices.h"
#include "clockapp/SmallWindows.h"
#include "locations/ManagerText.h"
#include "net/http/UpdateCheckCommands.h"
#include "platform/qt/QtGraphics.h"
#include "timemodel/HXMessageBoxes.h"
#include "ui_FTimeZoneManager.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QInputDialog>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QUrl>

namespace {

bool AskedNo(const std::string& text) {
    return THXMessageBoxes::AskYesNo(text) == mrNo;
}

} // namespace

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
