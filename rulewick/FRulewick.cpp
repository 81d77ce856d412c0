#include "rulewick/FRulewick.h"

#include "rulewick/FramedListVw.h"
#include "rulewick/SystemZones.h"
#include "ui_FRulewick.h"

#include "platform/qt/TimeField.h"
#include "platform/qt/controls/FramedCmboBx.h"
#include "timemodel/DSTRuleFile.h"
#include "timemodel/HX_messages.h"
#include "timemodel/RecordCheck.h"
#include "timemodel/SaveTemporary.h"
#include "timemodel/VersionInfo.h"

#include <QCloseEvent>
#include <QIcon>
#include <QPainter>
#include <QTime>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <tuple>

namespace {

const std::vector<std::string> TypeNames = {"None",   "First", "Second",  "Third",
                                            "Fourth", "Last",  "Specific"};

std::vector<std::string> WeekdayNames() {
    std::vector<std::string> names;
    for (int d = 1; d <= 7; ++d) names.push_back(DayName(d));
    return names;
}
std::vector<std::string> MonthNames() {
    std::vector<std::string> names;
    for (int m = 1; m <= 12; ++m) names.push_back(MonthName(m));
    return names;
}
std::vector<std::string> DayNumbers() {
    std::vector<std::string> names;
    for (int d = 1; d <= 31; ++d) names.push_back(std::to_string(d));
    return names;
}

std::string Text(const QComboBox* box) {
    return box->currentText().toStdString();
}
void SelectText(QComboBox* box, const std::string& text) {
    box->setCurrentIndex(box->findText(QString::fromStdString(text)));
}
int IndexOf(const std::vector<std::string>& items, const std::string& text) {
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i] == text) return int(i);
    return -1;
}

QTime TimeOfDay(TDateTime t) {
    int h, m, s, ms;
    DecodeTime(FracOfDate(t), h, m, s, ms);
    return QTime(h, m, s, ms);
}
TDateTime FromTime(const QTime& t) {
    return EncodeTime(t.hour(), t.minute(), t.second(), t.msec());
}

// A clock face half in daylight, half in night: the rules that move the hour.
QIcon RulewickIcon() {
    QIcon icon;
    for (int size : {16, 22, 32, 48, 64}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF disc(1, 1, size - 2, size - 2);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 200, 40));
        p.drawPie(disc, 90 * 16, 180 * 16);
        p.setBrush(QColor(30, 40, 110));
        p.drawPie(disc, 270 * 16, 180 * 16);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(0, 140, 0), std::max(1.0, size / 14.0)));
        p.drawEllipse(disc);
        const QPointF c(size / 2.0, size / 2.0);
        p.setPen(QPen(Qt::white, std::max(1.0, size / 12.0), Qt::SolidLine, Qt::RoundCap));
        p.drawLine(c, c + QPointF(0, -size * 0.36));
        p.drawLine(c, c + QPointF(size * 0.24, size * 0.1));
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

} // namespace

TFRulewick::TFRulewick(const std::string& dataDir, QWidget* parent)
    : QMainWindow(parent), ui(new Ui::FRulewick), ProgramDirectory(dataDir) {
    ui->setupUi(this);
    if (!ProgramDirectory.empty() && ProgramDirectory.back() != '/') ProgramDirectory += '/';
    for (TFramedListView* list : {ui->vlvRules, ui->vlvSystemRules}) {
        list->SetViewStyle(TViewStyle::vsList);
        list->SetReadOnly(true);
        list->setEditTriggers(QAbstractItemView::NoEditTriggers);
        list->setSelectionMode(QAbstractItemView::SingleSelection);
    }
    for (TFramedComboBox* box : {ui->vcbStartType, ui->vcbEndType, ui->vcbStartDay, ui->vcbEndDay,
                                 ui->vcbStartMonth, ui->vcbEndMonth}) {
        box->SetStyle(TComboCompletion::TStyle::DropDownList);
        // Wide enough for the longest name, fixed once, so nothing moves later.
        box->setSizeAdjustPolicy(QComboBox::AdjustToContentsOnFirstShow);
    }
    // A transition of kind "None" hides its details but keeps their room:
    // the controls below stay under the mouse.
    for (QWidget* w : TransitionDetails(true) + TransitionDetails(false)) {
        QSizePolicy keep = w->sizePolicy();
        keep.setRetainSizeWhenHidden(true);
        w->setSizePolicy(keep);
    }
    setWindowIcon(RulewickIcon());
    ui->vcbStartType->SetItems(TypeNames);
    ui->vcbEndType->SetItems(TypeNames);
    ui->vcbStartDay->SetItems(WeekdayNames());
    ui->vcbEndDay->SetItems(WeekdayNames());
    ui->vcbStartMonth->SetItems(MonthNames());
    ui->vcbEndMonth->SetItems(MonthNames());
    ui->sbSave->setEnabled(false);

    connect(ui->smiSave, &QAction::triggered, this, &TFRulewick::smiSaveClick);
    connect(ui->sbSave, &QToolButton::clicked, this, &TFRulewick::smiSaveClick);
    connect(ui->smiExit, &QAction::triggered, this, &TFRulewick::smiExitClick);
    connect(ui->smiAbout, &QAction::triggered, this, &TFRulewick::smiAboutClick);
    connect(ui->sbClear, &QToolButton::clicked, this, &TFRulewick::sbClearClick);
    connect(ui->sbAdd, &QToolButton::clicked, this, &TFRulewick::sbAddClick);
    connect(ui->sbUpdate, &QToolButton::clicked, this, &TFRulewick::sbUpdateClick);
    connect(ui->sbDelete, &QToolButton::clicked, this, &TFRulewick::sbDeleteClick);
    connect(ui->vlvRules, &QTreeWidget::itemSelectionChanged, this,
            &TFRulewick::vlvRulesSelectItem);
    connect(ui->vlvSystemRules, &QTreeWidget::itemSelectionChanged, this,
            &TFRulewick::vlvSystemRulesSelectItem);
    for (QComboBox* box : {static_cast<QComboBox*>(ui->vcbStartType), static_cast<QComboBox*>(ui->vcbEndType)})
        connect(box, &QComboBox::currentIndexChanged, this, &TFRulewick::vcbTypeChange);
    for (QComboBox* box : {static_cast<QComboBox*>(ui->vcbStartDay), static_cast<QComboBox*>(ui->vcbEndDay),
                           static_cast<QComboBox*>(ui->vcbStartMonth), static_cast<QComboBox*>(ui->vcbEndMonth)})
        connect(box, &QComboBox::currentIndexChanged, this, &TFRulewick::AnyPropertyChanged);
    for (QLineEdit* edit : {ui->eName, ui->eStartBias, ui->eEndBias, ui->eBias, ui->eStdName,
                            ui->eDltName, static_cast<QLineEdit*>(ui->dtpStartTime),
                            static_cast<QLineEdit*>(ui->dtpEndTime)})
        connect(edit, &QLineEdit::textChanged, this, &TFRulewick::AnyPropertyChanged);
    connect(ui->mNotes, &QPlainTextEdit::textChanged, this, &TFRulewick::AnyPropertyChanged);
    // A click on the rule already highlighted takes it in again. A page
    // switch does not: the editor carries the rule last chosen on either page
    // over to the other one, to be added there.
    for (TFramedListView* list : {ui->vlvRules, ui->vlvSystemRules})
        connect(list, &QTreeWidget::itemClicked, this, [this, list] { ReloadHighlighted(list); });
}

TFRulewick::~TFRulewick() {
    delete ui;
}

std::string TFRulewick::RuleFilePath() const {
    return ProgramDirectory + "hxdst.hxd";
}

bool TFRulewick::OnSystemPage() const {
    return ui->pcRuleList->currentWidget() == ui->tsSystemRuleList;
}

void TFRulewick::FormCreate() {
    MessageBoxes = std::make_unique<THXMessageBoxes>();
    RegisterHXMessages();
    Modified = false;
    CurrentIndex = 0;
    // A save killed before it finished leaves its temporary behind.
    RemoveStaleTemporary(DSTRuleFileTemporary(RuleFilePath()));
    LoadDSTRules();
    // The suite's copy of the system zones starts from the host's tz database.
    SeedSystemZones(Registry, YearOfDate(Now()));
    LoadSystemRules();
    EditedRule = TDSTRule();
    ClearRuleFields();
}

// --------------------------------------------------------------- rule file

void TFRulewick::LoadDSTRules() {
    OwnRules.clear();
    RuleFile = ReadDSTRuleFile(RuleFilePath());
    const TDSTRuleFileRead& read = RuleFile;
    if (!read.Opened) {
        THXMessageBoxes::ShowErrorCode(13);
        FillRuleList();
        ui->sbSave->setEnabled(false);
        return;
    }
    OwnRules = read.Rules;
    RuleFileVersion = read.Version;
    if (read.Failed) {
        // The rest is kept, and written back after the rules on the next
        // save; the file as it was is kept as a copy too.
        const std::string copy = KeepDamagedRuleFile(RuleFilePath());
        THXMessageBoxes::ShowError(read.Error + " -- DST Rules loaded: " +
                                   std::to_string(OwnRules.size() + 1) +
                                   (copy.empty() ? "" : "\n\rThe file as it was has been kept as " + copy));
    }
    FillRuleList();
    ui->sbSave->setEnabled(false);
}

bool TFRulewick::SaveDSTRules() {
    // Onto what the file holds: rules that horolux saved since it was read
    // are kept, and come into the list.
    std::vector<std::string> listed;
    for (const TDSTRule& r : OwnRules)
        listed.push_back(r.DataString());
    const std::string shown = CurrentIndex >= 0 && CurrentIndex < int(OwnRules.size())
                                  ? OwnRules[size_t(CurrentIndex)].Name
                                  : std::string();
    std::string error;
    const TDSTRuleFileWrite written = WriteDSTRuleFile(RuleFilePath(), RuleFile, OwnRules, &error);
    bool same = listed.size() == OwnRules.size();
    for (size_t i = 0; same && i < listed.size(); ++i)
        same = listed[i] == OwnRules[i].DataString();
    if (!same) {
        FillRuleList();
        CurrentIndex = int(OwnRules.size()) - 1;
        for (size_t i = 0; i < OwnRules.size(); ++i)
            if (OwnRules[i].Name == shown) {
                CurrentIndex = int(i);
                break;
            }
        SelectInList(ui->vlvRules, CurrentIndex);
    }
    switch (written) {
    case TDSTRuleFileWrite::CannotCreate:
        THXMessageBoxes::ShowErrorCode(14);
        return false;
    case TDSTRuleFileWrite::WriteFailed:
        THXMessageBoxes::ShowError("Not all DST rules were saved: \n\r" + error);
        return false;
    case TDSTRuleFileWrite::Written:
        break;
    }
    ui->sbSave->setEnabled(false);
    BroadcastHXMessage(HXM_DSTRulesChanged);
    return true;
}

void TFRulewick::SaveAtSessionEnd() {
    if (ui->sbSave->isEnabled()) SaveDSTRules();
}

void TFRulewick::smiSaveClick() {
    SaveDSTRules();
}

// ------------------------------------------------------------ system zones

void TFRulewick::LoadSystemRules() {
    std::vector<TDSTRule> rules;
    // Without the base key the list is empty (never left showing zones that
    // are no longer held).
    ::LoadSystemRules(Registry, rules);
    SystemRules = std::move(rules);
    FillSystemRuleList();
}

bool TFRulewick::WriteSystemRule(bool mayCreate) {
    if (WriteSystemZone(Registry, EditedRule, ui->eStdName->text().toStdString(),
                        ui->eDltName->text().toStdString(), mayCreate))
        return true;
    THXMessageBoxes::ShowError("The zone '" + EditedRule.Name +
                               "' could not be written to the registry");
    return false;
}

bool TFRulewick::DeleteSystemRule() {
    const std::string name = ui->eName->text().toStdString();
    if (!THXMessageBoxes::ConfirmYes("Are you sure you want to delete the rule '" + name +
                                     "' from the registry?\n\rThis will perminantly delete "
                                     "this rule"))
        return false;
    if (!DeleteSystemZone(Registry, name)) return false;
    THXMessageBoxes::ShowInfo("Rule: '" + name + "' deleted");
    return true;
}

// ------------------------------------------------------------------ lists

void TFRulewick::FillRuleList() {
    QSignalBlocker block(ui->vlvRules);
    ui->vlvRules->clear();
    for (const TDSTRule& r : OwnRules)
        ui->vlvRules->addTopLevelItem(new QTreeWidgetItem({QString::fromStdString(r.Name)}));
}

void TFRulewick::FillSystemRuleList() {
    QSignalBlocker block(ui->vlvSystemRules);
    ui->vlvSystemRules->clear();
    for (const TDSTRule& r : SystemRules)
        ui->vlvSystemRules->addTopLevelItem(new QTreeWidgetItem({QString::fromStdString(r.Name)}));
}

void TFRulewick::SelectInList(TFramedListView* list, int index) {
    QSignalBlocker block(list);
    list->clearSelection();
    if (index >= 0 && index < list->topLevelItemCount()) {
        list->setCurrentItem(list->topLevelItem(index));
        list->topLevelItem(index)->setSelected(true);
        list->scrollToItem(list->topLevelItem(index));
    }
}

namespace {
int SelectedIndex(QTreeWidget* list) {
    const auto items = list->selectedItems();
    return items.isEmpty() ? -1 : list->indexOfTopLevelItem(items.first());
}
} // namespace

void TFRulewick::ReloadHighlighted(TFramedListView* list) {
    const int i = SelectedIndex(list);
    // With nothing highlighted the editor keeps what it holds (a rule may be
    // carried over to the other page to be added there), as it does when the
    // user keeps edits not yet applied.
    if (i < 0 || !ConfirmDiscardEdits()) return;
    if (list == ui->vlvRules)
        SelectRule(i);
    else
        SelectSystemRule(i);
}

void TFRulewick::vlvRulesSelectItem() {
    // A deselection leaves the editor as it is.
    const int i = SelectedIndex(ui->vlvRules);
    if (i >= 0) SelectRule(i);
}

void TFRulewick::vlvSystemRulesSelectItem() {
    const int i = SelectedIndex(ui->vlvSystemRules);
    if (i >= 0) SelectSystemRule(i);
}

void TFRulewick::SelectRule(int i) {
    if (i < 0 || i >= int(OwnRules.size())) return;
    CurrentIndex = i;
    EditingSystemZone = false;
    EditedRule.Copy(OwnRules[size_t(i)]);
    ShowRule();
}

void TFRulewick::SelectSystemRule(int i) {
    if (i < 0 || i >= int(SystemRules.size())) return;
    CurrentSystemIndex = i;
    EditingSystemZone = true;
    EditedRule.Copy(SystemRules[size_t(i)]);
    ShowRule();
    ui->eBias->setText(QString::number(-int64_t(EditedRule.Bias)));
    ui->eStdName->setText(QString::fromStdString(EditedRule.StopDate.ZoneName));
    ui->eDltName->setText(QString::fromStdString(EditedRule.StartDate.ZoneName));
    Modified = false;
}

// ----------------------------------------------------------------- editor

void TFRulewick::SetDayItems(TFramedComboBox* box, bool specific) {
    const bool isSpecific = box->count() == 31;
    if (isSpecific == specific) return;
    const bool was = Modified;
    box->SetItems(specific ? DayNumbers() : WeekdayNames());
    box->setCurrentIndex(0);
    Modified = was;
}

void TFRulewick::ShowRule() {
    Showing = true;
    ui->eName->setText(QString::fromStdString(EditedRule.Name));
    ui->mNotes->setPlainText(QString::fromStdString(EditedRule.Notes));
    struct Side {
        const TDSTEvent& Ev;
        QLineEdit* Bias;
        TFramedComboBox *Month, *Type, *Day;
        TTimeField* Time;
    } sides[2] = {
        {EditedRule.StartDate, ui->eStartBias, ui->vcbStartMonth, ui->vcbStartType,
         ui->vcbStartDay, ui->dtpStartTime},
        {EditedRule.StopDate, ui->eEndBias, ui->vcbEndMonth, ui->vcbEndType, ui->vcbEndDay,
         ui->dtpEndTime},
    };
    for (const Side& s : sides) {
        s.Bias->setText(QString::number(s.Ev.Bias));
        SelectText(s.Month, MonthName(s.Ev.Month));
        s.Time->setTime(TimeOfDay(s.Ev.Time));
        s.Type->setCurrentIndex(s.Ev.Kind <= 6 ? s.Ev.Kind : 0);
        SetDayItems(s.Day, s.Ev.Kind == 6);
        SelectText(s.Day, s.Ev.Kind == 6 ? std::to_string(s.Ev.Day) : DayName(s.Ev.Day));
    }
    Showing = false;
    vcbTypeChange();
    Modified = false;
}

void TFRulewick::vcbTypeChange() {
    Modified = true;
    const bool start = Text(ui->vcbStartType) != "None";
    const bool end = Text(ui->vcbEndType) != "None";
    for (QWidget* w : TransitionDetails(true)) w->setVisible(start);
    for (QWidget* w : TransitionDetails(false)) w->setVisible(end);
    if (!Showing) {
        SetDayItems(ui->vcbStartDay, Text(ui->vcbStartType) == "Specific");
        SetDayItems(ui->vcbEndDay, Text(ui->vcbEndType) == "Specific");
    }
}

QList<QWidget*> TFRulewick::TransitionDetails(bool start) const {
    if (start)
        return {ui->vcbStartDay, ui->vcbStartMonth, ui->dtpStartTime, ui->eStartBias,
                ui->lStartDay,   ui->lStartMonth,   ui->lStartTime,   ui->lStartBias};
    return {ui->vcbEndDay, ui->vcbEndMonth, ui->dtpEndTime, ui->eEndBias,
            ui->lEndDay,   ui->lEndMonth,   ui->lEndTime,   ui->lEndBias};
}

void TFRulewick::AnyPropertyChanged() {
    Modified = true;
}

void TFRulewick::ReadRuleFields() {
    // Everything is read before anything is stored, so a bad number changes nothing.
    TDSTRule r;
    r.Copy(EditedRule);
    r.Name = ui->eName->text().toStdString();
    // Taken as typed: a line break is refused by the record check, never
    // flattened without a word.
    r.Notes = ui->mNotes->toPlainText().toStdString();
    struct Side {
        TDSTEvent& Ev;
        QLineEdit* Bias;
        TFramedComboBox *Month, *Type, *Day;
        TTimeField* Time;
    } sides[2] = {
        {r.StartDate, ui->eStartBias, ui->vcbStartMonth, ui->vcbStartType, ui->vcbStartDay,
         ui->dtpStartTime},
        {r.StopDate, ui->eEndBias, ui->vcbEndMonth, ui->vcbEndType, ui->vcbEndDay,
         ui->dtpEndTime},
    };
    for (Side& s : sides) {
        const int kind = IndexOf(TypeNames, Text(s.Type));
        s.Ev.Kind = uint8_t(kind < 0 ? 0 : kind);
        s.Ev.Bias = StrToInt(s.Bias->text().toStdString());
        s.Ev.Day = s.Ev.Kind == 6 ? StrToIntDef(Text(s.Day), 0) : DayOfWeekFromName(Text(s.Day));
        s.Ev.Month = IndexOf(MonthNames(), Text(s.Month)) + 1;
        // A side of no kind hides its time, which is then kept as it was.
        if (s.Time->time().isValid()) s.Ev.Time = FromTime(s.Time->time());
    }
    EditedRule.Copy(r);
}

void TFRulewick::ReadSystemBias() {
    EditedRule.Bias = int(-int64_t(StrToInt(ui->eBias->text().toStdString())));
}

void TFRulewick::ClearRuleFields() {
    Showing = true;
    ui->eName->clear();
    ui->mNotes->clear();
    ui->eStartBias->setText("60");
    ui->eEndBias->setText("0");
    SelectText(ui->vcbStartMonth, "January");
    SelectText(ui->vcbEndMonth, "January");
    ui->dtpStartTime->setTime(QTime(2, 0, 0));
    ui->dtpEndTime->setTime(QTime(2, 0, 0));
    SelectText(ui->vcbStartType, "None");
    SelectText(ui->vcbEndType, "None");
    SetDayItems(ui->vcbStartDay, false);
    SetDayItems(ui->vcbEndDay, false);
    SelectText(ui->vcbStartDay, "Sunday");
    SelectText(ui->vcbEndDay, "Sunday");
    ui->eBias->clear();
    ui->eStdName->clear();
    ui->eDltName->clear();
    Showing = false;
    vcbTypeChange();
    Modified = false;
}

bool TFRulewick::ConfirmDiscardEdits() {
    if (!Modified) return true;
    return THXMessageBoxes::ConfirmYes(
        "Changes to the current rule have not been applied.\n\rDo you wish to continue?");
}

// An own rule must be one the rule file holds as it is; the store's keys
// are named with "\" between their parts.
bool TFRulewick::CheckRuleText(bool system) {
    const std::string name = ui->eName->text().toStdString();
    if (system) {
        if (!ValidZoneKeyName(name)) {
            THXMessageBoxes::ShowError("A system zone needs a name without \"\\\"");
            return false;
        }
        return true;
    }
    TDSTRule probe;
    probe.Copy(EditedRule);
    probe.Name = name;
    probe.Notes = ui->mNotes->toPlainText().toStdString();
    if (const TRecordFault fault = CheckRuleRecord(probe)) {
        THXMessageBoxes::ShowError(RecordFaultText(fault));
        return false;
    }
    return true;
}

// Each side that takes place at a time must be given one.
bool TFRulewick::CheckRuleTimes() {
    for (auto [type, box, label, time] :
         {std::tuple{ui->vcbStartType, ui->gbStart, ui->lStartTime, ui->dtpStartTime},
          std::tuple{ui->vcbEndType, ui->gbEnd, ui->lEndTime, ui->dtpEndTime}}) {
        if (Text(type) == "None" || time->time().isValid()) continue;
        ReportBadTime(time, box->title().toStdString() + " " +
                                label->text().remove(':').trimmed().toStdString());
        return false;
    }
    return true;
}

void TFRulewick::sbAddClick() {
    const bool system = OnSystemPage();
    if (!CheckRuleText(system) || !CheckRuleTimes()) return;
    try {
        ReadRuleFields();
        if (system) ReadSystemBias();
    } catch (const Exception& e) {
        THXMessageBoxes::ShowError(e.Message);
        return;
    }
    if (!system) {
        Modified = false;
        ui->sbSave->setEnabled(true);
        OwnRules.push_back(EditedRule);
        EditingSystemZone = false;
        FillRuleList();
        CurrentIndex = int(OwnRules.size()) - 1;
        SelectInList(ui->vlvRules, CurrentIndex);
        return;
    }
    bool mayCreate = true;
    if (SystemZoneExists(Registry, EditedRule.Name)) {
        if (!THXMessageBoxes::ConfirmYes("Are you sure you want to update the rule '" +
                                         EditedRule.Name + "' in your system registry?\n\r"
                                         "This will perminantly change this rule")) {
            THXMessageBoxes::ShowInfo("Update canceled");
            return;
        }
        mayCreate = false;
    }
    Modified = false;
    WriteSystemRule(mayCreate);
    LoadSystemRules();
    SelectInList(ui->vlvSystemRules, IndexOf([&] {
                     std::vector<std::string> n;
                     for (const TDSTRule& r : SystemRules) n.push_back(r.Name);
                     return n;
                 }(), EditedRule.Name));
}

void TFRulewick::sbUpdateClick() {
    if (!OnSystemPage()) {
        // A zone carried over from the system page may be added here, but
        // never written over the own rule that happens to be highlighted.
        const int i = SelectedIndex(ui->vlvRules);
        if (i < 0 || i >= int(OwnRules.size())) return;
        if (EditingSystemZone) {
            THXMessageBoxes::ShowInfo("The editor holds the system zone '" + EditedRule.Name +
                                      "': select a rule of this list to update it, or Add the "
                                      "zone to the list");
            return;
        }
        if (!CheckRuleText(false) || !CheckRuleTimes()) return;
        try {
            ReadRuleFields();
        } catch (const Exception& e) {
            THXMessageBoxes::ShowError(e.Message);
            return;
        }
        Modified = false;
        ui->sbSave->setEnabled(true);
        CurrentIndex = i;
        OwnRules[size_t(i)].Copy(EditedRule);
        FillRuleList();
        SelectInList(ui->vlvRules, i);
        return;
    }
    if (!CheckRuleText(true) || !CheckRuleTimes()) return;
    const std::string name = ui->eName->text().toStdString();
    if (!SystemZoneExists(Registry, name)) {
        THXMessageBoxes::ShowError("The zone '" + name + "' is not in the registry");
        return;
    }
    if (!THXMessageBoxes::ConfirmYes("Are you sure you want to update the rule '" + name +
                                     "' in your system registry?\n\rThis will perminantly "
                                     "change this rule")) {
        THXMessageBoxes::ShowInfo("Update canceled");
        return;
    }
    try {
        ReadRuleFields();
        ReadSystemBias();
    } catch (const Exception& e) {
        THXMessageBoxes::ShowError(e.Message);
        return;
    }
    Modified = false;
    WriteSystemRule(false);
    const int keep = SelectedIndex(ui->vlvSystemRules);
    LoadSystemRules();
    SelectInList(ui->vlvSystemRules, keep);
}

void TFRulewick::sbDeleteClick() {
    if (!OnSystemPage()) {
        const int i = SelectedIndex(ui->vlvRules);
        if (i < 0 || i >= int(OwnRules.size())) return;
        if (!THXMessageBoxes::ConfirmYes("Are you sure you want to delete the rule '" +
                                         OwnRules[size_t(i)].Name + "' from this list?"))
            return;
        Modified = false;
        ui->sbSave->setEnabled(true);
        OwnRules.erase(OwnRules.begin() + i);
        CurrentIndex = int(OwnRules.size()) - 1;
        FillRuleList();
        ShowHighlighted(ui->vlvRules, CurrentIndex);
        return;
    }
    if (!CheckRuleText(true)) return;
    const int row = SelectedIndex(ui->vlvSystemRules);
    const std::string highlighted = row >= 0 ? SystemRules[size_t(row)].Name : std::string();
    const bool deleted = DeleteSystemRule();
    LoadSystemRules();
    int now = -1;
    for (size_t i = 0; i < SystemRules.size() && !highlighted.empty(); ++i)
        if (SystemRules[i].Name == highlighted) now = int(i);
    if (!deleted) {
        SelectInList(ui->vlvSystemRules, now); // the editor keeps what it holds
        return;
    }
    // The deleted zone's place goes to the zone after it.
    if (now < 0 && row >= 0) now = std::min(row, int(SystemRules.size()) - 1);
    ShowHighlighted(ui->vlvSystemRules, now);
}

void TFRulewick::ShowHighlighted(TFramedListView* list, int index) {
    // The editor must hold the rule the list highlights, or Update would
    // write the rule it still shows over the highlighted one.
    SelectInList(list, index);
    const bool own = list == ui->vlvRules;
    const int count = int(own ? OwnRules.size() : SystemRules.size());
    if (index >= 0 && index < count) {
        if (own)
            SelectRule(index);
        else
            SelectSystemRule(index);
        return;
    }
    EditedRule = TDSTRule();
    ClearRuleFields();
}

void TFRulewick::sbClearClick() {
    if (!ConfirmDiscardEdits()) return;
    Modified = false;
    ClearRuleFields();
}

// ------------------------------------------------------------ menu, close

void TFRulewick::smiExitClick() {
    close();
}

void TFRulewick::smiAboutClick() {
    TVersionInfo v;
    v.ReadVersionInfo();
    THXMessageBoxes::ShowInfo(v.FileDescription + "   Version " + v.FileVersion +
                              "\n\rCopyright: " + v.LegalCopyright);
}

bool TFRulewick::FormClose() {
    if (!ConfirmDiscardEdits()) return false;
    if (!ui->sbSave->isEnabled()) return true;
    switch (THXMessageBoxes::AskYesNoCancel(
        "Changes to the current rules have not been saved.\n\rdo you want to save the changes "
        "before closing?")) {
    case mrYes:
        return SaveDSTRules(); // a failed save keeps the window and the rules
    case mrNo:
        return true;
    default:
        return false;
    }
}

void TFRulewick::closeEvent(QCloseEvent* e) {
    if (FormClose())
        e->accept();
    else
        e->ignore();
}
