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
        "  colon-separated device paths that replace the machine's serial port\n"
        "                   list; its first eight entries are the ports COM1 to COM8\n"
        "                   searched for the TA, in that order.\n"
        "                   Example: TA_SERIAL_PORTS=/dev/ttyUSB0:/dev/pts/4 tautil\n"
        "\n"
        "Without the variable the ports searched are the USB serial adapters, then the\n"
        "CDC-ACM devices, then the on-board serial ports that exist. The first page\n"
        "also lets you pick one port instead of the search; `tactl ports` lists them.\n";
    return text;
}

} // namespace ta::app
