#include "rulewick/FramedListVw.h"

#include "RulewickTestSupport.h"
#include "platform/qt/QtGraphics.h"

#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

namespace {

class TOpenListView : public TFramedListView {
public:
    using TFramedListView::closeEditor;
    using TFramedListView::edit;
    using TFramedListView::TFramedListView;
};

} // namespace

class FramedListView : public RulewickTempTest {};

TEST_F(FramedListView, RulesOfTheControl) {
    struct Width {
        std::vector<int> widths;
        int client;
        bool items;
        int expected;
    } widths[] = {
        {{100, 50}, 300, true, 200}, {{100, 50}, 104, true, 5}, {{100, 50}, 90, true, -1},
        {{100, 50}, 300, false, 184}, {{100}, 300, true, -1},   {{100, 50}, 100, true, -1},
    };
    for (const Width& w : widths)
        EXPECT_EQ(FilledLastColumnWidth(w.widths, w.client, w.items, 16), w.expected)
            << w.client << " " << w.items;

    using V = std::vector<std::string>;
    EXPECT_LT(CompareListItems(V{"apple"}, V{"Banana"}, 0), 0);
    EXPECT_GT(CompareListItems(V{"Cherry"}, V{"banana"}, 0), 0);
    EXPECT_EQ(CompareListItems(V{"a", "X"}, V{"b", "x"}, 1), 0);
    EXPECT_EQ(CompareListItems(V{"a"}, V{"b", "x"}, 1), 1);  // missing sub-item last
    EXPECT_EQ(CompareListItems(V{"a", "x"}, V{"b"}, 1), -1);
    EXPECT_EQ(CompareListItems(V{"a"}, V{"b"}, -1), 0);

    EXPECT_EQ(WheelScrollPixels(TViewStyle::vsIcon, 3, 1), 96);
    EXPECT_EQ(WheelScrollPixels(TViewStyle::vsList, 3, 1), 48);
    EXPECT_EQ(WheelScrollPixels(TViewStyle::vsReport, 3, -2), -96);

    using F = TFrameStyle;
    EXPECT_EQ(FlatFrameStyle(false, false, F::fsStatus, F::fsLowered), F::fsStatus);
    EXPECT_EQ(FlatFrameStyle(true, false, F::fsStatus, F::fsLowered), F::fsLowered);
    EXPECT_EQ(FlatFrameStyle(false, true, F::fsStatus, F::fsLowered), F::fsLowered);
    EXPECT_TRUE(MayStartLabelEdit(true, false, false));
    EXPECT_FALSE(MayStartLabelEdit(false, false, true));
    EXPECT_TRUE(MayStartLabelEdit(false, true, true));
}

TEST_F(FramedListView, DefaultsSortingAndLastColumn) {
    TFramedListView v;
    EXPECT_FALSE(v.AlphaSortAll);
    EXPECT_FALSE(v.EditOnRowClick);
    EXPECT_TRUE(v.FillLastColumn());
    EXPECT_EQ(v.FrameColor(), clBtnShadow);
    EXPECT_FALSE(v.FrameFlat());
    EXPECT_EQ(v.FrameFlatStyle(), TFrameStyle::fsStatus);
    EXPECT_EQ(v.FrameFocusStyle(), TFrameStyle::fsLowered);
    EXPECT_EQ(v.FrameSides(), AllSides);
    EXPECT_EQ(v.FrameStyle(), TFrameStyle::fsFlat);
    EXPECT_FALSE(v.FrameVisible());
    EXPECT_TRUE(v.UseFrameController);

    v.setColumnCount(2);
    for (auto [caption, sub] : {std::pair{"cherry", ""}, {"Banana", "b"}, {"apple", ""},
                                {"date", "A"}})
        v.addTopLevelItem(new QTreeWidgetItem({caption, sub}));
    v.AlphaSortAll = true;
    std::vector<std::string> order;
    auto captions = [&] {
        order.clear();
        for (int i = 0; i < v.topLevelItemCount(); ++i)
            order.push_back(v.topLevelItem(i)->text(0).toStdString());
        return order;
    };
    v.SortByColumn(0);
    EXPECT_EQ(captions(), (std::vector<std::string>{"apple", "Banana", "cherry", "date"}));
    v.SortByColumn(1);
    EXPECT_EQ(captions(), (std::vector<std::string>{"date", "Banana", "apple", "cherry"}));

    v.resize(300 + 2 * v.frameWidth(), 200);
    v.show();
    v.setColumnWidth(0, 100);
    v.setColumnWidth(1, 50);
    v.ResizeLastColumn();
    EXPECT_EQ(v.columnWidth(1), v.viewport()->width() - 100);
}

TEST_F(FramedListView, FrameFlatModeAndPixels) {
    TFramedListView v;
    v.resize(120, 80);
    v.SetColor(clWhite);
    v.SetFrameVisible(true);
    v.SetFrameColor(clRed);
    v.show();
    QImage img = v.grab().toImage();
    EXPECT_EQ(img.pixel(0, 0), QColor(Qt::red).rgb());
    EXPECT_EQ(img.pixel(119, 79), QColor(Qt::red).rgb());
    EXPECT_EQ(img.pixel(1, 1), QColor(Qt::white).rgb()); // the cleared second ring
    EXPECT_EQ(img.pixel(60, 1), QColor(Qt::white).rgb());

    v.SetFrameSides(sdLeft | sdTop);
    img = v.grab().toImage();
    EXPECT_EQ(img.pixel(0, 40), QColor(Qt::red).rgb());
    EXPECT_EQ(img.pixel(119, 40), QColor(Qt::white).rgb());

    v.SetFrameStyle(TFrameStyle::fsStatus);
    v.SetFrameSides(AllSides);
    img = v.grab().toImage();
    EXPECT_EQ(img.pixel(0, 40), ToQColor(clBtnShadow).rgb());
    EXPECT_EQ(img.pixel(119, 40), ToQColor(clBtnHighlight).rgb());

    TFramedListView flat;
    flat.SetFrameSides(sdTop);
    flat.SetFrameFlat(true);
    EXPECT_TRUE(flat.FrameVisible());
    EXPECT_EQ(flat.FrameSides(), AllSides);
    EXPECT_EQ(flat.FrameStyle(), TFrameStyle::fsStatus);
    int entered = 0, left = 0;
    QObject::connect(&flat, &TFramedListView::OnMouseEnter, [&] { ++entered; });
    QObject::connect(&flat, &TFramedListView::OnMouseLeave, [&] { ++left; });
    flat.UpdateFrameStyle(true, true);
    EXPECT_EQ(flat.FrameStyle(), TFrameStyle::fsLowered);
    flat.UpdateFrameStyle(true, false);
    EXPECT_EQ(flat.FrameStyle(), TFrameStyle::fsStatus);
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(&flat, &enter);
    EXPECT_EQ(flat.FrameStyle(), TFrameStyle::fsLowered);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&flat, &leave);
    EXPECT_EQ(flat.FrameStyle(), TFrameStyle::fsStatus);
    EXPECT_EQ(entered, 1);
    EXPECT_EQ(left, 1);
}

TEST_F(FramedListView, WheelStepsAndLabelEditing) {
    TOpenListView v;
    v.resize(200, 100);
    for (int i = 0; i < 200; ++i) v.addTopLevelItem(new QTreeWidgetItem({QString::number(i)}));
    v.show();
    QApplication::setWheelScrollLines(3);
    for (auto [style, step] : {std::pair{TViewStyle::vsList, 48}, {TViewStyle::vsIcon, 96}}) {
        v.SetViewStyle(style);
        v.verticalScrollBar()->setValue(200);
        QWheelEvent down(QPointF(10, 10), v.mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, -120),
                         Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(v.viewport(), &down);
        EXPECT_EQ(v.verticalScrollBar()->value(), 200 + step);
        QWheelEvent up(QPointF(10, 10), v.mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, 120),
                       Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(v.viewport(), &up);
        EXPECT_EQ(v.verticalScrollBar()->value(), 200);
        // Touchpads and smooth wheels send parts of a notch: eight of 15 add up to one.
        for (int i = 0; i < 8; ++i) {
            QWheelEvent part(QPointF(10, 10), v.mapToGlobal(QPointF(10, 10)), QPoint(),
                             QPoint(0, -15), Qt::NoButton, Qt::NoModifier, Qt::ScrollUpdate,
                             false);
            QApplication::sendEvent(v.viewport(), &part);
        }
        EXPECT_EQ(v.verticalScrollBar()->value(), 200 + step);
        for (int i = 0; i < 8; ++i) {
            QWheelEvent part(QPointF(10, 10), v.mapToGlobal(QPointF(10, 10)), QPoint(),
                             QPoint(0, 15), Qt::NoButton, Qt::NoModifier, Qt::ScrollUpdate,
                             false);
            QApplication::sendEvent(v.viewport(), &part);
        }
        EXPECT_EQ(v.verticalScrollBar()->value(), 200);
    }

    // Editing starts only on the label, not on the icon.
    v.verticalScrollBar()->setValue(0);
    QTreeWidgetItem* item = v.topLevelItem(0);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    QPixmap icon(16, 16);
    icon.fill(Qt::blue);
    item->setIcon(0, QIcon(icon));
    const QModelIndex index = v.indexFromItem(item);
    const QRect r = v.visualRect(index);
    v.setEditTriggers(QAbstractItemView::DoubleClicked);
    auto release = [&](QPoint at) {
        QMouseEvent e(QEvent::MouseButtonRelease, QPointF(at), v.viewport()->mapToGlobal(QPointF(at)),
                      Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        const bool started = v.edit(index, QAbstractItemView::DoubleClicked, &e);
        if (QWidget* editor = v.indexWidget(index))
            v.closeEditor(editor, QAbstractItemDelegate::NoHint);
        return started;
    };
    EXPECT_FALSE(release(QPoint(r.left() + 4, r.center().y())));
    EXPECT_TRUE(release(QPoint(r.left() + 16 + 8, r.center().y())));
    v.SetReadOnly(true);
    EXPECT_FALSE(release(QPoint(r.left() + 16 + 8, r.center().y())));
    v.SetReadOnly(false);
    v.EditOnRowClick = true;
    EXPECT_TRUE(release(QPoint(r.left() + 4, r.center().y())));
}
