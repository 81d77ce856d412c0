#include "rulewick/FRulewick.h"

#include "RulewickTestSupport.h"
#include "platform/qt/TimeField.h"
#include "platform/qt/controls/FramedCmboBx.h"
#include "rulewick/FramedListVw.h"
#include "rulewick/SystemZones.h"
#include "timemodel/DSTRuleFile.h"
#include "timemodel/HX_messages.h"

#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <deque>

namespace {

// Answers the dialogs in order and records what they said.
class TScriptedPresenter : public IMessagePresenter {
public:
    TModalResult Present(const std::string& text, TMsgDlgType, TMsgDlgButtons buttons,
                         int) override {
        Texts.push_back(text);
        if (Answers.empty()) return EscapeResult(buttons);
        const TModalResult r = Answers.front();
        Answers.pop_front();
        return r;
    }
    std::vector<std::string> Texts;
    std::deque<TModalResult> Answers;
};

class TRecordingTransport : public IHXMessageTransport {
public:
    bool SendHXMessage(const std::string& name) override {
        Sent.push_back(name);
        return true;
    }
    bool SendTimeChange() override { return true; }
    std::vector<std::string> Sent;
};

const std::string RuleFile = "# comment\r\nVERSION:\t2026.1\r\n"
                             "None/N.1.1.0.02:00:00/N.1.1.0.02:00:00/No DST applies\r\n"
                             "Europe/L.1.3.60.02:00:00/L.1.10.0.02:00:00/EU\r\n"
                             "Odd/1.1.4.30.01:30:00/L.7.10.0.03:00:00/first Sunday, last Saturday\r\n";

const std::string Sure = "Are you sure you want to update the rule '";

} // namespace

class RulewickForm : public RulewickTempTest {
protected:
    void SetUp() override {
        RulewickTempTest::SetUp();
        RegisterHXMessages();
        SetMessagePresenter(&Boxes);
        SetHXMessageTransport(&Bus);
    }
    void TearDown() override {
        Form.reset();
        SetHXMessageTransport(nullptr);
        SetMessagePresenter(nullptr);
        RulewickTempTest::TearDown();
    }
    TFRulewick& Open(const std::string* text = &RuleFile) {
        if (text) Put(DataDir + "hxdst.hxd", *text);
        Form = std::make_unique<TFRulewick>(DataDir);
        Form->FormCreate();
        Form->show();
        return *Form;
    }
    template <class T> T* W(const char* name) {
        T* w = Form->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void Click(const char* button) { QTest::mouseClick(W<QToolButton>(button), Qt::LeftButton); }
    void Page(const char* page) {
        auto* tabs = W<QTabWidget>("pcRuleList");
        tabs->setCurrentWidget(W<QWidget>(page));
    }
    void Pick(const char* list, int row) {
        auto* l = W<TFramedListView>(list);
        l->clearSelection();
        l->topLevelItem(row)->setSelected(true);
    }
    int Row(const char* list, const std::string& caption) {
        auto* l = W<TFramedListView>(list);
        for (int i = 0; i < l->topLevelItemCount(); ++i)
            if (l->topLevelItem(i)->text(0).toStdString() == caption) return i;
        return -1;
    }
    std::vector<std::string> Captions(const char* list) {
        std::vector<std::string> out;
        auto* l = W<TFramedListView>(list);
        for (int i = 0; i < l->topLevelItemCount(); ++i)
            out.push_back(l->topLevelItem(i)->text(0).toStdString());
        return out;
    }
    std::string Text(const char* edit) { return W<QLineEdit>(edit)->text().toStdString(); }
    std::string Combo(const char* box) {
        return W<TFramedComboBox>(box)->currentText().toStdString();
    }
    void SetCombo(const char* box, const char* text) {
        auto* b = W<TFramedComboBox>(box);
        b->setCurrentIndex(b->findText(text));
    }
    void Type(const char* edit, const char* text) {
        auto* e = W<QLineEdit>(edit);
        e->selectAll();
        QTest::keyClicks(e, text);
    }

    TScriptedPresenter Boxes;
    TRecordingTransport Bus;
    std::unique_ptr<TFRulewick> Form;
};

TEST_F(RulewickForm, StartShowsBothListsAndSelectionFillsTheEditor) {
    Open();
    EXPECT_EQ(Form->windowTitle(), "Daylight Saving Time Manager");
    EXPECT_EQ(W<QTabWidget>("pcRuleList")->currentWidget(), W<QWidget>("tsSystemRuleList"));
    EXPECT_EQ(W<QTabWidget>("pcRuleList")->tabText(1), "Horolux Rules");
    EXPECT_EQ(Captions("vlvRules"), (std::vector<std::string>{"None", "Europe", "Odd"}));
    EXPECT_GT(W<TFramedListView>("vlvSystemRules")->topLevelItemCount(), 250);
    EXPECT_FALSE(W<QToolButton>("sbSave")->isEnabled());
    EXPECT_TRUE(Boxes.Texts.empty());

    Page("tsHoroluxRules");
    Pick("vlvRules", 2);
    EXPECT_EQ(Text("eName"), "Odd");
    EXPECT_EQ(W<QPlainTextEdit>("mNotes")->toPlainText(), "first Sunday, last Saturday");
    EXPECT_EQ(Combo("vcbStartType"), "First");
    EXPECT_EQ(Combo("vcbStartDay"), "Sunday");
    EXPECT_EQ(Combo("vcbStartMonth"), "April");
    EXPECT_EQ(Text("eStartBias"), "30");
    EXPECT_EQ(W<TTimeField>("dtpStartTime")->time(), QTime(1, 30));
    EXPECT_EQ(Combo("vcbEndType"), "Last");
    EXPECT_EQ(Combo("vcbEndDay"), "Saturday");
    EXPECT_EQ(Combo("vcbEndMonth"), "October");
    EXPECT_EQ(W<TTimeField>("dtpEndTime")->time(), QTime(3, 0));
    EXPECT_FALSE(Form->Modified);

    // "None" hides its side.
    Pick("vlvRules", 0);
    EXPECT_TRUE(W<QWidget>("vcbStartDay")->isHidden());
    EXPECT_TRUE(W<QWidget>("eEndBias")->isHidden());
    SetCombo("vcbStartType", "Last");
    EXPECT_FALSE(W<QWidget>("vcbStartDay")->isHidden());
    EXPECT_TRUE(W<QWidget>("eEndBias")->isHidden());

    // The system page shows the zone's own fields.
    Page("tsSystemRuleList");
    Pick("vlvSystemRules", Row("vlvSystemRules", "Europe - Berlin"));
    EXPECT_EQ(Text("eName"), "Europe - Berlin");
    EXPECT_EQ(Text("eBias"), "60");
    EXPECT_EQ(Text("eStdName"), "Central European Standard Time");
    EXPECT_EQ(Text("eDltName"), "Central European Summer Time");
    EXPECT_EQ(W<QPlainTextEdit>("mNotes")->toPlainText(), "(UTC+01:00) Europe - Berlin");
    EXPECT_EQ(Combo("vcbEndType"), "Last");
    EXPECT_EQ(Combo("vcbEndMonth"), "October");
}

TEST_F(RulewickForm, OwnPageAddUpdateDeleteSave) {
    Open();
    Page("tsHoroluxRules");
    Pick("vlvRules", 1);
    Type("eName", "Copy");
    // A line break in the notes is refused, never flattened without a word.
    W<QPlainTextEdit>("mNotes")->setPlainText("two\nlines");
    Click("sbAdd");
    EXPECT_EQ(Captions("vlvRules"), (std::vector<std::string>{"None", "Europe", "Odd"}));
    W<QPlainTextEdit>("mNotes")->setPlainText("two lines");
    Click("sbAdd");
    EXPECT_EQ(Captions("vlvRules"), (std::vector<std::string>{"None", "Europe", "Odd", "Copy"}));
    EXPECT_TRUE(W<QToolButton>("sbSave")->isEnabled());

    // Update acts on this page's selection, whatever the other page selected.
    Page("tsSystemRuleList");
    Pick("vlvSystemRules", 0);
    Page("tsHoroluxRules");
    Pick("vlvRules", 2);
    Type("eStartBias", "45");
    SetCombo("vcbStartType", "Specific");
    SetCombo("vcbStartDay", "15");
    Click("sbUpdate");
    EXPECT_EQ(Form->OwnRules[2].StartDate.DataString(), "S.15.4.45.01:30:00");
    EXPECT_EQ(Form->OwnRules[0].Name, "None");
    Pick("vlvRules", 0);
    Pick("vlvRules", 2);
    EXPECT_EQ(Combo("vcbStartType"), "Specific");
    EXPECT_EQ(Combo("vcbStartDay"), "15");

    // A bad number or name stops the operation before anything is stored.
    Type("eEndBias", "abc");
    Click("sbAdd");
    EXPECT_EQ(Boxes.Texts.back(), "'abc' is not a valid integer value");
    Type("eEndBias", "0");
    Type("eName", "a/b");
    Click("sbAdd");
    EXPECT_EQ(Boxes.Texts.back(),
              "\"Name\" cannot be stored: it holds \"/\", which separates the parts of a "
              "daylight-saving rule.\n\rNothing was stored.");
    EXPECT_EQ(Form->OwnRules.size(), 4u);

    Pick("vlvRules", 0);
    Boxes.Answers = {mrYes};
    Click("sbDelete");
    EXPECT_EQ(Captions("vlvRules"), (std::vector<std::string>{"Europe", "Odd", "Copy"}));

    W<QAction>("smiSave")->trigger();
    EXPECT_FALSE(W<QToolButton>("sbSave")->isEnabled());
    EXPECT_EQ(Get(DataDir + "hxdst.hxd"),
              "Europe/L.1.3.60.02:00:00/L.1.10.0.02:00:00/EU\r\n"
              "Odd/S.15.4.45.01:30:00/L.7.10.0.03:00:00/first Sunday, last Saturday\r\n"
              "Copy/L.1.3.60.02:00:00/L.1.10.0.02:00:00/two lines\r\n");
    EXPECT_EQ(Bus.Sent, (std::vector<std::string>{"HXM_DSTRulesChanged"}));
}

// A rule the rule file would not give back as it was (a "/" in its notes, a
// name the reader skips) is refused by Add and Update, naming the field and
// the reason; the list and the file stay as they were.
TEST_F(RulewickForm, RecordARuleThatWouldNotReadBackIsRefused) {
    Open();
    Page("tsHoroluxRules");
    const struct {
        const char* Name;
        const char* Notes;
        const char* Button;
        const char* Told;
    } rows[] = {
        {"Copy", "EU/EEA", "sbAdd", "\"Notes\" cannot be stored: it holds \"/\""},
        {"Copy", "EU/EEA", "sbUpdate", "\"Notes\" cannot be stored: it holds \"/\""},
        {"  #Copy", "", "sbAdd", "\"Name\" cannot be stored: it begins with a blank"},
        {"#Copy", "", "sbUpdate", "\"Name\" cannot be stored: it begins with \"#\""},
        {"Copy", "see VERSION: 2", "sbAdd", "\"Notes\" cannot be stored: it holds \"VERSION:\""},
        {"Copy!", "", "sbAdd", "\"Name\" cannot be stored: it holds \"!\""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.Told);
        Pick("vlvRules", 1);
        Type("eName", r.Name);
        W<QPlainTextEdit>("mNotes")->setPlainText(r.Notes);
        Boxes.Texts.clear();
        Click(r.Button);
        ASSERT_EQ(Boxes.Texts.size(), 1u);
        EXPECT_EQ(Boxes.Texts[0].rfind(r.Told, 0), 0u) << Boxes.Texts[0];
        EXPECT_EQ(Captions("vlvRules"), (std::vector<std::string>{"None", "Europe", "Odd"}));
        EXPECT_EQ(Form->OwnRules[1].Notes, "EU");
        EXPECT_FALSE(W<QToolButton>("sbSave")->isEnabled());
    }
    EXPECT_EQ(Get(DataDir + "hxdst.hxd"), RuleFile);
}

// A time typed whole over the one shown is what Add and Update take, what
// Save writes and what the system zone holds; one that is no time is refused
// by the field's name before any question, and nothing changes.
TEST_F(RulewickForm, RuleTimesTakeATypedTimeAndRefuseANonTime) {
    Open();
    const struct {
        const char *Page, *List, *Row, *Name, *Field, *Caption, *Bad, *Typed, *Button;
    } rows[] = {
        {"tsHoroluxRules", "vlvRules", "Europe", nullptr, "dtpStartTime", "Start Time", "3h15",
         "3:15", "sbUpdate"},
        {"tsHoroluxRules", "vlvRules", "Odd", "Late", "dtpEndTime", "End Time", "23:59:60",
         "23:59:59", "sbAdd"},
        {"tsSystemRuleList", "vlvSystemRules", "Europe - Berlin", nullptr, "dtpEndTime",
         "End Time", "noon", "12:14:48", "sbUpdate"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.Row);
        Page(r.Page);
        Pick(r.List, Row(r.List, r.Row));
        auto* field = W<QWidget>(r.Field);
        const auto own = Captions("vlvRules");
        const bool unsaved = W<QToolButton>("sbSave")->isEnabled();
        auto berlin = [&] {
            return Form->SystemRules[size_t(Row("vlvSystemRules", "Europe - Berlin"))].RuleString();
        };
        const std::string system = berlin();
        auto type = [&](const char* text) {
            QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(field, text);
        };
        EXPECT_FALSE(Form->Modified);
        type(r.Bad);
        EXPECT_TRUE(Form->Modified) << "an edit not yet applied";
        if (r.Name) Type("eName", r.Name);
        Boxes.Texts.clear();
        Boxes.Answers = {mrYes};
        Click(r.Button);
        EXPECT_EQ(Boxes.Texts, (std::vector<std::string>{
                                   std::string("\"") + r.Caption +
                                   "\" must be a time of day written as HH:MM:SS: '" + r.Bad +
                                   "' is not one."}));
        EXPECT_EQ(Captions("vlvRules"), own);
        EXPECT_EQ(W<QToolButton>("sbSave")->isEnabled(), unsaved);
        EXPECT_EQ(berlin(), system);
        type(r.Typed);
        Boxes.Answers = {mrYes};
        Click(r.Button);
        EXPECT_FALSE(Form->Modified);
    }
    EXPECT_EQ(Form->SystemRules[size_t(Row("vlvSystemRules", "Europe - Berlin"))].RuleString(),
              "L.1.3.60.02:00:00-L.1.10.0.12:14:48");
    W<QAction>("smiSave")->trigger();
    EXPECT_EQ(Get(DataDir + "hxdst.hxd"),
              "None/N.1.1.0.02:00:00/N.1.1.0.02:00:00/No DST applies\r\n"
              "Europe/L.1.3.60.03:15:00/L.1.10.0.02:00:00/EU\r\n"
              "Odd/1.1.4.30.01:30:00/L.7.10.0.03:00:00/first Sunday, last Saturday\r\n"
              "Late/1.1.4.30.01:30:00/L.7.10.0.23:59:59/first Sunday, last Saturday\r\n");
}

TEST_F(RulewickForm, MissingBadAndChangedFiles) {
    Open(nullptr);
    EXPECT_EQ(Boxes.Texts, (std::vector<std::string>{
                               "Error(13) Unable to Locate File hxdst.hxd - No DST Rules Loaded"}));
    EXPECT_TRUE(Captions("vlvRules").empty());

    Boxes.Texts.clear();
    const std::string rest = "Bad/L.x.3.60.02:00:00/N.1.1.0.0:0:0/n\r\n3\r\n";
    const std::string bad = "2\r\n" + rest;
    Open(&bad);
    ASSERT_EQ(Boxes.Texts.size(), 1u);
    EXPECT_NE(Boxes.Texts[0].find(" -- DST Rules loaded: 2"), std::string::npos) << Boxes.Texts[0];
    EXPECT_EQ(Captions("vlvRules"), (std::vector<std::string>{"North America"}));
    Page("tsHoroluxRules");
    Pick("vlvRules", 0);
    Boxes.Answers = {mrYes};
    Click("sbDelete");
    // Another program saved the file meanwhile (its own rules, without the
    // bad line): the deletion is applied to what it holds, with no question.
    Put(DataDir + "hxdst.hxd", "2\r\n3\r\n");
    Boxes.Answers.clear();
    Boxes.Texts.clear();
    Click("sbSave");
    const std::string merged = "Europe/L.1.3.60.02:00:00/L.1.10.0.02:00:00/\r\n";
    EXPECT_EQ(Get(DataDir + "hxdst.hxd"), merged);
    EXPECT_EQ(Captions("vlvRules"), (std::vector<std::string>{"Europe"}));
    EXPECT_TRUE(Boxes.Texts.empty());
    EXPECT_EQ(Bus.Sent.size(), 1u);

    // The file cannot be made: message 14, the old file stays.
    std::filesystem::create_directory(DataDir + "hxdst.hx_");
    Click("sbAdd");
    Click("sbSave");
    EXPECT_EQ(Boxes.Texts.back(),
              "Error(14) Unable to create output file: hxdst.hxd - No DST Rules Saved");
    EXPECT_EQ(Get(DataDir + "hxdst.hxd"), merged);
    EXPECT_TRUE(W<QToolButton>("sbSave")->isEnabled());
}

TEST_F(RulewickForm, SystemPageAddUpdateDelete) {
    Open();
    const std::string update = Sure + "Test Zone' in your system registry?\n\rThis will "
                                      "perminantly change this rule";
    Type("eName", "Test Zone");
    SetCombo("vcbStartType", "Last");
    SetCombo("vcbStartMonth", "March");
    SetCombo("vcbEndType", "Last");
    SetCombo("vcbEndMonth", "October");
    Type("eBias", "90");
    Type("eStdName", "Test Standard");
    Type("eDltName", "Test Summer");
    Click("sbAdd");
    EXPECT_TRUE(Boxes.Texts.empty());
    int row = Row("vlvSystemRules", "Test Zone");
    ASSERT_GE(row, 0);
    const TDSTRule& added = Form->SystemRules[size_t(row)];
    EXPECT_EQ(added.Bias, -90);
    EXPECT_EQ(added.RuleString(), "L.1.3.60.02:00:00-L.1.10.0.02:00:00");
    EXPECT_EQ(added.StopDate.ZoneName, "Test Standard");

    // Add over an existing zone asks the update question; No changes nothing.
    Type("eBias", "120");
    Boxes.Answers = {mrNo};
    Click("sbAdd");
    EXPECT_EQ(Boxes.Texts, (std::vector<std::string>{update, "Update canceled"}));
    EXPECT_EQ(Form->SystemRules[size_t(Row("vlvSystemRules", "Test Zone"))].Bias, -90);
    Boxes.Texts.clear();
    Boxes.Answers = {mrYes};
    Click("sbUpdate");
    EXPECT_EQ(Boxes.Texts, (std::vector<std::string>{update}));
    EXPECT_EQ(Form->SystemRules[size_t(Row("vlvSystemRules", "Test Zone"))].Bias, -120);

    Boxes.Texts.clear();
    Type("eBias", "x");
    Boxes.Answers = {mrYes};
    Click("sbUpdate");
    EXPECT_EQ(Boxes.Texts.back(), "'x' is not a valid integer value");

    Boxes.Texts.clear();
    Boxes.Answers = {mrYes};
    Click("sbDelete");
    EXPECT_EQ(Boxes.Texts,
              (std::vector<std::string>{"Are you sure you want to delete the rule 'Test Zone' from "
                                        "the registry?\n\rThis will perminantly delete this rule",
                                        "Rule: 'Test Zone' deleted"}));
    EXPECT_EQ(Row("vlvSystemRules", "Test Zone"), -1);

    // Gone, empty or reaching outside its place: refused with a clear word.
    Boxes.Texts.clear();
    Type("eName", "Test Zone");
    Click("sbUpdate");
    EXPECT_EQ(Boxes.Texts, (std::vector<std::string>{"The zone 'Test Zone' is not in the registry"}));
    for (const char* bad : {"", "..\\x"}) {
        Boxes.Texts.clear();
        W<QLineEdit>("eName")->setText(bad);
        Click("sbDelete");
        Click("sbUpdate");
        Click("sbAdd");
        EXPECT_EQ(Boxes.Texts, std::vector<std::string>(3, "A system zone needs a name without \"\\\""));
    }
    EXPECT_GT(W<TFramedListView>("vlvSystemRules")->topLevelItemCount(), 250);
}

TEST_F(RulewickForm, ClearCloseAndAbout) {
    Open();
    const std::string discard =
        "Changes to the current rule have not been applied.\n\rDo you wish to continue?";
    const std::string unsaved = "Changes to the current rules have not been saved.\n\rdo you "
                                "want to save the changes before closing?";
    Pick("vlvSystemRules", 0);
    Type("eName", "edited");
    Boxes.Answers = {mrNo};
    Click("sbClear");
    EXPECT_EQ(Text("eName"), "edited");
    Boxes.Answers = {mrYes};
    Click("sbClear");
    EXPECT_EQ(Boxes.Texts, std::vector<std::string>(2, discard));
    for (const char* e : {"eName", "eBias", "eStdName", "eDltName"}) EXPECT_EQ(Text(e), "") << e;
    EXPECT_EQ(Text("eStartBias"), "60");
    EXPECT_EQ(Text("eEndBias"), "0");
    EXPECT_EQ(Combo("vcbStartType"), "None");
    EXPECT_EQ(Combo("vcbEndMonth"), "January");
    EXPECT_EQ(W<TTimeField>("dtpStartTime")->time(), QTime(2, 0));

    // Closing stops at the first refusal.
    Boxes.Texts.clear();
    Page("tsHoroluxRules");
    Click("sbAdd");
    Type("eName", "again");
    Boxes.Answers = {mrNo};
    EXPECT_FALSE(Form->close());
    EXPECT_EQ(Boxes.Texts, (std::vector<std::string>{discard}));
    Boxes.Texts.clear();
    Boxes.Answers = {mrYes, mrCancel};
    EXPECT_FALSE(Form->close());
    EXPECT_EQ(Boxes.Texts, (std::vector<std::string>{discard, unsaved}));
    Boxes.Texts.clear();
    Boxes.Answers = {mrYes, mrYes};
    EXPECT_TRUE(Form->close());
    EXPECT_EQ(Boxes.Texts, (std::vector<std::string>{discard, unsaved}));
    EXPECT_EQ(ReadDSTRuleFile(DataDir + "hxdst.hxd").Rules.size(), 4u);

    Boxes.Texts.clear();
    W<QAction>("smiAbout")->trigger();
    EXPECT_EQ(Boxes.Texts, (std::vector<std::string>{
                               "Rulewick   Version 1.0.0.32\n\rCopyright: Copyright the Horolux authors"}));
}

TEST_F(RulewickForm, AfterADeleteTheEditorHoldsTheHighlightedRule) {
    // Own page: the deleted rule's fields never land on the rule now highlighted.
    Open();
    Page("tsHoroluxRules");
    Pick("vlvRules", 1);
    Boxes.Answers = {mrYes};
    Click("sbDelete");
    ASSERT_EQ(Captions("vlvRules"), (std::vector<std::string>{"None", "Odd"}));
    EXPECT_TRUE(W<TFramedListView>("vlvRules")->topLevelItem(1)->isSelected());
    EXPECT_EQ(Text("eName"), "Odd");
    EXPECT_EQ(Combo("vcbEndDay"), "Saturday");
    Click("sbUpdate");
    W<QAction>("smiSave")->trigger();
    EXPECT_EQ(Get(DataDir + "hxdst.hxd"),
              "None/N.1.1.0.02:00:00/N.1.1.0.02:00:00/No DST applies\r\n"
              "Odd/1.1.4.30.01:30:00/L.7.10.0.03:00:00/first Sunday, last Saturday\r\n");
    // The last one gone: nothing is highlighted, the editor is clear, Update does nothing.
    Pick("vlvRules", 0);
    Boxes.Answers = {mrYes, mrYes};
    Click("sbDelete");
    Click("sbDelete");
    EXPECT_TRUE(Captions("vlvRules").empty());
    EXPECT_EQ(Text("eName"), "");
    Click("sbUpdate");
    EXPECT_TRUE(Form->OwnRules.empty());

    // System page: the zone after the deleted one is highlighted and shown.
    Page("tsSystemRuleList");
    const int row = 3;
    const std::string next = Captions("vlvSystemRules")[row + 1];
    Pick("vlvSystemRules", row);
    Boxes.Answers = {mrYes};
    Click("sbDelete");
    EXPECT_EQ(Captions("vlvSystemRules")[row], next);
    EXPECT_TRUE(W<TFramedListView>("vlvSystemRules")->topLevelItem(row)->isSelected());
    EXPECT_EQ(Text("eName"), next);
    EXPECT_EQ(Text("eBias"), QString::number(-int64_t(Form->SystemRules[row].Bias)).toStdString());
    // Refused: the highlighted zone and what the editor holds stay.
    Type("eStdName", "edited");
    Boxes.Answers = {mrNo};
    Click("sbDelete");
    EXPECT_TRUE(W<TFramedListView>("vlvSystemRules")->topLevelItem(row)->isSelected());
    EXPECT_EQ(Text("eStdName"), "edited");
}

TEST_F(RulewickForm, EditorControlsStayPutAndShowWholeNames) {
    Open();
    Form->resize(760, 520);
    QApplication::processEvents();
    const QRect before = W<QToolButton>("sbUpdate")->geometry();
    const QRect end = W<QWidget>("gbEnd")->geometry();
    SetCombo("vcbStartType", "Last");
    SetCombo("vcbEndType", "Specific");
    QApplication::processEvents();
    EXPECT_EQ(W<QToolButton>("sbUpdate")->geometry(), before);
    EXPECT_EQ(W<QWidget>("gbEnd")->geometry(), end);
    // Both sides' details line up in one column.
    EXPECT_EQ(W<QWidget>("vcbStartMonth")->x(), W<QWidget>("vcbEndMonth")->x());
    for (const char* name : {"vcbStartMonth", "vcbStartDay", "vcbEndType"}) {
        auto* box = W<TFramedComboBox>(name);
        for (int i = 0; i < box->count(); ++i)
            EXPECT_GE(box->width(), box->fontMetrics().horizontalAdvance(box->itemText(i)))
                << name << " " << box->itemText(i).toStdString();
    }
    EXPECT_FALSE(Form->windowIcon().isNull());
}

// A save killed half-way left its temporary; the next start removes it and
// reads the rule file as it was.
TEST_F(RulewickForm, StartRemovesAStaleTemporary) {
    Put(DataDir + "hxdst.hx_", "None/N.1.1.0.02:00:00/N.1.1.0.02:00:00/half\r\n");
    Put(DataDir + "other.hx_", "not ours");
    Open();
    EXPECT_FALSE(std::filesystem::exists(DataDir + "hxdst.hx_"));
    EXPECT_TRUE(std::filesystem::exists(DataDir + "other.hx_"));
    EXPECT_EQ(Get(DataDir + "hxdst.hxd"), RuleFile);
}

// The editor carries the rule last chosen on either page over a page switch:
// a zone chosen on the system page with an own rule highlighted is added to
// the own list once, and never lands on (or duplicates) the own rule. A click
// on the rule highlighted takes it in again.
TEST_F(RulewickForm, APageSwitchCarriesTheChosenZoneAndAClickTakesTheHighlightedRuleIn) {
    Open();
    Page("tsHoroluxRules");
    Pick("vlvRules", 1);
    ASSERT_EQ(Text("eName"), "Europe");
    Page("tsSystemRuleList");
    Pick("vlvSystemRules", Row("vlvSystemRules", "Europe - Berlin"));
    Page("tsHoroluxRules");
    EXPECT_EQ(Text("eName"), "Europe - Berlin");
    EXPECT_TRUE(W<TFramedListView>("vlvRules")->topLevelItem(1)->isSelected());
    Boxes.Texts.clear();
    Click("sbUpdate");
    EXPECT_EQ(Boxes.Texts, (std::vector<std::string>{
                               "The editor holds the system zone 'Europe - Berlin': select a rule "
                               "of this list to update it, or Add the zone to the list"}));
    Click("sbAdd");
    EXPECT_EQ(Captions("vlvRules"),
              (std::vector<std::string>{"None", "Europe", "Odd", "Europe - Berlin"}));
    W<QAction>("smiSave")->trigger();
    EXPECT_EQ(Get(DataDir + "hxdst.hxd"),
              "None/N.1.1.0.02:00:00/N.1.1.0.02:00:00/No DST applies\r\n"
              "Europe/L.1.3.60.02:00:00/L.1.10.0.02:00:00/EU\r\n"
              "Odd/1.1.4.30.01:30:00/L.7.10.0.03:00:00/first Sunday, last Saturday\r\n"
              "Europe - Berlin/L.1.3.60.02:00:00/L.1.10.0.02:00:00/(UTC+01:00) Europe - Berlin\r\n");

    // A click on the rule highlighted: its edits go once the user lets them.
    Pick("vlvRules", 1);
    Type("eName", "Changed");
    auto* list = W<TFramedListView>("vlvRules");
    const QPoint at = list->visualItemRect(list->topLevelItem(1)).center();
    Boxes.Answers = {mrNo};
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(Text("eName"), "Changed");
    Boxes.Answers = {mrYes};
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(Text("eName"), "Europe");
}

// Delete on the own page asks first, naming the rule: No changes nothing.
TEST_F(RulewickForm, DeleteOnTheOwnPageAsksFirstNamingTheRule) {
    Open();
    Page("tsHoroluxRules");
    Pick("vlvRules", 1);
    for (const TModalResult answer : {mrNo, mrYes}) {
        Boxes.Texts.clear();
        Boxes.Answers = {answer};
        Click("sbDelete");
        EXPECT_EQ(Boxes.Texts, (std::vector<std::string>{
                                   "Are you sure you want to delete the rule 'Europe' from this list?"}));
        EXPECT_EQ(W<QToolButton>("sbSave")->isEnabled(), answer == mrYes);
    }
    EXPECT_EQ(Captions("vlvRules"), (std::vector<std::string>{"None", "Odd"}));
    W<QAction>("smiSave")->trigger();
    EXPECT_EQ(Get(DataDir + "hxdst.hxd").find("Europe"), std::string::npos);
}

// A name that reads back as a comment (blanks, then "#") would be saved and
// then silently dropped by the next load: it is refused like "#" itself.
TEST_F(RulewickForm, EveryRuleSavedIsReadBack) {
    Open();
    Page("tsHoroluxRules");
    for (const char* name : {"  #1", "\t# tab", "#2"}) {
        SCOPED_TRACE(name);
        Click("sbClear");
        W<QLineEdit>("eName")->setText(name);
        Boxes.Texts.clear();
        Click("sbAdd");
        EXPECT_EQ(Boxes.Texts.size(), 1u);
    }
    W<QAction>("smiSave")->trigger();
    EXPECT_EQ(ReadDSTRuleFile(DataDir + "hxdst.hxd").Rules.size(), Form->OwnRules.size());
    EXPECT_EQ(Form->OwnRules.size(), 3u);
}
