#include "ui/WindowGeometry.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QWidget>
#include <algorithm>

namespace varnet {

namespace {

const char* const kRestored = "varnetGeometryRestored";

QString key(const QWidget* window, const QString& item) {
    return QString::fromLatin1(WindowGeometry::kSection) + QLatin1Char('/') + window->objectName() +
           QLatin1Char('/') + item;
}

QList<QSplitter*> namedSplitters(QWidget* window) {
    QList<QSplitter*> named;
    for (QSplitter* s : window->findChildren<QSplitter*>())
        if (!s->objectName().isEmpty() && s->window() == window) named.append(s);
    return named;
}

}  // namespace

WindowGeometry::WindowGeometry(QWidget* host, QSettings& store)
    : QObject(host), host_(host), store_(store) {}

WindowGeometry* WindowGeometry::follow(QWidget* host, QSettings& store) {
    auto* geometry = new WindowGeometry(host, store);
    qApp->installEventFilter(geometry);
    return geometry;
}

bool WindowGeometry::followed(QObject* object) const {
    if (!object->isWidgetType()) return false;
    auto* w = static_cast<QWidget*>(object);
    // Our own windows only: Qt's message boxes and file dialogs size themselves.
    if (!w->isWindow() || w->objectName().isEmpty() ||
        !QByteArray(w->metaObject()->className()).startsWith("varnet::"))
        return false;
    for (QWidget* p = w; p; p = p->parentWidget())
        if (p == host_) return true;
    return false;
}

void WindowGeometry::restore(QWidget* window) {
    const QByteArray geometry = store_.value(key(window, QStringLiteral("geometry"))).toByteArray();
    if (!geometry.isEmpty()) window->restoreGeometry(geometry);
    for (QSplitter* s : namedSplitters(window)) {
        const QByteArray state = store_.value(key(window, s->objectName())).toByteArray();
        if (!state.isEmpty()) s->restoreState(state);
    }
    // A first start, or a screen smaller than the one the geometry was kept on.
    if (!window->isMaximized() && !window->isFullScreen()) fitToScreen(window);
}

void WindowGeometry::save(QWidget* window) {
    store_.setValue(key(window, QStringLiteral("geometry")), window->saveGeometry());
    for (QSplitter* s : namedSplitters(window))
        store_.setValue(key(window, s->objectName()), s->saveState());
}

void WindowGeometry::fitToScreen(QWidget* window) {
    QScreen* screen = QGuiApplication::screenAt(window->geometry().center());
    if (!screen) screen = window->screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect free = screen->availableGeometry();
    // Before the first show the window manager's frame is not known yet.
    QSize frame = window->frameGeometry().size() - window->size();
    if (!window->testAttribute(Qt::WA_WState_Created) || frame.isEmpty())
        frame = frame.expandedTo(QSize(16, 40));
    const QSize room = (free.size() - frame).expandedTo(window->minimumSize());
    if (window->width() > room.width() || window->height() > room.height())
        window->resize(window->size().boundedTo(room));
    // Keep the top left corner, and so the title bar, on the screen.
    const QSize outer = window->size() + frame;
    const int x = std::clamp(window->x(), free.left(),
                             std::max(free.left(), free.right() + 1 - outer.width()));
    const int y = std::clamp(window->y(), free.top(),
                             std::max(free.top(), free.bottom() + 1 - outer.height()));
    if (x != window->x() || y != window->y()) window->move(x, y);
}

bool WindowGeometry::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if ((type == QEvent::Show || type == QEvent::Hide || type == QEvent::Close) &&
        followed(watched)) {
        auto* window = static_cast<QWidget*>(watched);
        if (type == QEvent::Show && !window->property(kRestored).toBool()) {
            window->setProperty(kRestored, true);
            restore(window);
        } else if (type == QEvent::Hide && window->property(kRestored).toBool()) {
            save(window);
        } else if (type == QEvent::Close && window == host_) {
            // The windows still open go with the host.
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w != host_ && w->isVisible() && followed(w)) save(w);
            save(host_);
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace varnet
