#pragma once

#include <string>

namespace tervo {

// One double printed with a printf format ("%0.2f", "%f", "%g"), whole however long it is
// (1e300 with "%0.2f" is 304 characters).
std::string formatDouble(const char* format, double value);

// Values are shown with "%0.2f".
std::string valueText(double value);

// A value text for a controller: the text padded with blanks to ten characters (the link sends
// the first five). Longer texts are kept whole.
std::string padValueText(const std::string& text);

}  // namespace tervo
