// showProfile / collectProfile: every row's conversion both ways, the values
// that have no item, the switches that exclude rows and the settling of spin
// values typed beyond their range.
#include "DetailTestSupport.h"
#include "support/UiTestSupport.h"

#include "profile/DefaultProfile.h"
#include "ui/Binding.h"
#include "ui/Cspin.h"
#include "ui/detailMaskEdit.h"
#include "ui/detailRadioGroup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace ta::ui {
namespace {

using binding::Kind;
using binding::Row;
using testing::EditorHarness;

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

// Collected once as the editor does (an untouched control gives back its
// loaded bytes) and once by the rows' conversions alone, as after a change.
class BindingRoundTrip : public ::testing::TestWithParam<bool> {};

TEST_P(BindingRoundTrip, EveryRowRoundTripsIntoAnotherRecord)
{
    const bool convertOnly = GetParam();
    EditorHarness h(testing::switchesWith(true, true), 3);
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
    if (convertOnly)
        binding::collectRows(h.ctx.workingProfile, h.ctx.switches, h.editor->codeTables(), binding::LoadedValues(),
                             [&h](const QString& name) { return h.editor->control(name); });
    else
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

INSTANTIATE_TEST_SUITE_P(Collect, BindingRoundTrip, ::testing::Bool(),
                         [](const auto& testCase) { return testCase.param ? "ByConversion" : "AsTheEditorDoes"; });

TEST(Binding, RowsCoverEveryControlOnceAndStayInsideTheRecord)
{
    EditorHarness h(testing::switchesWith(true, true), 3);
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
    EditorHarness h(testing::switchesWith(true, true), 3);
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

TEST(Binding, AnUnlistedValueIsNamedUntilTheNextLoad)
{
    EditorHarness h(testing::switchesWith(true, true), 3);
    TaProfile& p = h.ctx.workingProfile;
    auto* list = h.control<QComboBox>("cbFlowCtrl");
    p.dataPort1.flowControl = 9;
    h.editor->showProfile();
    EXPECT_EQ(list->count(), 4);
    EXPECT_EQ(list->currentText(), "9 (not in list)");
    list->setCurrentIndex(0);
    h.editor->collectProfile();
    EXPECT_EQ(p.dataPort1.flowControl, 0);
    list->setCurrentIndex(3); // chosen again: the stored value comes back
    h.editor->collectProfile();
    EXPECT_EQ(p.dataPort1.flowControl, 9);
    p.dataPort1.flowControl = 4;
    h.editor->showProfile();
    EXPECT_EQ(list->count(), 3);
    EXPECT_EQ(list->currentText(), "XON/XOFF flow control");
}

TEST(Binding, UsbBaudRatesBelow9600CannotBeChosen)
{
    EditorHarness h(testing::switchesWith(true, true), 3);
    TaProfile& p = h.ctx.workingProfile;
    p.dataPort2.portBaudRate = 8;
    h.editor->showProfile();
    auto* list = h.control<QComboBox>("cbUsbPOBaudRate");
    EXPECT_EQ(list->count(), 11);
    ASSERT_EQ(list->currentText(), "9600");
    for (int key : {Qt::Key_Up, Qt::Key_Home, Qt::Key_PageUp}) {
        QTest::keyClick(list, Qt::Key(key));
        EXPECT_EQ(list->currentText(), "9600") << key;
    }
    // Should one be chosen all the same, nothing made up is stored.
    list->setCurrentIndex(2);
    h.editor->collectProfile();
    EXPECT_EQ(p.dataPort2.portBaudRate, 8);
    const uint8_t codes[] = {8, 11, 13, 16, 17, 21};
    for (int i = 5; i < 11; ++i) {
        list->setCurrentIndex(i);
        h.editor->collectProfile();
        EXPECT_EQ(p.dataPort2.portBaudRate, codes[i - 5]) << list->currentText().toStdString();
    }
}

// A value stored by the TA or a file that the editor has no item or range
// for: how it shows, that it goes back unchanged when the user leaves it
// alone, and what a change by the user stores instead.
struct KeptValue {
    const char* name;
    unsigned stored;
    const char* shown;
    int pick;          // list item the user chooses afterwards, or -1
    const char* typed; // text the user types into a spin field instead, or nullptr
    unsigned changed;  // collected after that
};

void PrintTo(const KeptValue& c, std::ostream* os) { *os << c.name << " " << c.stored; }

const Row& rowOf(const char* name)
{
    const auto& all = binding::rows();
    return *std::find_if(all.begin(), all.end(), [name](const Row& row) { return row.control == QLatin1String(name); });
}

unsigned readField(const Row& row, const uint8_t* field)
{
    return row.size == 2 ? unsigned(field[0] | field[1] << 8) : field[0];
}

class BindingKeptValue : public ::testing::TestWithParam<KeptValue> {};

TEST_P(BindingKeptValue, UntouchedGoesBackAsStoredChangedAsChosen)
{
    const KeptValue& c = GetParam();
    EditorHarness h(testing::switchesWith(true, true), 3);
    const Row& row = rowOf(c.name);
    uint8_t* field = reinterpret_cast<uint8_t*>(&h.ctx.workingProfile) + row.offset;
    field[0] = uint8_t(c.stored);
    if (row.size == 2)
        field[1] = uint8_t(c.stored >> 8);
    h.editor->showProfile();
    QWidget* control = h.editor->control(row.control);
    auto* combo = qobject_cast<QComboBox*>(control);
    auto* spin = qobject_cast<TCSpinEdit*>(control);
    EXPECT_EQ(combo ? combo->currentText() : spin->text(), QLatin1String(c.shown));

    TaProfile saved;
    std::memset(&saved, 0xA5, sizeof saved);
    h.ctx.workingProfile = saved;
    h.editor->collectProfile();
    EXPECT_EQ(readField(row, field), c.stored);

    if (c.pick >= 0)
        combo->setCurrentIndex(c.pick);
    if (c.typed) {
        spin->selectAll();
        QTest::keyClicks(spin, QLatin1String(c.typed));
    }
    h.editor->collectProfile();
    EXPECT_EQ(readField(row, field), c.changed);
}

INSTANTIATE_TEST_SUITE_P(
    Values, BindingKeptValue,
    ::testing::Values(KeptValue{"cbDTR", 3, "3 (not in list)", 1, nullptr, 1},
                      KeptValue{"cbUsbDTR", 2, "ON to OFF, disconnect the call (108/2) ", 0, nullptr, 0},
                      KeptValue{"cbExtRltCode", 4, "RVS-COM format", 0, nullptr, 0},
                      KeptValue{"cbUsbPktSize", 8, "256 bytes", 0, nullptr, 7},
                      KeptValue{"cbVDevType2", 2, "Telephone with Call Waiting caller ID device", 0, nullptr, 0},
                      KeptValue{"cbUsbExtRltCode", 4, "4 (not in list)", 2, nullptr, 2},
                      KeptValue{"cbCountryCode", 1, "1 (not in list)", 0, nullptr, 213},
                      KeptValue{"cbCountryCode", 216, "Other ", 1, nullptr, 214},
                      KeptValue{"cbPktSize", 9, "9 (not in list)", 0, nullptr, 7},
                      KeptValue{"cbVDevType1", 1, "Telephone, G3 Fax or Modem", 1, nullptr, 2},
                      KeptValue{"seAddThreshold", 200, "200", -1, "70", 64},
                      KeptValue{"sePerTime", 0, "0", -1, "300", 255},
                      KeptValue{"seUsbWinSize", 200, "200", -1, "5", 5},
                      KeptValue{"seX75TxFrameSize", 5000, "5000", -1, "100", 128}),
    [](const auto& testCase) {
        return std::string(testCase.param.name) + "_" + std::to_string(testCase.param.stored);
    });

TEST(Binding, OutOfRangeSpinSurvivesBeingTabbedThrough)
{
    EditorHarness h(testing::switchesWith(true, true), 3);
    h.ctx.workingProfile.dataPort1.mpAddThreshold = 200;
    h.editor->showProfile();
    QFocusEvent left(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(h.control<TCSpinEdit>("seAddThreshold"), &left);
    h.editor->collectProfile();
    EXPECT_EQ(h.ctx.workingProfile.dataPort1.mpAddThreshold, 200);
}

TEST(Binding, CallWaitingBoxesAreInverted)
{
    EditorHarness h(testing::switchesWith(true, true), 3);
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

TEST(Binding, CallTypeWithdrawnWithX25IsNamedAndKept)
{
    EditorHarness h(testing::switchesWith(true, true), 3);
    h.editor->removeX25Support();
    TaProfile& p = h.ctx.workingProfile;
    p.dataPort1.callType = 6;
    p.dataPort2.callType = 3;
    h.editor->showProfile();
    auto* rs232 = h.control<TRadioGroup>("rgCallType");
    EXPECT_EQ(rs232->itemIndex(), 5);
    EXPECT_EQ(rs232->items().value(5), "6 (not in list)");
    EXPECT_EQ(h.control<TRadioGroup>("rgUsbCallType")->itemIndex(), 4);
    h.editor->collectProfile();
    EXPECT_EQ(p.dataPort1.callType, 6);
    EXPECT_EQ(p.dataPort2.callType, 3);
    rs232->setItemIndex(1);
    h.editor->collectProfile();
    EXPECT_EQ(p.dataPort1.callType, 8);
    p.dataPort1.callType = 1;
    h.editor->showProfile();
    EXPECT_EQ(rs232->count(), 5);
}

TEST(Binding, TextsAreCutToTheirFieldAndNeverReadPastIt)
{
    EditorHarness h(testing::switchesWith(true, true), 3);
    TaProfile& p = h.ctx.workingProfile;
    std::memset(p.dataPort1.dn, '7', sizeof p.dataPort1.dn); // no terminator
    setText(p.vp1SubAddr, "12345678901234567890");
    h.editor->showProfile();
    auto* dn = h.control<QLineEdit>("eDPDN1");
    EXPECT_EQ(dn->text(), QString(32, QLatin1Char('7')));
    EXPECT_EQ(dn->cursorPosition(), 0); // the start of a long number shows
    EXPECT_EQ(h.control<QLineEdit>("eVP1SDN1")->text(), "12345678901234567890");
    h.editor->collectProfile();
    EXPECT_EQ(std::string(p.dataPort1.dn, sizeof p.dataPort1.dn), std::string(33, '7')); // untouched
    EXPECT_EQ(textOf(p.vp1SubAddr), "12345678901234567890");
    dn->setText(QString(33, QLatin1Char('8'))); // a change; the field's length still holds
    h.editor->collectProfile();
    EXPECT_EQ(textOf(p.dataPort1.dn), std::string(32, '8'));
    EXPECT_EQ(p.dataPort1.dn[32], '\0');
}

TEST(Binding, SpinTypedBeyondItsRangeIsSettledNotWrapped)
{
    EditorHarness h(testing::switchesWith(true, true), 3);
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
    EditorHarness h(testing::switchesWith(false, false, false), 3);
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
    EditorHarness h(testing::switchesWith(true, true), 3);
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
    EditorHarness h(testing::switchesWith(true, true), 3);
    TaProfile& p = h.ctx.workingProfile;
    setText(p.sysDate, " 3- 1-2000");
    setText(p.sysTime, " 9:05:00");
    h.editor->showProfile();
    EXPECT_EQ(h.control<TMaskEdit>("eSysDate")->displayText(), "_3-_1-2000");
    std::memset(p.sysDate, 0, sizeof p.sysDate);
    h.editor->collectProfile();
    EXPECT_STREQ(p.sysDate, " 3- 1-2000");
    EXPECT_STREQ(p.sysTime, " 9:05:00");
    // Typed with a digit left out, a part goes to the TA with a leading zero.
    h.control<TMaskEdit>("eSysDate")->setStoredText("4 - 2-2001");
    h.editor->collectProfile();
    EXPECT_STREQ(p.sysDate, "04-02-2001");
    EXPECT_STREQ(p.sysTime, " 9:05:00");
}

TEST(Binding, ChargeBoxesReachTheContextFromEitherPage)
{
    EditorHarness h(testing::switchesWith(true, true), 3);
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
