#include "platform/qt/Launch.h"

#include "platform/rtl/DataDir.h"
#include "timemodel/HXString.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QUrl>

#include <cctype>

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

namespace {

bool IsBlankChar(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::vector<std::string> SplitWords(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (const char c : text) {
        if (quote) {
            if (c == quote)
                quote = 0;
            else
                word += c;
        } else if (c == '"' || c == '\'') {
            quote = c;
            inWord = true;
        } else if (IsBlankChar(c)) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

std::string Trimmed(const std::string& text) {
    size_t b = 0, e = text.size();
    while (b < e && IsBlankChar(text[b]))
        ++b;
    while (e > b && IsBlankChar(text[e - 1]))
        --e;
    return text.substr(b, e - b);
}

// "scheme://..." or "mailto:...", with no blanks: a web address or the like.
bool IsWebAddress(const std::string& text) {
    if (text.empty() || text.find_first_of(" \t\r\n\\") != std::string::npos) return false;
    const size_t colon = text.find(':');
    if (colon == std::string::npos || colon < 2) return false;
    if (!std::isalpha(static_cast<unsigned char>(text[0]))) return false;
    for (size_t i = 1; i < colon; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return false;
    }
    const std::string scheme =
        QString::fromStdString(text.substr(0, colon)).toLower().toStdString();
    return text.compare(colon, 3, "://") == 0 || scheme == "mailto";
}

TLaunchPlan PlanFor(const QString& path, std::vector<std::string> args, std::string dir) {
    const QFileInfo info(path);
    TLaunchPlan p;
    if (!info.exists()) return p;
    p.Target = path.toStdString();
    if (info.isFile() && info.isExecutable()) {
        p.Kind = TLaunchKind::Program;
        p.Arguments = std::move(args);
        p.Directory = std::move(dir);
    } else {
        p.Kind = TLaunchKind::Document;
    }
    return p;
}

} // namespace

TLaunchSplit SplitLaunchText(const std::string& text) {
    TLaunchSplit s;
    if (text.find('\\') != std::string::npos) {
        s.Directory = ExtractDirPart(text);
        s.File = ExtractProgramName(text);
        s.Arguments = SplitWords(ExtractProgramParams(text));
        return s;
    }
    std::vector<std::string> words = SplitWords(text);
    if (words.empty()) return s;
    s.File = words.front();
    s.Arguments.assign(words.begin() + 1, words.end());
    return s;
}

TLaunchPlan PlanLaunch(const std::string& text) {
    const std::string whole = Trimmed(text);
    TLaunchPlan p;
    if (whole.empty()) return p;
    if (IsWebAddress(whole)) {
        p.Kind = TLaunchKind::Url;
        p.Target = whole;
        return p;
    }
    if (QFileInfo(QString::fromStdString(whole)).isFile())
        return PlanFor(QString::fromStdString(whole), {}, {});
    TLaunchSplit s = SplitLaunchText(text);
    if (s.File.empty()) return p;
    const QString file = QString::fromStdString(s.File);
    if (!s.Directory.empty() && !file.startsWith('/')) {
        const QString inDir = QString::fromStdString(s.Directory) + file;
        if (QFileInfo::exists(inDir))
            return PlanFor(inDir, std::move(s.Arguments), std::move(s.Directory));
    }
    if (!file.contains('/')) {
        const QString found = QStandardPaths::findExecutable(file);
        if (!found.isEmpty()) return PlanFor(found, std::move(s.Arguments), std::move(s.Directory));
    }
    return PlanFor(file, std::move(s.Arguments), std::move(s.Directory));
}

bool LaunchFileOrProgram(const std::string& text) {
    const TLaunchPlan p = PlanLaunch(text);
    switch (p.Kind) {
    case TLaunchKind::Url:
        return QDesktopServices::openUrl(QUrl(QString::fromStdString(p.Target)));
    case TLaunchKind::Program:
        return QProcess::startDetached(QString::fromStdString(p.Target), ToList(p.Arguments),
                                       QString::fromStdString(p.Directory));
    case TLaunchKind::Document:
        return OpenDocument(p.Target);
    case TLaunchKind::Missing:
        break;
    }
    return false;
}
