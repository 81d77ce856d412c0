// A time of day typed whole, in 24 hours ("09:00:00", "9:00"), beside the
// date field. A time picker that steps through sections takes no time typed
// in one go; here the arrow keys still step the part under the cursor.
#pragma once

#include <QLineEdit>
#include <QTime>

#include <string>

// The time a text gives: hours 0-23, then optional minutes and seconds of two
// digits each, ":" between them; or hours 1-12 the same way with AM or PM
// (any case, "a.m.", "a", or the locale's own words) before or after them.
// Invalid for any other text.
QTime ParseTimeOfDay(const QString& text);

class TTimeField : public QLineEdit {
    Q_OBJECT
public:
    explicit TTimeField(QWidget* parent = nullptr);

    // The time the text gives; invalid while it gives none.
    QTime time() const;
    // Whole seconds, as the field shows them.
    void setTime(const QTime& time);
    // The form the time is typed in, as the user reads it.
    static QString FormatHint() { return QStringLiteral("HH:MM:SS"); }

    // Never narrower than a whole time.
    QSize minimumSizeHint() const override;

protected:
    // As the spin field did: Up and Down step by one, PageUp and PageDown by
    // ten in the part under the cursor; a wheel notch by one (with Ctrl by
    // ten) in the part under the mouse.
    void keyPressEvent(QKeyEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

private:
    // The part (0 hours, 1 minutes, 2 seconds) at a text position.
    int PartAt(int position) const;
    // Up (by > 0) or down in one part, held at its ends; the part is then
    // selected.
    void Step(int part, int by);
    // A high-resolution wheel's turn not yet a whole notch.
    int FWheelRest = 0;
};

// Tells the user that the time field (its caption given) holds no time, and
// puts the focus there.
void ReportBadTime(TTimeField* field, const std::string& caption);
