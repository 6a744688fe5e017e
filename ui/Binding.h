// The binding between the profile record and the editor's controls: each row
// names a control, the bytes of the field it shows and how the two convert.
// The rows are data so that the hundreds of controls share a dozen rules.
#pragma once

#include "link/Context.h"
#include "profile/TaProfile.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

class QWidget;

namespace ta::ui::binding {

enum class Kind {
    Text,        // NUL-terminated text
    List,        // item position is the stored value
    CodedList,   // item position indexes a code table
    Spin,        // byte
    Spin16,      // little-endian 16-bit
    Box,         // checked when not 0
    InvertedBox, // checked when 0
    PacketSize,  // item position + 7
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
    // Later entries move up one place.
    void removeAt(int position);

private:
    std::vector<std::optional<uint8_t>> codes_;
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

// What the last showRows put into each control. A control that still shows
// it gives back the very bytes it was loaded from: a value the editor cannot
// show as such (unknown to a list, out of a spin's range, a text without its
// terminator) survives a save or a submit unless the user changes it.
class LoadedValues {
public:
    void clear() { byControl_.clear(); }
    void remember(const Row& row, const uint8_t* field, QWidget* control);
    // The loaded bytes, or nullptr when the control shows something else now.
    const QByteArray* untouched(const Row& row, QWidget* control) const;

private:
    struct Loaded {
        QByteArray bytes;
        QString shown;
    };
    QHash<QString, Loaded> byControl_;
};

// The text a list shows for a stored value none of its items stands for.
QString unlistedText(unsigned value);

using ControlLookup = std::function<QWidget*(const QString& name)>;

// Copies the included rows between the record and the controls. Rows whose
// control cannot be found are skipped.
void showRows(const TaProfile& profile, const link::Switches& switches, CodeTables& tables,
              LoadedValues& loaded, const ControlLookup& lookup);
void collectRows(TaProfile& profile, const link::Switches& switches, CodeTables& tables,
                 const LoadedValues& loaded, const ControlLookup& lookup);

// One row in either direction, by the row's conversion alone.
void showRow(const Row& row, const uint8_t* field, CodeTables& tables, QWidget* control);
void collectRow(const Row& row, uint8_t* field, CodeTables& tables, QWidget* control);

// The row that binds the field at this offset of the record, or nullptr.
const Row* rowAt(std::size_t offset);
// A stored value as the row's control would show it, the control left as it
// is: the list item ("3 (not in list)" when there is none), the number, the
// text ("(empty)" when there is none), "checked" or "not checked".
QString shownText(const Row& row, const uint8_t* field, CodeTables& tables, const QWidget* control);

// The range the field rules give the number that a spin field shows.
std::pair<int, int> ruleRange(const QString& control);

// The USB twin of an RS232 control name: "Usb" goes after the lower-case
// prefix ("eDPDN1" -> "eUsbDPDN1").
QString usbName(const QString& name);

} // namespace ta::ui::binding
