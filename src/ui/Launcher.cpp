#include "ui/Launcher.h"

#include <QDesktopServices>

namespace varnet {

bool DesktopLauncher::open(const QUrl& url) { return QDesktopServices::openUrl(url); }

}  // namespace varnet
