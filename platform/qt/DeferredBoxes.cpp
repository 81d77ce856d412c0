#include "platform/qt/DeferredBoxes.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

TDeferredBoxes::TDeferredBoxes(TDeferredBoxQueue& queue, QObject* owner, std::function<void()> show)
    : FQueue(queue), FOwner(owner), FShow(std::move(show)), FPrevious(MessagePresenter()) {
    SetMessagePresenter(this);
}

TDeferredBoxes::~TDeferredBoxes() {
    SetMessagePresenter(FPrevious);
    if (!FQueue.empty()) QTimer::singleShot(0, FOwner, std::move(FShow));
}

TModalResult TDeferredBoxes::Present(const std::string& text, TMsgDlgType type,
                                     TMsgDlgButtons buttons, int helpContext) {
    if ((buttons & ~TMsgDlgButtons(mbOK)) == 0) {
        FQueue.push_back({text, type, buttons, helpContext});
        return mrOk;
    }
    SetMessagePresenter(FPrevious);
    const TModalResult r = MessageDlg(text, type, buttons, helpContext);
    SetMessagePresenter(this);
    return r;
}

bool ShowDeferredBoxes(TDeferredBoxQueue& queue, QObject* owner) {
    QPointer<QObject> alive(owner);
    while (!queue.empty()) {
        const TDeferredBox box = std::move(queue.front());
        queue.pop_front();
        MessageDlg(box.Text, box.Type, box.Buttons, box.HelpContext);
        if (!alive) return false;
    }
    return true;
}
