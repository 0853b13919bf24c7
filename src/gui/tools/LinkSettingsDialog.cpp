#include "gui/tools/LinkSettingsDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>

#include "core/link/PortMap.h"
#include "core/link/SerialLink.h"
#include "gui/widgets/DialogButtons.h"
#include "gui/widgets/PickCombo.h"
#include "gui/widgets/Prompts.h"
#include "gui/widgets/Translate.h"

namespace tervo::gui {

QString twoDigitAddress(int address) {
    if (address < 0) {
        return QString::number(address);
    }
    return QString::number(address / 10) + QString::number(address % 10);
}

LinkSettingsDialog::LinkSettingsDialog(int portIndex, int baudIndex, int address, QWidget* parent)
    : QDialog(parent), m_portIndex(portIndex), m_baudIndex(baudIndex), m_address(address) {
    setObjectName(QStringLiteral("linkSettingsDialog"));
    setWindowTitle(trc("LinkSettingsDialog", "通信设置"));

    m_port = new PickCombo(this);
    m_port->setObjectName(QStringLiteral("portCombo"));
    QStringList ports;
    for (int i = 0; i < kPortCount; ++i) {
        ports << QString::fromStdString(portName(i));
    }
    m_port->setEntries(ports);
    m_port->setSelection(portIndex >= 0 && portIndex < kPortCount ? portIndex : 0);

    m_baud = new PickCombo(this);
    m_baud->setObjectName(QStringLiteral("baudCombo"));
    QStringList bauds;
    for (int i = 0; i < kBaudCount; ++i) {
        bauds << QString::fromLatin1(baudText(i));
    }
    m_baud->setEntries(bauds);
    m_baud->setSelection(baudIndex >= 0 && baudIndex < kBaudCount ? baudIndex : kDefaultBaudIndex);

    m_addressCombo = new PickCombo(this);
    m_addressCombo->setObjectName(QStringLiteral("addressCombo"));
    m_addressCombo->setEntries(
        {QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
    m_addressCombo->setText(twoDigitAddress(address));

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(trc("LinkSettingsDialog", "通信端口："), this), 0, 0);
    grid->addWidget(m_port, 0, 1);
    grid->addWidget(new QLabel(trc("LinkSettingsDialog", "波特率："), this), 1, 0);
    grid->addWidget(m_baud, 1, 1);
    grid->addWidget(new QLabel(trc("LinkSettingsDialog", "仪表地址："), this), 2, 0);
    grid->addWidget(m_addressCombo, 2, 1);
    grid->setColumnMinimumWidth(1, 120);

    auto* buttons = dialogButtons(this, trc("LinkSettingsDialog", "确定"),
                                  trc("LinkSettingsDialog", "取消退出"), Qt::Vertical);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(12);
    layout->addWidget(buttons, 0, Qt::AlignTop);
    setFixedSize(sizeHint());
}

void LinkSettingsDialog::accept() {
    const int port = m_port->selection();
    const int baud = m_baud->selection();
    const int address = m_addressCombo->value();
    if (port < 0 || baud < 0 || address < 0 || address >= 100) {
        messageBox(this, trc("LinkSettingsDialog", "输入错误！！！"));
        return;
    }
    m_portIndex = port;
    m_baudIndex = baud;
    m_address = address;
    QDialog::accept();
}

}  // namespace tervo::gui
