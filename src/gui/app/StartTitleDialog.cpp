#include "gui/app/StartTitleDialog.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QValidator>

#include "gui/app/Settings.h"
#include "gui/widgets/DialogButtons.h"
#include "gui/widgets/PickCombo.h"
#include "gui/widgets/Translate.h"

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
    setWindowTitle(trc("StartTitleDialog", "设置起始显示标题"));
    setObjectName(QStringLiteral("startTitleDialog"));
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("titleEdit"));
    m_edit->setMinimumWidth(360);
    m_edit->setValidator(new ByteLimit(kMaxTitleBytes, m_edit));
    m_edit->setText(Settings().startTitle());
    auto* buttons = dialogButtons(this, trc("StartTitleDialog", "保存退出"),
                                  trc("StartTitleDialog", "放弃退出"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_edit);
    layout->addWidget(buttons);
    setFixedSize(sizeHint());
}

QString StartTitleDialog::title() const {
    return m_edit->text();
}

void StartTitleDialog::accept() {
    Settings().setStartTitle(m_edit->text());
    QDialog::accept();
}

}  // namespace tervo::gui
