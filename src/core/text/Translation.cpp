#include "core/text/Translation.h"

#include <atomic>

namespace tervo {

namespace {
std::atomic<TranslateFunction> g_translate{nullptr};
}

void setTranslateFunction(TranslateFunction translate) {
    g_translate.store(translate);
}

std::string translated(const char* context, const char* text) {
    const TranslateFunction translate = g_translate.load();
    return translate ? translate(context, text) : std::string(text);
}

}  // namespace tervo
