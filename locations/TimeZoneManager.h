// The Time Zone Manager: browses, searches and maintains the main window's
// list of places, edits one clock of the main window, picks a place for the
// other windows and keeps the list of daylight-saving rules of "hxdst.hxd".
#pragma once

#include "clockapp/ClockAttributes.h"
#include "clockapp/state/WindowServices.h"
#include "locations/LocationFields.h"
#include "timemodel/DSTRuleFile.h"
#include "timemodel/HXClock.h"
#include "timemodel/TimeLocation.h"

#include <QAbstractItemModel>
#include <QDialog>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QAction;
class TClockState;
class QMenuBar;
class QModelIndex;
namespace Ui {
class FTimeZoneManager;
}

// The tree view's model over the built tree.
class TLocationTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit TLocationTreeModel(QObject* parent = nullptr) : QAbstractItemModel(parent) {}
    void SetTree(TLocationTree tree);
    const TLocationTree& Tree() const { return FTree; }
    QModelIndex IndexOfNode(int node) const;
    int NodeOf(const QModelIndex& index) const; // -1 for none

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    TLocationTree FTree;
};

class TFTimeZoneManager : public QDialog, public ITimeZoneManager {
    Q_OBJECT
public:
    TFTimeZoneManager(TClockState& state, IClockEditing& editing, IWindowOpener& windows,
                      QWidget* owner);
    ~TFTimeZoneManager() override;

    // ITimeZoneManager
    QWidget* Window() override { return this; }
    void ConfigureClock(const THXClock& clock, bool isLocal, int index, bool usedForChimes,
                        bool usedForTitle) override;
    void RebuildLocationTree() override;
    void LoadDSTRules() override;
    bool PickLocation(TTimeLocation& location) override;
    void ClocksChanged() override;

    // The working place, what a pick returns, and the copy taken when shown.
    TTimeLocation Location;
    TTimeLocation ShownLocation;
    THXClock Clock;
    bool IsLocalClock = false;
    std::vector<TDSTRule> Rules;
    uint8_t GroupingMode = 0;
    // Results of the last search in tree order: (list index, tree node).
    std::vector<std::pair<int, int>> FindResults;
    int FindIndex = 0;
    bool LocationChanged = false;
    bool ClockChanged = false;
    bool ShowPending = false;
    // The list index of the place last selected or found; -1 none. It
    // follows its record through sorts and rebuilds.
    int CurrentIndex = -1;
    // The index of the edited clock in the main window's list (-1 none).
    int ClockIndex() const;

    // Location fields.
    void PrepareLocationPick(const TTimeLocation& location);
    void SortLocations();
    void ShowCurrentLocation();
    void ShowLocation();
    // False, with the bad field named to the user, when a field does not
    // read; Location is then unchanged. A place for the location list (not
    // only a clock's) must also be one the location file can hold.
    bool ReadLocationFields(bool forList = true);
    void ShowLatitude(double v);
    void ShowLongitude(double v);
    void FindCurrentLocation();
    bool FindByName(const std::string& text, bool exact, bool select = false);
    bool FindByCode(const std::string& text, bool select = false);
    bool FindByCity(const std::string& text, bool select = false);
    bool FindByCountry(const std::string& text, bool select = false);
    bool FindByRegion(const std::string& text, bool select = false);
    // Index of the record in the main window's list; -1 when not there.
    int LocationIndexOf(const TTimeLocation* slot) const;
    bool ConfirmLocationChanged();
    bool ConfirmClockChanged();

    // Clock editor and rules.
    void FillClockSelector();
    void SelectClockIndex();
    bool ReadClockFields();
    void FillDSTRuleCombo();
    void SaveDSTRules();
    // True when the last load left the file's rest unread or could not read
    // an existing file: the file is then never rewritten.
    bool RuleFileIncomplete() const { return FRuleFileIncomplete; }

    // Handlers.
    void tvCountryViewClick();
    void CheckBlank();
    void AnyLocationPropertyChanged();
    void AnyLatLongFieldChanged(QObject* field);
    void bOKClick();
    void sbSortByLocationClick();
    void sbSortByZoneClick();
    void sbSortByNameClick();
    void sbExpandAllClick();
    void sbCollapseAllClick();
    void sbSearchByNameClick();
    void sbSearchByCodeClick();
    void sbSearchByCityClick();
    void sbSearchByCountryClick();
    void sbSearchByRegionClick();
    void sbFindNextClick();
    void sbClearClick();
    void sb_AddLocClick();
    void sb_UpdateLocClick();
    void sb_DelLocClick();
    void sb_MapClick();
    void smiAstroDataClick();
    void smiCheckForUpdateClick();
    void sbWebSubmitClick();
    void smiUnloadClick();
    void smiAboutClick();
    void cbCurrentClockChange();
    void ProposedClockFormatChange();
    void AnyClockPropertyChanged();
    void sbApplyClick();
    void sbAddNewClockClick();
    void sb_ClockFaceFontClick();
    void l_MajorTimeColourClick();
    void p_BackgroundColourClick();
    void sb_RestoreDefaultsClick();
    void sbTimeFormatEgClick();
    void sbDateFormatEgClick();
    void sbDSTInfoClick();

    // Qt's dialogs unless replaced.
    TFontChooser ChooseFont;
    TColourChooser ChooseColour;
    // The e-mail question of a submission; none on Cancel.
    std::function<std::optional<std::string>(QWidget* parent)> AskEmailAddress;
    // The submission server (the maker's web server by default).
    std::string SubmissionServer;

    QAction* MenuAction(const char* name) const;
    TLocationTreeModel* TreeModel() const { return FModel; }
    bool InPick() const { return FInPick; }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

public:
    void done(int r) override;

private:
    void ConnectHandlers();
    void BuildMenu();
    void Grouping(uint8_t mode);
    bool Find(const std::string& text, bool select, bool exactName,
              const std::string TTimeLocation::*field);
    void ShowFindCaption();
    void SelectNode(int node);
    void SelectFindResult();
    void SetCurrent(int index);
    void ClearCurrent();
    void ResolveCurrent();
    void UpdateLocationCommands();
    void WriteLocations();
    void LocationListChanged();
    void ShowRuleControls(bool show);
    void ShowRule();
    void ShowOffsetAndRule();
    void SearchCommand(const std::string& text, bool found, int message);
    bool CanClose();
    int SelectedDirection(QObject* grid) const;
    void SelectDirection(QObject* grid, int row);
    std::string HomeName() const;
    void OfferHome(bool offer);

    TClockState& W;
    IClockEditing& Editing;
    IWindowOpener& Windows;
    Ui::FTimeZoneManager* ui;
    QMenuBar* FMenu = nullptr;
    TLocationTreeModel* FModel = nullptr;
    // The list record last made current, to find it again after a sort.
    TTimeLocation FCurrentRecord;
    TClockAttributesEditor* Attributes = nullptr; // the edited clock's looks
    TDSTRuleFileRead FRuleFile; // the rule file as last read or written
    bool FRuleFileIncomplete = false;
    bool FRuleTouched = false;
    bool FInPick = false;
    bool FOfferHome = false; // the tree shows the home place first (a pick)
    bool FTreeKey = false; // a key is moving the tree's current node
    bool FCloseConfirmed = false;
    bool FPlaced = false; // centred on the screen at its first showing
};

// Installs the manager's factory on the main window.
void InstallTimeZoneManager(TClockState& state, const TWindowServices& services);
