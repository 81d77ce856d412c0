// Where the suite's programs keep their data files. All four programs resolve
// it the same way, so they share the sync log and the rule file.
#pragma once

#include <string>

// Directory of the running program, ending in '/'.
std::string ProgramDirectory();

// The program's own directory when it can be written. Otherwise (a system-wide
// install) "$XDG_DATA_HOME/horolux/" (default "~/.local/share/horolux/"), which
// is seeded once, when it is first created, with the installed data: every
// file and folder of the program directory except the programs themselves.
std::string ResolveDataDirectory(const std::string& programDir);

// The parts of the above, for tests: whether a directory can be written, and
// the seeding of a data directory from an installation directory.
bool DirectoryWritable(const std::string& dir);
std::string UserDataDirectory(); // "$XDG_DATA_HOME/horolux/"
void SeedDataDirectory(const std::string& installDir, const std::string& dataDir);
