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
// the seeding of a data directory from an installation directory. Each file
// is copied to a hidden temporary and renamed into place with its own
// permissions, so a start that is killed half-way leaves no cut file; what
// such a start left (a temporary, or a cut or unreadable copy made before
// copies were whole) is made whole by the next. Programs seeding at once
// take turns.
bool DirectoryWritable(const std::string& dir);
std::string UserDataDirectory(); // "$XDG_DATA_HOME/horolux/"
void SeedDataDirectory(const std::string& installDir, const std::string& dataDir);

// One horolux at a time on a data directory, whatever desktop session or bus
// it runs in: it holds this lock on the file ".horolux.lock" there for as long
// as it runs. The system drops the lock when the process ends, however it
// ends, and the programs it starts do not inherit it (nor need it).
enum class TDataDirLock {
    Held,       // this process holds it now
    InUse,      // another process holds it
    Unavailable // no lock can be taken there (a read-only place): the start goes on
};
class THXDataDirLock {
public:
    THXDataDirLock() = default;
    THXDataDirLock(const THXDataDirLock&) = delete;
    THXDataDirLock& operator=(const THXDataDirLock&) = delete;
    ~THXDataDirLock();
    TDataDirLock Take(const std::string& dataDir);

private:
    int Fd = -1;
};
inline constexpr const char* kDataDirLockFile = ".horolux.lock";
