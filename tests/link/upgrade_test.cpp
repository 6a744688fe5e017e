// Firmware upload with XMODEM-1K, the reboot wait and the rediscovery that
// ends in a submit, on virtual time.
#include "tests/support/LinkRig.h"
#include "tests/support/Processes.h"

#include "profile/DefaultProfile.h"
#include "tests/support/CaseName.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

using namespace ta;
using namespace ta::link;
using ta::testsupport::kCom1;
namespace xm = ta::link::xmodem;

namespace {


std::vector<uint8_t> pattern(std::size_t size)
{
    std::vector<uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = uint8_t((i * 31 + 7) & 0xFF);
    return bytes;
}

struct UpgradeRig : ta::testsupport::LinkRig {
    sim::SimTa* ta = nullptr;

    void begin(bool remote = false, const sim::SimTaOptions& options = {})
    {
        start();
        buildDefaultProfile(ctx.workingProfile, false, true);
        ta = &backend.addTa(kCom1, options);
        if (remote) {
            ta->setRemote({});
            link->chooseRemote("5551234");
        }
        screen.wizardShown = false;
        screen.editorShown = true; // Upgrade is a button of the editor
    }
    sim::SimTa& target() { return ctx.remoteChosen ? ta->remote() : *ta; }
    // A firmware file with these bytes.
    std::string imageFile(const std::vector<uint8_t>& bytes)
    {
        const std::string path = dir.file("fw-" + std::to_string(++files) + ".bin");
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    testsupport::ScratchDir dir{"fw"};
    int files = 0;
};

std::vector<uint8_t> padded(std::vector<uint8_t> bytes) { return xm::padImage(std::move(bytes)); }

TEST(Upgrade, UploadRebootRediscoveryAndSubmitOfTheEditorSettings)
{
    UpgradeRig rig;
    rig.begin();
    const auto image = pattern(3000);
    const std::string file = rig.imageFile(image);
    rig.link->requestUpgrade(file);
    EXPECT_TRUE(rig.screen.contains("enableEditor 0"));
    ASSERT_TRUE(rig.runUntil([&] { return rig.state() == tsRebooting; }));
    EXPECT_EQ(rig.ta->receivedImage(), padded(image));
    EXPECT_EQ(rig.com1().count("AT$REBOOT"), 0) << "a local TA restarts by itself";
    EXPECT_EQ(rig.screen.progressMax, 3);
    EXPECT_EQ(rig.screen.progress, 3);
    EXPECT_TRUE(rig.screen.rebootingShown);
    EXPECT_EQ(rig.screen.lastWith("tickText: "), "tickText: 30");
    EXPECT_FALSE(rig.screen.editorEnabled) << "the editor waits for the submit after the reboot";
    LinkProbe::receive(*rig.link, "NO CARRIER\r\n"); // a remote TA's call would drop here
    EXPECT_EQ(rig.state(), tsRebooting);
    EXPECT_TRUE(rig.port().IsOpen());

    rig.clock.advance(10000);
    EXPECT_EQ(rig.screen.lastWith("tickText: "), "tickText: 20");
    rig.com1().written.clear();
    ASSERT_TRUE(rig.runUntil([&] { return rig.screen.contains("submitDone"); }, 60000));
    EXPECT_FALSE(rig.screen.rebootingShown);
    EXPECT_EQ(rig.com1().written.rfind("ATI0\r", 0), 0u) << "found again by discovery";
    EXPECT_EQ(rig.com1().count("AT1&W\r"), 1) << "the editor's settings are written";
    EXPECT_EQ(rig.com1().count("AT1%S?"), 0) << "no query after the upgrade";
    EXPECT_EQ(rig.screen.lastWith("progressCaption"), "progressCaption: Query setting progress status");
    EXPECT_TRUE(rig.screen.editorEnabled);
    EXPECT_TRUE(rig.screen.messages().empty()) << rig.screen.lastMessage();
    EXPECT_EQ(rig.exchange().pendingOperation, poNone);
}

TEST(Upgrade, TaGoneAfterTheRebootGivesTheEditorBack)
{
    UpgradeRig rig;
    rig.begin();
    const std::string file = rig.imageFile(pattern(200));
    rig.link->requestUpgrade(file);
    ASSERT_TRUE(rig.runUntil([&] { return rig.state() == tsRebooting; }));
    rig.com1().unplug(); // a USB TA re-enumerates while it restarts... and never returns
    rig.clock.advance(31000);
    EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{"There is no free COM port!"});
    EXPECT_EQ(rig.state(), tsIdle);
    EXPECT_TRUE(rig.screen.editorEnabled);
    EXPECT_FALSE(rig.screen.rebootingShown);
}

// The restart wait is the program's 30 s unless the context shortens it (the
// tests of the programs do, for a simulated TA that restarts at once): the
// countdown shows its seconds and the TA is looked for when it ends.
struct RebootWaitCase {
    const char* name;
    int waitMs;
    const char* countdown;
    friend void PrintTo(const RebootWaitCase& c, std::ostream* os) { *os << c.name; }
};

class UpgradeRebootWait : public testing::TestWithParam<RebootWaitCase> {};

TEST_P(UpgradeRebootWait, CountsDownAndLooksForTheTaWhenItEnds)
{
    const RebootWaitCase& c = GetParam();
    UpgradeRig rig;
    rig.ctx.rebootWaitMs = c.waitMs;
    sim::SimTaOptions quickRestart;
    quickRestart.rebootMs = 100;
    rig.begin(false, quickRestart);
    rig.link->requestUpgrade(rig.imageFile(pattern(200)));
    ASSERT_TRUE(rig.runUntil([&] { return rig.state() == tsRebooting; }));
    EXPECT_EQ(rig.screen.lastWith("tickText: "), std::string("tickText: ") + c.countdown);
    rig.com1().written.clear();
    rig.clock.advance(uint64_t(c.waitMs) - 1);
    EXPECT_EQ(rig.state(), tsRebooting);
    EXPECT_EQ(rig.com1().count("ATI0\r"), 0);
    rig.clock.advance(1);
    EXPECT_EQ(rig.com1().count("ATI0\r"), 1) << "looked for again when the wait ends";
    ASSERT_TRUE(rig.runUntil([&] { return rig.screen.contains("submitDone"); }));
}

INSTANTIATE_TEST_SUITE_P(Waits, UpgradeRebootWait,
                         testing::Values(RebootWaitCase{"TheProgramsOwn", 30000, "30"},
                                         RebootWaitCase{"ShortenedToASecond", 1000, "1"},
                                         RebootWaitCase{"ShortenedToAFraction", 200, "1"},
                                         RebootWaitCase{"ShortenedPastAWholeSecond", 1500, "2"}),
                         ta::testsupport::CaseName());

// The transfer can be neither cancelled nor left; the wait for the restart
// that follows it ends at once on Cancel, and nothing more is sent.
TEST(Upgrade, CancelIsRefusedDuringTheTransferAndEndsTheRebootWait)
{
    UpgradeRig rig;
    rig.begin();
    rig.link->requestUpgrade(rig.imageFile(pattern(3000)));
    ASSERT_TRUE(rig.runUntil([&] { return rig.state() == tsUpgrading; }));
    EXPECT_TRUE(rig.link->transferring());
    EXPECT_FALSE(rig.link->cancelExchange());
    rig.link->requestExit();
    ASSERT_TRUE(rig.runUntil([&] { return rig.state() == tsRebooting; }));
    EXPECT_EQ(rig.ta->downloadsCompleted(), 1);
    EXPECT_FALSE(rig.screen.terminated);

    rig.com1().written.clear();
    EXPECT_TRUE(rig.link->cancelExchange());
    EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{kRebootStoppedText});
    EXPECT_EQ(rig.state(), tsIdle);
    EXPECT_FALSE(rig.screen.rebootingShown);
    EXPECT_TRUE(rig.screen.editorEnabled);
    rig.clock.advance(40000);
    EXPECT_EQ(rig.com1().written, "") << "no rediscovery, no submit";
}

// TAs, local or at the far end of a call (which is told to restart), get
// their firmware and the upgrade goes on to the restart and the write-back,
// also when they end the transfer in their own way: one that loses its
// answer to the end of the transfer, one that says OK to the download command.
// The local TA's C0 and %P5 are read once a run.
struct QuirkCase {
    const char* name;
    bool remote;
    bool loseEndAck;
    bool okToDownload;
    friend void PrintTo(const QuirkCase& c, std::ostream* os) { *os << c.name; }
};

class UpgradeQuirkTest : public testing::TestWithParam<QuirkCase> {};

TEST_P(UpgradeQuirkTest, UploadRestartAndWriteBackGoThrough)
{
    const QuirkCase c = GetParam();
    UpgradeRig rig;
    rig.begin(c.remote);
    rig.ta->setValue("1C0", "4");
    rig.ta->setValue("%P5", "7");
    rig.target().options().loseEndAck = c.loseEndAck;
    rig.target().options().okToDownload = c.okToDownload;
    const auto image = pattern(2500);
    const std::string file = rig.imageFile(image);
    const uint64_t start = rig.clock.now();
    rig.link->requestUpgrade(file);
    ASSERT_TRUE(rig.runUntil([&] { return rig.screen.contains("submitDone") || !rig.screen.messages().empty(); }));
    EXPECT_TRUE(rig.screen.messages().empty()) << rig.screen.lastMessage();
    EXPECT_EQ(rig.target().receivedImage(), padded(image));
    EXPECT_LT(rig.clock.now() - start, 60000u) << "a lost answer costs seconds, not the watchdog's minutes";
    EXPECT_EQ(rig.com1().count("AT1&W\r"), 1) << "the settings are written back";
    EXPECT_EQ(LinkProbe::upgrade(*rig.link).endSends, c.loseEndAck ? 5 : 1);
    EXPECT_EQ(rig.com1().count("AT$REBOOT\r"), c.remote ? 1 : 0) << "a remote TA is told to restart";
    if (!c.remote)
        return;
    // The call set up again after the restart did not read back what the
    // program had written: the end restores the values from before.
    EXPECT_EQ(rig.com1().count("ATC0?\r"), 1);
    rig.link->endSession();
    ASSERT_TRUE(rig.runUntil([&] { return rig.screen.terminated; }));
    EXPECT_EQ(rig.ta->value("1C0"), "4");
    EXPECT_EQ(rig.ta->value("%P5"), "7");
}

INSTANTIATE_TEST_SUITE_P(
    Tas, UpgradeQuirkTest,
    testing::Values(QuirkCase{"LostEndAnswer", false, true, false}, QuirkCase{"LostEndAnswerRemote", true, true, false},
                    QuirkCase{"Remote", true, false, false},
                    QuirkCase{"OkToTheDownloadCommand", false, false, true},
                    QuirkCase{"BothRemote", true, true, true}),
    ta::testsupport::CaseName());

// The transfer on the connection a submit left open, against a TA that has
// fallen silent: the test plays the receiver.
struct TransferTest : testing::Test {
    UpgradeRig rig;
    std::vector<uint8_t> image = pattern(2500); // two big blocks, four small
    std::string file;

    void SetUp() override
    {
        rig.begin();
        file = rig.imageFile(image);
        rig.link->requestSubmit();
        ASSERT_TRUE(rig.runUntil([&] { return rig.screen.contains("submitDone"); }));
        rig.ta->faults().silentCommands = 1 << 30;
        rig.com1().written.clear();
        rig.link->requestUpgrade(file);
        ASSERT_EQ(rig.state(), tsUpgrading);
        ASSERT_EQ(rig.com1().written, "AT$D99\r") << "the open connection is used as it is";
        rig.com1().written.clear();
    }
    std::string answer(uint8_t byte)
    {
        rig.com1().written.clear();
        LinkProbe::receive(*rig.link, std::string(1, char(byte)));
        return rig.com1().written;
    }
};

TEST_F(TransferTest, OnlyTheStartCharacterStartsTheTransfer)
{
    EXPECT_EQ(answer(xm::CAN), "");
    EXPECT_EQ(answer(xm::NAK), "");
    EXPECT_EQ(answer('A'), "");
    EXPECT_EQ(LinkProbe::upgrade(*rig.link).upgradeStep, usWaitStart);
    EXPECT_EQ(answer(xm::START).size(), 1029u);
    EXPECT_EQ(answer(xm::START), "") << "a repeated C is ignored";
}

TEST_F(TransferTest, NakResendsTheSameBlockAndTheEnd)
{
    const std::string first = answer(xm::START);
    EXPECT_EQ(rig.screen.progress, 0);
    EXPECT_EQ(answer(xm::NAK), first);
    const std::string second = answer(xm::ACK);
    EXPECT_EQ(uint8_t(second[1]), 2);
    EXPECT_EQ(rig.screen.progress, 1);
    EXPECT_EQ(answer(xm::NAK), second);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(uint8_t(answer(xm::ACK)[0]), xm::SOH);
    EXPECT_EQ(answer(xm::ACK), std::string(1, char(xm::EOT)));
    EXPECT_EQ(answer(xm::NAK), std::string(1, char(xm::EOT)));
    EXPECT_EQ(answer(xm::ACK), "");
    EXPECT_EQ(LinkProbe::upgrade(*rig.link).upgradeStep, usFinished);
    EXPECT_EQ(rig.screen.progress, rig.screen.progressMax);
    EXPECT_EQ(rig.state(), tsRebooting);
}

// A block the port stopped taking half way is told in the debug log and not
// finished later; the receiver's NAK brings it again whole.
TEST_F(TransferTest, BlockCutShortIsToldAndSentWholeAtTheNak)
{
    rig.ctx.switches.debugLog = true;
    rig.com1().acceptLimit = 100;
    const std::string cut = answer(xm::START);
    EXPECT_EQ(cut.size(), 100u);
    EXPECT_TRUE(rig.screen.contains("log: [block 1: only 100 of 1029 bytes went out]"));
    rig.com1().acceptLimit = -1;
    const std::string again = answer(xm::NAK);
    EXPECT_EQ(again.size(), 1029u);
    EXPECT_EQ(again.substr(0, cut.size()), cut);
    EXPECT_EQ(rig.state(), tsUpgrading);
}

TEST_F(TransferTest, CancelAfterTheFirstBlockAbortsAndGivesTheEditorBack)
{
    answer(xm::START);
    rig.screen.enableEditor(false);
    EXPECT_EQ(answer(xm::CAN), "");
    EXPECT_EQ(LinkProbe::upgrade(*rig.link).upgradeStep, usAborted);
    EXPECT_EQ(rig.state(), tsIdle);
    EXPECT_EQ(rig.screen.messages(),
              std::vector<std::string>{"Firmware upgrade abort, please make sure firmware is correct!"});
    EXPECT_TRUE(rig.port().IsOpen());
    EXPECT_TRUE(rig.screen.editorEnabled);
    EXPECT_FALSE(rig.screen.progressShown);
    EXPECT_EQ(rig.exchange().pendingOperation, poNone);
}

// A port that goes away is no fault of the firmware: the message says what
// happened, and no later discovery takes the upload up again.
TEST_F(TransferTest, PortGoneMidTransferSaysSo)
{
    answer(xm::START);
    answer(xm::ACK);
    rig.screen.enableEditor(false);
    rig.com1().unplug();
    rig.clock.advance(200);
    EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{kUpgradePortLostText});
    EXPECT_NE(rig.screen.lastDetails().find(" went away after 1 of 6 blocks of " + file + " had been acknowledged."),
              std::string::npos)
        << rig.screen.lastDetails();
    EXPECT_EQ(rig.state(), tsIdle);
    EXPECT_EQ(rig.exchange().pendingOperation, poNone);
    EXPECT_TRUE(rig.screen.editorEnabled);
    EXPECT_FALSE(rig.screen.progressShown);
}

TEST_F(TransferTest, WatchdogRecyclesThePortOnceThenGivesUp)
{
    rig.clock.advance(90000);
    EXPECT_EQ(rig.state(), tsUpgrading);
    EXPECT_TRUE(rig.port().IsOpen());
    EXPECT_TRUE(rig.screen.messages().empty());
    rig.clock.advance(90000);
    EXPECT_EQ(rig.state(), tsIdle);
    EXPECT_EQ(rig.screen.lastMessage(), "Firmware upgrade abort, please make sure firmware is correct!");
    EXPECT_TRUE(rig.screen.editorEnabled);
}

TEST_F(TransferTest, AcknowledgementsKeepTheWatchdogQuiet)
{
    answer(xm::START);
    for (int i = 0; i < 5; ++i) {
        rig.clock.advance(80000);
        answer(xm::ACK);
    }
    EXPECT_EQ(rig.state(), tsUpgrading);
    EXPECT_TRUE(rig.screen.messages().empty());
}

TEST(Upgrade, AnEmptyImageIsOnlyItsEnd)
{
    UpgradeRig rig;
    rig.start();
    rig.com1();
    rig.port().setPort(pnCOM1);
    ASSERT_TRUE(rig.port().OpenPort());
    LinkProbe::enter(*rig.link, tsUpgrading); // no image was ever loaded
    rig.com1().written.clear();
    LinkProbe::receive(*rig.link, std::string(1, char(xm::START)));
    EXPECT_EQ(rig.com1().written, std::string(1, char(xm::EOT)));
    LinkProbe::receive(*rig.link, std::string(1, char(xm::ACK)));
    EXPECT_EQ(LinkProbe::upgrade(*rig.link).upgradeStep, usFinished);
    EXPECT_EQ(LinkProbe::upgrade(*rig.link).blocksLeft, 0);
}

// "Can not open file!" with the reason beside it, before a port is opened or
// a remote TA's number dialled.
TEST(Upgrade, UnreadableOrEmptyFileIsRefusedBeforeAnyTaContact)
{
    for (const bool remote : {false, true}) {
        SCOPED_TRACE(remote ? "remote" : "local");
        UpgradeRig rig;
        rig.begin(remote);
        const std::string empty = rig.imageFile({});
        const std::string big = rig.imageFile({});
        std::filesystem::resize_file(big, (8u << 20) + 1); // sparse: one byte over the limit
        const std::string fifo = empty + ".fifo";
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        const std::string folder = std::filesystem::temp_directory_path().string();
        const std::vector<std::pair<std::string, std::string>> refused = {
            {"/nonexistent/fw.bin", "/nonexistent/fw.bin: No such file or directory"},
            {empty, empty + " is empty"},
            {fifo, fifo + " is a pipe, not a firmware file"},
            {"/dev/zero", "/dev/zero is a device, not a firmware file"},
            {folder, folder + " is a folder, not a firmware file"},
            {big, big + " holds 8388609 bytes; a firmware file holds at most 8 MiB (8388608 bytes)"},
            {"fw\x1b]0;owned\x07.bin", "fw\\x1b]0;owned\\x07.bin: No such file or directory"}};
        for (const auto& [path, reason] : refused) {
            rig.screen.clear();
            rig.link->requestUpgrade(path); // a blocking open or an endless read would hang here
            EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{"Can not open file!"});
            EXPECT_EQ(rig.screen.lastDetails(), reason);
            EXPECT_EQ(rig.exchange().pendingOperation, poNone);
            EXPECT_EQ(LinkProbe::upgrade(*rig.link).firmwareImage.size(), 0u);
        }
        EXPECT_FALSE(rig.port().IsOpen());
        EXPECT_EQ(rig.com1().written, "");
    }
}

} // namespace
