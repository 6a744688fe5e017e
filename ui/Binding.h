// The binding between the profile record and the editor's controls: each row
// names a control, the bytes of the field it shows and how the two convert.
// The rows are data so that the hundreds of controls share a dozen rules.
#pragma once

#include "link/Context.h"
#include "profile/TaProfile.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QWidget;

namespace ta::ui::binding {

enum class Kind {
    Text,        // NUL-terminated text
    List,        // item position is the stored value; no selection stores 255
    CodedList,   // item position indexes a code table
    Spin,        // byte
    Spin16,      // little-endian 16-bit
    Box,         // checked when not 0
    InvertedBox, // checked when 0
    PacketSize,  // item position + 7; no selection stores 6
    DeviceType,  // item 1 is code 2, everything else item 0 / code 0
    MaskedText,  // date or time with fixed separators
};

// The program switch a row depends on: countryOption, x25OnD or sysDateTime.
enum class Switch { Always, P, X, T };

enum class Table { None, Country, CallType, FlowControl, BaudRate, UsbBaudRate };

struct Row {
    QString control;
    std::size_t offset; // into TaProfile
    std::size_t size;
    Kind kind;
    Switch gate = Switch::Always;
    Table table = Table::None;
};

// Every row in the order both walks take.
const std::vector<Row>& rows();
// Whether the switches include a row right now.
bool included(const Row& row, const link::Switches& switches);

// A list of codes indexed by list position. A position may have no code (the
// USB baud list offers rates the TA has no code for); such a position and a
// missing selection leave the field as it was.
class CodeTable {
public:
    CodeTable() = default;
    explicit CodeTable(std::vector<std::optional<uint8_t>> codes) : codes_(std::move(codes)) {}

    int positionOf(uint8_t code) const;
    std::optional<uint8_t> codeAt(int position) const;
    int size() const { return int(codes_.size()); }
    // Later entries move up one place; the code is remembered as withdrawn.
    void removeAt(int position);
    bool withdrawn(uint8_t code) const;

private:
    std::vector<std::optional<uint8_t>> codes_;
    std::vector<uint8_t> withdrawn_;
};

struct CodeTables {
    CodeTables();
    CodeTable country;
    CodeTable callType;
    CodeTable flowControl;
    CodeTable baudRate;
    CodeTable usbBaudRate;

    CodeTable* of(Table table);
};

using ControlLookup = std::function<QWidget*(const QString& name)>;

// Copies the included rows between the record and the controls. Rows whose
// control cannot be found are skipped.
void showRows(const TaProfile& profile, const link::Switches& switches, CodeTables& tables,
              const ControlLookup& lookup);
void collectRows(TaProfile& profile, const link::Switches& switches, CodeTables& tables,
                 const ControlLookup& lookup);

// One row in either direction.
void showRow(const Row& row, const uint8_t* field, CodeTables& tables, QWidget* control);
void collectRow(const Row& row, uint8_t* field, CodeTables& tables, QWidget* control);

// The USB twin of an RS232 control name: "Usb" goes after the lower-case
// prefix ("eDPDN1" -> "eUsbDPDN1").
QString usbName(const QString& name);

} // namespace ta::ui::binding
