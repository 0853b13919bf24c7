#include "widgets/LinkOpener.h"

#include "link/PosixSerialDevice.h"

namespace tervo::gui {

namespace {

SerialOpener* g_opener = nullptr;

}  // namespace

SerialOpener& linkOpener() {
    return g_opener != nullptr ? *g_opener : defaultSerialOpener();
}

void setLinkOpener(SerialOpener* opener) {
    g_opener = opener;
}

}  // namespace tervo::gui
