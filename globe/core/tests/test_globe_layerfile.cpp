#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <unistd.h>

#include "globe/core/GlobeIni.h"
#include "globe/core/tests/GlobeTestSupport.h"

namespace fs = std::filesystem;

namespace {

void Font(TBytes& b, int color, int unit, int size, int angle, int style, const std::string& name) {
    b.i32(color).u8(unit).u16(size).u16(angle).u8(style).str(name);
}

// Two presenters and two chains: minute form with int8 deltas and one
// escape, and plain 32-bit points with a zoom range.
std::string Golden(int version = 0x0301) {
    TBytes b;
    b.u16(version).i32(-791).i32(-22).i32(81090792).i32(108180023);
    b.i32(1).str("TPolygonPresenter");
    b.i32(5);
    if (version >= 0x0301)
        b.u8(0xFD);  // TitleOffset -3
    b.str("Zones").u8(9);
    Font(b, 0x112233, 15, 9, 0, 1, "Arial");
    b.i32(0xFF).u8(0).u8(2);      // pen
    b.i32(0xFFFFFF).u8(1);        // brush
    b.i32(1).str("TPolylinePresenter");
    b.i32(7);
    if (version >= 0x0301)
        b.u8(0);
    b.str("Rivers").u8(0);
    Font(b, 0, 15, 9, 0, 0, "Arial");
    b.i32(0xFF0000).u8(2).u8(1);
    b.i32(2).str("TGeoDataObject");
    b.u16(0x1B).str("Caf\xE9").i32(42).u16(7).u16(3);
    b.u16(600).u16(1200);            // first point in minutes
    b.u8(1).u8(2);                   // delta
    b.u8(127).u16(901).u16(1202);    // escape and an absolute point
    b.u16(0x80).i32(1000).i32(2000).u16(5).u16(3);
    b.i32(123).i32(456).i32(-789).i32(1000000).i32(5000).i32(-20);
    b.i32(0);
    return b.S;
}

struct LayerFixture : ::testing::Test {
    TGlobeContext G;
    fs::path Dir;
    void SetUp() override {
        const char* base = std::getenv("HX_TEST_TMP");
        Dir = fs::path(base ? base : fs::temp_directory_path().string()) /
              ("globe_lyr_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(Dir);
    }
    void TearDown() override { fs::remove_all(Dir); }
    std::string Write(const std::string& name, const std::string& data) {
        const fs::path p = Dir / name;
        std::ofstream(p, std::ios::binary) << data;
        return p.string();
    }
    static std::string Read(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    TGlobeLayer* Parse(const std::string& data) {
        TGlobeLayer* l = G.AddNewLayer("t");
        l->Filename = "t.lyr";
        l->LoadFromString(data);
        return l;
    }
};

}  // namespace

TEST_F(LayerFixture, GoldenFileReadsToItsObjectsAndRewritesIdentically) {
    const std::string golden = Golden();
    TGlobeLayer* l = Parse(golden);
    ASSERT_EQ(l->Presenters.size(), 2u);
    auto* zones = dynamic_cast<TPolygonPresenter*>(l->Presenters[0]);
    ASSERT_TRUE(zones);
    EXPECT_EQ(zones->Name, "Zones");
    EXPECT_EQ(zones->TitleOffset, -3);
    EXPECT_EQ(zones->TitleAlignment, TTitleAlignment::taBottomRight);
    EXPECT_EQ(zones->TitleFont.FontStyle, fsBold);
    EXPECT_EQ(zones->PolygonPen.PenWidth, 2);
    EXPECT_EQ(zones->PolygonBrush.BrushStyle, TBrushStyle::bsClear);
    ASSERT_EQ(l->ObjectCount(), 2);
    auto* a = dynamic_cast<TGeoDataObject*>(l->Objects[0]);
    auto* b = dynamic_cast<TGeoDataObject*>(l->Objects[1]);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->Title, "Caf\xC3\xA9");
    EXPECT_EQ(a->ID, 42);
    EXPECT_EQ(a->Presenter, l->Presenters[1]);
    EXPECT_EQ(a->Points, (std::vector<GlobePoint>{{54000000, 108000000, 0}, {54090000, 108180000, 0}, {81090000, 108180000, 0}}));
    EXPECT_EQ(b->Presenter, zones);
    EXPECT_EQ(b->ZoomMin, 1000);
    EXPECT_EQ(b->ZoomMax, 2000);
    EXPECT_EQ(b->Points, (std::vector<GlobePoint>{{123, 456, 0}, {-789, 1000000, 0}, {5000, -20, 0}}));
    EXPECT_EQ(l->Extent, (GlobeExtent{-791, -22, 81090792, 108180023}));
    EXPECT_EQ(l->SaveToString(), golden);

    // Through files, the tool's way: the folder and the name are kept apart.
    const std::string in = Write("golden.lyr", golden);
    TGlobeLayer* f = G.AddNewLayer("");
    f->SetFilename(in);
    EXPECT_EQ(f->Name, "golden");
    const std::string out = (Dir / "copy.lyr").string();
    f->SaveToFile(out);
    EXPECT_EQ(f->Filename, "copy.lyr");
    EXPECT_EQ(f->FilePath, Dir.string() + "/");
    EXPECT_EQ(Read(out), golden);
}

TEST_F(LayerFixture, VersionsAndRefusals) {
    // 0x0300: no title offsets; saved again as 0x0301 with them.
    TGlobeLayer* old = Parse(Golden(0x0300));
    EXPECT_EQ(old->FileVersion, 0x0300);
    std::string expected = Golden();
    expected.replace(expected.find("\xFD\x05Zones"), 1, std::string(1, '\0'));
    EXPECT_EQ(old->SaveToString(), expected);
    TGlobeLayer* bmp = Parse(TBytes().u16(0x300).i32(0).i32(0).i32(0).i32(0).i32(1).str("TBitmapObject")
                                 .u16(0x08).u16(0).u16(1).u16(2).i32(500).i32(-1).str("").i32(0).S);
    auto* b = dynamic_cast<TBitmapObject*>(bmp->Objects.at(0));
    ASSERT_TRUE(b);
    EXPECT_EQ(b->GlobeUnitsPerYPixel, 500);
    const std::string again = bmp->SaveToString();
    EXPECT_EQ(again.substr(0, 2), "\x01\x03");
    EXPECT_NE(again.find(TBytes().i32(500).i32(500).i32(-1).S), std::string::npos);
    std::string v2ff = Golden();
    v2ff[0] = '\xFF';
    v2ff[1] = '\x02';
    struct { std::string data; std::string message; } bad[] = {
        {v2ff, "LoadFromFile: Invalid File Version 2FF in t.lyr"},
        {TBytes().u16(0x301).i32(0).i32(0).i32(0).i32(0).i32(1).str("TNoSuch").S,
         "LoadFromFile: Unknown Globe Object Class TNoSuch in t.lyr"},
        {TBytes().u16(0x301).i32(0).i32(0).i32(0).S, "LoadFromFile: Unexpected end of data in t.lyr"},
        {TBytes().u16(0x301).i32(0).i32(0).i32(0).i32(0).i32(0x7FFFFFFF).str("TGeoDataObject").u16(0).S,
         "LoadFromFile: Unexpected end of data in t.lyr"},
        {TBytes().u16(0x301).i32(0).i32(0).i32(0).i32(0).i32(1).str("TGeoDataObject").u16(0x40).u16(0)
             .i32(100000000).i32(0).i32(0).S,
         "LoadFromFile: Unexpected end of data in t.lyr"},
        {TBytes().u16(0x301).i32(0).i32(0).i32(0).i32(0).i32(-1).str("TGeoDataObject").S,
         "LoadFromFile: Bad record count in t.lyr"},
        {TBytes().u16(0x301).i32(0).i32(0).i32(0).i32(0).i32(1).str("TGlobePen").i32(0).u8(0).u8(1).S,
         "LoadFromFile: Attribute record outside a presenter in t.lyr"},
    };
    for (const auto& c : bad) {
        TGlobeContext g;
        TGlobeLayer* l = g.AddNewLayer("t");
        l->Filename = "t.lyr";
        try {
            l->LoadFromString(c.data);
            ADD_FAILURE() << c.message;
        } catch (const EGlobeException& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
    }
    // A missing file and one over 256 MiB (sparse) are refused before reading.
    TGlobeLayer* l = G.AddNewLayer("");
    EXPECT_THROW(l->SetFilename((Dir / "none.lyr").string()), EGlobeException);
    const std::string big = Write("big.lyr", Golden());
    ASSERT_EQ(::truncate(big.c_str(), (256LL << 20) + 1), 0);
    try {
        l->SetFilename(big);
        FAIL();
    } catch (const EGlobeException& e) {
        EXPECT_NE(std::string(e.what()).find("too large"), std::string::npos);
    }
}

// Every record kind survives write -> read -> write, including the single
// point (registered so a save keeps it) and a bitmap's two pixel sizes.
TEST_F(LayerFixture, EveryRecordKindRoundTrips) {
    TGlobeLayer* l = G.AddNewLayer("all");
    auto* pp = new TPointPresenter(l, "Towns", 3);
    pp->PointType = TPointPresenterType::ppDiamond;
    pp->SetPointSize(7);
    pp->SetMaxPointSize(20);
    pp->SymbolIndex = 0x4C;
    pp->TitleOffset = 300;  // saturates to 127
    pp->TitleFont.SetFontSize(100000);
    pp->TitleFont.SetFontAngle(-100000);
    auto* sp = new TSinglePointObject(l);
    sp->Put(0, {GU_DEGREE, -GU_MINUTE * 7, 0});
    sp->Title = "Here";
    sp->SetPresenter(pp);
    auto* bm = new TBitmapObject(l);
    bm->Put(0, {12345, 678, 0});
    bm->SetPixelSize(1, 1000);
    bm->SetPixelSize(2, 2000);
    bm->TransparentIndex = 4;
    bm->BMPFilename = "pic.bmp";
    auto* z = new TGeoDataObject(l);  // Z not whole minutes: no minute form
    z->AddPoint({GU_DEGREE, GU_DEGREE, 45000});
    z->AddPoint({2 * GU_DEGREE, GU_DEGREE, 45000});
    auto* empty = new TGeoDataObject(l);
    empty->ID = -5;
    // Records with FeatureID 0 take the layer's first presenter when read, so
    // the second save is the fixed point.
    TGlobeLayer* r = Parse(l->SaveToString());
    const std::string second = r->SaveToString();
    EXPECT_EQ(Parse(second)->SaveToString(), second);
    ASSERT_EQ(r->ObjectCount(), 4);
    auto* pr = dynamic_cast<TPointPresenter*>(r->Presenters[0]);
    ASSERT_TRUE(pr);
    EXPECT_EQ(pr->PointSize, 7);
    EXPECT_EQ(pr->MaxPointSize, 20);
    EXPECT_EQ(pr->TitleOffset, 127);
    EXPECT_EQ(pr->TitleFont.FontSize, 32767);
    EXPECT_EQ(pr->TitleFont.FontAngle, -32768);
    // Registry order: bitmap, chains, then single points.
    auto* rb = dynamic_cast<TBitmapObject*>(r->Objects[0]);
    ASSERT_TRUE(rb);
    EXPECT_EQ(rb->GlobeUnitsPerPixel, 1000);
    EXPECT_EQ(rb->GlobeUnitsPerYPixel, 2000);
    EXPECT_EQ(rb->BMPFilename, "pic.bmp");
    EXPECT_EQ(dynamic_cast<TGeoDataObject&>(*r->Objects[1]).Points[0].Z, 45000);
    EXPECT_EQ(r->Objects[2]->Count(), 0);  // the empty chain stays empty, invents no point
    EXPECT_EQ(r->Objects[2]->ID, -5);
    auto* rs = dynamic_cast<TSinglePointObject*>(r->Objects[3]);
    ASSERT_TRUE(rs);
    EXPECT_EQ(rs->Point, (GlobePoint{GU_DEGREE, -GU_MINUTE * 7, 0}));
    EXPECT_EQ(rs->Presenter, pr);
}

// The writer's choices, read from the flags word of a one-chain layer.
TEST_F(LayerFixture, WriterChoosesCountWidthFormAndDropsDuplicates) {
    auto flagsOf = [&](const std::vector<GlobePoint>& pts, int* savedPoints = nullptr) {
        TGlobeContext g;
        TGlobeLayer* l = g.AddNewLayer("w");
        auto* o = new TGeoDataObject(l);
        o->SetCount(static_cast<int32_t>(pts.size()));
        for (size_t i = 0; i < pts.size(); ++i)
            o->Points[i] = pts[i];
        const std::string s = l->SaveToString();
        if (savedPoints) {
            TGlobeContext g2;
            TGlobeLayer* l2 = g2.AddNewLayer("r");
            l2->LoadFromString(s);
            *savedPoints = l2->Objects[0]->Count();
        }
        return static_cast<unsigned char>(s[18 + 4 + 15]);
    };
    std::vector<GlobePoint> line;
    for (int i = 0; i < 65536; ++i)
        line.push_back({(i % 2000) * GU_MINUTE - GU_180 / 2, (i / 2000) * GU_MINUTE, 0});
    int n = 0;
    EXPECT_EQ(flagsOf(line, &n), 0x08 | 0x10 | 0x40);
    EXPECT_EQ(n, 65536);
    line.pop_back();
    EXPECT_EQ(flagsOf(line, &n), 0x08 | 0x10);
    EXPECT_EQ(n, 65535);
    EXPECT_EQ(flagsOf({{0, 0, 0}, {GU_MINUTE, 0, 0}, {GU_MINUTE + 1, 0, 0}}), 0x10);
    EXPECT_EQ(flagsOf({{0, 0, 0}, {200 * GU_DEGREE / 2, 0, 0}, {-GU_90, GU_90, 0}}), 0x08);  // jumps: absolute
    EXPECT_EQ(flagsOf({{0, 0, GU_MINUTE}, {GU_MINUTE, 0, 2 * GU_MINUTE}}), 0x08 | 0x04 | 0x10);
    EXPECT_EQ(flagsOf({}, &n), 0x08);  // a count of 0 and no point
    EXPECT_EQ(n, 0);
    EXPECT_EQ(flagsOf({{GU_MINUTE, 0, 0}}, &n), 0x08 | 0x20);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(flagsOf({{10, 10, 0}, {10, 10, 0}, {10, 10, 0}}, &n), 0x10);
    EXPECT_EQ(n, 2);
    flagsOf({{10, 10, 0}, {20, 20, 0}, {20, 20, 0}}, &n);
    EXPECT_EQ(n, 2);
}

// Truncation at every offset and mutated files: a layer or a clean refusal,
// never a crash; what was read before the fault stays.
TEST_F(LayerFixture, HostileFilesGiveALayerOrAGlobeException) {
    TGlobeLayer* src = G.AddNewLayer("src");
    src->LoadFromString(Golden());
    new TSinglePointObject(src);
    auto* bm = new TBitmapObject(src);
    bm->BMPFilename = "x.bmp";
    auto* pp = new TPointPresenter(src, "P", 9);
    pp->SetMaxPointSize(3);
    src->Objects[3]->SetPresenter(pp);
    const std::string full = src->SaveToString();
    int refused = 0;
    for (size_t cut = 0; cut < full.size(); ++cut) {
        TGlobeContext g;
        TGlobeLayer* l = g.AddNewLayer("t");
        try {
            l->LoadFromString(full.substr(0, cut));
        } catch (const EGlobeException&) {
            ++refused;
        }
    }
    EXPECT_GT(refused, static_cast<int>(full.size()) / 2);
    {
        // Cut inside the second chain: the first stays.
        TGlobeContext g;
        TGlobeLayer* l = g.AddNewLayer("t");
        EXPECT_THROW(l->LoadFromString(Golden().substr(0, Golden().size() - 10)), EGlobeException);
        EXPECT_EQ(l->ObjectCount(), 1);
        EXPECT_EQ(l->Objects[0]->Title, "Caf\xC3\xA9");
    }
    std::mt19937 rng(20231);
    for (int i = 0; i < 20000; ++i) {
        std::string m = full;
        const int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits; ++e)
            m[rng() % m.size()] = static_cast<char>(rng() % 4 == 0 ? 0xFF : rng());
        TGlobeContext g;
        TGlobeLayer* l = g.AddNewLayer("t");
        try {
            l->LoadFromString(m);
            l->SaveToString();
        } catch (const EGlobeException&) {
        }
    }
}

TEST_F(LayerFixture, ProfileSectionsAndUnusedPresenters) {
    const std::string ini = Write("globe.ini",
                                  "[golden.lyr]\r\nname=Waters\r\nENABLED=0\r\nZoomUnits=furlong\r\nZoomMin=100\r\n");
    G.OpenProfile(ini);
    Write("golden.lyr", Golden());
    G.DataDirectory = Dir.string();
    TGlobeLayer* l = G.AddNewLayer("");
    l->SetFilename("golden.lyr");
    EXPECT_EQ(l->FilePath, Dir.string() + "/");
    EXPECT_EQ(l->Name, "Waters");
    EXPECT_FALSE(l->Enabled);
    EXPECT_EQ(l->ZoomUnits, TGlobeUnits::NauticalMile);  // unknown unit text
    EXPECT_EQ(l->ZoomMin, 100);
    EXPECT_EQ(l->ObjectCount(), 2);
    l->SetZoomUnits(TGlobeUnits::Thousanth);
    EXPECT_EQ(l->ZoomMin, 9000000);
    l->SaveProfile();
    EXPECT_EQ(G.Profile->ReadString("GOLDEN.LYR", "zoomunits", ""), "GU");
    EXPECT_EQ(G.Profile->ReadString("golden.lyr", "Enabled", ""), "0");
    EXPECT_EQ(G.Profile->ReadString("golden.lyr", "Visible", "absent"), "absent");
    EXPECT_TRUE(G.Profile->UpdateFile());
    EXPECT_NE(Read(ini).find("ZoomMin=9000000"), std::string::npos);

    // A presenter no object uses is not saved; one with FeatureID 0 in a record
    // takes the first presenter of the layer.
    new TPolylinePresenter(l, "unused", 7);
    l->Objects[0]->SetPresenter(l->Presenters[0]);
    l->Objects[1]->SetPresenter(l->Presenters[0]);
    const size_t before = l->Presenters.size();
    const std::string s = l->SaveToString();
    EXPECT_EQ(l->Presenters.size(), 1u);
    EXPECT_LT(l->Presenters.size(), before);
    TGlobeLayer* r = Parse(TBytes().u16(0x301).i32(0).i32(0).i32(0).i32(0).S + s.substr(18, s.find("TGeoDataObject") - 18 - 5) +
                           TBytes().i32(1).str("TGeoDataObject").u16(0x20).u16(0).i32(5).i32(6).i32(0).S);
    ASSERT_EQ(r->ObjectCount(), 1);
    EXPECT_EQ(r->Objects[0]->Presenter, r->Presenters[0]);
}

// Out-of-range enumeration bytes read as the defaults; presenters are saved
// sorted by class, keeping their order within a class.
TEST_F(LayerFixture, BadEnumBytesAndPresenterOrder) {
    TBytes b;
    b.u16(0x301).i32(0).i32(0).i32(0).i32(0).i32(1).str("TPolygonPresenter");
    b.i32(70000).u8(0).str("odd").u8(50);
    Font(b, 0, 77, 9, 0, 0, "Arial");
    b.i32(0).u8(200).u8(1).i32(0).u8(99);
    b.i32(0);
    TGlobeLayer* l = Parse(b.S);
    auto* p = dynamic_cast<TPolygonPresenter*>(l->Presenters.at(0));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->FeatureID, static_cast<int16_t>(70000));
    EXPECT_EQ(p->TitleAlignment, TTitleAlignment::taNone);
    EXPECT_EQ(p->TitleFont.FontUnit, TGlobeUnits::Pixel);
    EXPECT_EQ(p->PolygonPen.PenStyle, TPenStyle::psSolid);
    EXPECT_EQ(p->PolygonBrush.BrushStyle, TBrushStyle::bsSolid);

    TGlobeLayer* m = G.AddNewLayer("order");
    auto* line1 = new TPolylinePresenter(m, "b-line", 1);
    auto* area = new TPolygonPresenter(m, "area", 2);
    auto* line2 = new TPolylinePresenter(m, "a-line", 3);
    for (TGlobePresenter* q : {static_cast<TGlobePresenter*>(line1), static_cast<TGlobePresenter*>(area),
                               static_cast<TGlobePresenter*>(line2)}) {
        auto* o = new TGeoDataObject(m);
        o->AddPoint({0, 0, 0});
        o->AddPoint({GU_DEGREE, GU_DEGREE, 0});
        o->SetPresenter(q);
    }
    m->SaveToString();
    EXPECT_EQ(m->Presenters, (std::vector<TGlobePresenter*>{area, line1, line2}));
}
