#include "ui/windowfit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace fulmaro {

namespace {
// Before a window is shown its frame is unknown: leave room for a usual title bar and border.
constexpr QSize kAssumedFrame(16, 40);
} // namespace

void placeOnScreen(QWidget *window, QSize designed)
{
    const QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) {
        window->resize(designed);
        return;
    }
    const QRect available = screen->availableGeometry();
    QSize frame = window->frameGeometry().size() - window->geometry().size();
    if (!window->isVisible() || frame.isEmpty())
        frame = frame.expandedTo(kAssumedFrame);
    const QSize room = available.size() - frame;
    const QSize size = designed.boundedTo(room)
                           .expandedTo(window->minimumSizeHint())
                           .expandedTo(window->minimumSize());
    window->resize(size);
    const QSize outer = size + frame;
    QPoint topLeft(available.x() + (available.width() - outer.width()) / 2,
                   available.y() + (available.height() - outer.height()) / 2);
    // A window larger than the screen keeps its title bar on it.
    topLeft.setX(std::max(topLeft.x(), available.x()));
    topLeft.setY(std::max(topLeft.y(), available.y()));
    window->move(topLeft);
}

} // namespace fulmaro
