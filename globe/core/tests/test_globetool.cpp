#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "globe/core/tests/GlobeTestSupport.h"

namespace {

struct ToolRun {
    int Code;
    std::string Out;
};

ToolRun Tool(const std::string& args) {
    const std::string cmd = std::string(HX_GLOBETOOL) + " " + args + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    std::string out;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
        out.append(buf.data(), n);
    const int status = pclose(p);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

}  // namespace

TEST(GlobeTool, EveryCommand) {
    namespace fs = std::filesystem;
    const char* base = std::getenv("HX_TEST_TMP");
    const fs::path dir = fs::path(base ? base : fs::temp_directory_path().string()) / ("globetool_" + std::to_string(getpid()));
    fs::create_directories(dir);
    {
        TGlobeContext g;
        TGlobeLayer* l = g.AddNewLayer("t");
        auto* p = new TPolygonPresenter(l, "Zones", 4);
        auto* o = new TGeoDataObject(l);
        for (auto [lon, lat] : {std::pair{10, 10}, {20, 10}, {20, 20}, {10, 20}})
            o->AddPoint(Deg(lon, lat));
        o->Title = "Box";
        o->ID = 9;
        o->SetPresenter(p);
        l->SaveToFile((dir / "a.lyr").string());
    }
    const std::string a = (dir / "a.lyr").string(), b = (dir / "b.lyr").string();
    ToolRun r = Tool("info " + a);
    EXPECT_EQ(r.Code, 0);
    EXPECT_EQ(r.Out.substr(0, 12), "version 301 ");
    EXPECT_NE(r.Out.find("presenters 1 objects 1\n"), std::string::npos);
    EXPECT_NE(r.Out.find("P\tTPolygonPresenter\tZones\t4\n"), std::string::npos);
    EXPECT_NE(r.Out.find("O\tTGeoDataObject\tBox\t9\t4\t4\n"), std::string::npos);
    // The first rewrite stores the computed extent; from then on it is stable.
    const std::string c = (dir / "c.lyr").string();
    EXPECT_EQ(Tool("rewrite " + a + " " + b).Code, 0);
    EXPECT_EQ(Tool("rewrite " + b + " " + c).Code, 0);
    std::ifstream fa(c, std::ios::binary), fb(b, std::ios::binary);
    std::stringstream sa, sb;
    sa << fa.rdbuf();
    sb << fb.rdbuf();
    EXPECT_EQ(sa.str(), sb.str());
    EXPECT_EQ(Tool("at " + a + " 15 15 25 15").Out, "Box\n-\n");
    const ToolRun far = Tool("project sphere 400 300 0 40 -100 80 -40");
    EXPECT_EQ(far.Out.substr(far.Out.size() - 2), "0\n");  // the far side is not visible
    EXPECT_EQ(Tool("project sphere 400 300 0 40 -100 -100 40 80 -40").Out, "200 150 1\n" + far.Out);
    EXPECT_EQ(Tool("project mercator 400 300 0 -30 20 20 -30").Out, "200 150 1\n");
    const std::string top = Tool("project cartesian 400 300 0 0 0 0 89.99").Out;
    EXPECT_EQ(top.substr(top.size() - 3), " 1\n");
    EXPECT_EQ(Tool("unproject sphere 400 300 0 10 20 200 150 0 0").Out, "20.000000 10.000000\noff\n");
    EXPECT_EQ(Tool("distance GRS1980 -37.9510334167 144.4248678889 -37.6528211389 143.9264955278").Out, "54972.271\n");
    EXPECT_EQ(Tool("sun 2026-06-21T12:00:00Z").Out, "0.000000 23.429861\n");
    ToolRun bad = Tool("info " + (dir / "missing.lyr").string());
    EXPECT_EQ(bad.Code, 1);
    EXPECT_NE(bad.Out.find("not found"), std::string::npos);
    EXPECT_EQ(Tool("sun yesterday").Code, 1);
    EXPECT_EQ(Tool("distance Mars 0 0 1 1").Code, 1);
    // The usage names every command the tool has.
    const ToolRun usage = Tool("");
    EXPECT_EQ(usage.Code, 2);
    for (const char* c : {"info FILE", "rewrite IN", "at FILE", " project sphere", "unproject sphere",
                          "distance SPHEROID", "sun YYYY", "render sphere", "texture LAYER"})
        EXPECT_NE(usage.Out.find(c), std::string::npos) << c;
    fs::remove_all(dir);
}
