// Distinct values in every field of a profile the TA exchanges, driven by the
// program's parameter table (the TA's side: tests/support/TaStore.h).
#pragma once

#include "atcmd/ParamTable.h"
#include "profile/TaProfile.h"

#include <cstring>
#include <string>

namespace ta::linktest {

inline uint8_t* fieldAt(TaProfile& p, const atcmd::Param& param, int port, uint16_t offset)
{
    auto* base = reinterpret_cast<uint8_t*>(&p);
    if (param.scope == atcmd::Scope::DataPort)
        base = reinterpret_cast<uint8_t*>(port == 2 ? &p.dataPort2 : &p.dataPort1);
    return base + offset;
}

inline void putText(uint8_t* field, std::size_t size, const std::string& text)
{
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), std::min(text.size(), size - 1));
}

// Every exchanged field gets a value of its own that survives the round trip
// through the TA's text forms.
inline void fillDistinct(TaProfile& p, int seed = 0)
{
    for (const auto& param : atcmd::paramTable()) {
        for (int port : {1, 2}) {
            if (param.scope != atcmd::Scope::DataPort && port == 2)
                continue;
            if (param.size == 0)
                continue;
            const int id = param.id + (port == 2 ? atcmd::kUsbIdOffset : 0) + seed;
            uint8_t* field = fieldAt(p, param, port, param.offset);
            switch (param.form) {
            case atcmd::Form::Number:
                *field = uint8_t(id % 7);
                break;
            case atcmd::Form::WideNumber:
                field[0] = uint8_t((1000 + id) & 0xFF);
                field[1] = uint8_t((1000 + id) >> 8);
                break;
            case atcmd::Form::Text:
                putText(field, param.size, "55" + std::to_string(id));
                break;
            case atcmd::Form::Pair:
                putText(field, param.size, "0" + std::to_string(9000 + id));
                putText(fieldAt(p, param, port, param.subOffset), param.subSize, std::to_string(id));
                break;
            case atcmd::Form::Date:
                putText(field, param.size, "0" + std::to_string(1 + id % 9) + "-11-2024");
                break;
            case atcmd::Form::Time:
                putText(field, param.size, "12:0" + std::to_string(id % 10) + ":30");
                break;
            default:
                break;
            }
        }
    }
}

} // namespace ta::linktest
