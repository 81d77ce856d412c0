// The system's time-zone entries, kept in the suite's own key store (the
// HKEY_LOCAL_MACHINE root) and seeded once from the host's tz database.
// Rulewick edits only this copy: the host's own zone setting is never touched.
#pragma once

#include "platform/keystore/Registry.h"
#include "timemodel/DST.h"

#include <string>
#include <vector>

extern const char* const SystemZonesBaseKey;

// "America/Argentina/Buenos_Aires" -> "America - Argentina - Buenos Aires".
std::string ZoneKeyName(const std::string& zoneId);
// "(UTC+01:00) Europe - Berlin" for 60 minutes east.
std::string ZoneDisplayText(int standardMinutesEast, const std::string& keyName);

// When the base key is missing: one subkey per zone ("Display", "Std", "Dlt",
// "TZI") with the year's rule of the host's tz database. Zones the host does
// not know are skipped. Returns the number of zones written; 0 when the base
// key was there already.
int SeedSystemZones(TRegistry& reg, int year, const std::vector<std::string>& zoneIds);
// The same for the host's zone1970.tab and "UTC".
int SeedSystemZones(TRegistry& reg, int year);

// One rule per zone key, in key-name order: Name = key name, Notes =
// "Display", the "TZI" record, Dlt/Std as the start/stop zone names. A zone
// whose values cannot be read has the notes "Registry Data incomplete".
// False (and no rules) when the base key cannot be opened.
bool LoadSystemRules(TRegistry& reg, std::vector<TDSTRule>& rules);

// A zone key name as the editor may use it: not empty and without "\".
bool ValidZoneKeyName(const std::string& name);
bool SystemZoneExists(TRegistry& reg, const std::string& name);
// Writes "Display" (notes), "Std", "Dlt" and "TZI"; false when the key could
// not be opened (created only with mayCreate) or the store refused the write.
bool WriteSystemZone(TRegistry& reg, const TDSTRule& rule, const std::string& stdName,
                     const std::string& dltName, bool mayCreate);
bool DeleteSystemZone(TRegistry& reg, const std::string& name);
