#pragma once

#include <QString>

class QAction;
class QObject;
class QToolButton;

namespace tervo::gui {

// A command: a QAction named `name` with its menu text, its status-bar prompt and, only when
// one is given, its tool tip. A command given a single text has it as its prompt and shows no
// tip.
QAction* makeCommand(QObject* parent, const QString& name, const QString& text,
                     const QString& prompt = QString(), const QString& tip = QString());

// Qt shows an action's text as the tip of its button when the action has none; this keeps the
// button of a command without a tip from showing one.
void showGivenTipOnly(QToolButton* button);

}  // namespace tervo::gui
