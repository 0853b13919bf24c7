#include "gui/Views.h"

#include "gui/app/TervoApp.h"
#include "gui/curves/CurveView.h"
#include "gui/history/HistoryView.h"
#include "gui/sim/PanelView.h"
#include "gui/tools/ParameterView.h"
#include "gui/tools/SerialTestView.h"
#include "gui/work/WorkView.h"

namespace tervo::gui {

void registerViews(TervoApp& app) {
    app.setTemplate(WindowKind::SerialTest,
                    [](const ViewContext& context) { return new SerialTestView(context); });
    app.setTemplate(WindowKind::Work,
                    [](const ViewContext& context) { return WorkView::create(context); });
    app.setTemplate(WindowKind::Parameters,
                    [](const ViewContext& context) { return new ParameterView(context); });
    app.setTemplate(WindowKind::History,
                    [](const ViewContext& context) { return HistoryView::create(context); });
    app.setTemplate(WindowKind::Curves,
                    [](const ViewContext& context) { return CurveView::create(context); });
    app.setTemplate(WindowKind::Simulation,
                    [](const ViewContext& context) { return PanelView::create(context); });
}

}  // namespace tervo::gui
