// Starting the other programs of the suite and the desktop's own programs.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Where the companion programs live: beside horolux (the suite directory).
// Tests point it at a directory of their own; empty restores the default.
std::string CompanionDirectory();
void SetCompanionDirectory(const std::string& dir);

// Starts the companion program detached, with the arguments as a list (never
// joined into one string) and the working directory given, which is the data
// directory: the program finds it in HOROLUX_DATADIR too. False when it is
// missing, not executable or could not be started.
bool LaunchCompanion(const std::string& program, const std::vector<std::string>& args,
                     const std::string& workingDir);

// The desktop's date-and-time settings program with its arguments; empty when
// none is installed.
std::vector<std::string> FindDateTimeSettingsCommand();
// Starts a program found on PATH; false when it could not be started.
bool LaunchDesktopProgram(const std::vector<std::string>& command);

// Opens a document with the desktop's default application; false when the
// desktop could not open it.
bool OpenDocument(const std::string& path);

// A launch text (an Execute alarm's command line, the alarm pop-up's "<--
// Launch") in its parts. A text with "\" keeps the split of "\" command
// lines: the directory through the last "\", the file up to the first blank
// after it, the rest as arguments. Any other text is split into words, blanks
// inside '"' or '\'' quotes kept, with no directory.
struct TLaunchSplit {
    std::string Directory;
    std::string File;
    std::vector<std::string> Arguments;
};
TLaunchSplit SplitLaunchText(const std::string& text);

// What launching the text would do.
enum class TLaunchKind { Missing, Url, Program, Document };
struct TLaunchPlan {
    TLaunchKind Kind = TLaunchKind::Missing;
    std::string Target; // web address, program or document path
    std::vector<std::string> Arguments;
    std::string Directory; // working directory; empty: horolux's own
};
// A web address is opened whole; a text naming an existing file as a whole
// is that file, blanks and all; otherwise the split's file, found in its
// directory or on PATH.
TLaunchPlan PlanLaunch(const std::string& text);
// Starts the program (never through a shell), or opens the document or web
// address in the desktop's program for it. False when nothing was started.
bool LaunchFileOrProgram(const std::string& text);
