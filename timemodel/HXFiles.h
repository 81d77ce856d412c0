// Recursive file listing.
#pragma once

#include <string>
#include <vector>

// Adds the names (without path) of the files in directory that match mask
// ("*" and "?", case-insensitive; empty = "*.*"), in case-insensitive name
// order; with recurse, subdirectories whose names match the mask are listed
// the same way. Names starting with "." are skipped. The list is neither
// cleared nor sorted; a missing directory adds nothing.
void ListFiles(const std::string& directory, const std::string& mask,
               std::vector<std::string>& list, bool recurse);
