// The small pieces the location manager's files share: text conversions,
// the new place's name and the busy cursor.
#pragma once

#include <QGuiApplication>
#include <QString>

#include <string>

namespace {

inline QString Q(const std::string& s) {
    return QString::fromStdString(s);
}
inline std::string S(const QString& s) {
    return s.toStdString();
}

constexpr const char* kNewLocationName = "<New Location>";

// The hour-glass while a command sorts and rebuilds.
struct TBusy {
    TBusy() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TBusy() { QGuiApplication::restoreOverrideCursor(); }
};

} // namespace
