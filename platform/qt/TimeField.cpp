#include "platform/qt/TimeField.h"

#include "timemodel/HXMessageBoxes.h"

#include <QKeyEvent>
#include <QWheelEvent>
#include <QRegularExpression>

#include <algorithm>

namespace {
constexpr const char* kShown = "HH:mm:ss";
}

QTime ParseTimeOfDay(const QString& text) {
    // ASCII digits only: a digit of another script is no digit here.
    static const QRegularExpression form(
        QStringLiteral("^\\s*([0-9]{1,2})(?::([0-9]{2})(?::([0-9]{2}))?)?\\s*$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch()) return {};
    const int h = m.captured(1).toInt();
    const int mi = m.capturedLength(2) ? m.captured(2).toInt() : 0;
    const int s = m.capturedLength(3) ? m.captured(3).toInt() : 0;
    if (h > 23 || mi > 59 || s > 59) return {};
    return QTime(h, mi, s);
}

TTimeField::TTimeField(QWidget* parent) : QLineEdit(parent) {
    setPlaceholderText(FormatHint());
    setToolTip(tr("Type the time as %1 (24 hours); Up and Down step the part under the cursor")
                   .arg(FormatHint()));
    setMaxLength(32);
    // As a spin field: the wheel over it steps it, and takes the focus.
    setFocusPolicy(Qt::WheelFocus);
}

QTime TTimeField::time() const {
    return ParseTimeOfDay(text());
}

void TTimeField::setTime(const QTime& time) {
    setText(time.isValid() ? QTime(time.hour(), time.minute(), time.second()).toString(kShown)
                           : QString());
}

QSize TTimeField::minimumSizeHint() const {
    QSize s = QLineEdit::minimumSizeHint();
    // Room for the text and the cursor after it, beside what a line edit
    // always needs (its frame and margins).
    s.rwidth() += fontMetrics().horizontalAdvance(QStringLiteral("00:00:00")) + 4;
    return s;
}

void TTimeField::keyPressEvent(QKeyEvent* e) {
    int by = 0;
    switch (e->key()) {
    case Qt::Key_Up: by = 1; break;
    case Qt::Key_Down: by = -1; break;
    case Qt::Key_PageUp: by = 10; break;
    case Qt::Key_PageDown: by = -10; break;
    default: QLineEdit::keyPressEvent(e); return;
    }
    Step(PartAt(cursorPosition()), by);
}

void TTimeField::wheelEvent(QWheelEvent* e) {
    FWheelRest += e->angleDelta().y();
    const int notches = FWheelRest / 120;
    FWheelRest -= notches * 120;
    if (notches != 0)
        Step(PartAt(cursorPositionAt(e->position().toPoint())),
             e->modifiers() & Qt::ControlModifier ? notches * 10 : notches);
    // Taken even when it steps nothing, so the form around never scrolls
    // instead.
    e->accept();
}

int TTimeField::PartAt(int position) const {
    // The part is counted by the separators before the position.
    return std::min<int>(2, int(text().left(position).count(':')));
}

void TTimeField::Step(int part, int by) {
    const QTime t = time();
    if (!t.isValid()) return;
    int hms[3] = {t.hour(), t.minute(), t.second()};
    hms[part] = std::clamp(hms[part] + by, 0, part == 0 ? 23 : 59);
    setTime(QTime(hms[0], hms[1], hms[2]));
    setSelection(part * 3, 2);
}

void ReportBadTime(TTimeField* field, const std::string& caption) {
    QString shown = field->text();
    // Cut, so a pasted page cannot fill the screen.
    if (shown.size() > 40) shown = shown.left(40) + "...";
    THXMessageBoxes::ShowError("\"" + caption + "\" must be a time of day written as " +
                               TTimeField::FormatHint().toStdString() + ": '" +
                               shown.toStdString() + "' is not one.");
    field->setFocus();
    field->selectAll();
}
