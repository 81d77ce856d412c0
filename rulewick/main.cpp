// Rulewick: edits the daylight-saving rule file shared with horolux and the
// suite's copy of the system time-zone entries.
#include "rulewick/FRulewick.h"

#include "platform/qt/HXBus.h"
#include "platform/qt/HXQtMessagePresenter.h"
#include "platform/qt/LocaleNames.h"
#include "platform/qt/HXTermination.h"
#include "platform/rtl/DataDir.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("rulewick");
    QApplication::setApplicationDisplayName("Daylight Saving Time Manager");
    TakeLocaleNames();
    RegisterHXMessages();
    TDBusHXMessageTransport transport;
    transport.Install();
    TFRulewick form(ResolveDataDirectory(ProgramDirectory()));
    TQtMessagePresenterScope presenter(&form);
    // A logout saves the rule list as it stands and asks nothing.
    CatchTermination(&form, [&form] { form.SaveAtSessionEnd(); });
    form.FormCreate();
    if (MessageDialogsEnded()) return 0; // the session ended during the start
    form.show();
    return app.exec();
}
