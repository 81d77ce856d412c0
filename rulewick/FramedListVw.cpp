#include "rulewick/FramedListVw.h"

#include "platform/qt/QtGraphics.h"
#include "platform/rtl/SysUtils.h"

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>
#include <algorithm>

int FilledLastColumnWidth(const std::vector<int>& widths, int clientWidth, bool hasItems,
                          int scrollBarWidth) {
    if (widths.size() < 2) return -1;
    int sum = 0;
    for (size_t i = 0; i + 1 < widths.size(); ++i) sum += widths[i];
    const int available = hasItems ? clientWidth : clientWidth - scrollBarWidth;
    if (sum >= available) return -1;
    return available - sum > 4 ? available - sum : 5;
}

int CompareListItems(const std::vector<std::string>& a, const std::vector<std::string>& b,
                     int column) {
    if (column < 0) return 0;
    const size_t c = size_t(column);
    const std::string ta = c < a.size() ? a[c] : std::string();
    const std::string tb = c < b.size() ? b[c] : std::string();
    const int r = CompareText(ta, tb);
    if (r > 0 && tb.empty()) return -1;
    if (r < 0 && ta.empty()) return 1;
    return r;
}

int WheelScrollPixels(TViewStyle style, int scrollLines, int notchesDown) {
    return scrollLines * (style == TViewStyle::vsIcon ? 32 : 16) * notchesDown;
}

int WheelStepPixels(TViewStyle style, int scrollLines, int angleDown, int& remainder) {
    const int perNotch = WheelScrollPixels(style, scrollLines, 1);
    // A turn the other way starts afresh.
    if ((remainder > 0 && angleDown < 0) || (remainder < 0 && angleDown > 0)) remainder = 0;
    remainder += angleDown * perNotch;
    const int pixels = remainder / 120;
    remainder -= pixels * 120;
    return pixels;
}

bool MayStartLabelEdit(bool editOnRowClick, bool cursorOnLabel, bool inheritedAllows) {
    if (editOnRowClick) return true;
    return cursorOnLabel && inheritedAllows;
}

// ------------------------------------------------------------------ control

TFramedCustomListView::TFramedCustomListView(QWidget* parent)
    : TFramedControl<QTreeWidget>(parent) {
    setRootIsDecorated(false);
    setFrameShape(QFrame::NoFrame);
    setUniformRowHeights(true);
    // The wheel scrolls by pixels.
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setColumnCount(1);
    header()->setStretchLastSection(false);
    header()->setSectionsClickable(true);
    connect(header(), &QHeaderView::sectionClicked, this, [this](int column) {
        if (AlphaSortAll) SortByColumn(column);
        emit OnColumnClick(column);
    });
    // The user finished moving a column border.
    connect(header(), &QHeaderView::sectionResized, this, [this](int, int, int) {
        if (!FResizing) ResizeLastColumn();
    });
    setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    SetViewStyle(FViewStyle);
}

std::vector<std::string> TFramedCustomListView::ItemTexts(const QTreeWidgetItem* item) {
    std::vector<std::string> texts;
    for (int c = 0; c < item->columnCount(); ++c) texts.push_back(item->text(c).toStdString());
    // Trailing empty columns are missing sub-items.
    while (texts.size() > 1 && texts.back().empty()) texts.pop_back();
    return texts;
}

void TFramedCustomListView::SortByColumn(int column) {
    std::vector<QTreeWidgetItem*> items;
    while (topLevelItemCount() > 0) items.push_back(takeTopLevelItem(0));
    std::stable_sort(items.begin(), items.end(), [column](QTreeWidgetItem* a, QTreeWidgetItem* b) {
        return CompareListItems(ItemTexts(a), ItemTexts(b), column) < 0;
    });
    for (QTreeWidgetItem* item : items) addTopLevelItem(item);
}

int TFramedCustomListView::ScrollBarWidth() const {
    return style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
}

void TFramedCustomListView::ResizeLastColumn() {
    if (!FFillLastColumn || columnCount() < 2 || FResizing) return;
    std::vector<int> widths;
    for (int c = 0; c < columnCount(); ++c) widths.push_back(columnWidth(c));
    const int w = FilledLastColumnWidth(widths, viewport()->width(), topLevelItemCount() > 0,
                                        ScrollBarWidth());
    if (w < 0) return;
    FResizing = true;
    setColumnWidth(columnCount() - 1, w);
    FResizing = false;
}

void TFramedCustomListView::SetFillLastColumn(bool v) {
    if (v == FFillLastColumn) return;
    FFillLastColumn = v;
    ResizeLastColumn();
}

void TFramedCustomListView::FrameFlatChanged(bool shown) {
    if (shown) FrameVisibleChanged();
    RedrawFrame();
    viewport()->update();
}

// The frame's margin comes or goes around the viewport.
void TFramedCustomListView::FrameVisibleChanged() {
    updateGeometries();
    RedrawFrame();
}

void TFramedCustomListView::SetColor(TColor v) {
    FColor = v;
    QPalette p = palette();
    p.setColor(QPalette::Base, ToQColor(v));
    setPalette(p);
    if (FrameVisible()) RedrawFrame();
}

void TFramedCustomListView::SetViewStyle(TViewStyle v) {
    FViewStyle = v;
    const bool report = v == TViewStyle::vsReport;
    setHeaderHidden(!report);
    // Without a header the captions are never cut short: the one column
    // is as wide as the longest.
    header()->setSectionResizeMode(report ? QHeaderView::Interactive
                                          : QHeaderView::ResizeToContents);
}

void TFramedCustomListView::SetReadOnly(bool v) {
    FReadOnly = v;
}

void TFramedCustomListView::RedrawFrame() {
    update();
}

void TFramedCustomListView::UpdateFrameStyle(bool setHover, bool hover) {
    if (setHover) FMouseOver = hover;
    if (FollowFocusAndHover(hasFocus(), FMouseOver)) RedrawFrame();
}

bool TFramedCustomListView::event(QEvent* e) {
    // Paint events of the control itself (not of its viewport) are the
    // non-client area: the inherited painting first, then the frame.
    const bool result = QTreeWidget::event(e);
    if (e->type() == QEvent::Paint && FrameVisible()) {
        QPainter p(this);
        PaintFrame(p, FColor);
    }
    return result;
}

void TFramedCustomListView::updateGeometries() {
    QTreeWidget::updateGeometries();
    if (FInGeometries) return;
    // The frame lives in a 2-pixel margin around the viewport and the header;
    // the tree view sets the viewport margins for its header, so they are set
    // again here.
    FInGeometries = true;
    const int m = FrameVisible() ? 2 : 0;
    const int h = header()->isHidden() ? 0 : header()->sizeHint().height();
    setViewportMargins(m, m + h, m, m);
    const QRect vg = viewport()->geometry();
    if (h > 0) header()->setGeometry(vg.left(), vg.top() - h, vg.width(), h);
    FInGeometries = false;
}

void TFramedCustomListView::resizeEvent(QResizeEvent* e) {
    QTreeWidget::resizeEvent(e);
    ResizeLastColumn();
    if (FrameVisible()) RedrawFrame();
}

void TFramedCustomListView::wheelEvent(QWheelEvent* e) {
    const int pixels = WheelStepPixels(FViewStyle, QApplication::wheelScrollLines(),
                                       -e->angleDelta().y(), FWheelRemainder);
    if (pixels != 0) {
        QScrollBar* bar = verticalScrollBar();
        bar->setValue(bar->value() + pixels);
    }
    e->accept();
}

void TFramedCustomListView::focusInEvent(QFocusEvent* e) {
    UpdateFrameStyle(false, false);
    QTreeWidget::focusInEvent(e);
    UpdateFrameStyle(false, false);
}

void TFramedCustomListView::focusOutEvent(QFocusEvent* e) {
    QTreeWidget::focusOutEvent(e);
    UpdateFrameStyle(false, false);
}

void TFramedCustomListView::enterEvent(QEnterEvent* e) {
    QTreeWidget::enterEvent(e);
    UpdateFrameStyle(true, true);
    emit OnMouseEnter();
}

void TFramedCustomListView::leaveEvent(QEvent* e) {
    QTreeWidget::leaveEvent(e);
    UpdateFrameStyle(true, false);
    emit OnMouseLeave();
}

QRect TFramedCustomListView::LabelRect(const QModelIndex& index) const {
    QRect r = visualRect(index);
    const QTreeWidgetItem* item = itemFromIndex(index);
    if (item && !item->icon(index.column()).isNull()) {
        const int icon = iconSize().isValid() ? iconSize().width()
                                              : style()->pixelMetric(QStyle::PM_SmallIconSize);
        r.setLeft(r.left() + icon + 4);
    }
    const int text = fontMetrics().horizontalAdvance(index.data().toString()) + 8;
    if (r.width() > text) r.setWidth(text);
    return r;
}

bool TFramedCustomListView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    if (trigger == QAbstractItemView::AllEditTriggers || trigger == QAbstractItemView::NoEditTriggers)
        return QTreeWidget::edit(index, trigger, event);
    if (FReadOnly) return false;
    QPoint at = viewport()->mapFromGlobal(QCursor::pos());
    if (event && event->type() == QEvent::MouseButtonRelease)
        at = static_cast<QMouseEvent*>(event)->position().toPoint();
    const bool onLabel = trigger == QAbstractItemView::EditKeyPressed || LabelRect(index).contains(at);
    if (!MayStartLabelEdit(EditOnRowClick, onLabel, true)) return false;
    return QTreeWidget::edit(index, trigger, event);
}
