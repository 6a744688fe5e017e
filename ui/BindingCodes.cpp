// The code tables of the coded lists, indexed by list position.
#include "ui/Binding.h"

#include "profile/CodeTables.h"

namespace ta::ui::binding {

namespace {

std::vector<std::optional<uint8_t>> codesOf(std::span<const CodeItem> items)
{
    std::vector<std::optional<uint8_t>> codes;
    for (const CodeItem& item : items)
        codes.emplace_back(item.code);
    return codes;
}

// The USB port's list shows 300 to 4800 baud ahead of the six rates the TA
// has codes for. Those five have no code, so the list offers them disabled
// and no made-up value ever reaches the TA or a file. The six rates from
// 9600 up map to the same codes as on the RS232 list.
std::vector<std::optional<uint8_t>> usbBaudCodes()
{
    std::vector<std::optional<uint8_t>> codes(5);
    const auto shared = codesOf(baudRateItems());
    codes.insert(codes.end(), shared.begin(), shared.end());
    return codes;
}

} // namespace

int CodeTable::positionOf(uint8_t code) const
{
    for (std::size_t i = 0; i < codes_.size(); ++i)
        if (codes_[i] == code)
            return int(i);
    return -1;
}

std::optional<uint8_t> CodeTable::codeAt(int position) const
{
    if (position < 0 || position >= size())
        return std::nullopt;
    return codes_[std::size_t(position)];
}

void CodeTable::removeAt(int position)
{
    if (position < 0 || position >= size())
        return;
    codes_.erase(codes_.begin() + position);
}

CodeTables::CodeTables()
    : country(codesOf(countryCodeItems())), callType(codesOf(callTypeItems())),
      flowControl(codesOf(flowControlItems())), baudRate(codesOf(baudRateItems())),
      usbBaudRate(usbBaudCodes())
{
}

CodeTable* CodeTables::of(Table table)
{
    switch (table) {
    case Table::Country: return &country;
    case Table::CallType: return &callType;
    case Table::FlowControl: return &flowControl;
    case Table::BaudRate: return &baudRate;
    case Table::UsbBaudRate: return &usbBaudRate;
    case Table::None: break;
    }
    return nullptr;
}

} // namespace ta::ui::binding
