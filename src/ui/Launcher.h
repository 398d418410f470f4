#pragma once

#include <QUrl>

namespace varnet {

// Opens a file or an address with the desktop's program for it (text editor,
// web browser). Tests put a recorder in its place.
class Launcher {
  public:
    virtual ~Launcher() = default;
    virtual bool open(const QUrl& url) = 0;
};

class DesktopLauncher : public Launcher {
  public:
    bool open(const QUrl& url) override;
};

}  // namespace varnet
