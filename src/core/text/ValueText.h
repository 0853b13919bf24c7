#pragma once

#include <string>

namespace tervo {

// Values are shown with "%0.2f".
std::string valueText(double value);

// A value text for a controller: the text padded with blanks to ten characters (the link sends
// the first five). Longer texts are kept whole.
std::string padValueText(const std::string& text);

}  // namespace tervo
