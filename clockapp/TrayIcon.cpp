#include "clockapp/TrayIcon.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>

namespace {
std::optional<bool> gTrayOverride;
}

TTrayIcon::TTrayIcon(QObject* owner) : QObject(owner) {
    FIcon = QApplication::windowIcon();
    FTray = new QSystemTrayIcon(this);
    connect(FTray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                switch (reason) {
                case QSystemTrayIcon::Trigger:
                    LeftButtonDown();
                    break;
                case QSystemTrayIcon::DoubleClick:
                    LeftButtonDblClick();
                    break;
                case QSystemTrayIcon::Context:
                    RightButtonDown(QCursor::pos());
                    break;
                default:
                    break;
                }
            });
}

TTrayIcon::~TTrayIcon() {
    if (FShown) FTray->hide();
}

bool TTrayIcon::NotificationAreaAvailable() {
    if (gTrayOverride) return *gTrayOverride;
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TTrayIcon::SetNotificationAreaOverride(std::optional<bool> available) {
    gTrayOverride = available;
}

void TTrayIcon::SetIcon(const QIcon& icon) {
    if (icon.cacheKey() == FIcon.cacheKey()) return;
    FIcon = icon;
    Update(NIF_ICON);
}

void TTrayIcon::SetHint(const QString& text) {
    if (text == FHint) return;
    FHint = text;
    Update(NIF_TIP);
}

void TTrayIcon::SetEnabled(bool value) {
    if (value == FEnabled) return;
    FEnabled = value;
    Update(NIF_ALL);
}

QString TTrayIcon::ShownTip() const {
    return FTray->toolTip();
}

void TTrayIcon::Update(int flags) {
    if (!FIcon.isNull() && FEnabled) {
        if (!FShown) flags = NIF_ALL;
        if (flags & NIF_ICON) FTray->setIcon(FIcon);
        if (flags & NIF_TIP) FTray->setToolTip(FHint.left(kMaxTip));
        if (!FShown) {
            FTray->show();
            FShown = true;
        }
    } else {
        FTray->hide();
        FShown = false;
    }
}

void TTrayIcon::MouseMove() {
    if (OnMouseMove) OnMouseMove(this);
}

void TTrayIcon::LeftButtonDown() {
    if (OnLeftBtnClick) OnLeftBtnClick(this);
}

void TTrayIcon::LeftButtonDblClick() {
    if (OnLeftBtnDblClick) OnLeftBtnDblClick(this);
    if (FPopupMenu && AutoShow && !FPopupMenu->actions().isEmpty())
        FPopupMenu->actions().first()->trigger();
}

void TTrayIcon::RightButtonDown(const QPoint& globalPos) {
    if (OnRightBtnClick) OnRightBtnClick(this);
    if (!FPopupMenu) return;
    if (AutoShow && !FPopupMenu->actions().isEmpty())
        FPopupMenu->setDefaultAction(FPopupMenu->actions().first());
    FPopupMenu->popup(globalPos);
    FPopupMenu->activateWindow();
}
