// The driver on real pseudo-terminals through the POSIX serial layer.
#include "tests/support/FakeSerial.h"
#include "PtyHarness.h"
#include "link/CPDrv.h"
#include "link/port/PortList.h"
#include "link/port/PortLock.h"
#include "link/port/PosixSerial.h"
#include "link/qt/QtClock.h"
#include "tests/support/CaseName.h"


#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace ta::link::test {
namespace {

using testsupport::FakePort;
using testsupport::FakeSerial;

class PosixPort : public ::testing::Test {
protected:
    void SetUp() override
    {
        drv.setPortName(pty.path());
        drv.setBaudRateValue(115200);
        drv.setOnReceiveData([this](TCommPortDriver&, const uint8_t* p, uint32_t n) {
            received.append(reinterpret_cast<const char*>(p), n);
        });
    }
    bool receivedAll(const std::string& text)
    {
        return clock.runUntil([&] { return received.size() >= text.size(); }) && received == text;
    }

    Pty pty;
    PollLoopClock clock;
    PosixSerialBackend backend{clock};
    TCommPortDriver drv{clock, backend};
    std::string received;
};

TEST_F(PosixPort, BytesTravelBothWaysOnAPortOpenedByPath)
{
    ASSERT_TRUE(drv.OpenPort());
    EXPECT_TRUE(drv.WriteString("ATI0\r"));
    EXPECT_EQ(pty.receive(5), "ATI0\r");
    pty.send(std::string("OK\r\n\0\x13\x11", 7)); // raw: nothing is eaten or translated
    EXPECT_TRUE(receivedAll(std::string("OK\r\n\0\x13\x11", 7)));
}

TEST_F(PosixPort, ComNameOpensTheCandidateFromTheVariable)
{
    ScopedEnv ports(kSerialPortsVariable, pty.path().c_str());
    drv.setPort(pnCOM1);
    ASSERT_TRUE(drv.OpenPort());
    pty.send("OK\r\n");
    EXPECT_TRUE(receivedAll("OK\r\n"));
    drv.ClosePort();
    drv.setPort(pnCOM2); // only one candidate
    EXPECT_FALSE(drv.OpenPort());
}

TEST_F(PosixPort, SecondDriverCannotTakeAnOpenPortAndGetsItAfterClose)
{
    ASSERT_TRUE(drv.OpenPort());
    TCommPortDriver second(clock, backend);
    second.setPortName(pty.path());
    EXPECT_FALSE(second.OpenPort());
    drv.ClosePort();
    EXPECT_TRUE(second.OpenPort()) << "closing releases the port at once";
}

TEST_F(PosixPort, LineWithoutModemSignalsStillOpensWithEveryFlowControl)
{
    for (const auto flow : {hfNONE, hfNONERTSON, hfRTSCTS}) {
        drv.setHwFlow(flow);
        ASSERT_TRUE(drv.OpenPort()) << int(flow);
        EXPECT_EQ(drv.GetModemLines(), 0u);
        drv.setEnableDTROnOpen(false);
        EXPECT_TRUE(drv.ApplySettings());
        drv.ClosePort();
    }
}

TEST_F(PosixPort, OtherEndClosingClosesThePortReportsOnceAndDoesNotSpin)
{
    int hangUps = 0;
    drv.setOnHangUp([&] { ++hangUps; });
    ASSERT_TRUE(drv.OpenPort());
    pty.send("NO CARRIER\r\n");
    ASSERT_TRUE(receivedAll("NO CARRIER\r\n"));
    const int callsBefore = clock.watchCalls();
    pty.closeMaster();
    EXPECT_TRUE(clock.runUntil([&] { return hangUps > 0; }));
    EXPECT_FALSE(drv.IsOpen());
    for (int i = 0; i < 10; ++i)
        clock.runOnce(5);
    EXPECT_EQ(hangUps, 1);
    EXPECT_LE(clock.watchCalls() - callsBefore, 2) << "the dead descriptor is not watched any more";
    EXPECT_EQ(clock.watchCount(), 0u);
    EXPECT_FALSE(drv.WriteString("AT\r"));
}

// The errors that close the port for good, and those that only wait or fail
// one call (a pty answers the modem ioctls with ENOTTY while it is there).
TEST(DeviceGone, OnlyErrorsOfAVanishedDevice)
{
    for (const int error : {EIO, ENXIO, ENODEV, EBADF})
        EXPECT_TRUE(deviceGone(error)) << std::strerror(error);
    for (const int error : {0, EAGAIN, EINTR, ENOTTY, EINVAL, EACCES})
        EXPECT_FALSE(deviceGone(error)) << std::strerror(error);
}

// What the kernel holds for the line, read through a second descriptor
// (root may open a port that TIOCEXCL guards).
class LineOnTheTerminal : public PosixPort {
protected:
    termios applied()
    {
        termios tio{};
        const int fd = ::open(pty.path().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
        if (fd < 0)
            return tio;
        ::tcgetattr(fd, &tio);
        ::close(fd);
        return tio;
    }
    uint32_t bitRate()
    {
        const int fd = ::open(pty.path().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
        const uint32_t rate = fd < 0 ? 0 : currentBitRate(fd);
        if (fd >= 0)
            ::close(fd);
        return rate;
    }
    void SetUp() override
    {
        PosixPort::SetUp();
        if (::geteuid() != 0)
            GTEST_SKIP() << "only root can look at an exclusively opened terminal";
    }
};

struct TermiosCase {
    const char* name;
    std::function<void(TCommPortDriver&)> set;
    tcflag_t cflagMask;
    tcflag_t cflag;
    tcflag_t iflagMask;
    tcflag_t iflag;
};

constexpr tcflag_t kFrame = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;

const auto kTermiosCases = ::testing::Values(
    TermiosCase{"Default8N1", [](auto&) {}, kFrame | CRTSCTS | CLOCAL | CREAD, CS8 | CLOCAL | CREAD,
                IXON | IXOFF | INPCK, 0},
    TermiosCase{"SevenEven", [](auto& d) { d.setDataBits(db7BITS); d.setParity(ptEVEN); },
                kFrame, CS7 | PARENB, INPCK, 0},
    TermiosCase{"OddTwoStop", [](auto& d) { d.setParity(ptODD); d.setStopBits(sb2BITS); },
                kFrame, CS8 | PARENB | PARODD | CSTOPB, 0, 0},
    TermiosCase{"Mark", [](auto& d) { d.setParity(ptMARK); }, kFrame, CS8 | PARENB | PARODD | CMSPAR, 0, 0},
    TermiosCase{"Space", [](auto& d) { d.setParity(ptSPACE); }, kFrame, CS8 | PARENB | CMSPAR, 0, 0},
    TermiosCase{"FiveBitsOneAndAHalf", [](auto& d) { d.setDataBits(db5BITS); d.setStopBits(sb1HALFBITS); },
                kFrame, CS5 | CSTOPB, 0, 0},
    TermiosCase{"SixBits", [](auto& d) { d.setDataBits(db6BITS); }, CSIZE, CS6, 0, 0},
    TermiosCase{"RtsCts", [](auto& d) { d.setHwFlow(hfRTSCTS); }, CRTSCTS, CRTSCTS, IXON | IXOFF, 0},
    TermiosCase{"XonXoff", [](auto& d) { d.setSwFlow(sfXONXOFF); }, CRTSCTS, 0, IXON | IXOFF | IXANY,
                IXON | IXOFF});

std::string caseName(const ::testing::TestParamInfo<TermiosCase>& info) { return info.param.name; }

void expectRawWithFlowCharacters(const termios& tio)
{
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP), 0u);
    EXPECT_EQ(tio.c_cc[VSTART], 0x11);
    EXPECT_EQ(tio.c_cc[VSTOP], 0x13);
    EXPECT_EQ(tio.c_cc[VMIN], 0);
    EXPECT_EQ(tio.c_cc[VTIME], 0);
}

// From the driver's properties to the termios flags, without a device.
class LineMapping : public ::testing::TestWithParam<TermiosCase> {};

TEST_P(LineMapping, PropertiesBecomeTermiosFlags)
{
    VirtualClock clock;
    FakeSerial fake{clock};
    FakePort& line = fake.anyName();
    TCommPortDriver drv(clock, fake);
    GetParam().set(drv);
    ASSERT_TRUE(drv.OpenPort());
    termios tio{};
    tio.c_lflag = ICANON | ECHO;
    tio.c_iflag = ICRNL | IXANY | INPCK;
    programLine(tio, line.line);
    EXPECT_EQ(tio.c_cflag & GetParam().cflagMask, GetParam().cflag);
    EXPECT_EQ(tio.c_iflag & GetParam().iflagMask, GetParam().iflag);
    expectRawWithFlowCharacters(tio);
}

INSTANTIATE_TEST_SUITE_P(Settings, LineMapping, kTermiosCases, caseName);

class LineFlags : public LineOnTheTerminal, public ::testing::WithParamInterface<TermiosCase> {};

// A pseudo-terminal keeps every flag but the byte size and parity enable,
// which it forces to 8 bits without parity.
TEST_P(LineFlags, ReachThePseudoTerminal)
{
    GetParam().set(drv);
    ASSERT_TRUE(drv.OpenPort());
    const termios tio = applied();
    const tcflag_t kept = GetParam().cflagMask & ~tcflag_t(CSIZE | PARENB);
    EXPECT_EQ(tio.c_cflag & kept, GetParam().cflag & kept);
    EXPECT_EQ(tio.c_iflag & GetParam().iflagMask, GetParam().iflag);
    expectRawWithFlowCharacters(tio);
}

INSTANTIATE_TEST_SUITE_P(Settings, LineFlags, kTermiosCases, caseName);

TEST_F(LineOnTheTerminal, TableAndCustomRatesReachTheKernel)
{
    ASSERT_TRUE(drv.OpenPort());
    EXPECT_EQ(cfgetospeed(&static_cast<const termios&>(applied())), speed_t(B115200));
    EXPECT_EQ(bitRate(), 115200u);
    drv.setBaudRate(br128000);
    EXPECT_EQ(bitRate(), 128000u);
    drv.setBaudRateValue(31250);
    EXPECT_EQ(bitRate(), 31250u);
    drv.setBaudRateValue(0); // would hang the line up: refused
    EXPECT_EQ(bitRate(), 31250u);
}

double threadCpuMs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1e6;
}

// On Qt's event loop, with the real tick: a write the other end never reads
// waits on the descriptor.
class QtPosixPort : public ::testing::Test {
protected:
    void SetUp() override
    {
        drv.setPortName(pty.path());
        drv.setBaudRateValue(115200);
    }

    Pty pty;
    QtClock clock;
    PosixSerialBackend backend{clock};
    TCommPortDriver drv{clock, backend};
};

TEST_F(QtPosixPort, StalledWriteWaitsWithoutBurningTheCore)
{
    ASSERT_TRUE(drv.OpenPort());
    const std::string block(256 * 1024, 'U');
    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = threadCpuMs();
    const uint32_t written = drv.WriteTimed(reinterpret_cast<const uint8_t*>(block.data()), uint32_t(block.size()), 80);
    const double cpu = threadCpuMs() - cpuBefore;
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, block.size());
    EXPECT_GE(wall.elapsed(), 80);
    EXPECT_LT(cpu, 0.5 * double(wall.elapsed())) << "waiting, not spinning";
}

// ---- Why a port is passed over ----

// A lock file as serial programs write it today: "%10d\n".
std::string lockText(int pid) { return std::string(10 - std::to_string(pid).size(), ' ') + std::to_string(pid) + "\n"; }

class PassedOver : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/ta-locks-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        lockDir = pattern;
        backend.setLockDirectory(lockDir);
    }
    void TearDown() override { std::filesystem::remove_all(lockDir); }
    std::string lockFile() const { return lockDir + "/" + uucpLockName(pty.path()); }
    std::string readLock() const
    {
        std::ifstream in(lockFile(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    Pty pty;
    VirtualClock clock;
    PosixSerialBackend backend{clock};
    std::string lockDir;
};

// Another program holds the port in one of the ways serial programs use:
// refused, also to root, with the holder named.
struct HolderCase {
    const char* name;
    std::function<bool(int fd)> hold; // nullptr: a lock file names the holder
    PortProblem problem;
    std::string (*lockText)(int pid) = nullptr; // the lock file's contents
};

// How old programs wrote the PID: four bytes, as the machine holds an int.
std::string binaryLockText(int pid)
{
    const auto pid32 = int32_t(pid);
    return std::string(reinterpret_cast<const char*>(&pid32), sizeof pid32);
}

class PortHeldElsewhere : public PassedOver, public ::testing::WithParamInterface<HolderCase> {};

TEST_P(PortHeldElsewhere, IsRefusedAndTheHolderNamed)
{
    const bool byLockFile = !GetParam().hold;
    HoldingProcess holder(pty.path(), byLockFile ? [](int) { return true; } : GetParam().hold);
    ASSERT_TRUE(holder.ready());
    const std::string lock = byLockFile ? GetParam().lockText(holder.pid()) : "";
    if (byLockFile)
        std::ofstream(lockFile(), std::ios::binary) << lock;
    EXPECT_EQ(backend.open(pty.path()), nullptr);
    const OpenFailure failure = backend.lastOpenFailure();
    EXPECT_EQ(failure.problem, GetParam().problem);
    EXPECT_EQ(failure.holderPid, holder.pid());
    EXPECT_FALSE(failure.holderName.empty());
    if (byLockFile) {
        EXPECT_EQ(readLock(), lock) << "another program's lock is left alone";
    }
}

INSTANTIATE_TEST_SUITE_P(Ways, PortHeldElsewhere, ::testing::Values(
    HolderCase{"Flock", [](int fd) { return ::flock(fd, LOCK_EX | LOCK_NB) == 0; }, PortProblem::InUse},
    HolderCase{"ExclusiveMode", [](int fd) { return ::ioctl(fd, TIOCEXCL) == 0; }, PortProblem::Exclusive},
    HolderCase{"LockFile", nullptr, PortProblem::InUse, &lockText},
    HolderCase{"BinaryLockFile", nullptr, PortProblem::InUse, &binaryLockText}),
    ta::testsupport::CaseName());

TEST_F(PassedOver, ExclusiveFlagLeftBehindOnAPseudoTerminalIsNoHolderForRoot)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root may open a terminal in exclusive mode";
    const int gone = ::open(pty.path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_EQ(::ioctl(gone, TIOCEXCL), 0);
    ::close(gone); // without TIOCNXCL: the flag stays while the master is open
    EXPECT_NE(backend.open(pty.path()), nullptr);
}

// A lock file that names no live program is replaced by ours while the port
// is held; ours goes when the port is closed.
class IgnoredLockFile : public PassedOver, public ::testing::WithParamInterface<const char*> {};

TEST_P(IgnoredLockFile, IsReplacedWhileThePortIsHeld)
{
    const std::string text = std::string(GetParam()) == "dead" ? lockText(999999999) : GetParam(); // beyond pid_max
    if (!text.empty())
        std::ofstream(lockFile()) << text;
    {
        auto device = backend.open(pty.path());
        ASSERT_NE(device, nullptr);
        EXPECT_EQ(readLock(), lockText(::getpid()));
    }
    EXPECT_FALSE(std::filesystem::exists(lockFile()));
}

INSTANTIATE_TEST_SUITE_P(Kinds, IgnoredLockFile, ::testing::Values("", "dead", "minicom\n"));

// What a user who is not root meets: file modes, and TIOCEXCL, which stops
// the open itself. nobody cannot write the lock folder either.
struct UnprivilegedCase {
    const char* name;
    mode_t mode;
    bool exclusiveHolder;
    PortProblem problem;
};

class UnprivilegedOpen : public PassedOver, public ::testing::WithParamInterface<UnprivilegedCase> {};

TEST_P(UnprivilegedOpen, MeetsTheSameReasons)
{
    std::optional<HoldingProcess> holder;
    if (GetParam().exclusiveHolder) {
        holder.emplace(pty.path(), [](int fd) { return ::ioctl(fd, TIOCEXCL) == 0; });
        ASSERT_TRUE(holder->ready());
    }
    ASSERT_EQ(::chmod(pty.path().c_str(), GetParam().mode), 0);
    const int problem = runUnprivileged([&] {
        const auto device = backend.open(pty.path());
        return int(device ? PortProblem::None : backend.lastOpenFailure().problem);
    });
    EXPECT_EQ(problem, int(GetParam().problem));
}

INSTANTIATE_TEST_SUITE_P(Kinds, UnprivilegedOpen, ::testing::Values(
    UnprivilegedCase{"NoAccess", 0, false, PortProblem::PermissionDenied},
    UnprivilegedCase{"ExclusiveHolder", 0666, true, PortProblem::Exclusive},
    UnprivilegedCase{"Free", 0666, false, PortProblem::None}),
    ta::testsupport::CaseName());

} // namespace
} // namespace ta::link::test
