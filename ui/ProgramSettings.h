// The few choices the program keeps between runs (the recent network ports,
// "Verify after submit"), in ~/.config/tautil/tautil.conf: XDG_CONFIG_HOME
// is followed. Profiles are files of their own and never kept here.
#pragma once

#include <QSettings>

namespace ta::ui {

inline QSettings programSettings() { return QSettings(QStringLiteral("tautil"), QStringLiteral("tautil")); }

} // namespace ta::ui
