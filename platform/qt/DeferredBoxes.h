// Message boxes held back while a piece of work runs that must not run a
// box's event loop inside itself (the clock tick): a box that only informs is
// kept and shown once the work has returned, so the events that come while it
// is open find the work finished. Questions, which need their answer at once,
// are still asked where they are raised.
#pragma once

#include "timemodel/HXMessageBoxes.h"

#include <deque>
#include <functional>
#include <string>

class QObject;

struct TDeferredBox {
    std::string Text;
    TMsgDlgType Type;
    TMsgDlgButtons Buttons;
    int HelpContext;
};
using TDeferredBoxQueue = std::deque<TDeferredBox>;

// The process's presenter while it lives, the one before it again after.
// Kept boxes join the queue, answered OK; when the scope ends with boxes
// waiting, show runs from the event loop, unless the owner has gone by then.
class TDeferredBoxes : public IMessagePresenter {
public:
    TDeferredBoxes(TDeferredBoxQueue& queue, QObject* owner, std::function<void()> show);
    ~TDeferredBoxes() override;
    TDeferredBoxes(const TDeferredBoxes&) = delete;
    TDeferredBoxes& operator=(const TDeferredBoxes&) = delete;

    TModalResult Present(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons,
                         int helpContext) override;

private:
    TDeferredBoxQueue& FQueue;
    QObject* FOwner;
    std::function<void()> FShow;
    IMessagePresenter* FPrevious;
};

// Shows the waiting boxes one at a time, those raised meanwhile included.
// False when the owner went while a box was up: the queue, the owner's own,
// has gone with it.
bool ShowDeferredBoxes(TDeferredBoxQueue& queue, QObject* owner);
