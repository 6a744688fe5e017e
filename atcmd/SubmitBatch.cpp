#include "atcmd/SubmitBatch.h"

#include <cstring>

#include "atcmd/ParamTable.h"

namespace ta::atcmd {
namespace {

constexpr int kChapId = 11, kCallBumpingId = 12;
constexpr int kFirstVoiceId = 96;

std::string textValue(std::span<const char> field)
{
    std::string text;
    for (char c : field) {
        if (c == '\0')
            break;
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F)
            text += c;
    }
    return text;
}

std::string valueOf(const TaProfile& profile, const Param& param, int port)
{
    const auto field = fieldOf(profile, param, port);
    if (field.empty())
        return {};
    switch (param.form) {
    case Form::Number:
        return std::to_string(static_cast<uint8_t>(field[0]));
    case Form::WideNumber: {
        LeU16 wide{};
        std::memcpy(wide.bytes, field.data(), sizeof wide.bytes);
        return std::to_string(uint16_t(wide));
    }
    case Form::Pair:
        return textValue(field) + "/" + textValue(subFieldOf(profile, param, port));
    case Form::Text:
    case Form::Date:
    case Form::Time:
        return textValue(field);
    case Form::Charge:
    case Form::Command:
        break;
    }
    return {};
}

std::string assignment(const std::string& key, const Param& param, const std::string& value)
{
    return key + (param.noEquals ? "" : "=") + value;
}

class BatchBuilder {
public:
    BatchBuilder(const TaProfile& profile, const Options& options) : profile_(asSent(profile)), options_(options) {}

    std::vector<BatchEntry> build()
    {
        if (options_.noPortPrefix)
            addBarePorts();
        else
            addPrefixedPorts();
        addVoiceAndDevice();
        return std::move(batch_);
    }

private:
    void assign(const Param& param, int port, std::string value)
    {
        const std::string key = keyOnPort(param, port, options_.noPortPrefix);
        batch_.push_back({assignment(key, param, value), &param, port, value});
    }

    void assign(int id, int port = 0)
    {
        const Param& param = *paramById(id);
        assign(param, port, valueOf(profile_, param, port));
    }

    void add(std::string command) { batch_.push_back({std::move(command), nullptr, 0, {}}); }

    // The TA takes call bumping before CHAP, the other way round from the query.
    void addPortBlock(int port)
    {
        for (const Param& param : paramTable()) {
            if (param.scope != Scope::DataPort || (param.isX25() && !options_.x25OnD))
                continue;
            if (param.id == kChapId)
                assign(kCallBumpingId, port);
            else if (param.id == kCallBumpingId)
                assign(kChapId, port);
            else
                assign(param.id, port);
        }
    }

    void addBarePorts()
    {
        const bool framed = options_.remote;
        for (int port : {1, 2}) {
            if (!(options_.taVariant & port))
                continue;
            if (framed)
                add(port == 1 ? "$P3=1" : "$P3=2");
            addPortBlock(port);
            add(kStoreKey);
            if (framed)
                add("$P3=0");
        }
    }

    // Without the country option the country code and the three port-1
    // device settings are neither queried nor shown: sending them would
    // write values that were never read.
    void addPrefixedPorts()
    {
        if (options_.countryOption)
            assign(2);
        if (options_.taVariant & 1) {
            addPortBlock(1);
            if (options_.countryOption)
                for (int id : {48, 49, 50})
                    assign(id);
            add(std::string("1") + kStoreKey);
        }
        if (options_.taVariant & 2) {
            addPortBlock(2);
            add(std::string("2") + kStoreKey);
        }
    }

    void addVoiceAndDevice()
    {
        for (const Param& param : paramTable()) {
            if (param.id < kFirstVoiceId)
                continue;
            if (param.scope == Scope::Voice)
                assign(param.id);
        }
        if (options_.clearLastCharge)
            add("$C0=0");
        if (options_.clearAccCharge)
            add("$C1=0");
        if (options_.sysDateTime)
            for (int id : {133, 134, 135})
                assign(id);
    }

    const TaProfile profile_;
    const Options& options_;
    std::vector<BatchEntry> batch_;
};

void sendFixedMultilink(DataPortSettings& port)
{
    if (port.fixedMp != 1)
        return;
    port.maxThroughput = 1;
    port.mpAddThreshold = 0;
    port.mpDropThreshold = 0;
    port.mpPersistTime = 1;
}

} // namespace

TaProfile asSent(const TaProfile& profile)
{
    TaProfile sent = profile;
    sendFixedMultilink(sent.dataPort1);
    sendFixedMultilink(sent.dataPort2);
    return sent;
}

std::vector<BatchEntry> buildSubmitEntries(const TaProfile& profile, const Options& options)
{
    return BatchBuilder(profile, options).build();
}

std::vector<std::string> buildSubmitBatch(const TaProfile& profile, const Options& options)
{
    std::vector<std::string> commands;
    for (BatchEntry& entry : buildSubmitEntries(profile, options))
        commands.push_back(std::move(entry.command));
    return commands;
}

std::string valueText(const TaProfile& profile, int id)
{
    int port = 0;
    const Param* param = paramById(id, &port);
    return param ? valueOf(profile, *param, port) : std::string();
}

} // namespace ta::atcmd
