#include "platform/qt/QtGraphics.h"
#include "platform/qt/controls/FrameCommon.h"
#include "platform/qt/controls/FramedCmboBx.h"
#include "platform/qt/controls/tests/QtApp.h"

#include <QApplication>
#include <QPainter>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace {

QImage Blank() {
    QImage img(20, 20, QImage::Format_RGB32);
    img.fill(Qt::white);
    return img;
}

TEST(Frames, SidesDrawOnlyChosenEdgesAndShrink) {
    TestApp();
    QImage img = Blank();
    TRect out;
    {
        QPainter p(&img);
        DrawFrameSides(p, {2, 2, 12, 12}, clRed, out, sdLeft | sdBottom, clBlue);
    }
    EXPECT_EQ(out, (TRect{3, 2, 12, 11}));
    EXPECT_EQ(img.pixel(2, 5), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(6, 11), qRgb(0, 0, 255));
    EXPECT_EQ(img.pixel(6, 2), qRgb(255, 255, 255)); // top not drawn
    EXPECT_EQ(img.pixel(11, 5), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(6, 12), qRgb(255, 255, 255)); // end point excluded
}

TEST(Frames, StylesReturnTheRectangleInsideTheirRings) {
    TestApp();
    QImage img = Blank();
    QPainter p(&img);
    const TRect r{0, 0, 20, 20};
    TRect out;
    DrawFrameStyleBorder(p, r, TFrameStyle::fsNone, out, AllSides);
    EXPECT_EQ(out, r);
    for (TFrameStyle s : {TFrameStyle::fsFlat, TFrameStyle::fsStatus, TFrameStyle::fsPopup}) {
        DrawFrameStyleBorder(p, r, s, out, AllSides);
        EXPECT_EQ(out, (TRect{1, 1, 19, 19}));
    }
    for (TFrameStyle s : {TFrameStyle::fsRaised, TFrameStyle::fsLowered, TFrameStyle::fsButtonUp,
                          TFrameStyle::fsButtonDown, TFrameStyle::fsGroove, TFrameStyle::fsBump}) {
        DrawFrameStyleBorder(p, r, s, out, AllSides);
        EXPECT_EQ(out, (TRect{2, 2, 18, 18}));
    }
    DrawFrameStyleBorder(p, r, TFrameStyle::fsGroove, out, sdTop);
    EXPECT_EQ(out, (TRect{0, 2, 20, 20}));
}

TEST(Frames, FlatModeFollowsFocus) {
    TestApp();
    TFramedComboBox box;
    box.SetFrameFlat(true);
    EXPECT_TRUE(box.FrameVisible());
    EXPECT_EQ(box.FrameStyle(), TFrameStyle::fsStatus);
    box.show();
    box.setFocus();
    QApplication::processEvents();
    QImage img(box.size(), QImage::Format_RGB32);
    box.render(&img);
    EXPECT_FALSE(img.isNull());
}

} // namespace

namespace {
TEST(FramedCombo, PartsOfAWheelNotchAddUpToOneItem) {
    TestApp();
    TFramedComboBox box;
    box.SetItems({"a", "b", "c", "d"});
    box.setCurrentIndex(0);
    auto turn = [&](int delta, int times) {
        for (int i = 0; i < times; ++i) {
            QWheelEvent e(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::ScrollUpdate, false);
            QApplication::sendEvent(&box, &e);
        }
    };
    turn(-15, 7);
    EXPECT_EQ(box.currentIndex(), 0);
    turn(-15, 1);
    EXPECT_EQ(box.currentIndex(), 1);
    turn(-120, 1);
    EXPECT_EQ(box.currentIndex(), 2);
    turn(15, 8);
    EXPECT_EQ(box.currentIndex(), 1);
}
} // namespace
