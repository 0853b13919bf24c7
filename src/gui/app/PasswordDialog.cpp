#include "gui/app/PasswordDialog.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QVBoxLayout>

#include "gui/widgets/DialogButtons.h"
#include "gui/widgets/Fonts.h"
#include "gui/widgets/Prompts.h"
#include "gui/widgets/Translate.h"

namespace tervo::gui {

PasswordDialog::PasswordDialog(Mode mode, const QString& entryPassword, QWidget* parent)
    : QDialog(parent), m_mode(mode), m_expected(entryPassword) {
    setWindowTitle(trc("PasswordDialog", "密码输入"));
    setObjectName(QStringLiteral("passwordDialog"));
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("passwordEdit"));
    m_edit->setEchoMode(QLineEdit::Password);
    m_edit->setMinimumWidth(220);
    auto* buttons = dialogButtons(this, QStringLiteral("OK"), QStringLiteral("Cancel"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_edit);
    layout->addWidget(buttons);
    setFixedSize(sizeHint());
}

QString PasswordDialog::password() const {
    return m_edit->text();
}

void PasswordDialog::accept() {
    if (m_mode == Mode::Check && m_edit->text() != m_expected) {
        messageBox(this, trc("PasswordDialog", "密码错误！！！"));
        m_edit->selectAll();
        m_edit->setFocus();
        return;
    }
    QDialog::accept();
}

}  // namespace tervo::gui
