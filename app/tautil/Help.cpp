#include "app/tautil/Help.h"

#include "link/port/PortList.h"
#include "ui/Switches.h"

namespace ta::app {

const char* const kUsageLine = "Usage: tautil [/B:n] [/P:n] [/X:n] [/T:n] [/U:n] [/F:n] [FILE.CFG]";

std::string helpText()
{
    std::string text = kUsageLine;
    text +=
        "\n"
        "Configures an ISDN terminal adapter (TA) on a serial port: reads its settings,\n"
        "lets you edit them, saves and loads profile files (*.CFG) and writes them back.\n"
        "A profile file given as FILE.CFG opens straight in the editor.\n"
        "\n"
        "Options:\n"
        "  --help     this text\n"
        "  --version  the program's version\n"
        "  Qt's own options (-platform, -style, -display ...) are passed on.\n"
        "\n"
        "Switches:\n";
    text += ui::switchesHelpText();
    text += "\nEnvironment:\n  ";
    text += link::kSerialPortsVariable;
    text +=
        "  the ports that replace the machine's serial port list; its\n"
        "                   first eight entries are COM1 to COM8, searched for the TA\n"
        "                   in that order. Entries are device paths or network ports\n"
        "                   (rfc2217://HOST:PORT, tcp://HOST:PORT), separated by ':',\n"
        "                   ',', ';' or blanks; a network port keeps its own colons.\n"
        "                   Example: TA_SERIAL_PORTS=/dev/ttyUSB0,tcp://cs1:7001 tautil\n"
        "\n"
        "Without the variable the ports searched are the USB serial adapters, then the\n"
        "CDC-ACM devices, then the on-board serial ports that exist. The first page\n"
        "also lets you pick one port instead of the search; `tactl ports` lists them.\n";
    return text;
}

} // namespace ta::app
