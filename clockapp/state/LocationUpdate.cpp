// Newer installed places for a user's own list, and the new rules of those
// places for the clocks, alarms and Dayloom items that keep a copy of them.
#include "clockapp/state/ClockState.h"
#include "clockapp/state/ListFiles.h"
#include "platform/rtl/AtomicFile.h"

#include <cctype>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// The data version a "VERSION:" line holds (its second TAB field), from the
// head of a location file; empty when it has none.
std::string FileLocationVersion(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        if (line.find("VERSION:") == std::string::npos) return "";
        const size_t tab = line.find('\t');
        if (tab == std::string::npos) return "";
        const size_t end = line.find('\t', tab + 1);
        return line.substr(tab + 1, end == std::string::npos ? std::string::npos : end - tab - 1);
    }
    return "";
}

// Compares versions piece by piece, numbers as numbers ("2026.10" after
// "2026.9"); true when a is the later one.
bool LaterVersion(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const bool da = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
        const bool db = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
        if (da && db) {
            size_t ei = i, ej = j;
            while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei]))) ++ei;
            while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej]))) ++ej;
            std::string na = a.substr(i, ei - i), nb = b.substr(j, ej - j);
            na.erase(0, std::min(na.find_first_not_of('0'), na.size()));
            nb.erase(0, std::min(nb.find_first_not_of('0'), nb.size()));
            if (na.size() != nb.size()) return na.size() > nb.size();
            if (na != nb) return na > nb;
            i = ei;
            j = ej;
        } else {
            if (a[i] != b[j]) return a[i] > b[j];
            ++i;
            ++j;
        }
    }
    return i < a.size();
}

// Whether the place now tells another time: its standard offset or the
// transitions of its rule (a rule's name and notes alone change nothing).
bool TellsOtherTime(const TTimeLocation& kept, const TTimeLocation& now) {
    return kept.StdOffset != now.StdOffset || kept.Rule.RuleString() != now.Rule.RuleString();
}

} // namespace

void TClockState::LeaveInstalledLocations() {
    if (ReadOnly || InstalledDataDir.empty()) return;
    const std::string installed = InstalledDataDir + "hxzones.hxd";
    const std::string own = DataDir + "hxzones.hxd";
    std::error_code ec;
    if (!fs::exists(installed, ec) || fs::equivalent(installed, own, ec)) return;
    // A download waiting for its answer is offered first.
    const std::string waiting = DataDir + "hxzones.new";
    if (FileExists(waiting) || FileExists(DataDir + "NEW_hxzones.hxd")) return;
    // A list of no version was never the installation's: it is the user's own.
    if (LocationDataVersion.empty() ||
        !LaterVersion(FileLocationVersion(installed), LocationDataVersion))
        return;
    // Whole or not at all: a start that ends half-way leaves no cut file.
    const std::string part = DataDir + ".hxzones.new.part";
    fs::copy_file(installed, part, fs::copy_options::overwrite_existing, ec);
    if (!ec && !PutFileInPlace(part, waiting)) ec.assign(errno, std::generic_category());
    if (ec) fs::remove(part, ec);
}

std::vector<TTimeLocation> TClockState::WaitingLocations() const {
    std::vector<TTimeLocation> read;
    THXLineReader in;
    if (!in.Open(DataDir + "hxzones.new") && !in.Open(DataDir + "NEW_hxzones.hxd")) return read;
    for (std::string line; in.Next(line);) {
        if (line[0] == '#' || line.find("VERSION:") != std::string::npos) continue;
        TTimeLocation l;
        try {
            l.ParseDataString(line, '\t');
        } catch (const std::exception&) {
            continue; // the merge itself tells of a bad line
        }
        read.push_back(l);
    }
    return read;
}

void TClockState::TakeWaitingLocations() {
    LeaveInstalledLocations();
    const std::vector<TTimeLocation> incoming = WaitingLocations();
    if (CheckNewLocations()) MergeNewLocations();
    // Taken into the list (merged, or the list replaced by it).
    if (!incoming.empty() && !FileExists(DataDir + "hxzones.new")) OfferNewRules(incoming);
}

void TClockState::OfferNewRules(const std::vector<TTimeLocation>& incoming) {
    std::map<std::string, const TTimeLocation*> byName;
    for (const TTimeLocation& l : incoming)
        byName.emplace(l.Name, &l);
    struct TChanged {
        TTimeLocation* Kept;
        const TTimeLocation* Now;
        std::string Label;
    };
    std::vector<TChanged> changed;
    auto consider = [&](TTimeLocation& kept, const std::string& label) {
        const auto it = byName.find(kept.Name);
        if (it != byName.end() && TellsOtherTime(kept, *it->second))
            changed.push_back({&kept, it->second, label});
    };
    bool clocks = false, alarms = false, events = false;
    for (auto& c : Clocks)
        if (c->ClockType != ctLocal) { // a Local clock tells the computer's time
            const size_t before = changed.size();
            consider(c->Location, "Clock: " + c->Location.Name);
            clocks = clocks || changed.size() > before;
        }
    for (auto& a : Alarms) {
        const size_t before = changed.size();
        consider(a->Location, "Alarm: " + (a->Text.empty() ? a->TypeString() : a->Text) + " (" +
                                  a->Location.Name + ")");
        alarms = alarms || changed.size() > before;
    }
    for (auto& e : TemperalEvents) {
        const size_t before = changed.size();
        consider(e->Location, "Dayloom: " + e->Title + " (" + e->Location.Name + ")");
        events = events || changed.size() > before;
    }
    if (changed.empty()) return;
    // One box, however many: the first ones by name and a count of the rest.
    constexpr size_t kListed = 15;
    std::string list;
    for (size_t i = 0; i < changed.size() && i < kListed; ++i)
        list += changed[i].Label + "\n\r";
    if (changed.size() > kListed)
        list += "...and " + std::to_string(changed.size() - kListed) + " more\n\r";
    const std::string text =
        "The new locations give these places another UTC offset or daylight saving "
        "rule:\n\r\n\r" +
        list +
        "\n\r'Yes' to give them the new offset and rule?\n\r'No' to keep their own copy of "
        "each place as it is";
    if (AskYesNo(text) != TAnswer::Yes) return;
    for (const TChanged& c : changed) {
        c.Kept->StdOffset = c.Now->StdOffset;
        c.Kept->Rule.Copy(c.Now->Rule);
    }
    if (clocks) WriteClockInfo();
    if (alarms) WriteAlarms();
    if (events) WriteTemperalEvents();
}
