#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QIcon>

#include "app/BuildInfo.h"

namespace varnet {

// The X11 window class is the application name; the desktop entry's
// StartupWMClass must name it, or docks show the window apart from its entry.
inline constexpr const char* kApplicationName = "Varnet";

inline void describeApplication() {
    QCoreApplication::setApplicationName(QString::fromUtf8(kApplicationName));
    QCoreApplication::setApplicationVersion(QString::fromUtf8(build::kVersion));
}

// Every size of the icon compiled in from the SVG the desktop entry uses.
inline QIcon applicationIcon() {
    QIcon icon;
    const QDir sizes(QStringLiteral(":/icon"));
    for (const QString& file : sizes.entryList({QStringLiteral("*.png")}))
        icon.addFile(sizes.filePath(file));
    return icon;
}

// Name, icon and desktop entry (Wayland's app id) of the desktop program.
inline void presentApplication() {
    describeApplication();
    QGuiApplication::setDesktopFileName(QString::fromUtf8(build::kAppId));
    QGuiApplication::setWindowIcon(applicationIcon());
}

}  // namespace varnet
