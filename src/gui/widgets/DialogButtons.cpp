#include "gui/widgets/DialogButtons.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>

namespace tervo::gui {

QDialogButtonBox* dialogButtons(QDialog* dialog, const QString& okText, const QString& cancelText,
                                Qt::Orientation orientation) {
    auto* box = new QDialogButtonBox(orientation, dialog);
    QPushButton* ok = box->addButton(okText, QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    if (!cancelText.isEmpty()) {
        box->addButton(cancelText, QDialogButtonBox::RejectRole)
            ->setObjectName(QStringLiteral("cancelButton"));
    }
    QObject::connect(box, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return box;
}

}  // namespace tervo::gui
