// The tests' one way into the link beside its verbs: they read what the link
// holds and use its port; the fuzzers also enter any state through the
// state's own sender, feed the receive event directly and set the exchange
// variables as a long run may have left them.
#pragma once

#include "link/TaLink.h"

#include <string_view>

namespace ta::link {

struct LinkProbe {
    static TransactionState state(const TaLink& link) { return link.ex_.transactionState; }
    static const ExchangeState& exchange(const TaLink& link) { return link.ex_; }
    static ExchangeState& exchange(TaLink& link) { return link.ex_; }
    static TCommPortDriver& port(TaLink& link) { return *link.cCom_; }
    static const UpgradeState& upgrade(const TaLink& link) { return link.upg_; }

    // The driver's receive event, as if the bytes had just been read.
    static void receive(TaLink& link, std::string_view bytes)
    {
        link.cComReceiveData(reinterpret_cast<const uint8_t*>(bytes.data()), uint32_t(bytes.size()));
    }

    // Opens COM1 as discovery would have found it, with the image loaded
    // that an upgrade started in this state sends. False when it did not open.
    static bool openFirstPort(TaLink& link, const std::string& firmwarePath)
    {
        (void)link.LoadFirmwareImage(firmwarePath);
        link.scanPorts();
        link.cCom_->setPort(pnCOM1);
        return link.cCom_->OpenPort();
    }

    // Brings the link into a state the way the program gets there: through
    // the state's own sender.
    static void enter(TaLink& link, TransactionState state)
    {
        switch (state) {
        case tsIdle: break;
        case tsIdentify: link.sendIdentify(); break;
        case tsRemoteEcho: link.sendRemoteEcho(); break;
        case tsRemoteQueryC0: link.sendQueryC0(); break;
        case tsRemoteQueryP5: link.sendQueryP5(); break;
        case tsRemoteSetup: link.sendRemoteSetup(); break;
        case tsDialing: link.sendDial(); break;
        case tsSessionEcho: link.sendSessionEcho(); break;
        case tsQuerying: link.startQuery(); link.sendQuery(); break;
        case tsSubmitting: link.startSubmit(); link.sendSubmitCommand(); break;
        case tsEscape: link.sendEscape(); break;
        case tsHangUp: link.sendHangUp(); break;
        case tsInfo: link.sendInfoQuery(); break;
        case tsPortProbe: link.sendPortProbe(); break;
        case tsUpgrading: link.StartUpgrade(); break;
        case tsRebooting:
            link.StartUpgrade();
            receive(link, "C\x06\x06\x06"); // the start, two blocks and the end acknowledged
            break;
        case tsDiscard:
            link.ex_.transactionState = tsDiscard;
            link.ex_.nextState = tsIdentify;
            break;
        }
    }
};

} // namespace ta::link
