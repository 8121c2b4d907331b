#pragma once

#include <QList>
#include <QRect>

#include <optional>

namespace bryndle {

// Where a window with a stored placement may go. The frame (position and size) is kept on the
// available area of the screen it overlaps most: moved inside it, and shrunk if it is larger.
// Nothing when it has no size or overlaps no screen's area at all; the window then keeps its
// defaults.
std::optional<QRect> placeOnScreen(const QRect& frame);
// The same against the given available areas.
std::optional<QRect> placeOnScreen(const QRect& frame, const QList<QRect>& areas);

} // namespace bryndle
