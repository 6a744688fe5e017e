// The receive dispatcher fed arbitrary byte streams in arbitrary chunks, in
// every transaction state, with virtual time passing between chunks so that
// the timeout handlers join in. Whatever arrives: the state stays one of the
// machine's states, no index leaves its list (checked containers and ASan),
// the reply buffer stays bounded while no command waits for an answer, and
// the user sees only the program's own messages.
#include "tests/fuzz/FuzzSupport.h"

#include "atcmd/ReplyDecoder.h"
#include "link/TaLink.h"
#include "link/VirtualClock.h"
#include "tests/support/FakeSerial.h"
#include "tests/support/LinkProbe.h"
#include "tests/support/RecordingScreen.h"

#include <algorithm>
#include <array>
#include <set>

namespace {

using namespace ta;
using namespace ta::link;

constexpr std::array kStates{tsIdle,     tsIdentify,  tsRemoteEcho, tsRemoteQueryC0, tsRemoteQueryP5, tsRemoteSetup,
                             tsDialing,  tsSessionEcho, tsQuerying, tsSubmitting,    tsEscape,        tsHangUp,
                             tsInfo,     tsPortProbe, tsUpgrading,  tsRebooting,     tsDiscard};

const std::set<std::string>& programMessages()
{
    static const std::set<std::string> texts{
        "Cannot find a TA to config!",
        "Cannot find a TA to make a remote call!",
        "Query Setting failed, please check the TA!",
        "Submit Setting failed, please check the TA!",
        "TA respones (No Carrier)",
        "TA respones (No Dial Tone)",
        "TA respones (Busy)",
        "There is no free COM port!",
        "Firmware upgrade abort, please make sure firmware is correct!",
    };
    return texts;
}

// Text the idle buffer may hold: its limit plus one chunk that arrived since.
constexpr std::size_t kIdleBound = 4096 + 64;

// Virtual time between chunks: none, a poll, past a short timeout, past the
// longest re-send interval.
constexpr std::array<uint64_t, 4> kPauses{0, 50, 600, 1600};

const std::string& firmwareFile()
{
    static const std::string& path = [] () -> const std::string& {
        const std::string& file = fuzz::scratchFile("dispatch-image");
        fuzz::writeFile(file, std::string(1100, 'F')); // one 1024-byte and one 128-byte block
        return file;
    }();
    return path;
}

struct Rig {
    VirtualClock clock;
    testsupport::FakeSerial backend{clock};
    testsupport::RecordingScreen screen;
    AppContext ctx;
    std::unique_ptr<TaLink> link;
    std::size_t callsSeen = 0; // screen calls already checked
};

void setUp(Rig& rig, fuzz::FuzzInput& in)
{
    const uint8_t switches = in.byte();
    rig.ctx.switches.debugLog = switches & 1;
    rig.ctx.switches.countryOption = switches & 2;
    rig.ctx.switches.x25OnD = switches & 4;
    rig.ctx.switches.sysDateTime = switches & 8;
    rig.ctx.switches.forceRemoteConfig = switches & 16;
    rig.ctx.remoteChosen = switches & 32;
    rig.screen.editorShown = switches & 64;
    rig.screen.wizardShown = !rig.screen.editorShown;
    rig.ctx.remoteNumber = "5551234";

    rig.backend.com(1); // takes every byte, never has any to read
    rig.link = std::make_unique<TaLink>(rig.ctx, rig.clock, rig.backend, rig.screen);
    FUZZ_EXPECT(LinkProbe::openFirstPort(*rig.link, firmwareFile()), "the fake port did not open");
    LinkProbe::enter(*rig.link, kStates[in.byte() % kStates.size()]);
    // The exchange variables as a long run may have left them; the list
    // indexes also a little outside their list.
    const uint8_t vars = in.byte();
    ExchangeState& exchange = LinkProbe::exchange(*rig.link);
    exchange.retryCount = vars % 9;
    exchange.pendingOperation = PendingOperation((vars >> 4) % 3);
    const int listSize = int(exchange.commandList.size());
    exchange.queryIndex = std::clamp(exchange.queryIndex + int(int8_t(in.byte())), -2, listSize + 2);
    exchange.submitIndex = std::clamp(exchange.submitIndex + int(int8_t(in.byte())), -2, listSize + 2);
}

// The bound applies as text arrives while the link is idle: text gathered
// while a command was pending is cut at the first receive event after the
// link went idle, so it is held to the bound only when the link was idle
// before and after the event.
void expectSound(Rig& rig, bool idleReceive)
{
    const ExchangeState& exchange = LinkProbe::exchange(*rig.link);
    const auto state = exchange.transactionState;
    FUZZ_EXPECT(std::find(kStates.begin(), kStates.end(), state) != kStates.end(),
                "state " + std::to_string(int(state)));
    if (idleReceive)
        FUZZ_EXPECT(rig.link->busy() || exchange.replyBuffer.size() <= kIdleBound,
                    std::to_string(exchange.replyBuffer.size()) + " bytes in the reply buffer in state " +
                        std::to_string(int(state)));
    const auto& calls = rig.screen.calls();
    for (; rig.callsSeen < calls.size(); ++rig.callsSeen) {
        const std::string& call = calls[rig.callsSeen];
        if (call.rfind("message: ", 0) == 0)
            FUZZ_EXPECT(programMessages().count(call.substr(9)) == 1, call);
    }
    FUZZ_EXPECT(rig.ctx.firmwareVersion.size() <= atcmd::kFirmwareVersionMax, rig.ctx.firmwareVersion);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput in(data, size);
    Rig rig;
    setUp(rig, in);
    expectSound(rig, false);
    while (!in.empty() && !rig.screen.terminated) {
        // Chunk header: length 1..32, a repeat that floods the line with the
        // same text, and the pause that follows.
        const uint8_t header = in.byte();
        const std::string_view chunk = in.take((header & 0x1F) + 1u);
        const int repeats = (header & 0x20) ? 150 : 1;
        for (int i = 0; i < repeats && LinkProbe::port(*rig.link).IsOpen(); ++i) {
            const bool idleBefore = !rig.link->busy();
            LinkProbe::receive(*rig.link, chunk);
            expectSound(rig, idleBefore);
        }
        rig.clock.advance(kPauses[header >> 6]);
        expectSound(rig, false);
    }
    return 0;
}
