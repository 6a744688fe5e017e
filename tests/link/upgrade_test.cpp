// Firmware upload with XMODEM-1K, the reboot wait and the rediscovery that
// ends in a submit, on virtual time.
#include "LinkRig.h"
#include "tests/support/SimBackend.h"

#include "profile/DefaultProfile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

using namespace ta;
using namespace ta::link;
using ta::testsupport::SimBackend;
namespace xm = ta::link::xmodem;

namespace {

const std::string COM1 = SimBackend::comName(1);

std::vector<uint8_t> pattern(std::size_t size)
{
    std::vector<uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = uint8_t((i * 31 + 7) & 0xFF);
    return bytes;
}

struct TempFile {
    std::string path;
    explicit TempFile(const std::vector<uint8_t>& bytes)
    {
        path = (std::filesystem::temp_directory_path() /
                ("fw-" + std::to_string(::getpid()) + "-" + std::to_string(counter()++) + ".bin"))
                   .string();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                     std::streamsize(bytes.size()));
    }
    ~TempFile() { std::remove(path.c_str()); }
    static int& counter()
    {
        static int n = 0;
        return n;
    }
};

struct UpgradeRig : ta::linktest::LinkRig<SimBackend> {
    sim::SimTa* ta = nullptr;

    void begin(bool remote = false)
    {
        start();
        buildDefaultProfile(ctx.workingProfile, false, true);
        ta = &backend.addTa(COM1);
        if (remote) {
            ta->setRemote({});
            link->rbRemoteTAClick();
            ctx.remoteNumber = "5551234";
        }
        screen.wizardShown = false;
        screen.editorShown = true; // Upgrade is a button of the editor
    }
    sim::SimTa& target() { return ctx.remoteChosen ? ta->remote() : *ta; }
};

std::vector<uint8_t> padded(std::vector<uint8_t> bytes) { return xm::padImage(std::move(bytes)); }

TEST(Upgrade, UploadRebootRediscoveryAndSubmitOfTheEditorSettings)
{
    UpgradeRig rig;
    rig.begin();
    const auto image = pattern(3000);
    TempFile file(image);
    rig.link->tbUpgradeClick(file.path);
    EXPECT_TRUE(rig.screen.contains("enableEditor 0"));
    ASSERT_TRUE(rig.runUntil([&] { return rig.state() == tsRebooting; }));
    EXPECT_EQ(rig.ta->receivedImage(), padded(image));
    EXPECT_EQ(rig.backend.countWritten(COM1, "AT$REBOOT"), 0) << "a local TA restarts by itself";
    EXPECT_EQ(rig.screen.progressMax, 3);
    EXPECT_EQ(rig.screen.progress, 3);
    EXPECT_TRUE(rig.screen.rebootingShown);
    EXPECT_EQ(rig.screen.lastWith("tickText: "), "tickText: 30");
    EXPECT_FALSE(rig.screen.editorEnabled) << "the editor waits for the submit after the reboot";

    rig.clock.advance(10000);
    EXPECT_EQ(rig.screen.lastWith("tickText: "), "tickText: 20");
    rig.backend.clearWritten(COM1);
    ASSERT_TRUE(rig.runUntil([&] { return rig.screen.contains("submitDone"); }, 60000));
    EXPECT_FALSE(rig.screen.rebootingShown);
    EXPECT_EQ(rig.backend.written(COM1).rfind("ATI0\r", 0), 0u) << "found again by discovery";
    EXPECT_EQ(rig.backend.countWritten(COM1, "AT1&W\r"), 1) << "the editor's settings are written";
    EXPECT_EQ(rig.backend.countWritten(COM1, "AT1%S?"), 0) << "no query after the upgrade";
    EXPECT_EQ(rig.screen.lastWith("progressCaption"), "progressCaption: Query setting progress status");
    EXPECT_TRUE(rig.screen.editorEnabled);
    EXPECT_TRUE(rig.screen.messages().empty()) << rig.screen.lastMessage();
    EXPECT_EQ(rig.ctx.pendingOperation, poNone);
}

TEST(Upgrade, TaGoneAfterTheRebootGivesTheEditorBack)
{
    UpgradeRig rig;
    rig.begin();
    TempFile file(pattern(200));
    rig.link->tbUpgradeClick(file.path);
    ASSERT_TRUE(rig.runUntil([&] { return rig.state() == tsRebooting; }));
    rig.backend.unplug(COM1); // a USB TA re-enumerates while it restarts... and never returns
    rig.clock.advance(31000);
    EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{"There is no free COM port!"});
    EXPECT_EQ(rig.state(), tsIdle);
    EXPECT_TRUE(rig.screen.editorEnabled);
    EXPECT_FALSE(rig.screen.rebootingShown);
}

TEST(Upgrade, RemoteTaIsToldToRebootAfterTheEndIsAcknowledged)
{
    UpgradeRig rig;
    rig.begin(true);
    const auto image = pattern(1100);
    TempFile file(image);
    rig.link->tbUpgradeClick(file.path);
    ASSERT_TRUE(rig.runUntil([&] { return rig.state() == tsRebooting; }));
    EXPECT_EQ(rig.ta->remote().receivedImage(), padded(image));
    EXPECT_EQ(rig.backend.countWritten(COM1, "AT$REBOOT\r"), 1);
    EXPECT_TRUE(rig.screen.messages().empty()) << rig.screen.lastMessage();
}

// The byte handler against a TA that never answers by itself: the test plays
// the receiver.
struct TransferTest : testing::Test {
    UpgradeRig rig;
    std::vector<uint8_t> image = pattern(2500); // two big blocks, four small
    std::unique_ptr<TempFile> file;

    void SetUp() override
    {
        rig.start();
        rig.backend.addSilent(COM1);
        rig.screen.wizardShown = false;
        rig.screen.editorShown = true;
        file = std::make_unique<TempFile>(image);
        rig.link->cCom().setPort(pnCOM1);
        ASSERT_TRUE(rig.link->cCom().OpenPort());
        rig.ctx.transactionState = tsQuerying; // a connection is open
        rig.link->tbUpgradeClick(file->path);
        ASSERT_EQ(rig.state(), tsUpgrading);
        rig.backend.clearWritten(COM1);
    }
    std::string answer(uint8_t byte)
    {
        rig.backend.clearWritten(COM1);
        rig.link->OnUpgradeByte(byte);
        return rig.backend.written(COM1);
    }
};

TEST_F(TransferTest, OnlyTheStartCharacterStartsTheTransfer)
{
    EXPECT_EQ(answer(xm::CAN), "");
    EXPECT_EQ(answer(xm::NAK), "");
    EXPECT_EQ(answer('A'), "");
    EXPECT_EQ(rig.link->upgrade().upgradeStep, usWaitStart);
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
    EXPECT_EQ(rig.link->upgrade().upgradeStep, usFinished);
    EXPECT_EQ(rig.screen.progress, rig.screen.progressMax);
    EXPECT_EQ(rig.state(), tsRebooting);
}

TEST_F(TransferTest, CancelAfterTheFirstBlockAbortsAndGivesTheEditorBack)
{
    answer(xm::START);
    rig.screen.enableEditor(false);
    EXPECT_EQ(answer(xm::CAN), "");
    EXPECT_EQ(rig.link->upgrade().upgradeStep, usAborted);
    EXPECT_EQ(rig.state(), tsIdle);
    EXPECT_EQ(rig.screen.messages(),
              std::vector<std::string>{"Firmware upgrade abort, please make sure firmware is correct!"});
    EXPECT_TRUE(rig.link->cCom().IsOpen());
    EXPECT_TRUE(rig.screen.editorEnabled);
    EXPECT_FALSE(rig.screen.progressShown);
    EXPECT_EQ(rig.ctx.pendingOperation, poNone);
}

TEST_F(TransferTest, WatchdogRecyclesThePortOnceThenGivesUp)
{
    rig.clock.advance(90000);
    EXPECT_EQ(rig.state(), tsUpgrading);
    EXPECT_TRUE(rig.link->cCom().IsOpen());
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
    rig.backend.addSilent(COM1);
    rig.link->cCom().setPort(pnCOM1);
    ASSERT_TRUE(rig.link->cCom().OpenPort());
    rig.link->StartUpgrade(); // no image was ever loaded
    rig.backend.clearWritten(COM1);
    rig.link->OnUpgradeByte(xm::START);
    EXPECT_EQ(rig.backend.written(COM1), std::string(1, char(xm::EOT)));
    rig.link->OnUpgradeByte(xm::ACK);
    EXPECT_EQ(rig.link->upgrade().upgradeStep, usFinished);
    EXPECT_EQ(rig.link->upgrade().blocksLeft, 0);
}

TEST(Upgrade, UnreadableOrEmptyFileIsRefusedBeforeAnyTaContact)
{
    UpgradeRig rig;
    rig.begin();
    TempFile empty({});
    for (const std::string& path : {std::string("/nonexistent/fw.bin"), empty.path}) {
        rig.screen.clear();
        rig.link->tbUpgradeClick(path);
        EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{"Can not open file!"});
        EXPECT_EQ(rig.ctx.pendingOperation, poNone);
    }
    EXPECT_EQ(rig.backend.written(COM1), "");
}

} // namespace
