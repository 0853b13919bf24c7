#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace tervo::gui {

// The per-user settings: QSettings of organisation "ZMT", application "Quorvex5" (on Windows
// HKEY_CURRENT_USER\SOFTWARE\ZMT\Quorvex5, on Linux ~/.config/ZMT/Quorvex5.conf). It keeps the
// start title and the device path of each of COM1..COM6. A store that cannot be written keeps
// every value at its default and skips writes without a message.
// "网络发布": whether and where a live work publishes.
struct PublishChoice {
    bool mqttOn = false;
    QString mqttUrl;  // mqtt://[user@]host[:port] or mqtts://..., never with a password
    bool metricsOn = false;
    QString metricsAddress = QStringLiteral("127.0.0.1:9570");
    // Never kept in the settings file: found in a URL an older settings file held (the file
    // is cleaned of it on load and the password moved to the secret store).
    QString mqttPassword;
};

// The URL without the password of its user part; the password (percent-decoded) goes to
// `password` when given. A URL that does not parse is returned as it is.
QString urlWithoutPassword(const QString& url, QString* password = nullptr);

// The broker password lives in the desktop's secret store (Secret Service or KWallet, through
// QtKeychain), never in the settings file. Both calls return at once; `done` runs later on
// `context`'s thread (not at all once `context` is gone). A store that does not answer within
// five seconds counts as none.
struct SecretOutcome {
    bool storeAvailable = false;
    QString password;  // what the store holds (read), empty when nothing
    QString failure;   // why there is no store, when there is none
};
void readMqttPassword(QObject* context, std::function<void(const SecretOutcome&)> done);
// An empty password removes the stored one.
void storeMqttPassword(const QString& password, QObject* context,
                       std::function<void(const SecretOutcome&)> done);
// This run's password: read from the store or typed in "网络发布"; nullopt until known.
std::optional<QString> sessionMqttPassword();
void setSessionMqttPassword(const std::optional<QString>& password);

class Settings {
public:
    // A text is read only if it fits 200 bytes with its terminating zero, counted in the GBK
    // code page in which the system keeps its texts; a longer one reads as absent.
    static constexpr int kReadLimit = 200;
    static constexpr int kRecentFileCount = 4;

    Settings();

    // The vendor's company name line: the start title until the operator sets another.
    static QString vendorLine();

    // "StartTitle"; nullopt when absent, not a text, or too long to read.
    std::optional<QString> storedStartTitle() const;
    // The stored start title, or the vendor line.
    QString startTitle() const;
    void setStartTitle(const QString& title);

    // The device path the operator gave COM1..COM6 ("PortMap/COM1"..), empty when none.
    QString portPath(int portIndex) const;
    void setPortPath(int portIndex, const QString& path);

    // "Publish/MqttOn", "Publish/Mqtt", "Publish/MetricsOn", "Publish/Metrics". A stored URL
    // that still holds a password is written back without it, the password handed to the
    // secret store and to this run.
    PublishChoice publishChoice() const;
    void setPublishChoice(const PublishChoice& choice);
    // The recent record files, newest first, at most four ("Recent File List/File1"..).
    QStringList recentFiles() const;
    void setRecentFiles(const QStringList& files);
    // The printer set-up kept between runs: printer name, orientation (0 portrait, 1
    // landscape) and page size id ("Printer/Name", "Printer/Orientation", "Printer/PageSize").
    struct PrinterSetup {
        QString name;
        int orientation = 0;
        int pageSize = -1;  // none stored
    };
    PrinterSetup printerSetup() const;
    void setPrinterSetup(const PrinterSetup& setup);
    // The interface language of the next start ("Language": "zh" or "en"); empty when none.
    QString language() const;
    void setLanguage(const QString& code);

    // "Alarms/Sound": a sound for each new alarm; off until chosen in "报警".
    bool alarmSound() const;
    void setAlarmSound(bool on);

    bool isWritable() const;

private:
    std::optional<QString> text(const QString& key) const;
    void setText(const QString& key, const QString& text);

    mutable QSettings m_store;
};

// Hands the stored device paths to the port map, where a TERVO_COMn variable still wins.
void applyPortMap(const Settings& settings);

}  // namespace tervo::gui
