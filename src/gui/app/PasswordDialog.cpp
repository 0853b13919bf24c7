#include "app/PasswordDialog.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "widgets/Fonts.h"
#include "widgets/Prompts.h"

namespace tervo::gui {

PasswordDialog::PasswordDialog(Mode mode, const QString& entryPassword, QWidget* parent)
    : QDialog(parent), m_mode(mode), m_expected(entryPassword) {
    setWindowTitle(QStringLiteral("密码输入"));
    setObjectName(QStringLiteral("dialog266"));
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("id1017"));
    m_edit->setEchoMode(QLineEdit::Password);
    m_edit->setMinimumWidth(220);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("id1"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("id2"));
    connect(ok, &QPushButton::clicked, this, &PasswordDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &PasswordDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_edit);
    layout->addLayout(buttons);
    setFixedSize(sizeHint());
}

QString PasswordDialog::password() const {
    return m_edit->text();
}

void PasswordDialog::accept() {
    if (m_mode == Mode::Check && m_edit->text() != m_expected) {
        messageBox(this, QStringLiteral("密码错误！！！"));
        m_edit->selectAll();
        m_edit->setFocus();
        return;
    }
    QDialog::accept();
}

}  // namespace tervo::gui
