#include "tickmatch/BusReporter.h"

#include "platform/qt/HXBus.h"
#include "timemodel/HXMessageBoxes.h"
#include "timemodel/HX_messages.h"

THXBusReporter::THXBusReporter() : Transport(std::make_unique<TDBusHXMessageTransport>()) {
    Transport->Install();
}

THXBusReporter::~THXBusReporter() = default;

bool THXBusReporter::MainWindowRunning() {
    return IsBusNameOwned(QString::fromLatin1(HXMainWindowBusName));
}

void THXBusReporter::RegisterMessages() {
    RegisterHXMessages();
    Listener = std::make_unique<THXMessageListener>([this](unsigned msg) {
        std::string name = RegisteredMessageName(msg);
        if (!name.empty() && OnMessage) OnMessage(name);
    });
}

void THXBusReporter::Broadcast(const std::string& messageName) {
    BroadcastHXMessage(FindRegisteredMessage(messageName));
}

void THXBusReporter::BroadcastTimeChange() {
    ::BroadcastTimeChange();
}

void TMessageDlgDialogs::Warning(const std::string& text) {
    MessageDlg(text, TMsgDlgType::mtWarning, mbOK, 0);
}

void TMessageDlgDialogs::Error(const std::string& text) {
    MessageDlg(text, TMsgDlgType::mtError, mbOK, 0);
}

bool TMessageDlgDialogs::AskYesNo(const std::string& text) {
    return MessageDlg(text, TMsgDlgType::mtInformation, mbYes | mbNo, 0) == mrYes;
}
