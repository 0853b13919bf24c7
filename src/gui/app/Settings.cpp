#include "app/Settings.h"

#include "link/PortMap.h"
#include "widgets/PickCombo.h"

namespace tervo::gui {

namespace {

const QString kStartTitle = QStringLiteral("StartTitle");

QString portKey(int portIndex) {
    return QStringLiteral("PortMap/") + QString::fromStdString(portName(portIndex));
}

}  // namespace

Settings::Settings() : m_store(QStringLiteral("ZMT"), QStringLiteral("Quorvex5")) {}

QString Settings::vendorLine() {
    return QStringLiteral("ZMT 智能温控仪表有限公司");
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
    choice.metricsOn = m_store.value(QStringLiteral("Publish/MetricsOn"), false).toBool();
    choice.metricsAddress = text(QStringLiteral("Publish/Metrics")).value_or(choice.metricsAddress);
    return choice;
}

void Settings::setPublishChoice(const PublishChoice& choice) {
    if (!isWritable()) {
        return;
    }
    m_store.setValue(QStringLiteral("Publish/MqttOn"), choice.mqttOn);
    m_store.setValue(QStringLiteral("Publish/Mqtt"), choice.mqttUrl);
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

void applyPortMap(const Settings& settings) {
    for (int i = 0; i < kPortCount; ++i) {
        tervo::setPortPath(i, settings.portPath(i).toStdString());
    }
}

}  // namespace tervo::gui
