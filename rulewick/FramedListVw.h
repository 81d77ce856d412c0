// The list view with a frame in one of the frame styles, a flat mode that
// follows focus and hover, a last column that fills the width, sorting by any
// column on a header click, label editing only from the label, and wheel
// scrolling by a fixed pixel step.
#pragma once

#include "platform/qt/controls/FrameCommon.h"

#include <QTreeWidget>
#include <string>
#include <vector>

enum class TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };

// The rules of the control, free of any widget.
// The new width of the last column, or -1 when it stays.
int FilledLastColumnWidth(const std::vector<int>& widths, int clientWidth, bool hasItems,
                          int scrollBarWidth);
// Texts of an item: caption, then its sub-items. Case-insensitive; column 0
// is the caption, column c > 0 sub-item c - 1 (empty when missing); empty
// texts after all others; a column < 0 gives 0.
int CompareListItems(const std::vector<std::string>& a, const std::vector<std::string>& b,
                     int column);
// Pixels to scroll: 32 (icon view) or 16 per line, down positive.
int WheelScrollPixels(TViewStyle style, int scrollLines, int notchesDown);
// Pixels to scroll for one wheel event of angleDown eighths of a degree (down
// positive); partial notches (smooth wheels, touchpads) add up in remainder.
int WheelStepPixels(TViewStyle style, int scrollLines, int angleDown, int& remainder);
bool MayStartLabelEdit(bool editOnRowClick, bool cursorOnLabel, bool inheritedAllows);

class TFramedCustomListView : public TFramedControl<QTreeWidget> {
    Q_OBJECT
public:
    explicit TFramedCustomListView(QWidget* parent = nullptr);

    bool AlphaSortAll = false;
    bool EditOnRowClick = false;
    bool FillLastColumn() const { return FFillLastColumn; }
    void SetFillLastColumn(bool v);
    TColor Color() const { return FColor; }
    void SetColor(TColor v);
    QObject* FrameController = nullptr;

    TViewStyle ViewStyle() const { return FViewStyle; }
    void SetViewStyle(TViewStyle v);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool v);

    virtual void UpdateFrameStyle(bool setHover, bool hover);
    virtual void RedrawFrame();
    virtual void ResizeLastColumn();

    // The item texts as the compare function sees them.
    static std::vector<std::string> ItemTexts(const QTreeWidgetItem* item);
    void SortByColumn(int column);
    int ScrollBarWidth() const;

signals:
    void OnMouseEnter();
    void OnMouseLeave();
    void OnColumnClick(int column);

protected:
    bool event(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void updateGeometries() override;
    void wheelEvent(QWheelEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void FrameChanged() override { RedrawFrame(); }
    void FrameVisibleChanged() override;
    void FrameFlatChanged(bool shown) override;

private:
    QRect LabelRect(const QModelIndex& index) const;

    bool FFillLastColumn = true;
    TColor FColor = int32_t(0x80000005); // clWindow
    TViewStyle FViewStyle = TViewStyle::vsReport;
    bool FReadOnly = false;
    bool FMouseOver = false;
    bool FResizing = false;
    bool FInGeometries = false;
    int FWheelRemainder = 0;
};

class TFramedListView : public TFramedCustomListView {
    Q_OBJECT
public:
    using TFramedCustomListView::TFramedCustomListView;
};
