#pragma once

#include <QRect>

namespace tervo::gui {

// A rectangle given by its corners as the views state them, (left, top)-(right, bottom): the
// right and bottom edges lie just outside, so (70, 50)-(170, 250) is 100 pixels wide.
constexpr QRect cornerRect(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

}  // namespace tervo::gui
