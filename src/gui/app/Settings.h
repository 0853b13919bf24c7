#pragma once

#include <QString>
#include <memory>

class QSettings;

namespace tervo::gui {

// Result codes of the settings store, numbered as the system's registry calls number them.
enum RegistryResult : long {
    kRegOk = 0,
    kRegNotFound = 2,
    kRegAccessDenied = 5,
    kRegInvalidHandle = 6,
    kRegInvalidData = 13,
    kRegMoreData = 234,
};

enum class RegistryRoot { CurrentUser };

// One open key of the per-user settings store. "SOFTWARE\ZMT\Quorvex5" is the QSettings store
// of organisation "ZMT", application "Quorvex5" (on Windows exactly that registry key; on Linux
// ~/.config/ZMT/Quorvex5.conf). Every user opens the key, reads or writes one value and closes
// it again.
class Settings {
public:
    // A value is read only if it fits 200 bytes with its terminating zero, counted in the
    // GBK code page in which the system keeps its texts.
    static constexpr int kReadLimit = 200;

    Settings();
    ~Settings();
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    // Opens the key with full access, creating it when it does not exist.
    long Open(RegistryRoot root, const QString& path);
    void Close();
    // On success `text` is replaced; otherwise it keeps what it held.
    long ReadString(const QString& name, QString& text);
    long WriteString(const QString& name, const QString& text);

    bool isOpen() const { return m_key != nullptr; }
    const QString& path() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QSettings> m_key;
};

constexpr const char* kSettingsKeyPath = "SOFTWARE\\ZMT\\Quorvex5";

// The vendor's company name line: the start title until the operator sets another.
QString vendorLine();
// The stored "StartTitle", or the vendor line when it is absent, unreadable or too long.
QString readStartTitle();
// Stores "StartTitle"; skipped without a message when the key cannot be opened.
void writeStartTitle(const QString& title);

// The device paths the operator gave COM1..COM6 ("PortMap/COM1".. in the same store). Loading
// hands them to the port map; the environment's TERVO_COMn still wins there.
QString storedPortPath(int portIndex);
void storePortPath(int portIndex, const QString& path);
void loadPortMapSettings();

}  // namespace tervo::gui
