// Notification-area icon. The component keeps its own shown flag and issues
// add / modify / delete to the desktop's tray the way the shell's icon calls
// are made, so the owner sees the same states on every desktop.
#pragma once

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

#include <QMenu>
class QSystemTrayIcon;

class TTrayIcon : public QObject {
    Q_OBJECT
public:
    using TNotifyEvent = std::function<void(TTrayIcon* sender)>;

    // Update flags, as the shell's notification record names them.
    static constexpr int NIF_MESSAGE = 1;
    static constexpr int NIF_ICON = 2;
    static constexpr int NIF_TIP = 4;
    static constexpr int NIF_ALL = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    // The tip holds 63 characters.
    static constexpr int kMaxTip = 63;

    explicit TTrayIcon(QObject* owner = nullptr);
    ~TTrayIcon() override;

    QIcon Icon() const { return FIcon; }
    void SetIcon(const QIcon& icon);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    QString Hint() const { return FHint; }
    void SetHint(const QString& text);
    QMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(QMenu* menu) { FPopupMenu = menu; }
    bool AutoShow = true;
    int Tag = 0;

    TNotifyEvent OnLeftBtnClick;
    TNotifyEvent OnLeftBtnDblClick;
    TNotifyEvent OnRightBtnClick;
    TNotifyEvent OnMouseMove;

    // The icon has been added to the notification area and not yet removed.
    bool Shown() const { return FShown; }
    // Shown in a notification area the desktop really has: only then can the
    // user click it.
    bool Visible() const { return FShown && NotificationAreaAvailable(); }
    // What the tray currently shows as the tip (cut to 63 characters).
    QString ShownTip() const;

    // The notifications of the tray, also callable by tests.
    void MouseMove();
    void LeftButtonDown();
    void LeftButtonDblClick();
    void RightButtonDown(const QPoint& globalPos);

    // Whether the desktop has a notification area. Tests can pin the answer.
    static bool NotificationAreaAvailable();
    static void SetNotificationAreaOverride(std::optional<bool> available);

private:
    void Update(int flags);

    QIcon FIcon;
    bool FEnabled = false;
    bool FShown = false;
    QString FHint;
    QPointer<QMenu> FPopupMenu;
    QSystemTrayIcon* FTray = nullptr;
};
