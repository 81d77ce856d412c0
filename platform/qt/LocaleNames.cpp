#include "platform/qt/LocaleNames.h"

#include "platform/rtl/SysUtils.h"

void TakeLocaleNames(const QLocale& locale) {
    // The short names stand alone in the patterns ("MMM DD", "ddd"): the
    // stand-alone forms carry no abbreviation dot of their own where the
    // locale has one ("Dez", not "Dez.").
    for (int m = 1; m <= 12; ++m) {
        FormatSettings.ShortMonthNames[m - 1] =
            locale.standaloneMonthName(m, QLocale::ShortFormat).toStdString();
        FormatSettings.LongMonthNames[m - 1] = locale.monthName(m).toStdString();
    }
    // The runtime counts from Sunday, Qt from Monday.
    for (int d = 0; d < 7; ++d) {
        const int qt = d == 0 ? 7 : d;
        FormatSettings.ShortDayNames[d] =
            locale.standaloneDayName(qt, QLocale::ShortFormat).toStdString();
        FormatSettings.LongDayNames[d] = locale.dayName(qt).toStdString();
    }
}
