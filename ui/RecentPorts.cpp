#include "ui/RecentPorts.h"

#include "link/port/NetworkAddress.h"

#include "ui/ProgramSettings.h"

namespace ta::ui {

namespace {

const QString kRecentPortsKey = QStringLiteral("wizard/recentNetworkPorts");

} // namespace

QStringList recentNetworkPorts()
{
    QStringList ports = programSettings().value(kRecentPortsKey).toStringList();
    ports.removeIf([](const QString& port) { return !ta::link::parseNetworkAddress(port.toStdString()); });
    return ports.mid(0, kMaxRecentPorts);
}

void rememberNetworkPort(const QString& name)
{
    if (!ta::link::parseNetworkAddress(name.toStdString()))
        return;
    QStringList ports = recentNetworkPorts();
    ports.removeAll(name);
    ports.prepend(name);
    programSettings().setValue(kRecentPortsKey, ports.mid(0, kMaxRecentPorts));
}

} // namespace ta::ui
