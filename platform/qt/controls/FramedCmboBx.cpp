#include "platform/qt/controls/FramedCmboBx.h"

#include "platform/qt/QtGraphics.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <algorithm>

TFramedComboBox::TFramedComboBox(QWidget* parent) : TFramedControl<QComboBox>(parent) {
    FResetTimer.setInterval(1500);
    FResetTimer.setSingleShot(true);
    connect(&FResetTimer, &QTimer::timeout, this, [this] { FEngine.TimerElapsed(); });
    FEngine.OnClick = [this] { emit Click(); };
    FEngine.OnChange = [this] { emit Change(); };
    FEngine.OnMatch = [this] { emit OnMatch(); };
    FEngine.OnNotInList = [this] { emit OnNotInList(); };
    FEngine.OnBeep = [this] {
        ++FBeeps;
        QApplication::beep();
    };
    SetStyle(TComboCompletion::TStyle::DropDown);
    // The completion places the caret itself while it sets the text.
    connect(this, &QComboBox::currentIndexChanged, this, [this] {
        if (!FSettingText) ShowTextStart();
    });
    connect(this, &QComboBox::activated, this, [this] { ShowTextStart(); });
}

// A closed combo shows the start of its text (a rule's name begins its
// description); the line edit would scroll to its caret at the end.
void TFramedComboBox::ShowTextStart() {
    if (QLineEdit* le = lineEdit()) le->setCursorPosition(0);
}

void TFramedComboBox::SetStyle(TComboCompletion::TStyle style) {
    FEngine.Style = style;
    setEditable(style == TComboCompletion::TStyle::DropDown);
    if (QLineEdit* le = lineEdit()) {
        setCompleter(nullptr);
        setInsertPolicy(QComboBox::NoInsert);
        le->installEventFilter(this);
        connect(le, &QLineEdit::textEdited, this, [this](const QString&) {});
        connect(le, &QLineEdit::textChanged, this, [this](const QString& t) {
            if (FSettingText) return;
            FEngine.TextChanged(t.toStdString());
            ToWidget();
        });
    }
}

void TFramedComboBox::SetItems(const std::vector<std::string>& items) {
    FSettingText = true;
    clear();
    for (const auto& i : items)
        addItem(QString::fromStdString(i));
    FEngine.Items = items;
    FEngine.SetItemIndex(-1);
    setCurrentIndex(-1);
    FSettingText = false;
}

void TFramedComboBox::FromWidget() {
    FEngine.ItemIndex = currentIndex();
    if (QLineEdit* le = lineEdit()) {
        FEngine.Text = le->text().toStdString();
        const QString t = le->text();
        if (le->hasSelectedText()) {
            FEngine.SelStart = int(t.left(le->selectionStart()).toUtf8().size());
            FEngine.SelLength = int(le->selectedText().toUtf8().size());
        } else {
            FEngine.SelStart = int(t.left(le->cursorPosition()).toUtf8().size());
            FEngine.SelLength = 0;
        }
    }
}

void TFramedComboBox::ToWidget() {
    FSettingText = true;
    if (currentIndex() != FEngine.ItemIndex) setCurrentIndex(FEngine.ItemIndex);
    if (QLineEdit* le = lineEdit()) {
        const QString t = QString::fromStdString(FEngine.Text);
        if (le->text() != t) le->setText(t);
        const int start =
            QString::fromUtf8(FEngine.Text.substr(0, size_t(FEngine.SelStart))).size();
        const int len = QString::fromUtf8(FEngine.Text.substr(size_t(FEngine.SelStart),
                                                              size_t(FEngine.SelLength)))
                            .size();
        if (len > 0)
            le->setSelection(start, len);
        else
            le->setCursorPosition(start);
    }
    FSettingText = false;
    if (FEngine.TimerRunning && !FResetTimer.isActive()) FResetTimer.start();
}

static int CharOf(QKeyEvent* k) {
    const QString t = k->text();
    if (t.size() != 1) return -1;
    return t.at(0).unicode();
}

bool TFramedComboBox::EditKey(QKeyEvent* k) {
    FromWidget();
    const bool ctrl = k->modifiers() & Qt::ControlModifier;
    const bool shift = k->modifiers() & Qt::ShiftModifier;
    if (k->matches(QKeySequence::Paste) || (k->key() == Qt::Key_Insert && shift)) {
        FEngine.Paste(QApplication::clipboard()->text().toStdString());
        ToWidget();
        return true;
    }
    if (k->matches(QKeySequence::Cut)) {
        if (FEngine.AllowEdit) QApplication::clipboard()->setText(lineEdit()->selectedText());
        FEngine.Cut();
        ToWidget();
        return true;
    }
    static const std::pair<int, int> keys[] = {{Qt::Key_PageUp, TComboCompletion::kPageUp},
                                               {Qt::Key_PageDown, TComboCompletion::kPageDown},
                                               {Qt::Key_End, TComboCompletion::kEnd},
                                               {Qt::Key_Home, TComboCompletion::kHome},
                                               {Qt::Key_Left, TComboCompletion::kLeft},
                                               {Qt::Key_Up, TComboCompletion::kUp},
                                               {Qt::Key_Right, TComboCompletion::kRight},
                                               {Qt::Key_Down, TComboCompletion::kDown},
                                               {Qt::Key_Insert, TComboCompletion::kInsert}};
    for (auto [qt, code] : keys)
        if (k->key() == qt) return !FEngine.EditKeyDown(code, shift);
    if (k->key() == Qt::Key_Delete) {
        FEngine.EditKeyDown(TComboCompletion::kDelete, shift);
        ToWidget();
        return true;
    }
    int ch = -1;
    if (k->key() == Qt::Key_Backspace)
        ch = TComboCompletion::kBack;
    else if (k->key() == Qt::Key_Escape)
        ch = TComboCompletion::kEscape;
    else if (!ctrl)
        ch = CharOf(k);
    if (ch < 0 || (ch < 32 && ch != 8 && ch != 27)) return false;
    if (ch > 255) {
        // Beyond the completion's character range: typed as it is.
        return false;
    }
    FEngine.EditChar(ch);
    ToWidget();
    return true;
}

namespace {
// In a dialog Escape is the dialog's (its Cancel), as long as no list is open.
bool EscapeForTheDialog(const QWidget* combo, const QKeyEvent* k) {
    return k->key() == Qt::Key_Escape && qobject_cast<const QDialog*>(combo->window());
}
} // namespace

bool TFramedComboBox::eventFilter(QObject* o, QEvent* e) {
    if (o == lineEdit()) {
        if (e->type() == QEvent::KeyPress) {
            auto* k = static_cast<QKeyEvent*>(e);
            if (EscapeForTheDialog(this, k)) return false;
            return EditKey(k);
        }
        if (e->type() == QEvent::MouseButtonPress) FEngine.EditMouseDown();
    }
    return QComboBox::eventFilter(o, e);
}

void TFramedComboBox::keyPressEvent(QKeyEvent* e) {
    if (EscapeForTheDialog(this, e)) {
        e->ignore();
        return;
    }
    if (isEditable()) {
        QComboBox::keyPressEvent(e);
        return;
    }
    FromWidget();
    const int k = e->key();
    if (k == Qt::Key_Escape || (k >= Qt::Key_Home && k <= Qt::Key_PageDown)) {
        FEngine.ComboKeyDown(TComboCompletion::kEscape);
        if (k != Qt::Key_Escape) {
            QComboBox::keyPressEvent(e);
            return;
        }
    }
    int ch = k == Qt::Key_Backspace ? 8 : k == Qt::Key_Escape ? 27 : CharOf(e);
    if (ch == 8 || ch == 27 || (ch >= 32 && ch <= 255)) {
        if (ch >= 32) FResetTimer.stop();
        FEngine.ListChar(ch);
        ToWidget();
        return;
    }
    QComboBox::keyPressEvent(e);
}

void TFramedComboBox::wheelEvent(QWheelEvent* e) {
    FromWidget();
    // One item a notch: parts of a notch (smooth wheels, touchpads) add up.
    const int delta = e->angleDelta().y();
    if ((FWheelAngle > 0 && delta < 0) || (FWheelAngle < 0 && delta > 0)) FWheelAngle = 0;
    FWheelAngle += delta;
    bool stepped = false;
    for (; FWheelAngle >= 120 || FWheelAngle <= -120; stepped = true) {
        FEngine.Wheel(FWheelAngle > 0);
        FWheelAngle -= FWheelAngle > 0 ? 120 : -120;
    }
    if (stepped) ToWidget();
    e->accept();
}

void TFramedComboBox::focusInEvent(QFocusEvent* e) {
    QComboBox::focusInEvent(e);
    FFocused = true;
    UpdateHotState();
}

void TFramedComboBox::focusOutEvent(QFocusEvent* e) {
    QComboBox::focusOutEvent(e);
    if (FDropped) return;
    FFocused = false;
    FHovered = false;
    UpdateHotState();
    FromWidget();
    FEngine.FocusLost();
    ToWidget();
    ShowTextStart();
}

void TFramedComboBox::enterEvent(QEnterEvent* e) {
    QComboBox::enterEvent(e);
    FHovered = true;
    UpdateHotState();
    emit OnMouseEnter();
}

void TFramedComboBox::leaveEvent(QEvent* e) {
    QComboBox::leaveEvent(e);
    FHovered = false;
    UpdateHotState();
    emit OnMouseLeave();
}

void TFramedComboBox::showPopup() {
    // The list is wide enough for its longest item (within the screen): Qt
    // would otherwise cut long names in the middle.
    int widest = 0;
    const QFontMetrics fm(view()->font());
    for (int i = 0; i < count(); ++i) widest = std::max(widest, fm.horizontalAdvance(itemText(i)));
    widest += 2 * fm.horizontalAdvance(QLatin1Char('M')) +
              style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    if (const QScreen* s = screen()) widest = std::min(widest, s->availableGeometry().width());
    view()->setTextElideMode(Qt::ElideRight);
    view()->setMinimumWidth(std::max(FDropDownWidth, widest));
    FDropped = true;
    QComboBox::showPopup();
}

void TFramedComboBox::hidePopup() {
    QComboBox::hidePopup();
    FDropped = false;
    emit OnCloseUp();
}

void TFramedComboBox::UpdateHotState() {
    if (FDropped) return;
    FollowFocusAndHover(FFocused, FHovered);
    update();
}

void TFramedComboBox::paintEvent(QPaintEvent* e) {
    QComboBox::paintEvent(e);
    if (!FrameVisible()) return;
    QPainter p(this);
    PaintFrame(p, Color);
    // Inside the frame's margin, apart from the frame's pixels.
    if (FFlatButtons && !FFocused && !FHovered) {
        const int sb = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        const QRect r(width() - sb - 2, 2, sb, height() - 4);
        p.fillRect(r, ToQColor(Color));
        const int x = r.left() + sb / 2, y = r.top() + height() / 2;
        const QPoint tri[3] = {{x - 1, y}, {x - 6, y - 5}, {x + 4, y - 5}};
        p.setPen(Qt::black);
        p.setBrush(Qt::black);
        p.drawPolygon(tri, 3);
    }
}

void TFramedComboBox::SetFlatButtons(bool v) {
    if (FFlatButtons == v) return;
    FFlatButtons = v;
    update();
}

void TFramedComboBox::SetDropDownWidth(int v) {
    if (FDropDownWidth == v) return;
    FDropDownWidth = v;
    update();
}

// The combo's own frame gives way to the drawn one.
void TFramedComboBox::FrameVisibleChanged() {
    setFrame(!FrameVisible());
    update();
}
