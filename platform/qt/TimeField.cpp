#include "platform/qt/TimeField.h"

#include "timemodel/HXMessageBoxes.h"

#include <QKeyEvent>
#include <QLocale>
#include <QWheelEvent>
#include <QRegularExpression>

#include <algorithm>

namespace {
constexpr const char* kShown = "HH:mm:ss";
}

namespace {

// The half of the day a 12-hour time names: 0 morning, 12 afternoon, -1
// none. The marker ("AM", "p.m.", "a", the locale's own) is cut from the
// text, before or after the time.
int TakeDayHalf(QString& text) {
    text = text.trimmed();
    const QLocale locale;
    const QString marks[][2] = {
        {locale.amText(), locale.pmText()},
        {QStringLiteral("a.m."), QStringLiteral("p.m.")},
        {QStringLiteral("am"), QStringLiteral("pm")},
        {QStringLiteral("a"), QStringLiteral("p")},
    };
    for (const auto& pair : marks)
        for (int half = 0; half < 2; ++half) {
            const QString& mark = pair[half];
            if (mark.isEmpty() || text.size() <= mark.size()) continue;
            if (text.endsWith(mark, Qt::CaseInsensitive)) {
                text.chop(mark.size());
            } else if (text.startsWith(mark, Qt::CaseInsensitive)) {
                text.remove(0, mark.size());
            } else {
                continue;
            }
            text = text.trimmed();
            return half * 12;
        }
    return -1;
}

} // namespace

QTime ParseTimeOfDay(const QString& typed) {
    QString text = typed;
    const int half = TakeDayHalf(text);
    // ASCII digits only: a digit of another script is no digit here.
    static const QRegularExpression form(
        QStringLiteral("^([0-9]{1,2})(?::([0-9]{2})(?::([0-9]{2}))?)?$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch()) return {};
    int h = m.captured(1).toInt();
    const int mi = m.capturedLength(2) ? m.captured(2).toInt() : 0;
    const int s = m.capturedLength(3) ? m.captured(3).toInt() : 0;
    if (half >= 0) {
        // 12 AM is midnight, 12 PM noon.
        if (h < 1 || h > 12) return {};
        h = h % 12 + half;
    }
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
