// showProfile / collectProfile: every row's conversion both ways, the values
// that have no item, the switches that exclude rows and the settling of spin
// values typed beyond their range.
#include "DetailTestSupport.h"

#include "profile/DefaultProfile.h"
#include "ui/Binding.h"
#include "ui/Cspin.h"
#include "ui/detailMaskEdit.h"
#include "ui/detailRadioGroup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace ta::ui {
namespace {

using binding::Kind;
using binding::Row;
using testing::EditorHarness;

link::Switches allOn()
{
    link::Switches s;
    s.countryOption = true;
    s.x25OnD = true;
    s.sysDateTime = true;
    return s;
}

int listCount(QWidget* control)
{
    if (auto* combo = qobject_cast<QComboBox*>(control))
        return combo->count();
    return qobject_cast<TRadioGroup*>(control)->count();
}

// A value every row can hold, different from row to row, so that a row bound
// to the wrong field or the wrong control shows up.
void fillRow(const Row& row, int i, uint8_t* field, EditorHarness& h)
{
    QWidget* control = h.editor->control(row.control);
    switch (row.kind) {
    case Kind::Text:
        for (std::size_t k = 0; k + 1 < row.size; ++k)
            field[k] = uint8_t("0123456789-*# ()[]"[(std::size_t(i) + k) % 18]);
        field[row.size - 1] = 0;
        break;
    case Kind::MaskedText:
        std::strcpy(reinterpret_cast<char*>(field), row.size == 11 ? "31-12-1999" : "23:59:58");
        break;
    case Kind::List: field[0] = uint8_t(i % listCount(control)); break;
    case Kind::CodedList: {
        const binding::CodeTable* table = h.editor->codeTables().of(row.table);
        field[0] = *table->codeAt(table->size() - 1 - i % std::min(table->size(), 3));
        break;
    }
    case Kind::Spin: {
        auto* spin = qobject_cast<TCSpinEdit*>(control);
        field[0] = uint8_t(spin->MinValue() + i % (spin->MaxValue() - spin->MinValue() + 1));
        break;
    }
    case Kind::Spin16: field[0] = uint8_t(i); field[1] = 4; break;
    case Kind::Box:
    case Kind::InvertedBox: field[0] = uint8_t(i % 2); break;
    case Kind::PacketSize: field[0] = uint8_t(7 + i % 2); break;
    case Kind::DeviceType: field[0] = uint8_t(2 * (i % 2)); break;
    }
}

TEST(Binding, EveryRowRoundTripsIntoAnotherRecord)
{
    EditorHarness h(allOn(), 3);
    TaProfile source{};
    auto* bytes = reinterpret_cast<uint8_t*>(&source);
    int i = 0;
    for (const Row& row : binding::rows())
        fillRow(row, i++, bytes + row.offset, h);

    h.ctx.workingProfile = source;
    h.editor->showProfile();
    TaProfile target;
    std::memset(&target, 0xA5, sizeof target);
    const TaProfile untouched = target;
    h.ctx.workingProfile = target;
    h.editor->collectProfile();

    const auto* got = reinterpret_cast<const uint8_t*>(&h.ctx.workingProfile);
    std::vector<bool> bound(sizeof(TaProfile));
    for (const Row& row : binding::rows()) {
        std::size_t width = row.size;
        if (row.kind == Kind::Text || row.kind == Kind::MaskedText)
            width = std::strlen(reinterpret_cast<const char*>(bytes + row.offset)) + 1;
        EXPECT_EQ(0, std::memcmp(got + row.offset, bytes + row.offset, width)) << row.control.toStdString();
        for (std::size_t k = 0; k < row.size; ++k)
            bound[row.offset + k] = true;
    }
    const auto* before = reinterpret_cast<const uint8_t*>(&untouched);
    for (std::size_t k = 0; k < sizeof(TaProfile); ++k) {
        if (!bound[k]) {
            ASSERT_EQ(got[k], before[k]) << "unbound byte " << k;
        }
    }
}

TEST(Binding, RowsCoverEveryControlOnceAndStayInsideTheRecord)
{
    EditorHarness h(allOn(), 3);
    QSet<QString> seen;
    for (const Row& row : binding::rows()) {
        EXPECT_TRUE(h.editor->control(row.control)) << row.control.toStdString();
        EXPECT_FALSE(seen.contains(row.control)) << row.control.toStdString();
        seen.insert(row.control);
        EXPECT_LE(row.offset + row.size, sizeof(TaProfile));
    }
    // country, two ports, the RS232 port's neighbours, analog ports, date/time
    EXPECT_EQ(seen.size(), 1 + 2 * 55 + 3 + 52 + 3);
}

TEST(Binding, CodedListsSelectByCode)
{
    EditorHarness h(allOn(), 3);
    TaProfile& p = h.ctx.workingProfile;
    p.dataPort1.callType = 8;
    p.dataPort1.flowControl = 3;
    p.dataPort1.portBaudRate = 17;
    p.dataPort2.portBaudRate = 17;
    p.countryCode = 216;
    h.editor->showProfile();
    EXPECT_EQ(h.control<TRadioGroup>("rgCallType")->itemIndex(), 1);
    EXPECT_EQ(h.control<QComboBox>("cbFlowCtrl")->currentText(), "CTS/RTS flow control");
    EXPECT_EQ(h.control<QComboBox>("cbPOBaudRate")->currentText(), "115200 (default)");
    EXPECT_EQ(h.control<QComboBox>("cbUsbPOBaudRate")->currentText(), "115200 (default)");
    EXPECT_EQ(h.control<QComboBox>("cbCountryCode")->currentText(), "Other ");
}

TEST(Binding, UnknownCodeKeepsTheSelectionAndNoSelectionKeepsTheField)
{
    EditorHarness h(allOn(), 3);
    TaProfile& p = h.ctx.workingProfile;
    p.dataPort1.flowControl = 4;
    h.editor->showProfile();
    p.dataPort1.flowControl = 9;
    h.editor->showProfile();
    EXPECT_EQ(h.control<QComboBox>("cbFlowCtrl")->currentIndex(), 2);
    h.control<QComboBox>("cbFlowCtrl")->setCurrentIndex(-1);
    h.editor->collectProfile();
    EXPECT_EQ(p.dataPort1.flowControl, 9);
}

TEST(Binding, UsbBaudRatesBelow9600KeepTheStoredCode)
{
    EditorHarness h(allOn(), 3);
    TaProfile& p = h.ctx.workingProfile;
    p.dataPort2.portBaudRate = 21;
    h.editor->showProfile();
    auto* list = h.control<QComboBox>("cbUsbPOBaudRate");
    EXPECT_EQ(list->count(), 11);
    EXPECT_EQ(list->currentText(), "230400");
    for (int i = 0; i < 5; ++i) {
        list->setCurrentIndex(i);
        h.editor->collectProfile();
        EXPECT_EQ(p.dataPort2.portBaudRate, 21) << list->currentText().toStdString();
    }
    const uint8_t codes[] = {8, 11, 13, 16, 17, 21};
    for (int i = 5; i < 11; ++i) {
        list->setCurrentIndex(i);
        h.editor->collectProfile();
        EXPECT_EQ(p.dataPort2.portBaudRate, codes[i - 5]) << list->currentText().toStdString();
    }
}

struct OddValue {
    const char* name;
    std::size_t offset;
    uint8_t stored;
    int shownIndex;
    uint8_t collected;
};

void PrintTo(const OddValue& c, std::ostream* os) { *os << c.name << " " << int(c.stored); }

class BindingOddValue : public ::testing::TestWithParam<OddValue> {};

TEST_P(BindingOddValue, ShowsAndCollectsAsTheRuleSays)
{
    const OddValue& c = GetParam();
    EditorHarness h(allOn(), 3);
    auto* bytes = reinterpret_cast<uint8_t*>(&h.ctx.workingProfile);
    bytes[c.offset] = c.stored;
    h.editor->showProfile();
    QWidget* control = h.editor->control(QString::fromLatin1(c.name));
    if (auto* combo = qobject_cast<QComboBox*>(control)) {
        EXPECT_EQ(combo->currentIndex(), c.shownIndex);
    } else if (auto* spin = qobject_cast<TCSpinEdit*>(control)) {
        EXPECT_EQ(spin->GetValue(), c.shownIndex);
    }
    h.editor->collectProfile();
    EXPECT_EQ(bytes[c.offset], c.collected);
}

constexpr std::size_t kPort1 = offsetof(TaProfile, dataPort1);
constexpr std::size_t kPort2 = offsetof(TaProfile, dataPort2);

INSTANTIATE_TEST_SUITE_P(
    Values, BindingOddValue,
    ::testing::Values(OddValue{"cbDTR", kPort1 + offsetof(DataPortSettings, dtrMode), 3, -1, 255},
                      OddValue{"cbUsbDTR", kPort2 + offsetof(DataPortSettings, dtrMode), 2, 2, 2},
                      OddValue{"cbPktSize", kPort1 + offsetof(DataPortSettings, x25PacketSize), 9, -1, 6},
                      OddValue{"cbUsbPktSize", kPort2 + offsetof(DataPortSettings, x25PacketSize), 8, 1, 8},
                      OddValue{"cbVDevType1", offsetof(TaProfile, vp1DeviceType), 1, 0, 0},
                      OddValue{"cbVDevType2", offsetof(TaProfile, vp2DeviceType), 2, 1, 2},
                      OddValue{"sePerTime", kPort1 + offsetof(DataPortSettings, mpPersistTime), 0, 1, 1},
                      OddValue{"seUsbWinSize", kPort2 + offsetof(DataPortSettings, x25WindowSize), 200, 7, 7},
                      OddValue{"cbUsbExtRltCode", kPort2 + offsetof(DataPortSettings, extResultCode), 4, -1, 255},
                      OddValue{"cbExtRltCode", kPort1 + offsetof(DataPortSettings, extResultCode), 4, 4, 4}),
    [](const auto& info) { return std::string(info.param.name) + "_" + std::to_string(info.param.stored); });

TEST(Binding, CallWaitingBoxesAreInverted)
{
    EditorHarness h(allOn(), 3);
    TaProfile& p = h.ctx.workingProfile;
    p.vp1CallWaiting = 1;
    p.vp2CallWaiting = 0;
    h.editor->showProfile();
    EXPECT_FALSE(h.control<QCheckBox>("ckDisableCW1")->isChecked());
    EXPECT_TRUE(h.control<QCheckBox>("ckDisableCW2")->isChecked());
    h.control<QCheckBox>("ckDisableCW1")->setChecked(true);
    h.editor->collectProfile();
    EXPECT_EQ(p.vp1CallWaiting, 0);
    EXPECT_EQ(p.vp2CallWaiting, 0);
}

TEST(Binding, CallTypeWithdrawnWithX25IsKept)
{
    EditorHarness h(allOn(), 3);
    h.editor->removeX25Support();
    TaProfile& p = h.ctx.workingProfile;
    p.dataPort1.callType = 6;
    p.dataPort2.callType = 3;
    h.editor->showProfile();
    EXPECT_EQ(h.control<TRadioGroup>("rgCallType")->itemIndex(), -1);
    EXPECT_EQ(h.control<TRadioGroup>("rgUsbCallType")->itemIndex(), 4);
    h.editor->collectProfile();
    EXPECT_EQ(p.dataPort1.callType, 6);
    EXPECT_EQ(p.dataPort2.callType, 3);
    h.control<TRadioGroup>("rgCallType")->setItemIndex(1);
    h.editor->collectProfile();
    EXPECT_EQ(p.dataPort1.callType, 8);
}

TEST(Binding, TextsAreCutToTheirFieldAndNeverReadPastIt)
{
    EditorHarness h(allOn(), 3);
    TaProfile& p = h.ctx.workingProfile;
    std::memset(p.dataPort1.dn, '7', sizeof p.dataPort1.dn); // no terminator
    setText(p.vp1SubAddr, "12345678901234567890");
    h.editor->showProfile();
    EXPECT_EQ(h.control<QLineEdit>("eDPDN1")->text(), QString(32, QLatin1Char('7')));
    EXPECT_EQ(h.control<QLineEdit>("eVP1SDN1")->text(), "12345678901234567890");
    h.editor->collectProfile();
    EXPECT_EQ(textOf(p.dataPort1.dn), std::string(32, '7'));
    EXPECT_EQ(p.dataPort1.dn[32], '\0');
    EXPECT_EQ(textOf(p.vp1SubAddr), "12345678901234567890");
}

TEST(Binding, SpinTypedBeyondItsRangeIsSettledNotWrapped)
{
    EditorHarness h(allOn(), 3);
    TaProfile& p = h.ctx.workingProfile;
    h.control<TCSpinEdit>("seWaitForConn")->setText("300");
    h.control<TCSpinEdit>("seUsbAutoAnswer")->setText("70000");
    h.control<TCSpinEdit>("seAddThreshold")->setText("-5");
    h.control<TCSpinEdit>("seX75TxFrameSize")->setText("65600");
    h.control<TCSpinEdit>("sePerTime")->setText("");
    h.editor->collectProfile();
    EXPECT_EQ(p.dataPort1.waitForConnect, 255);
    EXPECT_EQ(p.dataPort2.autoAnswerRings, 255);
    EXPECT_EQ(p.dataPort1.mpAddThreshold, 0);
    EXPECT_EQ(uint16_t(p.x75TxFrameSize), 2048);
    EXPECT_EQ(p.dataPort1.mpPersistTime, 1);
    EXPECT_EQ(h.control<TCSpinEdit>("seWaitForConn")->text(), "255");
}

TEST(Binding, SwitchedOffRowsAreNeitherShownNorCollected)
{
    link::Switches off;
    off.countryOption = false;
    off.x25OnD = false;
    off.sysDateTime = false;
    EditorHarness h(off, 3);
    TaProfile& p = h.ctx.workingProfile;
    buildDefaultProfile(p, true, true);
    p.countryCode = 249;
    p.x75TxFrameSize = 1024;
    p.powerOnAssert = 0;
    p.redialCount = 9;
    p.dataPort1.x25WindowSize = 5;
    p.dataPort2.x25PacketSize = 8;
    setText(p.dataPort2.x25SelfDn, "555");
    setText(p.sysDate, "01-02-2003");
    p.sendDateTime = 1;
    const TaProfile before = p;
    h.editor->showProfile();
    EXPECT_EQ(h.control<TCSpinEdit>("seX75TxFrameSize")->GetValue(), 128);
    EXPECT_EQ(h.control<TCSpinEdit>("seWinSize")->GetValue(), 2);
    EXPECT_EQ(h.control<QLineEdit>("eUsbDPAodiDN")->text(), "");
    EXPECT_FALSE(h.control<QCheckBox>("ckSendDT")->isChecked());
    h.control<TCSpinEdit>("seRedialCnt")->SetValue(1);
    h.control<TCSpinEdit>("seUsbWinSize")->SetValue(7);
    h.editor->collectProfile();
    EXPECT_EQ(0, std::memcmp(&p, &before, sizeof p));
}

TEST(Binding, SwitchesAreReadAtEachCall)
{
    EditorHarness h(allOn(), 3);
    TaProfile& p = h.ctx.workingProfile;
    setText(p.sysTime, "11:22:33");
    h.ctx.switches.sysDateTime = false;
    h.editor->showProfile();
    EXPECT_EQ(h.control<TMaskEdit>("eSysTime")->storedText(), "00:00:00");
    h.ctx.switches.sysDateTime = true;
    h.editor->showProfile();
    EXPECT_EQ(h.control<TMaskEdit>("eSysTime")->storedText(), "11:22:33");
}

TEST(Binding, MaskedFieldsKeepEmptyPositionsAsBlanks)
{
    EditorHarness h(allOn(), 3);
    TaProfile& p = h.ctx.workingProfile;
    setText(p.sysDate, " 3- 1-2000");
    setText(p.sysTime, " 9:05:00");
    h.editor->showProfile();
    EXPECT_EQ(h.control<TMaskEdit>("eSysDate")->displayText(), "_3-_1-2000");
    std::memset(p.sysDate, 0, sizeof p.sysDate);
    h.editor->collectProfile();
    EXPECT_STREQ(p.sysDate, " 3- 1-2000");
    EXPECT_STREQ(p.sysTime, " 9:05:00");
}

TEST(Binding, ChargeBoxesReachTheContextFromEitherPage)
{
    EditorHarness h(allOn(), 3);
    h.control<QCheckBox>("ckUsbCIClrLast")->setChecked(true);
    EXPECT_TRUE(h.control<QCheckBox>("ckCIClrLast")->isChecked());
    h.editor->collectProfile();
    EXPECT_TRUE(h.ctx.clearLastCharge);
    EXPECT_FALSE(h.ctx.clearAccCharge);
    h.control<QCheckBox>("ckCIClrLast")->setChecked(false);
    h.control<QCheckBox>("ckCIClrAcc")->setChecked(true);
    h.editor->collectProfile();
    EXPECT_FALSE(h.ctx.clearLastCharge);
    EXPECT_TRUE(h.ctx.clearAccCharge);
    EXPECT_TRUE(h.control<QCheckBox>("ckUsbCIClrAcc")->isChecked());

    EXPECT_EQ(h.control<QLineEdit>("eCILast")->text(), "0");
    h.ctx.chargeLast = "12";
    h.ctx.chargeAcc = "345";
    h.editor->chargeTextsChanged();
    for (const char* name : {"eCILast", "eUsbCILast"})
        EXPECT_EQ(h.control<QLineEdit>(name)->text(), "12");
    for (const char* name : {"eCIAcc", "eUsbCIAcc"})
        EXPECT_EQ(h.control<QLineEdit>(name)->text(), "345");
    EXPECT_TRUE(h.control<QLineEdit>("eCIAcc")->isReadOnly());
}

} // namespace
} // namespace ta::ui
