// The location manager on a data directory of the test's own, with a
// presenter that records every box and answers the questions from a script:
// made on a clock state with stand-ins for the main program's services
// (ManagerTest), or installed into a started main window and opened from its
// menu (ManagerWindowTest).
#pragma once

#include "clockapp/ClockDisplay.h"
#include "clockapp/state/tests/FakeServices.h"
#include "clockapp/tests/WindowTest.h"
#include "locations/TimeZoneManager.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QTreeView>

#include <deque>
#include <fstream>

struct TScriptedPresenter : IMessagePresenter {
    std::vector<std::string> Texts;
    std::deque<TModalResult> Answers; // for the questions, in order; then Escape
    TModalResult Present(const std::string& text, TMsgDlgType, TMsgDlgButtons buttons,
                         int) override {
        Texts.push_back(text);
        if ((buttons & mbYes) && !Answers.empty()) {
            const TModalResult a = Answers.front();
            Answers.pop_front();
            return a;
        }
        return EscapeResult(buttons);
    }
    bool Saw(const std::string& text) const {
        for (const std::string& t : Texts)
            if (t.find(text) != std::string::npos) return true;
        return false;
    }
    bool SawCode(int code) const { return Saw(HXErrorMessage(code).Text); }
};

// Start-up boxes stay quiet; the activation question is answered Yes.
class ManagerClocks : public TF_clocks {
public:
    using TF_clocks::TF_clocks;

    // What the window itself reported once started.
    std::vector<std::string> Reported;

protected:
    void ShowError(const std::string& t) override { Reported.push_back(t); }
    void ShowInfo(const std::string&) override {}
    void ShowErrorCode(int c) override { Reported.push_back("code:" + std::to_string(c)); }
    TAnswer AskYesNo(const std::string&) override { return TAnswer::No; }
    TAnswer AskYesNoCancel(const std::string&) override { return TAnswer::Cancel; }
    bool ConfirmYes(const std::string&) override { return Activate; }

public:
    bool Activate = true; // the answer to the activation question
};

inline TTimeLocation Place(const std::string& name, const std::string& city,
                           const std::string& region, const std::string& country,
                           const std::string& code, double offset, const char* rule = "3") {
    TTimeLocation l;
    l.Name = name;
    l.City = city;
    l.Region = region;
    l.Country = country;
    l.Code = code;
    l.StdOffset = offset;
    l.Latitude = 10.5;
    l.Longitude = -20.25;
    l.Rule.ReadDataString(rule);
    return l;
}

inline std::string ReadFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return "<missing>";
    return f.readAll().toStdString();
}

inline void WriteFile(const QString& path, const std::string& text) {
    std::ofstream(path.toStdString(), std::ios::binary) << text;
}

// The data directory both fixtures start on, and the manager's parts found by
// name and worked as the user does.
class TManagerParts {
protected:
    virtual ~TManagerParts() = default;
    // The manager, or null.
    virtual TFTimeZoneManager* M() const = 0;
    virtual TClockState& State() const = 0;

    // The places and rules the data directory starts with.
    std::vector<TTimeLocation> Places = {
        Place("Paris", "Paris", "Ile-de-France", "France", "CDG", 1),
        Place("Lyon", "Lyon", "Rhone", "france", "LYS", 1),
        Place("Nice", "Nice", "Provence", "France", "NCE", 1),
        Place("Atlantis", "", "Ocean", "", "", 0, "0"),
        Place("Nowhere", "", "", "", "", 0, "0"),
        Place("Tokyo", "Tokyo", "Kanto", "Japan", "HND", 9, "0"),
    };
    std::string RuleFile = "# rules\nVERSION:\t1\nNone/N.0.0.0.0:0:0/N.0.0.0.0:0:0/No DST applies\n"
                           "Europe/L.1.3.60.02:00:00/L.1.10.0.02:00:00/\n";
    std::vector<std::string> Args;

    // The places, the rules and two clocks (Paris, Tokyo) into the directory.
    void WriteDataFiles(const QTemporaryDir& dir) const {
        std::string zones;
        for (const TTimeLocation& l : Places)
            zones += l.LocationDataStr('\t') + "\r\n";
        WriteFile(dir.filePath("hxzones.hxd"), zones);
        WriteFile(dir.filePath("hxdst.hxd"), RuleFile);
        std::string clocks;
        for (const char* name : {"Paris", "Tokyo"}) {
            THXClock c;
            c.Location = Place(name, name, "", "", "", name[0] == 'P' ? 1 : 9);
            clocks += c.DataString('\t') + "\r\n";
        }
        WriteFile(dir.filePath("hxclocks.hxd"), clocks);
    }

    static void Settle() {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
    template <class T = QWidget> T* C(const char* name) const {
        T* c = M()->findChild<T*>(name);
        EXPECT_TRUE(c) << name;
        return c;
    }
    void Click(const char* name) { C<QAbstractButton>(name)->click(); }
    void Type(const char* name, const std::string& text) {
        auto* e = C<QLineEdit>(name);
        e->setText(QString::fromStdString(text));
        emit e->textEdited(e->text());
    }
    std::string Text(const char* name) const { return C<QLineEdit>(name)->text().toStdString(); }

    // The tree as indented lines.
    std::string TreeDump() const {
        std::string out;
        const TLocationTree& t = M()->TreeModel()->Tree();
        for (const TLocationNode& n : t.Nodes) {
            int depth = 0;
            for (int p = n.Parent; p >= 0; p = t.Nodes[size_t(p)].Parent)
                ++depth;
            out += std::string(size_t(depth) * 2, ' ') + n.Text + "\n";
        }
        return out;
    }
    // Clicks the leaf with that text, as the user does.
    void ClickLeaf(const std::string& text) {
        const TLocationTree& t = M()->TreeModel()->Tree();
        auto* view = C<QTreeView>("tvCountryView");
        for (size_t n = 0; n < t.Nodes.size(); ++n) {
            if (t.Nodes[n].Text != text || !t.Nodes[n].Children.empty()) continue;
            const QModelIndex idx = M()->TreeModel()->IndexOfNode(int(n));
            view->setCurrentIndex(idx);
            emit view->clicked(idx);
            return;
        }
        ADD_FAILURE() << "no leaf " << text << " in\n" << TreeDump();
    }
    std::vector<std::string> ListNames() const {
        std::vector<std::string> names;
        for (const auto& l : State().StandardLocations)
            names.push_back(l->Name);
        return names;
    }
};

// A main window started on the directory, the manager installed into it.
class ManagerWindowTest : public TWindowTest<ManagerClocks, TScriptedPresenter>,
                          public TManagerParts {
protected:
    void BeforeStart() override {
        WriteDataFiles(dir);
        InstallTimeZoneManager(*w, w->WindowServices());
    }

    // Opens the manager from the main window's menu and lets it show.
    TFTimeZoneManager* Open() {
        w->miTimeZoneManagerClick();
        auto* m = static_cast<TFTimeZoneManager*>(w->TimeZoneManager());
        Settle();
        return m;
    }
    TFTimeZoneManager* M() const override {
        return static_cast<TFTimeZoneManager*>(w->TimeZoneManager());
    }
    TClockState& State() const override { return *w; }
};

// A clock state whose list changes reach the manager the opener hands out,
// as the main window passes them on.
class TManagedClockState : public TClockState {
public:
    using TClockState::TClockState;
    const IWindowOpener* Windows = nullptr;

protected:
    void RebuildLocationTree() override {
        if (ITimeZoneManager* m = Windows ? Windows->TimeZoneManager() : nullptr)
            m->RebuildLocationTree();
    }
};

// The clock state started on the directory, the manager made by its
// installed factory (without an owner) and handed out by the fake opener.
class ManagerTest : public ::testing::Test, public TManagerParts {
protected:
    void SetUp() override {
        TestApp();
        SetMessagePresenter(&presenter);
        SetQuietStartPrefs(store);
        WriteDataFiles(dir);
        w = std::make_unique<TManagedClockState>(store);
        StartClockState(*w, dir.path().toStdString());
        services = std::make_unique<TFakeServices>(*w);
        w->Windows = &services->Windows;
        InstallTimeZoneManager(*w, services->Services());
        presenter.Texts.clear();
    }
    void TearDown() override {
        for (const QPointer<TFTimeZoneManager>& m : Made)
            delete m.data();
        Settle();
        services.reset();
        w.reset();
        SetMessagePresenter(nullptr);
    }

    // The manager made when there is none (the list loaded first when it is
    // empty), as an activation does.
    TFTimeZoneManager* Make() {
        if (!M()) {
            if (w->StandardLocations.empty()) {
                try {
                    w->LoadStandardLocations();
                } catch (...) {
                    // The manager opens all the same and tells of a missing list itself.
                }
            }
            auto* m = dynamic_cast<TFTimeZoneManager*>(services->Factories.Manager(nullptr));
            EXPECT_TRUE(m);
            services->Windows.Manager = m;
            Made.push_back(m);
        }
        return M();
    }
    // Makes the manager when needed, shows it and lets it show.
    TFTimeZoneManager* Open() {
        TFTimeZoneManager* m = Make();
        m->show();
        m->raise();
        m->activateWindow();
        Settle();
        return m;
    }
    // The modal pick, as the main program's picker runs it.
    bool Pick(TTimeLocation& location) { return Make()->PickLocation(location); }

    TFTimeZoneManager* M() const override {
        return static_cast<TFTimeZoneManager*>(services->Windows.TimeZoneManager());
    }
    TClockState& State() const override { return *w; }

    QTemporaryDir dir;
    THXMemoryPrefsStore store;
    TScriptedPresenter presenter;
    std::unique_ptr<TFakeServices> services;
    std::unique_ptr<TManagedClockState> w;
    std::vector<QPointer<TFTimeZoneManager>> Made;
};
