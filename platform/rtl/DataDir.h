// Where the suite's programs keep their data files. All four programs resolve
// it the same way, so they share the sync log and the rule file.
#pragma once

#include <string>

// Directory of the running program, ending in '/'.
std::string ProgramDirectory();

// The user's data directory, ending in '/'. $HOROLUX_DATADIR when set (horolux
// hands its own to the programs it starts, so that with "-datadir" they still
// share the sync log and the rule file); otherwise "$XDG_DATA_HOME/horolux/"
// (default "~/.local/share/horolux/"), which is seeded once with the installed
// data: every file and folder of the program directory except the programs.
// The program directory itself is never written, so builds and installs
// never touch a user's files and several users can share one install.
std::string ResolveDataDirectory(const std::string& programDir);

// The variable that names the data directory to the programs horolux starts.
inline constexpr const char* kDataDirVariable = "HOROLUX_DATADIR";

// The parts of the above, for tests: whether a directory can be written, and
// the seeding of a data directory from an installation directory.
bool DirectoryWritable(const std::string& dir);
std::string UserDataDirectory(); // "$XDG_DATA_HOME/horolux/"
void SeedDataDirectory(const std::string& installDir, const std::string& dataDir);
