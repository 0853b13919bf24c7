#pragma once

namespace tervo::gui {

class TervoApp;

// Gives every window kind that has a view its template. The `tervo` executable calls this
// once (and tests that open views); a new view registers itself here.
void registerViews(TervoApp& app);

}  // namespace tervo::gui
