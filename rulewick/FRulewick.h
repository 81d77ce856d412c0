// Rulewick's window: the rule file's rules and the system zones side by side,
// one editor panel for both.
#pragma once

#include "platform/keystore/Registry.h"
#include "timemodel/DST.h"
#include "timemodel/DSTRuleFile.h"
#include "timemodel/HXMessageBoxes.h"

#include <QList>
#include <QMainWindow>
#include <memory>
#include <string>
#include <vector>

namespace Ui {
class FRulewick;
}
class QTreeWidgetItem;
class TFramedComboBox;
class TFramedListView;

class TFRulewick : public QMainWindow {
    Q_OBJECT
public:
    // dataDir ends in '/': where "hxdst.hxd" lives.
    explicit TFRulewick(const std::string& dataDir, QWidget* parent = nullptr);
    ~TFRulewick() override;

    Ui::FRulewick* ui;

    std::unique_ptr<THXMessageBoxes> MessageBoxes;
    std::string ProgramDirectory;
    std::string RuleFileVersion;
    std::vector<TDSTRule> OwnRules;
    std::vector<TDSTRule> SystemRules;
    TDSTRule EditedRule;
    int CurrentIndex = 0;       // own page
    int CurrentSystemIndex = -1; // system page
    bool Modified = false;

    void FormCreate();
    void LoadDSTRules();
    bool SaveDSTRules(); // false when nothing was saved
    // The session ends: the list is saved as it stands, unasked; edits not
    // yet added or updated into the list are dropped.
    void SaveAtSessionEnd();
    void LoadSystemRules();
    void FillRuleList();
    void FillSystemRuleList();
    void SelectRule(int i);
    void SelectSystemRule(int i);
    void ShowRule();
    void ReadRuleFields(); // raises EConvertError for a bad number
    void ClearRuleFields();
    bool ConfirmDiscardEdits();
    bool OnSystemPage() const;

public slots:
    void smiSaveClick();
    void smiExitClick();
    void smiAboutClick();
    void sbClearClick();
    void sbAddClick();
    void sbUpdateClick();
    void sbDeleteClick();
    void vlvRulesSelectItem();
    void vlvSystemRulesSelectItem();
    void vcbTypeChange();
    void AnyPropertyChanged();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    bool FormClose();
    bool CheckRuleText(bool system);
    // For Add and Update: false, and the user told which, when a time field
    // in use holds no time.
    bool CheckRuleTimes();
    void ReadSystemBias();
    bool WriteSystemRule(bool mayCreate);
    bool DeleteSystemRule();
    void SelectInList(TFramedListView* list, int index);
    void ShowHighlighted(TFramedListView* list, int index);
    // The list's highlighted rule into the editor again, once edits not yet
    // applied may go.
    void ReloadHighlighted(TFramedListView* list);
    void SetDayItems(TFramedComboBox* box, bool specific);
    QList<QWidget*> TransitionDetails(bool start) const;
    std::string RuleFilePath() const;

    TRegistry Registry{HKEY_LOCAL_MACHINE};
    // The rule file as last read or written; a bad line and all after it
    // are written back unchanged.
    TDSTRuleFileRead RuleFile;
    bool Showing = false;    // ShowRule fills the controls
    bool EditingSystemZone = false; // the editor's rule was taken from the system page
};
