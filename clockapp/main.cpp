// horolux: the main program of the suite.
#include "clockapp/MainWindow.h"
#include "clockapp/PrefsStore.h"
#include "platform/rtl/DataDir.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Horolux");
    QApplication::setApplicationDisplayName("Horolux");
    QApplication::setQuitOnLastWindowClosed(false);

    THXMemoryPrefsStore store;
    std::vector<std::string> args(argv + 1, argv + argc);
    auto* form = new TF_clocks(store);
    form->FormCreate(ResolveDataDirectory(ProgramDirectory()), args);
    form->show();
    const int rc = QApplication::exec();
    delete form;
    return rc;
}
