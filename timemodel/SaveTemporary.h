// The ".hx_" file a save writes before it replaces the data file. A save
// holds an exclusive lock on it while it writes, so a start can tell a
// temporary left by a killed save (removed) from one being written by a
// program that shares the file (kept).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/rtl/AtomicFile.h" // OpenSaveTemporary, RemoveStaleTemporary

// The temporaries of the given data files ("hxzones.hxd" ->
// "hxzones.hx_") in dataDir, left by saves that never finished, are removed.
// Nothing else in the directory is touched.
void RemoveStaleTemporaries(const std::string& dataDir, const std::vector<std::string>& dataFiles);

// What a program read of a file the suite shares: kept from the read to the
// save, so that a save never writes over what another program saved
// meanwhile.
struct TFileStamp {
    bool Exists = false; // false: there was no file (a save may create one)
    uint64_t Size = 0;
    uint64_t Hash = 0;   // of the whole content
    bool operator==(const TFileStamp&) const = default;
};

// The stamp of this content, read from a file.
TFileStamp StampOfText(const std::string& text);

// Reads the whole file at path into text, and its stamp. False when it could
// not be read (errno set); a missing file then gives a stamp of no file.
bool ReadStampedFile(const std::string& path, std::string& text, TFileStamp& stamp);

enum class TSharedSave { Written, CannotCreate, WriteFailed, Changed };

// The one way a file the suite shares is replaced: text goes to the ".hx_"
// temporary of path (locked, so saves of all programs take turns), and only
// while that lock is held, and only when path is still the file that `read`
// describes (or is gone), is the temporary renamed over it. Changed: another
// program has saved it since it was read; nothing was written, and the
// caller reloads and applies its change to what is there now (or asks).
// After Written, read describes the new file. On failure the file stays as
// it was, *error (if given) says why, and only this save's own temporary is
// removed.
TSharedSave SaveSharedFile(const std::string& path, const std::string& text, TFileStamp& read,
                           std::string* error = nullptr);
