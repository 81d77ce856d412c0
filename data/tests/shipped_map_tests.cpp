// The shipped map layers, read by the globe core as the map window reads
// them: they load, their zone titles are offsets, and the zone layer gives
// the known places their own offsets.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "globe/core/GlobeContext.h"
#include "timemodel/HXString.h"

namespace {

const std::string kMap = HX_SOURCE_DIR "/data/map/";

struct Shipped : ::testing::Test {
    TGlobeContext Globe;
    TGlobeLayer* Zones = nullptr;
    TGlobeLayer* Countries = nullptr;
    void SetUp() override {
        Globe.DataDirectory = kMap;
        Zones = Globe.AddNewLayer("zones");
        Zones->FilePath = kMap;
        Zones->SetFilename("01-timezones.lyr");
        Countries = Globe.AddNewLayer("countries");
        Countries->FilePath = kMap;
        Countries->SetFilename("02-countries.lyr");
    }
    static std::string At(TGlobeLayer* l, double lon, double lat) {
        TGlobeObject* o = l->ObjectAtLL(DecimalToGlobeUnits(lon), DecimalToGlobeUnits(lat));
        return o ? o->Title : "-";
    }
};

TEST_F(Shipped, BothLayersLoadWholeAndEveryZoneTitleIsAnOffset) {
    ASSERT_TRUE(Zones->Loaded);
    ASSERT_TRUE(Countries->Loaded);
    EXPECT_GT(Countries->ObjectCount(), 200);
    // 25 nautical bands, then the discs and the land.
    ASSERT_GT(Zones->ObjectCount(), 300);
    for (int k = 0; k < 25; ++k)
        EXPECT_EQ(Zones->GetObject(k)->Title, std::to_string(k - 12));
    for (TGlobeObject* o : Zones->Objects) {
        const double h = ParseFloat(o->Title);  // throws on anything else
        EXPECT_TRUE(h >= -12 && h <= 14 && std::fmod(h * 4, 1) == 0) << o->Title;
        EXPECT_GE(o->Count(), 3);
        EXPECT_LE(o->Count(), 65535);
    }
}

TEST_F(Shipped, KnownSpotsGiveTheirZoneAndCountry) {
    const struct {
        double Lon, Lat;
        const char* Zone;
        const char* Country;
    } spots[] = {
        {-74.0, 40.71, "-5", nullptr},      // Manhattan is harbour at this scale
        {-100, 40, nullptr, "United States of America"},
        {2.35, 48.86, "1", "France"},
        {77.2, 28.6, "5.5", "India"},
        {138.6, -34.93, "9.5", "Australia"},
        {0, -80, "0", "Antarctica"},         // the coast is the ring, round the pole
        {120, -85, nullptr, "Antarctica"},
        {175, 66, "12", "Russia"},           // both sides of 180 degrees
        {-175, 66, "12", "Russia"},
        {-150, -20, "-10", "-"},             // open sea: the nautical band
        {179.9, 0, "12", "-"},
        {-179.9, 0, "-12", "-"},
    };
    for (const auto& s : spots) {
        SCOPED_TRACE(std::to_string(s.Lon) + " " + std::to_string(s.Lat));
        if (s.Zone) {
            EXPECT_EQ(At(Zones, s.Lon, s.Lat), s.Zone);
        }
        if (s.Country) {
            EXPECT_EQ(At(Countries, s.Lon, s.Lat), s.Country);
        }
    }
}

TEST_F(Shipped, EveryKnownPlaceLiesInItsOwnZone) {
    std::ifstream in(HX_SOURCE_DIR "/data/hxzones.hxd", std::ios::binary);
    ASSERT_TRUE(in);
    int places = 0;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#' || line.rfind("VERSION:", 0) == 0)
            continue;
        std::vector<std::string> f;
        size_t s = 0;
        for (size_t t; (t = line.find('\t', s)) != std::string::npos; s = t + 1)
            f.push_back(line.substr(s, t - s));
        ASSERT_GE(f.size(), 5u) << line;
        ++places;
        const std::string z = At(Zones, -ParseFloat(f[4]), ParseFloat(f[3]));  // longitudes are west-positive
        EXPECT_TRUE(z != "-" && ParseFloat(z) == ParseFloat(f[1])) << f[0] << " (" << f[1] << ") answers " << z;
    }
    EXPECT_EQ(places, 24460);
}

}  // namespace
