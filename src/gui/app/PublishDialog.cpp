#include "gui/app/PublishDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "gui/widgets/DialogButtons.h"
#include "gui/widgets/Prompts.h"
#include "gui/widgets/Translate.h"

namespace tervo::gui {

namespace {

QString storeKeepsText() {
    return trc("PublishDialog", "密码保存在桌面的密钥存储中，不写入设置文件。");
}

// This run's password, asked of the secret store once when not known yet.
QString runPassword() {
    if (!sessionMqttPassword()) {
        QEventLoop wait;
        std::optional<SecretOutcome> read;
        readMqttPassword(&wait, [&](const SecretOutcome& outcome) {
            read = outcome;
            wait.quit();
        });
        if (!read) {
            wait.exec();
        }
        setSessionMqttPassword(read ? read->password : QString());
    }
    return sessionMqttPassword().value_or(QString());
}

}  // namespace

net::PublishSettings publishSettings(const PublishChoice& choice) {
    net::PublishSettings settings;
    if (choice.mqttOn) {
        settings.mqtt = parseMqttUrl(choice.mqttUrl.trimmed().toStdString());
        if (settings.mqtt && !settings.mqtt->hasPassword && !settings.mqtt->user.empty()) {
            const QString password =
                choice.mqttPassword.isEmpty() ? runPassword() : choice.mqttPassword;
            settings.mqtt->password = password.toStdString();
            settings.mqtt->hasPassword = !password.isEmpty();
        }
    }
    if (choice.metricsOn) {
        settings.metrics = parseListenAddress(choice.metricsAddress.trimmed().toStdString());
    }
    return settings;
}

PublishDialog::PublishDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(trc("PublishDialog", "网络发布"));
    setObjectName(QStringLiteral("publishDialog"));
    const PublishChoice stored = Settings().publishChoice();
    m_mqttOn = new QCheckBox(trc("PublishDialog", "发布到 MQTT 服务器"), this);
    m_mqttOn->setObjectName(QStringLiteral("mqttCheck"));
    m_mqttOn->setChecked(stored.mqttOn);
    m_mqttUrl = new QLineEdit(stored.mqttUrl, this);
    m_mqttUrl->setObjectName(QStringLiteral("mqttEdit"));
    m_mqttUrl->setPlaceholderText(QStringLiteral("mqtt://[user@]host[:port]"));
    m_mqttUrl->setMinimumWidth(320);
    m_mqttPassword = new QLineEdit(this);
    m_mqttPassword->setObjectName(QStringLiteral("mqttPasswordEdit"));
    m_mqttPassword->setEchoMode(QLineEdit::Password);
    m_mqttPassword->setText(!stored.mqttPassword.isEmpty()
                                ? stored.mqttPassword
                                : sessionMqttPassword().value_or(QString()));
    connect(m_mqttPassword, &QLineEdit::textEdited, this, [this] { m_passwordTyped = true; });
    m_storeNote = new QLabel(trc("PublishDialog", "正在读取密钥存储……"), this);
    m_storeNote->setObjectName(QStringLiteral("secretStoreNote"));
    m_metricsOn = new QCheckBox(trc("PublishDialog", "提供指标页 /metrics"), this);
    m_metricsOn->setObjectName(QStringLiteral("metricsCheck"));
    m_metricsOn->setChecked(stored.metricsOn);
    m_metricsAddress = new QLineEdit(stored.metricsAddress, this);
    m_metricsAddress->setObjectName(QStringLiteral("metricsEdit"));
    auto* note = new QLabel(
        trc("PublishDialog", "每个采集周期发布到 tervo/<主机>/<工作>/<通道>，开始运行时生效。"),
        this);
    note->setWordWrap(true);
    auto* form = new QFormLayout;
    form->addRow(m_mqttOn, m_mqttUrl);
    form->addRow(trc("PublishDialog", "密码"), m_mqttPassword);
    form->addRow(m_storeNote);
    form->addRow(m_metricsOn, m_metricsAddress);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addWidget(
        dialogButtons(this, trc("PublishDialog", "确定"), trc("PublishDialog", "取消")));
    readMqttPassword(this, [this](const SecretOutcome& outcome) { showStore(outcome); });
}

void PublishDialog::showStore(const SecretOutcome& outcome) {
    if (!outcome.storeAvailable) {
        m_storeNote->setText(
            trc("PublishDialog", "没有可用的密钥存储（") + outcome.failure +
            trc("PublishDialog", "）：\n密码只在本次运行中有效，不写入设置文件。"));
    } else {
        m_storeNote->setText(storeKeepsText());
        if (!m_passwordTyped && m_mqttPassword->text().isEmpty()) {
            m_mqttPassword->setText(outcome.password);
        }
    }
    // The note may need another line.
    adjustSize();
}

PublishChoice PublishDialog::choice() const {
    PublishChoice c;
    c.mqttOn = m_mqttOn->isChecked();
    c.mqttUrl = m_mqttUrl->text().trimmed();
    c.mqttPassword = m_mqttPassword->text();
    c.metricsOn = m_metricsOn->isChecked();
    c.metricsAddress = m_metricsAddress->text().trimmed();
    return c;
}

void PublishDialog::accept() {
    // A password typed into the URL goes where passwords go.
    if (QString typed;
        urlWithoutPassword(m_mqttUrl->text().trimmed(), &typed) != m_mqttUrl->text().trimmed()) {
        m_mqttUrl->setText(urlWithoutPassword(m_mqttUrl->text().trimmed()));
        m_mqttPassword->setText(typed);
    }
    const PublishChoice c = choice();
    if (c.mqttOn && !parseMqttUrl(c.mqttUrl.toStdString())) {
        messageBox(this,
                   trc("PublishDialog", "MQTT 服务器地址无效：") + c.mqttUrl +
                       trc("PublishDialog", "\n格式：mqtt://[用户@]主机[:端口] 或 mqtts://..."));
        return;
    }
    if (c.metricsOn && !parseListenAddress(c.metricsAddress.toStdString())) {
        messageBox(this, trc("PublishDialog", "指标页地址无效：") + c.metricsAddress +
                             trc("PublishDialog", "\n格式：地址:端口，如 127.0.0.1:9570"));
        return;
    }
    Settings().setPublishChoice(c);
    setSessionMqttPassword(c.mqttPassword);
    // Finishes on its own after the dialog has gone.
    storeMqttPassword(c.mqttPassword, qApp, [](const SecretOutcome&) {});
    QDialog::accept();
}

}  // namespace tervo::gui
