#pragma once

#include <QFont>

namespace tervo::gui {

// The views ask for the face "宋体" by name. This maps it (and its Latin name) to an installed
// Song/Ming face so that Chinese renders alike on every machine; call once at start-up.
void installFontSubstitutions();

// "宋体" with a cell `height` pixels high and characters `width` pixels wide on average, as the
// views state their fonts. Fixed pitch: every Latin character is `width` wide and every Chinese
// character twice that.
QFont songFont(int height, int width, int weight = QFont::Normal);

}  // namespace tervo::gui
