// The one way a file of the suite is replaced: the new text goes to a
// temporary beside it, is flushed and synced, renamed over the file, and the
// directory is synced, so a crash or a power cut leaves the old file or the
// new one, never a part. A temporary written under an exclusive lock tells
// a start which ones a killed save left behind (removed) from one still
// being written (kept).
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>

// Writes all of data to fd, through interruptions. False with errno set.
bool WriteAllTo(int fd, std::string_view data);

// Syncs the directory that holds path, so a rename in it lasts.
bool SyncDirectoryOf(const std::string& path);

// Opens path for writing, empty and locked; -1 with errno set on failure.
// The lock ends when the descriptor is closed.
int OpenSaveTemporary(const std::string& path, mode_t mode = 0644);

// Removes the temporary at path unless a save holds it. False when it is
// still there.
bool RemoveStaleTemporary(const std::string& path);

// Puts the whole file temp, written and synced by the caller, in place of
// target and syncs the directory. False with errno set; both are then as
// they were.
bool PutFileInPlace(const std::string& temp, const std::string& target);

enum class TAtomicWrite { Written, WriteFailed, RenameFailed, Refused };

// The common end of every replace: text to the open temporary fd (at tmp),
// synced; then, when mayRename (if given) still says yes, tmp renamed over
// path and the directory synced. Anything but Written removes tmp; fd is
// left open for the caller to close (a lock on it lasts until then).
TAtomicWrite FinishAtomicWrite(int fd, const std::string& tmp, const std::string& path,
                               std::string_view text,
                               const std::function<bool()>& mayRename = {});

// The whole replace through the locked temporary tmp (path + ".hx_" when
// empty), which a start can remove with RemoveStaleTemporary. False with
// errno set; path is then as it was.
bool WriteFileAtomically(const std::string& path, std::string_view text, mode_t mode = 0644,
                         const std::string& tmp = {});

// A log that one program appends to while another may clear it (the sync
// log): each append and the clear take the same exclusive lock on the file,
// and the clear empties the file in place rather than removing it, so a
// line is either wholly before the clear (and cleared) or wholly after it
// (and kept), never written into a file already gone.
bool AppendLockedLine(const std::string& path, std::string_view text);
// False with errno set; a missing file is not created.
bool ClearLockedLog(const std::string& path);
