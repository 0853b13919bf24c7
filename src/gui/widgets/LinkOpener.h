#pragma once

#include "link/SerialDevice.h"

namespace tervo::gui {

// The serial opener the views build their links with: the platform's, unless a test installed
// a scripted one (not owned; nullptr goes back to the platform's).
SerialOpener& linkOpener();
void setLinkOpener(SerialOpener* opener);

}  // namespace tervo::gui
