#include "platform/qt/EscapeCloser.h"

#include <QKeyEvent>
#include <QWidget>

namespace {

class TEscapeCloser : public QObject {
public:
    explicit TEscapeCloser(QWidget* window) : QObject(window), FWindow(window) {}

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        // A key that no control took reaches the window itself.
        if (watched == FWindow && e->type() == QEvent::KeyPress) {
            auto* k = static_cast<QKeyEvent*>(e);
            if (k->key() == Qt::Key_Escape &&
                (k->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
                FWindow->close();
                return true;
            }
        }
        return QObject::eventFilter(watched, e);
    }

private:
    QWidget* FWindow;
};

} // namespace

void CloseOnEscape(QWidget* window) {
    window->installEventFilter(new TEscapeCloser(window));
}
