#include "gui/widgets/LinkOpener.h"

#include <atomic>

namespace tervo::gui {

namespace {

// Read on the link threads, set by tests on the user-interface thread.
std::atomic<SerialOpener*> g_opener{nullptr};

}  // namespace

SerialOpener& linkOpener() {
    SerialOpener* opener = g_opener.load();
    return opener != nullptr ? *opener : defaultSerialOpener();
}

void setLinkOpener(SerialOpener* opener) {
    g_opener.store(opener);
}

}  // namespace tervo::gui
