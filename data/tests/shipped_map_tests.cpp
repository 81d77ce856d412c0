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
    // The title of the topmost object drawn with a fill at the point: what
    // its pixel shows. "-" at sea.
    static std::string DrawnAt(TGlobeLayer* l, double lon, double lat) {
        const GlobePoint p = MakePoint(DecimalToGlobeUnits(lon), DecimalToGlobeUnits(lat));
        for (auto it = l->Objects.rbegin(); it != l->Objects.rend(); ++it) {
            auto* fill = dynamic_cast<TPolygonPresenter*>((*it)->Presenter);
            if (fill && fill->PolygonBrush.BrushStyle != TBrushStyle::bsClear && (*it)->HitTest(p))
                return (*it)->Title;
        }
        return "-";
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
        // Land that a neighbour's towns once claimed: each reads its own
        // country's offset.
        {-8.6, 42.1, "1", "Spain"},           // southern Galicia, by Portugal
        {-132.1, 53.3, "-7", "Canada"},       // Haida Gwaii, by Alaska (-9)
        {-95, 75, "-6", "Canada"},            // the Arctic islands, by Greenland
        {-61, -21, "-3", "Paraguay"},         // the Chaco
        {98.8, 16.5, "7", "Thailand"},        // Tak, by Myanmar
        {72.5, 37, "4.5", "Afghanistan"},     // the Wakhan
        {47, 80.65, "3", "Russia"},           // Franz Josef Land
        {138, -4, "9", "Indonesia"},          // Papua, by Papua New Guinea
        {-2.5, 32.5, "0", "Morocco"},         // both sides of their border
        {-0.8, 31.5, "1", "Algeria"},
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

// Read where the map is drawn: the cell under a town, not a hidden mark
// over it, gives its offset.
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
        const double lon = -ParseFloat(f[4]), lat = ParseFloat(f[3]);  // longitudes are west-positive
        const std::string z = At(Zones, lon, lat), drawn = DrawnAt(Zones, lon, lat);
        EXPECT_TRUE(z != "-" && ParseFloat(z) == ParseFloat(f[1])) << f[0] << " (" << f[1] << ") answers " << z;
        // At sea (the coast as stored leaves a port in the water) nothing is
        // drawn; on land the zone is.
        EXPECT_TRUE(drawn == "-" || drawn == z) << f[0] << " (" << f[1] << ") is drawn in " << drawn;
        EXPECT_TRUE(drawn != "-" || At(Countries, lon, lat) == "-") << f[0] << " lies on land drawn in no zone";
    }
    EXPECT_GT(places, 24000) << "the whole list";
}

}  // namespace
