#pragma once

#include <string>

// The system's own texts are Chinese; another interface language replaces them where they are
// shown. Core stays free of any toolkit: a text is marked where it is written, the translations
// come from a function the front end installs, and without one every text stays as written.
// lupdate reads both marks (scripts/translations).

// A text shown elsewhere (a constant a view puts in a message box): the front end translates it
// there, under the context "core".
#define TERVO_TR_NOOP(context, text) text
// A text made here (a heading, the fixed part of a composed message): translated now.
#define TERVO_TR(context, text) ::tervo::translated(context, text)

namespace tervo {

// Returns the text in the interface language (UTF-8); nullptr or an unknown text returns it
// unchanged.
using TranslateFunction = std::string (*)(const char* context, const char* text);

// Installed once, before any thread that formats texts starts; nullptr removes it.
void setTranslateFunction(TranslateFunction translate);

std::string translated(const char* context, const char* text);

}  // namespace tervo
