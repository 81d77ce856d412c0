// The suite's pictures, drawn rather than shipped: the clock icon and its
// three synchronisation variants.
#pragma once

#include <QIcon>
#include <QPixmap>

enum class THXIconKind { Normal, SyncConnect, SyncSuccess, SyncFail };

QPixmap HoroluxPixmap(int size, THXIconKind kind = THXIconKind::Normal);
QIcon HoroluxIcon(THXIconKind kind = THXIconKind::Normal);
