#pragma once

#include "core/link/SerialDevice.h"

namespace tervo::gui {

// The serial opener the link threads carry out every window's exchanges with: the platform's,
// unless a test installed another one (not owned; nullptr goes back to the platform's). It is
// used from the link threads, so an installed opener must be safe to use from any thread.
SerialOpener& linkOpener();
void setLinkOpener(SerialOpener* opener);

}  // namespace tervo::gui
