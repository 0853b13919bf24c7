#include "app/PublishDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "widgets/DialogButtons.h"
#include "widgets/Prompts.h"

namespace tervo::gui {

net::PublishSettings publishSettings(const PublishChoice& choice) {
    net::PublishSettings settings;
    if (choice.mqttOn) {
        settings.mqtt = parseMqttUrl(choice.mqttUrl.trimmed().toStdString());
    }
    if (choice.metricsOn) {
        settings.metrics = parseListenAddress(choice.metricsAddress.trimmed().toStdString());
    }
    return settings;
}

PublishDialog::PublishDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("网络发布"));
    setObjectName(QStringLiteral("publishDialog"));
    const PublishChoice stored = Settings().publishChoice();
    m_mqttOn = new QCheckBox(QStringLiteral("发布到 MQTT 服务器"), this);
    m_mqttOn->setObjectName(QStringLiteral("mqttCheck"));
    m_mqttOn->setChecked(stored.mqttOn);
    m_mqttUrl = new QLineEdit(stored.mqttUrl, this);
    m_mqttUrl->setObjectName(QStringLiteral("mqttEdit"));
    m_mqttUrl->setPlaceholderText(QStringLiteral("mqtt://[user:pass@]host[:port]"));
    m_mqttUrl->setMinimumWidth(320);
    m_metricsOn = new QCheckBox(QStringLiteral("提供指标页 /metrics"), this);
    m_metricsOn->setObjectName(QStringLiteral("metricsCheck"));
    m_metricsOn->setChecked(stored.metricsOn);
    m_metricsAddress = new QLineEdit(stored.metricsAddress, this);
    m_metricsAddress->setObjectName(QStringLiteral("metricsEdit"));
    auto* note = new QLabel(
        QStringLiteral("每个采集周期发布到 tervo/<主机>/<工作>/<通道>，开始运行时生效。"), this);
    note->setWordWrap(true);
    auto* form = new QFormLayout;
    form->addRow(m_mqttOn, m_mqttUrl);
    form->addRow(m_metricsOn, m_metricsAddress);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addWidget(dialogButtons(this, QStringLiteral("确定"), QStringLiteral("取消")));
}

PublishChoice PublishDialog::choice() const {
    PublishChoice c;
    c.mqttOn = m_mqttOn->isChecked();
    c.mqttUrl = m_mqttUrl->text().trimmed();
    c.metricsOn = m_metricsOn->isChecked();
    c.metricsAddress = m_metricsAddress->text().trimmed();
    return c;
}

void PublishDialog::accept() {
    const PublishChoice c = choice();
    if (c.mqttOn && !parseMqttUrl(c.mqttUrl.toStdString())) {
        messageBox(this,
                   QStringLiteral("MQTT 服务器地址无效：") + c.mqttUrl +
                       QStringLiteral("\n格式：mqtt://[用户:密码@]主机[:端口] 或 mqtts://..."));
        return;
    }
    if (c.metricsOn && !parseListenAddress(c.metricsAddress.toStdString())) {
        messageBox(this, QStringLiteral("指标页地址无效：") + c.metricsAddress +
                             QStringLiteral("\n格式：地址:端口，如 127.0.0.1:9570"));
        return;
    }
    Settings().setPublishChoice(c);
    QDialog::accept();
}

}  // namespace tervo::gui
