#include "platform/qt/DateField.h"

#include "timemodel/HXMessageBoxes.h"

#include <QAction>
#include <QCalendarWidget>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPixmap>
#include <QRegularExpression>
#include <QScopedValueRollback>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

QString NumericDateFormat(const QLocale& locale) {
    const QString shortFormat = locale.dateFormat(QLocale::ShortFormat);
    struct TPart {
        QChar Letter;
        qsizetype At;
    };
    std::array<TPart, 3> parts{TPart{'d', -1}, TPart{'M', -1}, TPart{'y', -1}};
    QChar separator;
    bool quoted = false;
    for (qsizetype i = 0; i < shortFormat.size(); ++i) {
        const QChar c = shortFormat[i];
        if (c == '\'') quoted = !quoted;
        if (quoted || c == '\'') continue;
        for (TPart& p : parts)
            if (c == p.Letter && p.At < 0) p.At = i;
        // The first mark between the numbers that can be seen and typed;
        // blanks, names and invisible marks (the right-to-left mark of
        // Arabic) do not count.
        if (separator.isNull() && c.isPrint() && !c.isMark() && !c.isLetterOrNumber() &&
            !c.isSpace())
            separator = c;
    }
    if (std::any_of(parts.begin(), parts.end(), [](const TPart& p) { return p.At < 0; }))
        return QStringLiteral("dd/MM/yyyy");
    std::sort(parts.begin(), parts.end(),
              [](const TPart& a, const TPart& b) { return a.At < b.At; });
    if (separator.isNull()) separator = '/';
    QStringList out;
    for (const TPart& p : parts)
        out << (p.Letter == 'y' ? QStringLiteral("yyyy") : QString(2, p.Letter));
    return out.join(separator);
}

QDate ParseNumericDate(const QString& text, const QString& format) {
    static const QRegularExpression digits(QStringLiteral("\\d+"));
    QStringList numbers;
    for (auto m = digits.globalMatch(text); m.hasNext();)
        numbers << m.next().captured();
    static const QRegularExpression letter(QStringLiteral("\\p{L}"));
    if (numbers.size() != 3 || letter.match(text).hasMatch()) return {};
    // A digit of another script (a full-width or Arabic-Indic 5) would split
    // a number in two and give another date: such a text is no date.
    const QList<uint> points = text.toUcs4();
    if (std::any_of(points.begin(), points.end(), [](uint c) {
            return QChar::isNumber(char32_t(c)) && (c < '0' || c > '9');
        }))
        return {};
    const qsizetype at[] = {format.indexOf('d'), format.indexOf('M'), format.indexOf('y')};
    int d = 0, m = 0, y = 0;
    for (int i = 0; i < 3; ++i) {
        const int rank = int(std::count_if(std::begin(at), std::end(at),
                                           [&](qsizetype other) { return other < at[i]; }));
        const QString& n = numbers[rank];
        if (i == 2 ? n.size() != 4 : n.size() > 2) return {};
        (i == 0 ? d : i == 1 ? m : y) = n.toInt();
    }
    const QDate date(y, m, d);
    return y >= 1 && date.isValid() ? date : QDate();
}

namespace {

// A small calendar sheet for the button that opens the calendar.
QIcon CalendarIcon() {
    const QIcon themed = QIcon::fromTheme(QStringLiteral("x-office-calendar"));
    if (!themed.isNull()) return themed;
    // Drawn once per device pixel ratio, so a sharp screen gets its own.
    QIcon icon;
    for (int k : {1, 2}) {
        QPixmap pm(16 * k, 16 * k);
        pm.setDevicePixelRatio(k);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setPen(QColor(70, 70, 70));
        p.setBrush(Qt::white);
        p.drawRect(1, 2, 13, 12);
        p.fillRect(2, 3, 12, 3, QColor(190, 30, 30));
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c)
                p.fillRect(3 + c * 3, 8 + r * 2, 2, 1, QColor(70, 70, 70));
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

} // namespace

TDateField::TDateField(QWidget* parent) : QLineEdit(parent), FFormat(NumericDateFormat()) {
    FCalendar = addAction(CalendarIcon(), QLineEdit::TrailingPosition);
    FCalendar->setToolTip(tr("Pick the date from a calendar (Alt+Down)"));
    connect(FCalendar, &QAction::triggered, this, [this] { ShowCalendar(); });
    setToolTip(tr("Type the date as %1, or pick it from the calendar").arg(FormatHint()));
    setPlaceholderText(FormatHint());
    setMaxLength(32);
}

QDate TDateField::date() const {
    return ParseNumericDate(text(), FFormat);
}

void TDateField::setDate(const QDate& date) {
    setText(date.isValid() ? date.toString(FFormat) : QString());
    FTaken = date;
}

QSize TDateField::minimumSizeHint() const {
    QString widest = FFormat;
    for (QChar& c : widest)
        if (c.isLetter()) c = '0';
    QSize s = QLineEdit::minimumSizeHint();
    // Room for the text and the cursor after it, beside what a line edit
    // always needs (its frame, margins and the button).
    s.rwidth() += fontMetrics().horizontalAdvance(widest) + 4;
    return s;
}

QString TDateField::FormatHint() const {
    return FFormat.toUpper();
}

void TDateField::ShowCalendar() {
    auto* popup = new QFrame(this, Qt::Popup);
    popup->setAttribute(Qt::WA_DeleteOnClose);
    popup->setFrameShape(QFrame::StyledPanel);
    auto* calendar = new QCalendarWidget(popup);
    calendar->setObjectName(QStringLiteral("calendar"));
    calendar->setGridVisible(true);
    const QDate shown = date();
    calendar->setSelectedDate(shown.isValid() ? shown : QDate::currentDate());
    auto* layout = new QVBoxLayout(popup);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addWidget(calendar);
    connect(calendar, &QCalendarWidget::clicked, this, [this, popup](const QDate& picked) {
        const bool changed = picked != FTaken;
        setDate(picked);
        popup->close();
        setFocus();
        if (changed) emit dateEntered(picked);
    });
    connect(calendar, &QCalendarWidget::activated, calendar, &QCalendarWidget::clicked);
    popup->adjustSize();
    // Below the field, kept on its screen.
    QPoint at = mapToGlobal(QPoint(0, height()));
    if (const QScreen* s = screen()) {
        const QRect room = s->availableGeometry();
        if (at.y() + popup->height() > room.bottom())
            at.setY(mapToGlobal(QPoint(0, 0)).y() - popup->height());
        at.setX(
            std::clamp(at.x(), room.left(), std::max(room.left(), room.right() - popup->width())));
    }
    popup->move(at);
    popup->show();
    calendar->setFocus();
}

void TDateField::keyPressEvent(QKeyEvent* e) {
    if ((e->key() == Qt::Key_Down && (e->modifiers() & Qt::AltModifier)) ||
        e->key() == Qt::Key_F4) {
        ShowCalendar();
        return;
    }
    QLineEdit::keyPressEvent(e);
}

void TDateField::focusOutEvent(QFocusEvent* e) {
    // Going to another window is no end of typing.
    QScopedValueRollback leaving(FLeavingWindow, e->reason() == Qt::ActiveWindowFocusReason);
    QLineEdit::focusOutEvent(e);
}

void TDateField::TakeDatesWhenDone(const std::string& caption) {
    FCaption = caption;
    if (FTakesWhenDone) return;
    FTakesWhenDone = true;
    FTaken = date();
    connect(this, &QLineEdit::editingFinished, this, [this] {
        // Half a date left for another window or page, or in a window being
        // closed, waits: it is asked about when the user comes back to it
        // or the date is wanted.
        if ((FLeavingWindow || !isVisible()) && !date().isValid()) return;
        TakeTyped();
    });
}

bool TDateField::TakeTyped() {
    // The refusal's own box takes the focus away: that is no second answer.
    if (FRefusing) return false;
    const QDate typed = date();
    if (typed.isValid()) {
        const bool changed = typed != FTaken;
        setDate(typed); // written out in full
        if (changed) emit dateEntered(typed);
        return true;
    }
    QScopedValueRollback refusing(FRefusing, true);
    ReportBadDate(this, FCaption);
    setDate(FTaken);
    selectAll();
    return false;
}

void ReportBadDate(TDateField* field, const std::string& caption) {
    QString shown = field->text();
    // Cut, so a pasted page cannot fill the screen.
    if (shown.size() > 40) shown = shown.left(40) + "...";
    THXMessageBoxes::ShowError("\"" + caption + "\" must be a date written as " +
                               field->FormatHint().toStdString() + ": '" + shown.toStdString() +
                               "' is not one.");
    field->setFocus();
    field->selectAll();
}
