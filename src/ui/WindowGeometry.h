#pragma once

#include <QObject>
#include <QSize>

#include "base/SettingKeys.h"

class QSettings;
class QWidget;

namespace varnet {

// Keeps where each window was between runs: its size, position and the state
// of its named splitters, in the settings section "WindowGeometry" under the
// window's object name. Installed on the application, it follows the host
// window and every window opened from it (windows of this program's own
// classes): a window is put back when first shown and remembered when it is
// hidden or the host closes. A window never opens off the screen or larger
// than it.
class WindowGeometry : public QObject {
  public:
    static constexpr const char* kSection = settings::kWindowGeometry;

    // Follows host's windows until host or the returned object is destroyed.
    static WindowGeometry* follow(QWidget* host, QSettings& store);

    void restore(QWidget* window);
    void save(QWidget* window);
    // Shrinks a window to its screen's free area and moves it onto it.
    static void fitToScreen(QWidget* window);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    WindowGeometry(QWidget* host, QSettings& store);
    bool followed(QObject* object) const;

    QWidget* host_;
    QSettings& store_;
};

}  // namespace varnet
