#include "app/Settings.h"

#include <QSettings>
#include <QStringList>

#include "link/PortMap.h"
#include "widgets/PickCombo.h"

namespace tervo::gui {

namespace {

// "SOFTWARE\Organisation\Application[\Group...]" as QSettings names a store.
struct StoreName {
    QString organisation;
    QString application;
    QString group;
};

bool storeNameOf(const QString& path, StoreName& name) {
    QStringList parts = path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    if (!parts.isEmpty() &&
        parts.front().compare(QLatin1String("SOFTWARE"), Qt::CaseInsensitive) == 0) {
        parts.removeFirst();
    }
    if (parts.size() < 2) {
        return false;
    }
    name.organisation = parts.takeFirst();
    name.application = parts.takeFirst();
    name.group = parts.join(QLatin1Char('/'));
    return true;
}

const QString kStartTitle = QStringLiteral("StartTitle");

}  // namespace

Settings::Settings() = default;

Settings::~Settings() {
    Close();
}

long Settings::Open(RegistryRoot, const QString& path) {
    Close();
    m_path = path;
    StoreName name;
    if (!storeNameOf(path, name)) {
        return kRegNotFound;
    }
    auto key = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                           name.organisation, name.application);
    if (!key->isWritable() || key->status() != QSettings::NoError) {
        return kRegAccessDenied;
    }
    if (!name.group.isEmpty()) {
        key->beginGroup(name.group);
    }
    m_key = std::move(key);
    return kRegOk;
}

void Settings::Close() {
    if (m_key) {
        m_key->sync();
        m_key.reset();
    }
}

long Settings::ReadString(const QString& name, QString& text) {
    if (!m_key) {
        return kRegInvalidHandle;
    }
    const QVariant value = m_key->value(name);
    if (!value.isValid()) {
        return kRegNotFound;
    }
    if (value.typeId() != QMetaType::QString) {
        return kRegInvalidData;
    }
    const QString stored = value.toString();
    if (gbkLength(stored) + 1 > kReadLimit) {
        return kRegMoreData;
    }
    text = stored;
    return kRegOk;
}

long Settings::WriteString(const QString& name, const QString& text) {
    if (!m_key) {
        return kRegInvalidHandle;
    }
    m_key->setValue(name, text);
    m_key->sync();
    return m_key->status() == QSettings::NoError ? kRegOk : kRegAccessDenied;
}

QString vendorLine() {
    return QStringLiteral("ZMT 智能温控仪表有限公司");
}

QString readStartTitle() {
    QString title = vendorLine();
    Settings key;
    if (key.Open(RegistryRoot::CurrentUser, QString::fromLatin1(kSettingsKeyPath)) == kRegOk) {
        key.ReadString(kStartTitle, title);
    }
    return title;
}

void writeStartTitle(const QString& title) {
    Settings key;
    if (key.Open(RegistryRoot::CurrentUser, QString::fromLatin1(kSettingsKeyPath)) == kRegOk) {
        key.WriteString(kStartTitle, title);
    }
}

QString storedPortPath(int portIndex) {
    Settings key;
    QString path;
    if (key.Open(RegistryRoot::CurrentUser,
                 QString::fromLatin1(kSettingsKeyPath) + QStringLiteral("\\PortMap")) == kRegOk) {
        key.ReadString(QString::fromStdString(portName(portIndex)), path);
    }
    return path;
}

void storePortPath(int portIndex, const QString& path) {
    Settings key;
    if (key.Open(RegistryRoot::CurrentUser,
                 QString::fromLatin1(kSettingsKeyPath) + QStringLiteral("\\PortMap")) == kRegOk) {
        key.WriteString(QString::fromStdString(portName(portIndex)), path);
    }
    setPortPath(portIndex, path.toStdString());
}

void loadPortMapSettings() {
    for (int i = 0; i < kPortCount; ++i) {
        setPortPath(i, storedPortPath(i).toStdString());
    }
}

}  // namespace tervo::gui
