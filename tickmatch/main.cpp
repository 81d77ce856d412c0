// Tickmatch: sets the system clock from a time server, once, as horolux asks.
#include "tickmatch/BusReporter.h"
#include "tickmatch/ClockSetter.h"
#include "tickmatch/Tickmatch.h"

#include "platform/qt/HXIcons.h"
#include "platform/qt/HXQtMessagePresenter.h"
#include "platform/qt/LocaleNames.h"

#include <QApplication>
#include <QLocale>
#include <cstdlib>
#include <filesystem>

namespace {

// The month names and decimal separator of the user's locale, for the log.
void TakeLocaleSettings() {
    QLocale locale;
    TakeLocaleNames(locale);
    QString dec = locale.decimalPoint();
    if (dec.size() == 1 && dec[0].unicode() < 128)
        FormatSettings.DecimalSeparator = char(dec[0].unicode());
}

std::string ProgramDirectory(const char* argv0) {
    std::error_code ec;
    auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) self = std::filesystem::absolute(argv0, ec);
    return self.parent_path().string();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("tickmatch");
    QApplication::setApplicationDisplayName("HX Time Sync");
    QApplication::setWindowIcon(HoroluxIcon(THXIconKind::SyncSuccess));
    // The program ends when its attempt is done, not when a box closes.
    QApplication::setQuitOnLastWindowClosed(false);
    TakeLocaleSettings();

    std::vector<std::string> args(argv + 1, argv + argc);
    TQtMessagePresenterScope presenter;
    THXBusReporter reporter;
    TMessageDlgDialogs dialogs;
    TSystemClockSetter clock; // the system bus: the machine's own time service
    TF_Tickmatch form(std::move(args), tickmatch::DataDirectory(ProgramDirectory(argv[0])),
                      TF_Tickmatch::TServices{&reporter, &dialogs, &clock});
    // Tests run their servers on ports of their own.
    if (const char* port = std::getenv("HX_TICKMATCH_TEST_PORT"))
        form.TC_TimeClient->PortOverride = uint16_t(std::atoi(port));
    form.FormCreate();
    if (form.Terminated()) return 0;
    return app.exec();
}
