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
