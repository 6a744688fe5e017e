// The firmware transfer's byte handler after the upload has started on a
// small image, fed whatever the TA answers. What goes on the wire must stay
// a well-formed transfer: blocks numbered one after the other (modulo 256),
// each carrying the next piece of the padded image with its CRC, a block
// sent again only after a NAK, and EOT only once every block is out. The
// count of blocks still to go never drops below zero.
#include "tests/fuzz/FuzzSupport.h"

#include "link/TaLink.h"
#include "link/VirtualClock.h"
#include "profile/DefaultProfile.h"
#include "tests/support/FakeSerial.h"
#include "tests/support/LinkProbe.h"
#include "tests/support/RecordingScreen.h"

#include <algorithm>
#include <array>
#include <memory>

namespace {

using namespace ta;
using namespace ta::link;

constexpr uint8_t kEot = 0x04, kAck = 0x06, kNak = 0x15, kStx = 0x02, kSoh = 0x01;

// CRC-16/XMODEM from its definition (polynomial 0x1021, MSB first), one
// table entry per byte value, built here rather than taken from the link.
uint16_t crcStep(uint16_t crc)
{
    for (int bit = 0; bit < 8; ++bit)
        crc = (crc & 0x8000) ? uint16_t((crc << 1) ^ 0x1021) : uint16_t(crc << 1);
    return crc;
}

uint16_t crcOf(std::string_view data)
{
    static const auto table = [] {
        std::array<uint16_t, 256> t{};
        for (int i = 0; i < 256; ++i)
            t[std::size_t(i)] = crcStep(uint16_t(i << 8));
        return t;
    }();
    uint16_t crc = 0;
    for (const char c : data)
        crc = uint16_t((crc << 8) ^ table[((crc >> 8) ^ static_cast<unsigned char>(c)) & 0xFF]);
    return crc;
}

std::string paddedImage(std::string image)
{
    if (image.size() % 128 != 0)
        image.resize(image.size() + 128 - image.size() % 128, char(0x1A));
    return image;
}

// Reads what the link wrote since the last look and holds it against the
// transfer's rules.
class WireCheck {
public:
    explicit WireCheck(std::string image) : image_(paddedImage(std::move(image)))
    {
        bigBlocks_ = int(image_.size() / 1024);
        totalBlocks_ = bigBlocks_ + int(image_.size() % 1024 / 128);
    }

    void skip(std::size_t bytes) { pos_ = bytes; }

    // `cause` is the byte from the TA that was handled last.
    void look(const std::string& wire, uint8_t cause)
    {
        while (pos_ < wire.size()) {
            const uint8_t kind = uint8_t(wire[pos_]);
            if (kind == kEot)
                takeEot(cause);
            else if (kind == kStx || kind == kSoh)
                takeBlock(wire, kind, cause);
            else
                FUZZ_EXPECT(false, "stray byte " + std::to_string(kind) + " on the wire");
        }
    }

    bool endSent() const { return eotSent_; }
    int blocksSent() const { return sent_; }

private:
    void takeEot(uint8_t cause)
    {
        FUZZ_EXPECT(sent_ == totalBlocks_, "EOT after " + std::to_string(sent_) + " of " +
                                               std::to_string(totalBlocks_) + " blocks");
        FUZZ_EXPECT(cause == (eotSent_ ? kNak : kAck), "EOT not answering an ACK or a NAK");
        eotSent_ = true;
        ++pos_;
    }

    void takeBlock(const std::string& wire, uint8_t kind, uint8_t cause)
    {
        const std::size_t size = kind == kStx ? 1024 : 128;
        FUZZ_EXPECT(wire.size() - pos_ >= size + 5, "a block cut short");
        const std::string block = wire.substr(pos_, size + 5);
        pos_ += block.size();
        FUZZ_EXPECT(!eotSent_, "a block after EOT");
        if (block == last_) {
            FUZZ_EXPECT(cause == kNak, "a block sent twice without a NAK");
            return;
        }
        FUZZ_EXPECT(cause == (sent_ == 0 ? uint8_t('C') : kAck), "a new block without an ACK");
        FUZZ_EXPECT((kind == kStx) == (sent_ < bigBlocks_), "1024-byte blocks must come first");
        const uint8_t number = uint8_t(block[1]);
        FUZZ_EXPECT(number == uint8_t(sent_ + 1), "block number " + std::to_string(number) +
                                                      " after " + std::to_string(sent_) + " blocks");
        FUZZ_EXPECT(uint8_t(block[2]) == uint8_t(255 - number), "complement");
        const std::string_view data(block.data() + 3, size);
        FUZZ_EXPECT(data == std::string_view(image_).substr(offset_, size), "data not from the image");
        const uint16_t crc = uint16_t((uint8_t(block[size + 3]) << 8) | uint8_t(block[size + 4]));
        FUZZ_EXPECT(crc == crcOf(data), "CRC");
        offset_ += size;
        ++sent_;
        last_ = block;
    }

    std::string image_;
    int bigBlocks_ = 0, totalBlocks_ = 0;
    std::size_t pos_ = 0, offset_ = 0;
    int sent_ = 0;
    bool eotSent_ = false;
    std::string last_;
};

std::string imageFrom(fuzz::FuzzInput& in)
{
    // Mostly small images; the two top bits ask for one of more than 256
    // blocks, so that the block number wraps.
    const uint16_t word = in.word();
    const std::size_t length = (word & 0xC000) == 0xC000 ? 256 * 1024 + (word & 0x3FFF) : (word & 0x1FFF);
    // The first bytes come from the input, the rest is a pattern, so that the
    // TA's answers are not all eaten by a large image.
    std::string image(in.take(std::min<std::size_t>(length, 1024)));
    for (std::size_t i = image.size(); i < length; ++i)
        image.push_back(char(i * 37 + 11));
    return image;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput in(data, size);
    const std::string image = imageFrom(in);
    const std::string& path = fuzz::scratchFile("firmware");
    fuzz::writeFile(path, image);

    VirtualClock clock;
    testsupport::FakeSerial backend{clock};
    const std::string& written = backend.com(1).written;
    testsupport::RecordingScreen screen;
    screen.wizardShown = false;
    screen.editorShown = true;
    AppContext ctx;
    buildDefaultProfile(ctx.workingProfile, ctx.switches.x25OnD, ctx.switches.sysDateTime); // what the editor holds
    TaLink link(ctx, clock, backend, screen);
    LinkProbe::port(link).setPort(pnCOM1);
    FUZZ_EXPECT(LinkProbe::port(link).OpenPort(), "the fake port did not open");
    LinkProbe::exchange(link).transactionState = tsSubmitting; // a connection is open: the upload starts at once
    link.requestUpgrade(path);
    if (image.empty()) {
        FUZZ_EXPECT(screen.lastMessage() == "Can not open file!", "an empty image was accepted");
        FUZZ_EXPECT(written.empty(), "an empty image reached the TA");
        return 0;
    }
    FUZZ_EXPECT(LinkProbe::state(link) == tsUpgrading, "the upload did not start");
    FUZZ_EXPECT(written == "AT$D99\r", written);

    WireCheck wire(image);
    wire.skip(written.size());
    for (char c : in.rest()) {
        const auto byte = uint8_t(c);
        const UpgradeStep step = LinkProbe::upgrade(link).upgradeStep;
        const std::size_t writtenBefore = written.size();
        LinkProbe::receive(link, std::string_view(&c, 1));
        wire.look(written, byte);
        FUZZ_EXPECT(LinkProbe::upgrade(link).blocksLeft >= 0, "blocksLeft " + std::to_string(LinkProbe::upgrade(link).blocksLeft));
        if (step == usFinished || step == usAborted)
            FUZZ_EXPECT(written.size() == writtenBefore, "bytes sent after the transfer ended");
    }
    if (LinkProbe::upgrade(link).upgradeStep == usFinished)
        FUZZ_EXPECT(wire.endSent() && LinkProbe::state(link) == tsRebooting, "finished without EOT");
    return 0;
}
