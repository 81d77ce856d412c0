// Both editors pick their place through the main window's location manager:
// the pick starts at the record's place and only a confirmed pick changes it.
#include "alarms/tests/AlarmEditorTest.h"

#include <QAction>
#include <QPushButton>

#include <optional>

namespace {

struct TFakeManager : QWidget, ITimeZoneManager {
    using QWidget::QWidget;
    std::optional<TTimeLocation> Answer;
    std::vector<std::string> Asked; // the place each pick started at
    QWidget* Window() override { return this; }
    void ConfigureClock(const THXClock&, bool, int, bool, bool) override {}
    void RebuildLocationTree() override {}
    void LoadDSTRules() override {}
    void ClocksChanged() override {}
    bool PickLocation(TTimeLocation& location) override {
        Asked.push_back(location.Name);
        if (Answer) location.Copy(*Answer);
        return bool(Answer);
    }
};

class PlacePickTest : public AlarmEditorTest {
protected:
    void BeforeStart() override {
        AlarmEditorTest::BeforeStart();
        w->SetTimeZoneManagerFactory([this](QWidget* owner) -> ITimeZoneManager* {
            return manager = new TFakeManager(owner);
        });
    }
    TFakeManager* manager = nullptr;
};

TEST_F(PlacePickTest, APickConfirmedInTheManagerIsTheNewPlaceOfTheAlarmOrTrackedDate) {
    struct TCase {
        const char *Opener, *Add, *PlaceButton, *OK;
        std::function<std::string()> Stored; // the place of the record added
    };
    const TCase cases[] = {
        {"sb_Alarms", "sb_Add", "sb_AlarmLocation", "OkBtn",
         [this] { return w->Alarms.back()->Location.Name; }},
        {"sb_Dayloom", "sb_AddItem", "sb_Location", "OKBtn",
         [this] { return w->TemperalEvents.back()->Location.Name; }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Opener);
        w->Action(c.Opener)->trigger();
        QWidget* window = QApplication::activeWindow();
        for (QWidget* x : QApplication::topLevelWidgets())
            if (x != w.get() && x->isVisible() && x->findChild<QWidget*>(c.Add)) window = x;
        ASSERT_TRUE(window);
        Answering([&] { Click(window, c.Add); },
                  [&](QWidget* e) {
                      // Declined activation: no manager, nothing changes.
                      w->ActivateManager = false;
                      Click(e, c.PlaceButton);
                      EXPECT_EQ(Text(e, c.PlaceButton), "Home Town");
                      w->ActivateManager = true;
                      Click(e, c.PlaceButton); // cancelled in the manager
                      ASSERT_TRUE(manager);
                      EXPECT_EQ(Text(e, c.PlaceButton), "Home Town");
                      manager->Answer.emplace();
                      Place(*manager->Answer, "Tokyo", 9);
                      Click(e, c.PlaceButton);
                      EXPECT_EQ(Text(e, c.PlaceButton), "Tokyo");
                      Click(e, c.OK);
                  });
        EXPECT_EQ(c.Stored(), "Tokyo");
        EXPECT_EQ(manager->Asked, (std::vector<std::string>{"Home Town", "Home Town"}));
        delete manager; // the user frees it: the next pick asks again
        manager = nullptr;
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

} // namespace
