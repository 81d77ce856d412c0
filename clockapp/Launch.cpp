#include "clockapp/Launch.h"

#include "platform/rtl/DataDir.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QUrl>

namespace {

std::string& CompanionDirOverride() {
    static std::string dir;
    return dir;
}

QStringList ToList(const std::vector<std::string>& args) {
    QStringList list;
    for (const std::string& a : args)
        list << QString::fromStdString(a);
    return list;
}

} // namespace

std::string CompanionDirectory() {
    const std::string& dir = CompanionDirOverride();
    if (dir.empty()) return ProgramDirectory();
    return dir.back() == '/' ? dir : dir + "/";
}

void SetCompanionDirectory(const std::string& dir) {
    CompanionDirOverride() = dir;
}

bool LaunchCompanion(const std::string& program, const std::vector<std::string>& args,
                     const std::string& workingDir) {
    const QString path = QString::fromStdString(CompanionDirectory() + program);
    const QFileInfo info(path);
    if (!info.isFile() || !info.isExecutable()) return false;
    QProcess process;
    process.setProgram(path);
    process.setArguments(ToList(args));
    process.setWorkingDirectory(QString::fromStdString(workingDir));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kDataDirVariable, QString::fromStdString(workingDir));
    process.setProcessEnvironment(env);
    return process.startDetached();
}

std::vector<std::string> FindDateTimeSettingsCommand() {
    // The desktops' own date-and-time pages, in the order the common
    // desktops are met.
    const std::vector<std::vector<std::string>> candidates = {
        {"gnome-control-center", "datetime"},
        {"systemsettings", "kcm_clock"},
        {"kcmshell5", "clock"},
        {"xfce4-datetime-settings"},
        {"cinnamon-settings", "calendar"},
        {"mate-time-admin"},
        {"lxqt-admin-time"},
        {"time-admin"},
    };
    for (const auto& c : candidates)
        if (!QStandardPaths::findExecutable(QString::fromStdString(c[0])).isEmpty()) return c;
    return {};
}

bool LaunchDesktopProgram(const std::vector<std::string>& command) {
    if (command.empty()) return false;
    const QString exe = QStandardPaths::findExecutable(QString::fromStdString(command[0]));
    if (exe.isEmpty()) return false;
    return QProcess::startDetached(exe, ToList({command.begin() + 1, command.end()}));
}

bool OpenDocument(const std::string& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}
