#include "toolkit/screenplacement.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace bryndle {

std::optional<QRect> placeOnScreen(const QRect& frame) {
    QList<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens())
        areas << screen->availableGeometry();
    return placeOnScreen(frame, areas);
}

std::optional<QRect> placeOnScreen(const QRect& frame, const QList<QRect>& areas) {
    if (frame.width() <= 0 || frame.height() <= 0)
        return std::nullopt;
    const QRect* best = nullptr;
    qint64 bestOverlap = 0;
    for (const QRect& area : areas) {
        const QRect overlap = area.intersected(frame);
        const qint64 size = qint64(overlap.width()) * overlap.height();
        if (!overlap.isEmpty() && size > bestOverlap) {
            best = &area;
            bestOverlap = size;
        }
    }
    if (!best)
        return std::nullopt;
    QRect placed(frame.topLeft(), QSize(std::min(frame.width(), best->width()),
                                        std::min(frame.height(), best->height())));
    placed.moveLeft(std::clamp(placed.left(), best->left(), best->right() - placed.width() + 1));
    placed.moveTop(std::clamp(placed.top(), best->top(), best->bottom() - placed.height() + 1));
    return placed;
}

} // namespace bryndle
