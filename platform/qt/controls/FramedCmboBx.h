// The combo box with keyboard completion, a frame in one of the frame styles,
// a flat drop-down button, hover and focus tracking and wheel stepping.
#pragma once

#include "platform/qt/controls/ComboCompletion.h"
#include "platform/qt/controls/FrameCommon.h"

#include <QComboBox>
#include <QTimer>

class TFramedComboBox : public TFramedControl<QComboBox> {
    Q_OBJECT
public:
    explicit TFramedComboBox(QWidget* parent = nullptr);

    // Drop-down (editable) or list style.
    void SetStyle(TComboCompletion::TStyle style);
    TComboCompletion::TStyle Style() const { return FEngine.Style; }

    bool AllowEdit() const { return FEngine.AllowEdit; }
    void SetAllowEdit(bool v) { FEngine.AllowEdit = v; }
    bool BeepOnInvalidKey() const { return FEngine.BeepOnInvalidKey; }
    void SetBeepOnInvalidKey(bool v) { FEngine.BeepOnInvalidKey = v; }
    int DropDownWidth() const { return FDropDownWidth; }
    void SetDropDownWidth(int v);
    bool FlatButtons() const { return FFlatButtons; }
    void SetFlatButtons(bool v);
    TColor Color = clWindow;

    const TComboCompletion& Engine() const { return FEngine; }
    const std::string& SearchText() const { return FEngine.SearchText; }
    int BeepCount() const { return FBeeps; }
    void SetItems(const std::vector<std::string>& items);

signals:
    void Click();
    void Change();
    void OnMatch();
    void OnNotInList();
    void OnCloseUp();
    void OnMouseEnter();
    void OnMouseLeave();

protected:
    bool eventFilter(QObject* o, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void showPopup() override;
    void hidePopup() override;
    void FrameChanged() override { update(); }
    void FrameVisibleChanged() override;
    void FrameFlatChanged(bool) override { update(); }

private:
    void FromWidget();
    void ToWidget();
    void UpdateHotState();
    bool EditKey(QKeyEvent* k);
    void ShowTextStart();

    TComboCompletion FEngine;
    QTimer FResetTimer;
    bool FSettingText = false;
    bool FFocused = false, FHovered = false, FDropped = false;
    int FDropDownWidth = 0;
    int FWheelAngle = 0; // wheel turn not yet a whole notch
    bool FFlatButtons = true;
    int FBeeps = 0;
};
