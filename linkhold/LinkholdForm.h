// hxlinkhold's hidden window: it holds the one-second poll, receives the
// suite's messages and hands both to the connection monitor.
#pragma once

#include "linkhold/Linkhold.h"

#include <QWidget>
#include <functional>
#include <memory>

class QTimer;
class THXMessageListener;
namespace Ui {
class F_HXLINKHOLD;
}

class TF_HXLINKHOLD : public QWidget {
    Q_OBJECT
public:
    // mainWindowRunning: whether horolux is there; terminate: end the program.
    TF_HXLINKHOLD(IRASBackend& backend, ILinkholdStore& store,
                  std::function<bool()> mainWindowRunning, std::function<void()> terminate,
                  QWidget* parent = nullptr);
    ~TF_HXLINKHOLD() override;

    void FormCreate();
    void UpdateTimerTimer();
    void cbMonitoringClick();

    TLinkhold& Monitor() { return *Core; }
    QTimer* UpdateTimer;

private:
    Ui::F_HXLINKHOLD* ui;
    std::unique_ptr<TLinkhold> Core;
    std::unique_ptr<THXMessageListener> Listener;
};
