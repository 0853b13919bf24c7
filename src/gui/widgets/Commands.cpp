#include "gui/widgets/Commands.h"

#include <QAction>
#include <QEvent>
#include <QToolButton>
#include <QToolTip>

namespace tervo::gui {

namespace {

constexpr const char* kGivenTip = "givenToolTip";

class TipFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::ToolTip) {
            return false;
        }
        auto* button = qobject_cast<QToolButton*>(watched);
        QAction* action = button != nullptr ? button->defaultAction() : nullptr;
        if (action == nullptr || action->property(kGivenTip).toBool()) {
            return false;
        }
        QToolTip::hideText();
        event->ignore();
        return true;
    }
};

}  // namespace

QAction* makeCommand(QObject* parent, const QString& name, const QString& text,
                     const QString& prompt, const QString& tip) {
    auto* action = new QAction(text, parent);
    action->setObjectName(name);
    action->setStatusTip(prompt);
    action->setToolTip(tip);
    action->setProperty(kGivenTip, !tip.isEmpty());
    return action;
}

void showGivenTipOnly(QToolButton* button) {
    button->installEventFilter(new TipFilter(button));
}

}  // namespace tervo::gui
