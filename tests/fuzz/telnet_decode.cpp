// What a console server sends, as the RFC 2217 client takes it: whatever
// the bytes and however the network cuts them, the client makes the same
// data, answers, notes and modem lines of them as when they come whole, the
// data is never longer than what came, and the modem lines stay the four
// status bits. The first input byte chooses the cuts, the rest is the stream.
#include "tests/fuzz/FuzzSupport.h"

#include "link/port/Rfc2217Client.h"

#include <string>
#include <vector>

namespace {

using namespace ta;
using namespace ta::link;

struct Outcome {
    std::vector<uint8_t> data, sent;
    std::vector<std::string> notes;
    unsigned modemLines = 0;
    bool suspended = false;
};

// The client asks for a line first, so that answers have requests to meet.
Outcome run(std::string_view stream, std::size_t cut)
{
    Rfc2217Client client;
    Outcome out;
    LineSettings line;
    line.baudRate = 115200;
    line.rts = RtsMode::Handshake;
    client.setLine(line, 0);
    const auto* bytes = reinterpret_cast<const uint8_t*>(stream.data());
    uint32_t now = 0;
    for (std::size_t at = 0; at < stream.size(); at += cut, now += 10) {
        const std::size_t n = std::min(cut, stream.size() - at);
        client.receive(bytes + at, n, out.data, now);
    }
    client.checkAnswers(now, 1000000);
    out.sent = client.takeOutput();
    for (const ComPortOutcome& outcome : client.takeOutcomes())
        out.notes.push_back(noteText(outcome));
    out.modemLines = client.modemLines();
    out.suspended = client.suspended();
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    const std::size_t cut = 1 + input.byte() % 7;
    const std::string_view stream = input.rest();
    const Outcome whole = run(stream, stream.size() + 1);
    const Outcome pieces = run(stream, cut);
    FUZZ_EXPECT(pieces.data == whole.data, "the data depends on where the reads cut");
    FUZZ_EXPECT(pieces.sent == whole.sent, "the answers depend on where the reads cut");
    FUZZ_EXPECT(pieces.notes == whole.notes, "the notes depend on where the reads cut");
    FUZZ_EXPECT(pieces.modemLines == whole.modemLines, "the modem lines depend on where the reads cut");
    FUZZ_EXPECT(pieces.suspended == whole.suspended, "the flow state depends on where the reads cut");
    FUZZ_EXPECT(whole.data.size() <= stream.size(), "more data than bytes came");
    FUZZ_EXPECT((whole.modemLines & ~unsigned(rfc2217::kModemLinesMask)) == 0, "a modem line beyond the four");
    return 0;
}
