#include "locations/LocationFields.h"

#include "platform/qt/TextFold.h"
#include "timemodel/HXString.h"

#include <cmath>

TAngleFields AngleFields(double degrees) {
    const double a = std::fabs(degrees);
    int deg = int(a);
    int min = int((a - deg) * 60);
    const int64_t hundredths = Round((a - deg - min / 60.0) * 360000);
    // Seconds are shown to tenths: round first, so 59.96 carries instead of
    // showing "60.0".
    double seconds = Round(double(hundredths) / 10.0) / 10.0;
    if (seconds >= 60) {
        seconds -= 60;
        min += 1;
    }
    return {IntToStr(deg), IntToStr(min), FloatToStrF(seconds, TFloatFormat::ffFixed, 3, 1)};
}

namespace {

// A whole number of degrees or minutes; empty is 0.
bool ReadWhole(const std::string& text, int limit, double& out) {
    const std::string t = Trim(text);
    if (t.empty()) {
        out = 0;
        return true;
    }
    int v = 0;
    if (!TryStrToInt(t, v) || v < 0 || v > limit) return false;
    out = v;
    return true;
}

bool ReadReal(const std::string& text, double& out) {
    try {
        out = ParseFloat(Trim(text));
    } catch (...) {
        return false;
    }
    return std::isfinite(out);
}

std::string Bad(const std::string& field, const std::string& text) {
    return "The " + field + " \"" + text + "\" is not valid.\n\rThe location was not changed.";
}

bool ReadAngle(const std::string& name, const std::string& h, const std::string& m,
               const std::string& s, double limit, double& out, std::string& error) {
    double deg = 0, min = 0, sec = 0;
    if (!ReadWhole(h, int(limit), deg)) {
        error = Bad(name + " degrees", h);
        return false;
    }
    // 60 minutes can be shown (a carry of the seconds), so it reads back.
    if (!ReadWhole(m, 60, min)) {
        error = Bad(name + " minutes", m);
        return false;
    }
    if (!ReadReal(s, sec) || sec < 0 || sec >= 60) {
        error = Bad(name + " seconds", s);
        return false;
    }
    out = deg + min / 60 + sec / 3600;
    if (out > limit) {
        error = "The " + name + " must be within " + IntToStr(int(limit)) +
                " degrees.\n\rThe location was not changed.";
        return false;
    }
    return true;
}

bool ShowsAngle(const std::string& h, const std::string& m, const std::string& s, bool negative,
                bool storedNegative, double stored) {
    if (!std::isfinite(stored) || negative != storedNegative) return false;
    const TAngleFields f = AngleFields(stored);
    return h == f.Degrees && m == f.Minutes && s == f.Seconds;
}

} // namespace

std::string CheckLocationFields(const TLocationFieldTexts& t, TLocationFieldValues& values) {
    TLocationFieldValues v;
    std::string error;
    if (!ReadReal(t.Offset, v.StdOffset) || std::fabs(v.StdOffset) > 24)
        return Bad("UTC offset", t.Offset);
    if (!ReadAngle("latitude", t.LatH, t.LatM, t.LatS, 90, v.Latitude, error)) return error;
    if (!ReadAngle("longitude", t.LongH, t.LongM, t.LongS, 180, v.Longitude, error)) return error;
    if (t.South) v.Latitude = -v.Latitude;
    if (t.East) v.Longitude = -v.Longitude;
    // The fields hold tenths of a second: an angle whose fields still show
    // what they showed for the stored value keeps that value, so a place
    // nobody moved is stored as it was.
    if (ShowsAngle(t.LatH, t.LatM, t.LatS, t.South, values.Latitude <= 0, values.Latitude))
        v.Latitude = values.Latitude;
    if (ShowsAngle(t.LongH, t.LongM, t.LongS, t.East, values.Longitude <= 0, values.Longitude))
        v.Longitude = values.Longitude;
    values = v;
    return {};
}

bool SameRuleItem(const TDSTRule& a, const TDSTRule& b) {
    return a.Name == b.Name && a.StartDate.DataString() == b.StartDate.DataString() &&
           a.StopDate.DataString() == b.StopDate.DataString();
}

bool SameLocationRecord(const TTimeLocation& a, const TTimeLocation& b) {
    return a.Name == b.Name && a.City == b.City && a.Region == b.Region && a.Country == b.Country &&
           a.Code == b.Code && a.StdOffset == b.StdOffset && a.Latitude == b.Latitude &&
           a.Longitude == b.Longitude && SameRuleItem(a.Rule, b.Rule) &&
           a.Rule.Notes == b.Rule.Notes;
}

// ------------------------------------------------------------ the tree

void TLocationTree::Clear() {
    Nodes.clear();
    Roots.clear();
}

int TLocationTree::Add(int parent, std::string text, int slot) {
    TLocationNode n;
    n.Text = std::move(text);
    n.Parent = parent;
    n.Slot = slot;
    const int id = int(Nodes.size());
    std::vector<int>& siblings = parent < 0 ? Roots : Nodes[size_t(parent)].Children;
    n.Row = int(siblings.size());
    siblings.push_back(id);
    Nodes.push_back(std::move(n));
    return id;
}

int TLocationTree::HomeNode() const {
    return !Nodes.empty() && Nodes[0].Slot == TLocationNode::kHomeSlot ? 0 : -1;
}

void TLocationTree::Build(const std::vector<std::unique_ptr<TTimeLocation>>& list, int mode,
                          const std::string* homeName) {
    Clear();
    Nodes.reserve(list.size() + list.size() / 4 + 16);
    if (homeName) Add(-1, *homeName, TLocationNode::kHomeSlot);
    if (mode == 0) {
        // Countries and regions group as the sort orders them: without
        // regard to case or accents, the first spelling met naming the group.
        bool first = true, regionSet = false;
        std::string country, region;
        int countryNode = -1, regionNode = -1;
        for (size_t i = 0; i < list.size(); ++i) {
            const TTimeLocation& l = *list[i];
            if (first || !SameFolded(l.Country, country)) {
                first = false;
                country = l.Country;
                regionSet = false;
                countryNode = country.empty() ? -1 : Add(-1, country, -1);
            }
            if (!regionSet || !SameFolded(l.Region, region)) {
                regionSet = true;
                region = l.Region;
                regionNode = region.empty() ? countryNode : Add(countryNode, region, -1);
            }
            Add(regionNode, l.Name, int(i));
        }
    } else if (mode == 1) {
        double previous = 99.0;
        int zoneNode = -1;
        for (size_t i = 0; i < list.size(); ++i) {
            const TTimeLocation& l = *list[i];
            if (l.StdOffset != previous || zoneNode < 0) {
                previous = l.StdOffset;
                zoneNode = Add(-1, l.UTCOffsetStr(), -1);
            }
            Add(zoneNode, l.LocationString(), int(i));
        }
    } else if (mode == 2) {
        for (size_t i = 0; i < list.size(); ++i)
            Add(-1, list[i]->LocationString(), int(i));
    }
}

// ------------------------------------------------------------ submission

std::string EncodeSubmissionValue(const std::string& text) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() + 16);
    for (unsigned char c : text) {
        if (c == ' ') {
            out += '+';
        } else if (c < 0x20 || c >= 0x7f || c == '&' || c == '#' || c == '%' || c == '+' ||
                   c == '=') {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += char(c);
        }
    }
    return out;
}

std::string LocationSubmissionAddress(const std::string& server, const TTimeLocation& location,
                                      const std::string& version, const std::string& email) {
    return server +
           "/cgibin/hx/hxlocdata.cgi?data=" + EncodeSubmissionValue(location.LocationDataStr('^')) +
           "&sender=" + EncodeSubmissionValue(version) + "&email=" + EncodeSubmissionValue(email);
}
