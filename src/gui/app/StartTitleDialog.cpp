#include "app/StartTitleDialog.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QValidator>

#include "app/Settings.h"
#include "widgets/PickCombo.h"

namespace tervo::gui {

namespace {

// Refuses any edit that would make the title longer than the start window reads back.
class ByteLimit : public QValidator {
public:
    ByteLimit(int limit, QObject* parent) : QValidator(parent), m_limit(limit) {}
    State validate(QString& input, int&) const override {
        return gbkLength(input) <= m_limit ? Acceptable : Invalid;
    }

private:
    int m_limit;
};

}  // namespace

StartTitleDialog::StartTitleDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("设置起始显示标题"));
    setObjectName(QStringLiteral("dialog246"));
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("id1017"));
    m_edit->setMinimumWidth(360);
    m_edit->setValidator(new ByteLimit(kMaxTitleBytes, m_edit));
    m_edit->setText(readStartTitle());
    auto* save = new QPushButton(QStringLiteral("保存退出"), this);
    save->setObjectName(QStringLiteral("id1"));
    save->setDefault(true);
    auto* discard = new QPushButton(QStringLiteral("放弃退出"), this);
    discard->setObjectName(QStringLiteral("id2"));
    connect(save, &QPushButton::clicked, this, &StartTitleDialog::accept);
    connect(discard, &QPushButton::clicked, this, &StartTitleDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(save);
    buttons->addWidget(discard);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_edit);
    layout->addLayout(buttons);
    setFixedSize(sizeHint());
}

QString StartTitleDialog::title() const {
    return m_edit->text();
}

void StartTitleDialog::accept() {
    writeStartTitle(m_edit->text());
    QDialog::accept();
}

}  // namespace tervo::gui
