#include "ui/RecentPorts.h"

#include "link/NetworkAddress.h"

#include <QSettings>

namespace ta::ui {

namespace {

const QString kRecentPortsKey = QStringLiteral("wizard/recentNetworkPorts");

QSettings settings() { return QSettings(QStringLiteral("tautil"), QStringLiteral("tautil")); }

} // namespace

QStringList recentNetworkPorts()
{
    QStringList ports = settings().value(kRecentPortsKey).toStringList();
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
    settings().setValue(kRecentPortsKey, ports.mid(0, kMaxRecentPorts));
}

} // namespace ta::ui
