// The network ports chosen in the wizard, most recent first, kept between
// runs in the user's settings file ($XDG_CONFIG_HOME/tautil/tautil.conf):
// a console server's address is typed once, then picked from the list.
#pragma once

#include <QStringList>

namespace ta::ui {

inline constexpr int kMaxRecentPorts = 8;

QStringList recentNetworkPorts();
// Puts a well-formed network port name first; anything else is not kept.
void rememberNetworkPort(const QString& name);

} // namespace ta::ui
