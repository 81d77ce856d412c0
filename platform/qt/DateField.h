// A date typed whole, in the locale's numeric order (15/02/2027 where the day
// comes first), with a calendar to pick it from. A date picker that steps
// through named sections cannot take a date typed in one go.
#pragma once

#include <QDate>
#include <QLineEdit>
#include <QLocale>
#include <QString>

#include <string>

class QAction;

// The numeric form of the locale's short date: day, month and four-digit
// year in the locale's order and with its separator ("/" where the locale
// writes blanks or names), e.g. "dd/MM/yyyy" or "MM/dd/yyyy".
QString NumericDateFormat(const QLocale& locale = QLocale());
// The date a text gives in that form (any non-digits separate the numbers,
// leading zeros optional, the year in four digits); invalid when the text
// names no day of years 1-9999, or holds a digit other than 0-9.
QDate ParseNumericDate(const QString& text, const QString& format);

class TDateField : public QLineEdit {
    Q_OBJECT
public:
    explicit TDateField(QWidget* parent = nullptr);

    // The date the text gives; invalid while it gives none.
    QDate date() const;
    void setDate(const QDate& date);
    // The form the date is typed in, as the user reads it: "DD/MM/YYYY".
    QString FormatHint() const;
    // Opens the calendar under the field; a date clicked there is taken.
    void ShowCalendar();

    // For a field whose window acts on its date at once: the date is taken
    // when the user is done with it (Enter, leaving the field, a pick from the
    // calendar), never half-typed. A text that gives no date is refused,
    // naming the field by its caption, and the last date taken comes back.
    void TakeDatesWhenDone(const std::string& caption);
    // Takes the text now, as above: true when the field holds a date.
    bool TakeTyped();

    // Never narrower than a whole date beside the calendar button.
    QSize minimumSizeHint() const override;

signals:
    // A new date taken: picked from the calendar, or typed when the field
    // takes dates when done.
    void dateEntered(const QDate& date);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    QString FFormat;
    QAction* FCalendar = nullptr;
    std::string FCaption;
    bool FTakesWhenDone = false;
    QDate FTaken;
    bool FRefusing = false;
    bool FLeavingWindow = false;
};

// Tells the user that the date field (its caption given) holds no date, and
// puts the focus there.
void ReportBadDate(TDateField* field, const std::string& caption);
