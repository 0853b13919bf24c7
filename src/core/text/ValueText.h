#pragma once

#include <string>

namespace tervo {

// Numbers are written and read in the '.' form whatever the process's locale: a GUI process
// takes its locale from the environment, where a German or French user's decimal comma would
// otherwise reach the screens, the files and the controllers. Every printf or strtod of a
// double in Tervo goes through these two.

// One double printed with a printf format ("%0.2f", "%f", "%g", "%6.2f"), whole however long it
// is (1e300 with "%0.2f" is 304 characters).
std::string formatDouble(const char* format, double value);

// strtod: leading blanks, a sign, digits with a '.' point, an exponent, "inf" and "nan";
// `end` (when given) receives where the number stopped.
double parseDouble(const char* text, char** end = nullptr);

// Values are shown with "%0.2f".
std::string valueText(double value);

// A value text for a controller: the text padded with blanks to ten characters (the link sends
// the first five). Longer texts are kept whole.
std::string padValueText(const std::string& text);

}  // namespace tervo
