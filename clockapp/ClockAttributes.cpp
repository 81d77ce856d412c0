#include "clockapp/ClockAttributes.h"

#include "platform/qt/QtGraphics.h"
#include "platform/rtl/SysUtils.h"
#include "timemodel/HXClock.h"

#include <QAbstractButton>
#include <QColorDialog>
#include <QComboBox>
#include <QFontDialog>
#include <QMouseEvent>

TFont DefaultSampleFont() {
    TFont f;
    f.Name = "Arial";
    f.Height = -13;
    f.Size = 10;
    f.Charset = 0;
    f.Color = clLime;
    return f;
}

std::string TimeFormatExample(const std::string& format) {
    return "The current local system time displayed\n\rusing the currently indicated time format "
           "is:\n\r" +
           format + " ==> " + FormatDateTime(format, Now());
}

std::string DateFormatExample(const std::string& format) {
    return "The current local system date displayed\n\rusing the currently indicated date format "
           "is:\n\r" +
           format + " ==> " + FormatDateTime(format, Now());
}

TFontChooser QtFontChooser() {
    return [](const TFont& current, QWidget* parent) -> std::optional<TFont> {
        bool ok = false;
        const QFont chosen = QFontDialog::getFont(&ok, ToQFont(current), parent);
        if (!ok) return std::nullopt;
        // Qt's font dialog has no colour, the font's colour is half of the
        // time attributes: it is asked next, and keeps its value on cancel.
        TFont font = FromQFont(chosen, current);
        const QColor colour =
            QColorDialog::getColor(ToQColor(current.Color), parent, "Font Colour");
        if (colour.isValid()) font.Color = FromQColor(colour);
        return font;
    };
}

TColourChooser QtColourChooser() {
    return [](TColor current, QWidget* parent) -> std::optional<TColor> {
        const QColor chosen = QColorDialog::getColor(ToQColor(current), parent);
        if (!chosen.isValid()) return std::nullopt;
        return FromQColor(chosen);
    };
}

TClockAttributesEditor::TClockAttributesEditor(QWidget* sample, QWidget* panel,
                                               QAbstractButton* faceFontButton,
                                               const TFontChooser& chooseFont,
                                               const TColourChooser& chooseColour)
    : QObject(sample), FSample(sample), FPanel(panel), FFaceFontButton(faceFontButton),
      FChooseFont(chooseFont), FChooseColour(chooseColour) {
    for (QWidget* w : {FSample, FPanel}) {
        w->installEventFilter(this);
        w->setCursor(Qt::PointingHandCursor);
    }
    connect(FFaceFontButton, &QAbstractButton::clicked, this, [this] { ChooseFaceFont(); });
}

bool TClockAttributesEditor::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == FSample) {
            ChooseTimeFont();
            return true;
        }
        if (watched == FPanel) {
            ChooseBackColour();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void TClockAttributesEditor::Show() const {
    const QColor back = ToQColor(BackColour);
    QPalette panel = FPanel->palette();
    panel.setColor(QPalette::Window, back);
    FPanel->setPalette(panel);
    QPalette sample = FSample->palette();
    sample.setColor(QPalette::Window, back);
    sample.setColor(QPalette::WindowText, ToQColor(TimeFont.Color));
    FSample->setPalette(sample);
    FSample->setFont(ToQFont(TimeFont));
    FFaceFontButton->setFont(ToQFont(FaceFont));
}

void TClockAttributesEditor::ChooseFontOf(TFont& font) {
    if (!FChooseFont) return;
    if (auto f = FChooseFont(font, FSample->window())) {
        font = *f;
        Show();
    }
}

void TClockAttributesEditor::ChooseTimeFont() {
    ChooseFontOf(TimeFont);
}

void TClockAttributesEditor::ChooseFaceFont() {
    ChooseFontOf(FaceFont);
}

void TClockAttributesEditor::ChooseBackColour() {
    if (!FChooseColour) return;
    if (auto c = FChooseColour(BackColour, FSample->window())) {
        BackColour = *c;
        Show();
    }
}

void TClockAttributesEditor::RestoreDefaults() {
    BackColour = clBlack;
    TimeFont = DefaultSampleFont();
    FaceFont.Color = clBlack;
    Show();
}

bool ShowTimeFormats(QComboBox* box, const THXClock& clock) {
    std::vector<std::string> formats;
    clock.AssignTimeFormats(formats);
    const QString chosen = box->currentText();
    box->clear();
    for (const std::string& f : formats)
        box->addItem(QString::fromStdString(f));
    const int keep = box->findText(chosen);
    box->setCurrentIndex(keep >= 0 ? keep : (formats.empty() ? -1 : 0));
    return clock.DateApplicable();
}
