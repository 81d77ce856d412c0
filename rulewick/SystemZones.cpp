#include "rulewick/SystemZones.h"

#include "platform/media/ZoneRecord.h"

#include <cstdio>
#include <cstdlib>

const char* const SystemZonesBaseKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones";

namespace {
std::string Base() {
    return std::string("\\") + SystemZonesBaseKey;
}
std::string KeyOf(const std::string& name) {
    return Base() + "\\" + name;
}
} // namespace

std::string ZoneKeyName(const std::string& zoneId) {
    std::string out;
    for (char c : zoneId) {
        if (c == '/')
            out += " - ";
        else
            out += c == '_' ? ' ' : c;
    }
    return out;
}

std::string ZoneDisplayText(int minutes, const std::string& keyName) {
    char buf[32];
    const int a = std::abs(minutes);
    std::snprintf(buf, sizeof buf, "(UTC%c%02d:%02d) ", minutes < 0 ? '-' : '+', a / 60, a % 60);
    return buf + keyName;
}

int SeedSystemZones(TRegistry& reg, int year, const std::vector<std::string>& zoneIds) {
    if (reg.KeyExists(Base())) return 0;
    // One write of the store for all zones.
    const bool keep = reg.KeepPendingOnOpen;
    reg.KeepPendingOnOpen = true;
    int written = 0;
    for (const std::string& id : zoneIds) {
        const TZoneRecord z = ReadZoneRecord(id, year);
        if (!z.Ok) continue;
        const std::string name = ZoneKeyName(id);
        if (!ValidZoneKeyName(name) || !reg.OpenKey(KeyOf(name), true)) continue;
        reg.WriteString("Display", ZoneDisplayText(z.StandardOffset, name));
        reg.WriteString("Std", z.StdName);
        reg.WriteString("Dlt", z.DltName);
        reg.WriteBinaryData("TZI", z.TZI.data(), int(z.TZI.size()));
        ++written;
    }
    reg.KeepPendingOnOpen = keep;
    reg.CloseKey();
    return written;
}

int SeedSystemZones(TRegistry& reg, int year) {
    std::vector<std::string> zones = HostZoneTable();
    zones.push_back("UTC");
    return SeedSystemZones(reg, year, zones);
}

bool LoadSystemRules(TRegistry& reg, std::vector<TDSTRule>& rules) {
    rules.clear();
    if (!reg.OpenKeyReadOnly(Base())) return false;
    const std::vector<std::string> names = reg.GetKeyNames();
    reg.CloseKey();
    for (const std::string& name : names) {
        TDSTRule rule;
        rule.Name = name;
        try {
            if (!reg.OpenKeyReadOnly(KeyOf(name))) throw ERegistryException("key gone");
            if (reg.ValueExists("Display")) rule.Notes = reg.ReadString("Display");
            if (reg.ValueExists("TZI")) {
                const int size = reg.GetDataSize("TZI");
                std::vector<uint8_t> record(size_t(std::max(size, 0)));
                if (reg.GetDataType("TZI") != TRegDataType::rdBinary)
                    throw ERegistryException("TZI is not binary");
                if (size > 0) reg.ReadBinaryData("TZI", record.data(), size);
                if (!rule.LoadFromTZI(record)) throw ERegistryException("TZI incomplete");
            }
            if (reg.ValueExists("Dlt")) rule.StartDate.ZoneName = reg.ReadString("Dlt");
            if (reg.ValueExists("Std")) rule.StopDate.ZoneName = reg.ReadString("Std");
        } catch (const std::exception&) {
            rule.Notes = "Registry Data incomplete";
        }
        reg.CloseKey();
        rules.push_back(std::move(rule));
    }
    return true;
}

bool ValidZoneKeyName(const std::string& name) {
    return !name.empty() && name.find('\\') == std::string::npos;
}

bool SystemZoneExists(TRegistry& reg, const std::string& name) {
    return ValidZoneKeyName(name) && reg.KeyExists(KeyOf(name));
}

bool WriteSystemZone(TRegistry& reg, const TDSTRule& rule, const std::string& stdName,
                     const std::string& dltName, bool mayCreate) {
    if (!ValidZoneKeyName(rule.Name) || !reg.OpenKey(KeyOf(rule.Name), mayCreate)) return false;
    const std::vector<uint8_t> tzi = rule.SaveToTZI();
    reg.WriteString("Display", rule.Notes);
    reg.WriteString("Std", stdName);
    reg.WriteString("Dlt", dltName);
    reg.WriteBinaryData("TZI", tzi.data(), int(tzi.size()));
    try {
        reg.Flush();
    } catch (const std::exception&) {
        reg.CloseKey();
        return false;
    }
    reg.CloseKey();
    return true;
}

bool DeleteSystemZone(TRegistry& reg, const std::string& name) {
    if (!ValidZoneKeyName(name) || !reg.KeyExists(KeyOf(name))) return false;
    if (!reg.DeleteKey(KeyOf(name))) return false;
    try {
        reg.Flush();
    } catch (const std::exception&) {
        return false;
    }
    return !reg.KeyExists(KeyOf(name));
}
