#include "gui/app/Settings.h"

#include <qt6keychain/keychain.h>
#include <QCoreApplication>
#include <QTimer>
#include <memory>

#include "core/link/PortMap.h"
#include "core/publish/Publish.h"
#include "gui/widgets/PickCombo.h"
#include "gui/widgets/Translate.h"

namespace tervo::gui {

namespace {

const QString kStartTitle = QStringLiteral("StartTitle");

QString portKey(int portIndex) {
    return QStringLiteral("PortMap/") + QString::fromStdString(portName(portIndex));
}

const QString kSecretService = QStringLiteral("Tervo");
const QString kSecretKey = QStringLiteral("mqtt-password");
constexpr int kSecretStoreLimitMs = 5000;

std::optional<QString>& sessionPassword() {
    static std::optional<QString> password;
    return password;
}

// Runs `job` and hands its outcome to `done` once, or "no answer" after the limit.
void runSecretJob(QKeychain::Job* job, QObject* context,
                  std::function<void(const SecretOutcome&)> done) {
    auto once = std::make_shared<std::function<void(const SecretOutcome&)>>(std::move(done));
    QObject::connect(job, &QKeychain::Job::finished, context, [once](QKeychain::Job* finished) {
        if (!*once) {
            return;
        }
        SecretOutcome outcome;
        switch (finished->error()) {
            case QKeychain::NoError:
                outcome.storeAvailable = true;
                if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(finished)) {
                    outcome.password = read->textData();
                }
                break;
            case QKeychain::EntryNotFound:
                outcome.storeAvailable = true;
                break;
            default:
                outcome.failure = finished->errorString();
                break;
        }
        const auto call = std::move(*once);
        *once = nullptr;
        call(outcome);
    });
    QTimer::singleShot(kSecretStoreLimitMs, context, [once] {
        if (*once) {
            const auto call = std::move(*once);
            *once = nullptr;
            call(SecretOutcome{false, {}, trc("Settings", "密钥存储无应答")});
        }
    });
    job->setAutoDelete(true);
    job->start();
}

}  // namespace

QString urlWithoutPassword(const QString& url, QString* password) {
    const auto target = parseMqttUrl(url.toStdString());
    if (!target || !target->hasPassword) {
        return url;
    }
    if (password != nullptr) {
        *password = QString::fromStdString(target->password);
    }
    const qsizetype start = url.indexOf(QStringLiteral("://")) + 3;
    const qsizetype at = url.lastIndexOf(QLatin1Char('@'));
    const qsizetype colon = url.indexOf(QLatin1Char(':'), start);
    return url.left(colon) + url.mid(at);
}

void readMqttPassword(QObject* context, std::function<void(const SecretOutcome&)> done) {
    auto* job = new QKeychain::ReadPasswordJob(kSecretService);
    job->setKey(kSecretKey);
    runSecretJob(job, context, std::move(done));
}

void storeMqttPassword(const QString& password, QObject* context,
                       std::function<void(const SecretOutcome&)> done) {
    if (password.isEmpty()) {
        auto* job = new QKeychain::DeletePasswordJob(kSecretService);
        job->setKey(kSecretKey);
        runSecretJob(job, context, std::move(done));
        return;
    }
    auto* job = new QKeychain::WritePasswordJob(kSecretService);
    job->setKey(kSecretKey);
    job->setTextData(password);
    runSecretJob(job, context, std::move(done));
}

std::optional<QString> sessionMqttPassword() {
    return sessionPassword();
}

void setSessionMqttPassword(const std::optional<QString>& password) {
    sessionPassword() = password;
}

Settings::Settings() : m_store(QStringLiteral("ZMT"), QStringLiteral("Quorvex5")) {}

QString Settings::vendorLine() {
    return trc("Settings", "ZMT 智能温控仪表有限公司");
}

bool Settings::alarmSound() const {
    return m_store.value(QStringLiteral("Alarms/Sound"), false).toBool();
}

void Settings::setAlarmSound(bool on) {
    if (isWritable()) {
        m_store.setValue(QStringLiteral("Alarms/Sound"), on);
    }
}

bool Settings::isWritable() const {
    return m_store.isWritable() && m_store.status() == QSettings::NoError;
}

std::optional<QString> Settings::text(const QString& key) const {
    const QVariant value = m_store.value(key);
    if (!value.isValid() || value.typeId() != QMetaType::QString) {
        return std::nullopt;
    }
    const QString stored = value.toString();
    if (gbkLength(stored) + 1 > kReadLimit) {
        return std::nullopt;
    }
    return stored;
}

void Settings::setText(const QString& key, const QString& text) {
    if (isWritable()) {
        m_store.setValue(key, text);
        m_store.sync();
    }
}

std::optional<QString> Settings::storedStartTitle() const {
    return text(kStartTitle);
}

QString Settings::startTitle() const {
    return storedStartTitle().value_or(vendorLine());
}

void Settings::setStartTitle(const QString& title) {
    setText(kStartTitle, title);
}

QString Settings::portPath(int portIndex) const {
    return text(portKey(portIndex)).value_or(QString());
}

void Settings::setPortPath(int portIndex, const QString& path) {
    setText(portKey(portIndex), path);
}

PublishChoice Settings::publishChoice() const {
    PublishChoice choice;
    choice.mqttOn = m_store.value(QStringLiteral("Publish/MqttOn"), false).toBool();
    choice.mqttUrl = text(QStringLiteral("Publish/Mqtt")).value_or(QString());
    if (const QString clean = urlWithoutPassword(choice.mqttUrl, &choice.mqttPassword);
        clean != choice.mqttUrl) {
        choice.mqttUrl = clean;
        if (isWritable()) {
            m_store.setValue(QStringLiteral("Publish/Mqtt"), clean);
            m_store.sync();
        }
        setSessionMqttPassword(choice.mqttPassword);
        storeMqttPassword(choice.mqttPassword, qApp, [](const SecretOutcome&) {});
    }
    choice.metricsOn = m_store.value(QStringLiteral("Publish/MetricsOn"), false).toBool();
    choice.metricsAddress = text(QStringLiteral("Publish/Metrics")).value_or(choice.metricsAddress);
    return choice;
}

void Settings::setPublishChoice(const PublishChoice& choice) {
    if (!isWritable()) {
        return;
    }
    m_store.setValue(QStringLiteral("Publish/MqttOn"), choice.mqttOn);
    m_store.setValue(QStringLiteral("Publish/Mqtt"), urlWithoutPassword(choice.mqttUrl));
    m_store.setValue(QStringLiteral("Publish/MetricsOn"), choice.metricsOn);
    m_store.setValue(QStringLiteral("Publish/Metrics"), choice.metricsAddress);
    m_store.sync();
}

QStringList Settings::recentFiles() const {
    QStringList files;
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QString file =
            text(QStringLiteral("Recent File List/File%1").arg(i)).value_or(QString());
        if (!file.isEmpty()) {
            files.append(file);
        }
    }
    return files;
}

void Settings::setRecentFiles(const QStringList& files) {
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QString key = QStringLiteral("Recent File List/File%1").arg(i);
        if (i <= files.size()) {
            setText(key, files[i - 1]);
        } else if (isWritable()) {
            m_store.remove(key);
        }
    }
}

Settings::PrinterSetup Settings::printerSetup() const {
    PrinterSetup setup;
    setup.name = text(QStringLiteral("Printer/Name")).value_or(QString());
    setup.orientation = m_store.value(QStringLiteral("Printer/Orientation"), 0).toInt();
    setup.pageSize = m_store.value(QStringLiteral("Printer/PageSize"), -1).toInt();
    return setup;
}

void Settings::setPrinterSetup(const PrinterSetup& setup) {
    if (!isWritable()) {
        return;
    }
    setText(QStringLiteral("Printer/Name"), setup.name);
    m_store.setValue(QStringLiteral("Printer/Orientation"), setup.orientation);
    m_store.setValue(QStringLiteral("Printer/PageSize"), setup.pageSize);
}

QString Settings::language() const {
    return text(QStringLiteral("Language")).value_or(QString());
}

void Settings::setLanguage(const QString& code) {
    setText(QStringLiteral("Language"), code);
}

void applyPortMap(const Settings& settings) {
    for (int i = 0; i < kPortCount; ++i) {
        tervo::setPortPath(i, settings.portPath(i).toStdString());
    }
}

}  // namespace tervo::gui
