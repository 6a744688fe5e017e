// The binding rows, in the order both walks take: country, RS232 port, the
// device-wide rows kept beside it, USB port, analog ports, date and time.
// Within a port the multilink rows come before the Fixed MP box.
#include "ui/Binding.h"

#include <cstddef>

namespace ta::ui::binding {

namespace {

#define TA_FIELD(Record, f) offsetof(Record, f), sizeof(Record::f)
#define PORT(f) TA_FIELD(DataPortSettings, f)
#define TOP(f) TA_FIELD(TaProfile, f)

using Rows = std::vector<Row>;

// Controls "<stem>1".."<stem>n" bound to entries 0..n-1 of a text array.
void addEntries(Rows& rows, const char* stem, std::size_t offset, int count, std::size_t width)
{
    for (int i = 0; i < count; ++i)
        rows.push_back({QString::fromLatin1(stem) + QString::number(i + 1),
                        offset + std::size_t(i) * width, width, Kind::Text});
}

// One data port's rows with offsets relative to its block.
Rows portRows(bool usb)
{
    const Table baud = usb ? Table::UsbBaudRate : Table::BaudRate;
    Rows rows{
        {"eDPDN1", PORT(dn), Kind::Text},
        {"eDPSDN1", PORT(subAddr), Kind::Text},
        {"cbDClipClir", PORT(clipClir), Kind::List},
        {"rgCallType", PORT(callType), Kind::CodedList, Switch::Always, Table::CallType},
        {"cbMaxThroughput", PORT(maxThroughput), Kind::List},
        {"seAddThreshold", PORT(mpAddThreshold), Kind::Spin},
        {"seDropThreshold", PORT(mpDropThreshold), Kind::Spin},
        {"sePerTime", PORT(mpPersistTime), Kind::Spin},
        {"ckChap", PORT(chap), Kind::Box},
        {"ckDropB", PORT(callBumping), Kind::Box},
        {"ckFixMP", PORT(fixedMp), Kind::Box},
        {"eDPAodiDN", PORT(x25SelfDn), Kind::Text, Switch::X},
        {"seFixedTEI", PORT(x25FixedTei), Kind::Spin, Switch::X},
        {"seWinSize", PORT(x25WindowSize), Kind::Spin, Switch::X},
        {"cbPktSize", PORT(x25PacketSize), Kind::PacketSize, Switch::X},
        {"seLCGN", PORT(x25Lcgn), Kind::Spin, Switch::X},
        {"seLCNRange", PORT(x25LcnRange), Kind::Spin, Switch::X},
        {"seLCN", PORT(x25Lcn), Kind::Spin, Switch::X},
        {"cbReverCharge", PORT(x25ReverseCharge), Kind::List, Switch::X},
        {"ckDBit", PORT(x25DBit), Kind::Box, Switch::X},
        {"cbDCD", PORT(dcdMode), Kind::List},
        {"cbDTR", PORT(dtrMode), Kind::List},
        {"cbFlowCtrl", PORT(flowControl), Kind::CodedList, Switch::Always, Table::FlowControl},
        {"cbDSR", PORT(dsrMode), Kind::List},
    };
    addEntries(rows, "eDP1ISDN", offsetof(DataPortSettings, inScreenDn), 5, kNumberLen);
    addEntries(rows, "eDP1ISSDN", offsetof(DataPortSettings, inScreenSub), 5, kSubAddrLen);
    rows.push_back({"cbD1ISMode", PORT(inScreenMode), Kind::List});
    addEntries(rows, "eDP1OSDN", offsetof(DataPortSettings, outScreenDn), 3, kNumberLen);
    rows.push_back({"cbD1OSMode", PORT(outScreenMode), Kind::List});
    addEntries(rows, "eDPPSDN", offsetof(DataPortSettings, preStoredDn), 5, kNumberLen);
    addEntries(rows, "eDPPSSDN", offsetof(DataPortSettings, preStoredSub), 5, kSubAddrLen);
    rows.insert(rows.end(), {
        {"seAutoAnswer", PORT(autoAnswerRings), Kind::Spin},
        {"seWaitForConn", PORT(waitForConnect), Kind::Spin},
        {"cbPOBaudRate", PORT(portBaudRate), Kind::CodedList, Switch::Always, baud},
        {"cbPOAttrib", PORT(portCharFormat), Kind::List},
        {"cbRltCodeFmt", PORT(resultCodeFormat), Kind::List},
        {"cbExtRltCode", PORT(extResultCode), Kind::List},
    });
    return rows;
}

void addPort(Rows& rows, std::size_t blockOffset, bool usb)
{
    for (Row row : portRows(usb)) {
        row.offset += blockOffset;
        if (usb)
            row.control = usbName(row.control);
        rows.push_back(row);
    }
}

Rows analogRows()
{
    Rows rows{
        {"eVP1DN1", TOP(vp1Dn), Kind::Text},
        {"eVP1SDN1", TOP(vp1SubAddr), Kind::Text},
        {"eVP2DN1", TOP(vp2Dn), Kind::Text},
        {"eVP2SDN1", TOP(vp2SubAddr), Kind::Text},
        {"cbV1ClipClir", TOP(vp1ClipClir), Kind::List},
        {"cbV2ClipClir", TOP(vp2ClipClir), Kind::List},
        {"cbVDevType1", TOP(vp1DeviceType), Kind::DeviceType},
        {"cbVDevType2", TOP(vp2DeviceType), Kind::DeviceType},
        {"cbVPriority", TOP(portPriority), Kind::List},
        {"cbVDialMethod", TOP(dialMethod), Kind::List},
    };
    addEntries(rows, "eVP1ISDN", offsetof(TaProfile, vp1InScreenDn), 5, kNumberLen);
    addEntries(rows, "eVP1ISSDN", offsetof(TaProfile, vp1InScreenSub), 5, kSubAddrLen);
    rows.push_back({"cbV1ISMode", TOP(vp1InScreenMode), Kind::List});
    addEntries(rows, "eVP2ISDN", offsetof(TaProfile, vp2InScreenDn), 5, kNumberLen);
    addEntries(rows, "eVP2ISSDN", offsetof(TaProfile, vp2InScreenSub), 5, kSubAddrLen);
    rows.push_back({"cbV2ISMode", TOP(vp2InScreenMode), Kind::List});
    addEntries(rows, "eVP1OSDN", offsetof(TaProfile, vp1OutScreenDn), 3, kNumberLen);
    rows.push_back({"cbV1OSMode", TOP(vp1OutScreenMode), Kind::List});
    addEntries(rows, "eVP2OSDN", offsetof(TaProfile, vp2OutScreenDn), 3, kNumberLen);
    rows.push_back({"cbV2OSMode", TOP(vp2OutScreenMode), Kind::List});
    addEntries(rows, "eVPPSDN", offsetof(TaProfile, voicePreStoredDn), 5, kNumberLen);
    addEntries(rows, "eVPPSSDN", offsetof(TaProfile, voicePreStoredSub), 5, kSubAddrLen);
    rows.push_back({"ckDisableCW1", TOP(vp1CallWaiting), Kind::InvertedBox});
    rows.push_back({"ckDisableCW2", TOP(vp2CallWaiting), Kind::InvertedBox});
    return rows;
}

Rows buildRows()
{
    Rows rows{{"cbCountryCode", TOP(countryCode), Kind::CodedList, Switch::P, Table::Country}};
    addPort(rows, offsetof(TaProfile, dataPort1), false);
    rows.insert(rows.end(), {
        {"seX75TxFrameSize", TOP(x75TxFrameSize), Kind::Spin16, Switch::P},
        {"sePowerOnAssert", TOP(powerOnAssert), Kind::Spin, Switch::P},
        {"seRedialCnt", TOP(redialCount), Kind::Spin, Switch::P},
    });
    addPort(rows, offsetof(TaProfile, dataPort2), true);
    const Rows analog = analogRows();
    rows.insert(rows.end(), analog.begin(), analog.end());
    rows.insert(rows.end(), {
        {"eSysDate", TOP(sysDate), Kind::MaskedText, Switch::T},
        {"eSysTime", TOP(sysTime), Kind::MaskedText, Switch::T},
        {"ckSendDT", TOP(sendDateTime), Kind::Box, Switch::T},
    });
    return rows;
}

#undef TOP
#undef PORT
#undef TA_FIELD

} // namespace

const std::vector<Row>& rows()
{
    static const Rows all = buildRows();
    return all;
}

} // namespace ta::ui::binding
