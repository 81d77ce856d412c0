// The runtime's month and day names from the user's locale, taken once at a
// program's start: the date patterns stay, their names are the user's.
#pragma once

#include <QLocale>

void TakeLocaleNames(const QLocale& locale = QLocale());
