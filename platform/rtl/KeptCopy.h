// Copies of damaged files, kept beside them before a rewrite drops what could
// not be read. A later copy never replaces an earlier one.
#pragma once

#include <string>
#include <sys/types.h>

// Keeps text as path + suffix ("hxzones.hxd" + ".bak"), or, when that name is
// taken, as path + ".1" + suffix, path + ".2" + suffix ... A copy that already
// holds exactly these bytes is named again instead of making another one.
// Returns the copy's full path; empty when no copy could be made.
std::string KeepNumberedCopy(const std::string& path, const std::string& text,
                             const std::string& suffix, mode_t mode = 0644);

// The file name of a path: what follows its last "/".
std::string KeptCopyName(const std::string& path);
