#pragma once

#include <QString>
#include <Qt>

class QDialog;
class QDialogButtonBox;

namespace tervo::gui {

// A dialog's OK / Cancel buttons with its own texts, accepting and rejecting the dialog. The
// buttons are named "okButton" (the default button) and "cancelButton"; an empty cancel text
// leaves OK alone.
QDialogButtonBox* dialogButtons(QDialog* dialog, const QString& okText, const QString& cancelText,
                                Qt::Orientation orientation = Qt::Horizontal);

}  // namespace tervo::gui
