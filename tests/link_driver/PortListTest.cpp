// The candidate list behind COM1..COM16. The machine's own ports are never
// looked at: the scan runs over a made-up /dev and /sys tree.
#include "PtyHarness.h"
#include "link/PortList.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace ta::link::test {
namespace {

namespace fs = std::filesystem;

class ScratchTree {
public:
    ScratchTree()
    {
        root_ = fs::temp_directory_path() / ("portlist-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
        fs::create_directories(dev());
        fs::create_directories(sys());
    }
    ~ScratchTree() { fs::remove_all(root_); }
    ScratchTree(const ScratchTree&) = delete;
    ScratchTree& operator=(const ScratchTree&) = delete;

    std::string dev() const { return (root_ / "dev").string(); }
    std::string sys() const { return (root_ / "sys").string(); }
    void node(const std::string& name) const { std::ofstream(root_ / "dev" / name); }
    void uart(const std::string& name, const std::string& type) const
    {
        node(name);
        fs::create_directories(root_ / "sys" / name);
        std::ofstream(root_ / "sys" / name / "type") << type << "\n";
    }

private:
    static inline int counter_ = 0;
    fs::path root_;
};

TEST(PortScan, UsbThenAcmThenRealUartsEachInNumericOrder)
{
    ScratchTree tree;
    tree.node("ttyUSB10");
    tree.node("ttyUSB2");
    tree.node("ttyACM0");
    tree.node("ttyUSBx"); // not a numbered device
    tree.node("tty1");
    tree.uart("ttyS0", "4");
    tree.uart("ttyS1", "0"); // phantom: no UART behind it
    tree.uart("ttyS12", "4");
    tree.node("ttyS3"); // no sysfs entry: not known to be a UART
    const std::string d = tree.dev() + "/";
    EXPECT_EQ(scanSerialPorts(tree.dev(), tree.sys()),
              (std::vector<std::string>{d + "ttyUSB2", d + "ttyUSB10", d + "ttyACM0", d + "ttyS0", d + "ttyS12"}));
}

TEST(PortScan, MissingDirectoriesGiveNoPorts)
{
    EXPECT_TRUE(scanSerialPorts("/nonexistent-dev", "/nonexistent-sys").empty());
}

TEST(PortCandidates, VariableReplacesTheScanEvenWhenEmpty)
{
    {
        ScopedEnv ports(kSerialPortsVariable, "/dev/pts/7::/tmp/ttyV1:");
        EXPECT_EQ(serialPortCandidates(), (std::vector<std::string>{"/dev/pts/7", "/tmp/ttyV1"}));
    }
    ScopedEnv ports(kSerialPortsVariable, "");
    EXPECT_TRUE(serialPortCandidates().empty());
}

struct NameCase {
    const char* name;
    const char* path;
};

class DevicePath : public ::testing::TestWithParam<NameCase> {};

TEST_P(DevicePath, ComNamesPickACandidateOtherNamesArePaths)
{
    const std::vector<std::string> candidates{"/dev/ttyUSB0", "/dev/ttyS0"};
    EXPECT_EQ(devicePathFor(GetParam().name, candidates), GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(Names, DevicePath,
    ::testing::Values(NameCase{"\\\\.\\COM1", "/dev/ttyUSB0"}, NameCase{"\\\\.\\COM2", "/dev/ttyS0"},
                      NameCase{"\\\\.\\COM3", ""}, NameCase{"\\\\.\\COM16", ""},
                      NameCase{"\\\\.\\COM17", "\\\\.\\COM17"}, NameCase{"\\\\.\\COM0", "\\\\.\\COM0"},
                      NameCase{"\\\\.\\COMx", "\\\\.\\COMx"}, NameCase{"/dev/pts/3", "/dev/pts/3"},
                      NameCase{"COM1", "COM1"}));

} // namespace
} // namespace ta::link::test
