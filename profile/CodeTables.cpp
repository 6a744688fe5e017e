#include "profile/CodeTables.h"

#include <array>

namespace ta {
namespace {

constexpr std::array<CodeItem, 14> kCountries{{
    {213, "Spain"},   {214, "India"},  {219, "France"},      {220, "Portugal"}, {235, "Ireland"},
    {236, "Italy"},   {237, "German"}, {245, "Norway"},      {249, "UK"},       {250, "Sweden"},
    {251, "Switzerland"}, {252, "Denmark"}, {253, "Netherland"}, {216, "Other "},
}};

constexpr std::array<CodeItem, 6> kCallTypes{{
    {1, "HDLC transparent"}, {8, "PPP or MLP"}, {4, "V.120"}, {5, "X.75"}, {3, "V.110"}, {6, "X.25 on D channel"},
}};

constexpr std::array<CodeItem, 3> kFlowControls{{
    {0, "Disable flow control"}, {3, "CTS/RTS flow control"}, {4, "XON/XOFF flow control"},
}};

constexpr std::array<CodeItem, 6> kBaudRates{{
    {8, "9600"}, {11, "19200"}, {13, "38400"}, {16, "57600"}, {17, "115200 (default)"}, {21, "230400"},
}};

constexpr std::array<CodeItem, 2> kPacketSizes{{{7, "128 bytes (default)"}, {8, "256 bytes"}}};

constexpr std::array<CodeItem, 2> kDeviceTypes{{
    {0, "Telephone, G3 Fax or Modem"}, {2, "Telephone with Call Waiting caller ID device"},
}};

} // namespace

std::span<const CodeItem> countryCodeItems() { return kCountries; }
std::span<const CodeItem> callTypeItems() { return kCallTypes; }
std::span<const CodeItem> flowControlItems() { return kFlowControls; }
std::span<const CodeItem> baudRateItems() { return kBaudRates; }
std::span<const CodeItem> packetSizeItems() { return kPacketSizes; }
std::span<const CodeItem> deviceTypeItems() { return kDeviceTypes; }

int positionOfCode(std::span<const CodeItem> items, uint8_t code)
{
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i].code == code)
            return int(i);
    return -1;
}

const char* nameOfCode(std::span<const CodeItem> items, uint8_t code)
{
    const int position = positionOfCode(items, code);
    return position < 0 ? nullptr : items[std::size_t(position)].name;
}

} // namespace ta
