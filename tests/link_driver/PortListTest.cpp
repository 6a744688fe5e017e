// The candidate list behind COM1..COM16. The machine's own ports are never
// looked at: the scan runs over a made-up /dev and /sys tree.
#include "PtyHarness.h"
#include "link/port/PortList.h"
#include "tests/support/CaseName.h"

#include <gtest/gtest.h>

#include <functional>
#include <filesystem>
#include <fstream>
#include <map>

namespace ta::link::test {
namespace {

namespace fs = std::filesystem;

class ScratchTree {
public:
    ScratchTree()
    {
        fs::create_directories(dev());
        fs::create_directories(sys());
    }

    std::string dev() const { return (root_ / "dev").string(); }
    std::string sys() const { return (root_ / "sys").string(); }
    void node(const std::string& name) const { std::ofstream(root_ / "dev" / name); }
    void uart(const std::string& name, const std::string& type) const
    {
        node(name);
        fs::create_directories(root_ / "sys" / name);
        std::ofstream(root_ / "sys" / name / "type") << type << "\n";
    }
    // A tty of a USB device as sysfs shows it: class entry -> port (usb-serial
    // only) -> interface -> device, the device with its attributes.
    void usbTty(const std::string& name, const std::map<std::string, std::string>& attributes, bool viaPort = true) const
    {
        const fs::path device = root_ / "devices" / ("usb-" + name);
        fs::path target = device / "1-1:1.0";
        if (viaPort)
            target /= name;
        fs::create_directories(target);
        for (const auto& [attribute, value] : attributes)
            std::ofstream(device / attribute) << value << "\n";
        fs::create_directories(root_ / "sys" / name);
        fs::create_directory_symlink(target, root_ / "sys" / name / "device");
    }
    void byId(const std::string& link, const std::string& name) const
    {
        fs::create_directories(root_ / "dev" / "serial" / "by-id");
        fs::create_symlink("../../" + name, root_ / "dev" / "serial" / "by-id" / link);
    }

private:
    testsupport::ScratchDir dir_{"portlist"};
    const fs::path& root_ = dir_.path();
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

TEST(PortScan, SysfsNamesCountOnlyWithANodeAndArmUartsFollowTheOthers)
{
    ScratchTree tree;
    tree.usbTty("ttyUSB1", {{"idVendor", "0403"}});
    tree.node("ttyUSB1");
    tree.usbTty("ttyUSB0", {{"idVendor", "0403"}}); // gone from /dev: unplugged
    tree.node("ttyAMA0");
    tree.uart("ttyS4", "4");
    const std::string d = tree.dev() + "/";
    EXPECT_EQ(scanSerialPorts(tree.dev(), tree.sys()),
              (std::vector<std::string>{d + "ttyUSB1", d + "ttyS4", d + "ttyAMA0"}));
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

// Device paths and network ports in one list: the old colon lists stay as
// they were, a URL keeps its colons.
struct ListCase {
    const char* name;
    const char* list;
    std::vector<std::string> entries;
    friend void PrintTo(const ListCase& c, std::ostream* os) { *os << c.name; }
};

class PortListEntries : public ::testing::TestWithParam<ListCase> {};

TEST_P(PortListEntries, AreSplitWhereTheListSays)
{
    EXPECT_EQ(parsePortList(GetParam().list), GetParam().entries);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, PortListEntries,
    ::testing::Values(
        ListCase{"ColonsBetweenPaths", "/dev/ttyUSB0:/dev/ttyS0", {"/dev/ttyUSB0", "/dev/ttyS0"}},
        ListCase{"UrlBetweenColonSeparatedPaths", "/dev/ttyUSB0:rfc2217://cs1:7001:/dev/ttyS0",
                 {"/dev/ttyUSB0", "rfc2217://cs1:7001", "/dev/ttyS0"}},
        ListCase{"CommasSemicolonsAndBlanks", " tcp://[::1]:7000,rfc2217://cs1:7001/;/dev/ttyS0\t/dev/ttyS1\n",
                 {"tcp://[::1]:7000", "rfc2217://cs1:7001/", "/dev/ttyS0", "/dev/ttyS1"}},
        ListCase{"MalformedUrlStaysWholeForItsMessage", "rfc2217://cs1:x:y,/dev/ttyS0",
                 {"rfc2217://cs1:x:y", "/dev/ttyS0"}},
        ListCase{"UrlWithTextAfterThePortStaysWhole", "tcp://cs1:7001x:/dev/ttyS0 /dev/ttyS1",
                 {"tcp://cs1:7001x:/dev/ttyS0", "/dev/ttyS1"}},
        ListCase{"OtherSchemeStaysWholeForItsMessage", "telnet://cs1:7001,/dev/ttyS0",
                 {"telnet://cs1:7001", "/dev/ttyS0"}}),
    ta::testsupport::CaseName());

// What the user sees of a port: sysfs attributes become the description,
// /dev/serial/by-id gives the stable name.
struct DescriptionCase {
    const char* name;
    std::function<void(const ScratchTree&)> make;
    const char* tty;
    const char* description;
    const char* byId;
};

class PortDescription : public ::testing::TestWithParam<DescriptionCase> {};

TEST_P(PortDescription, ComesFromSysfsAndTheByIdFolder)
{
    ScratchTree tree;
    GetParam().make(tree);
    const auto ports = scanSerialPortCandidates(tree.dev(), tree.sys());
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].path, tree.dev() + "/" + GetParam().tty);
    EXPECT_EQ(ports[0].description, GetParam().description);
    EXPECT_EQ(ports[0].byIdPath, *GetParam().byId ? tree.dev() + "/serial/by-id/" + GetParam().byId : "");
    EXPECT_EQ(ports[0].label(), ports[0].path + " (" + GetParam().description + ")");
}

INSTANTIATE_TEST_SUITE_P(Kinds, PortDescription, ::testing::Values(
    DescriptionCase{"UsbSerial", [](const ScratchTree& tree) {
        tree.node("ttyUSB0");
        tree.usbTty("ttyUSB0", {{"idVendor", "0403"}, {"idProduct", "6001"}, {"manufacturer", "FTDI"},
                             {"product", "FT232R USB UART"}, {"serial", "A50285BI"}});
        tree.byId("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "ttyUSB0");
        tree.byId("usb-Other-if00", "ttyACM9"); // another device's name
    }, "ttyUSB0", "FTDI FT232R USB UART, serial A50285BI (0403:6001)", "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"},
    DescriptionCase{"AcmProductNamesItsMaker", [](const ScratchTree& tree) {
        tree.node("ttyACM0");
        tree.usbTty("ttyACM0", {{"idVendor", "1d6b"}, {"idProduct", "0104"}, {"manufacturer", "Acme"},
                             {"product", "Acme ISDN TA"}}, false);
    }, "ttyACM0", "Acme ISDN TA (1d6b:0104)", ""},
    DescriptionCase{"AcmWithoutSysfs", [](const ScratchTree& tree) { tree.node("ttyACM2"); },
                    "ttyACM2", "USB modem (CDC-ACM)", ""},
    DescriptionCase{"Uart", [](const ScratchTree& tree) { tree.uart("ttyS1", "4"); },
                    "ttyS1", "on-board serial port (16550A)", ""}),
    ta::testsupport::CaseName());

// The port a driver's name stands for, as the editor shows it.
TEST(PortCandidates, PortInUseFollowsComNumbersAndLinks)
{
    Pty pty;
    const std::string list = "/tmp/no-such-port:" + pty.path();
    ScopedEnv ports(kSerialPortsVariable, list.c_str());
    EXPECT_EQ(portInUse("\\\\.\\COM2").label(), pty.path() + " (pseudo-terminal)");
    EXPECT_EQ(portInUse("\\\\.\\COM3").path, "");
    ScratchTree tree;
    const std::string link = tree.dev() + "/ttyTA";
    std::filesystem::create_symlink(pty.path(), link);
    EXPECT_EQ(portInUse(link).path, pty.path()) << "a link is shown as the device it names";
    EXPECT_EQ(portInUse("rfc2217://cs1:7001").label(), "rfc2217://cs1:7001 (RFC 2217 network port)");
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
