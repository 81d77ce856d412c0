// Whole pictures from hx_globetool against stored ones, with a tolerance for
// rasteriser differences. HX_REMAKE_GOLDEN=1 writes them anew instead
// (scripts/remake-globe-golden.sh).
#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdlib>

#include "globe/GlobeTool.h"
#include "globe/tests/GlobeDrawTestSupport.h"

namespace {

int RunTool(const QStringList& args) {
    QProcess p;
    p.start(HX_GLOBETOOL, args);
    if (!p.waitForFinished(60000))
        return -1;
    if (p.exitCode() != 0)
        ADD_FAILURE() << p.readAllStandardError().toStdString();
    return p.exitCode();
}

// Share of pixels whose colour differs by more than a little.
double Differing(const QImage& a, const QImage& b) {
    if (a.size() != b.size())
        return 1;
    int64_t n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            n += std::abs(qRed(p) - qRed(q)) > 24 || std::abs(qGreen(p) - qGreen(q)) > 24 ||
                 std::abs(qBlue(p) - qBlue(q)) > 24;
        }
    return static_cast<double>(n) / (a.width() * a.height());
}

TEST(GlobeGolden, SyntheticLayersInTheThreeProjectionsAndTheTexturedShadowedGlobe) {
    EnsureTestApp();
    QTemporaryDir dir;
    const QString layer = dir.filePath("synthetic.lyr"), tex = dir.filePath("world.bmp");
    {
        TGlobeContext g;
        AddSyntheticLayer(g)->SaveToFile(layer.toStdString());
    }
    ASSERT_EQ(RunTool({"texture", layer, "360", "180", tex}), 0);
    TTextureData t;
    ASSERT_TRUE(t.Load(tex.toStdString())) << t.Error;
    EXPECT_EQ(t.Width(), 360);
    EXPECT_NE(t.Texel(180, 110), 0);  // the square at 0..-20 E, 10..30 N is land
    EXPECT_EQ(t.Texel(180, 90), 0);

    struct Scene {
        const char* Name;
        QStringList Args;
    };
    const Scene scenes[] = {
        {"sphere", {"sphere", "400", "300", "0", "20", "170", "--grid"}},
        {"cartesian", {"cartesian", "400", "300", "0", "0", "0", "--grid"}},
        {"mercator", {"mercator", "400", "300", "0", "0", "0", "--grid"}},
        {"textured", {"sphere", "400", "300", "0", "20", "70", "--texture", tex, "--shadow", "2026-06-21T12:00:00Z"}},
    };
    const bool remake = std::getenv("HX_REMAKE_GOLDEN") != nullptr;
    for (const Scene& s : scenes) {
        const QString out = dir.filePath(QString(s.Name) + ".png");
        QStringList args = {"render"};
        args << s.Args.mid(0, 6) << out << s.Args.mid(6) << layer;
        ASSERT_EQ(RunTool(args), 0) << s.Name;
        const QImage got(out);
        ASSERT_EQ(got.size(), QSize(400, 300)) << s.Name;
        const QString golden = QString(HX_SOURCE_DIR) + "/globe/tests/golden/" + s.Name + ".png";
        if (remake) {
            QFile::remove(golden);
            ASSERT_TRUE(QFile::copy(out, golden)) << golden.toStdString();
            continue;
        }
        const QImage want(golden);
        ASSERT_FALSE(want.isNull()) << golden.toStdString();
        EXPECT_LE(Differing(got, want), 0.005) << s.Name;
    }
}

TEST(GlobeGolden, ToolRefusesBadInput) {
    QTemporaryDir dir;
    const QString bad = dir.filePath("bad.lyr"), out = dir.filePath("o.png");
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("\xFF\x02nonsense");
    f.close();
    for (const QStringList& a :
         {QStringList{"render", "sphere", "10", "10", "0", "0", "0", out, bad},
          QStringList{"render", "globe", "10", "10", "0", "0", "0", out},
          QStringList{"render", "sphere", "10", "10", "0", "0", "0", out, "--texture", bad},
          QStringList{"texture", bad, "10", "10", dir.filePath("t.bmp")}}) {
        QProcess p;
        p.start(HX_GLOBETOOL, a);
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 1) << a.join(' ').toStdString();
        EXPECT_FALSE(p.readAllStandardError().isEmpty());
    }
}

}  // namespace
