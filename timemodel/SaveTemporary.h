// The ".hx_" file a save writes before it replaces the data file. A save
// holds an exclusive lock on it while it writes, so a start can tell a
// temporary left by a killed save (removed) from one being written by a
// program that shares the file (kept).
#pragma once

#include <string>
#include <vector>

// Opens path for writing, empty and locked; -1 with errno set on failure.
// The lock ends when the descriptor is closed.
int OpenSaveTemporary(const std::string& path);

// Removes the temporary at path unless a save holds it. False when it is
// still there.
bool RemoveStaleTemporary(const std::string& path);

// The temporaries of the given data files ("hxzones.hxd" ->
// "hxzones.hx_") in dataDir, left by saves that never finished, are removed.
// Nothing else in the directory is touched.
void RemoveStaleTemporaries(const std::string& dataDir, const std::vector<std::string>& dataFiles);
