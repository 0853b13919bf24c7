#pragma once

#include <QDialog>

namespace tervo::gui {

class PickCombo;

// "通信设置": port, baud rate and station address of one controller. The caller proposes the
// three values and reads them back after OK; OK refuses a missing port or rate and an address
// outside 0..99 with "输入错误！！！".
class LinkSettingsDialog : public QDialog {
    Q_OBJECT
public:
    LinkSettingsDialog(int portIndex, int baudIndex, int address, QWidget* parent = nullptr);

    int portIndex() const { return m_portIndex; }
    int baudIndex() const { return m_baudIndex; }
    int address() const { return m_address; }

    PickCombo* portCombo() const { return m_port; }
    PickCombo* baudCombo() const { return m_baud; }
    PickCombo* addressCombo() const { return m_addressCombo; }

    void accept() override;

private:
    int m_portIndex;
    int m_baudIndex;
    int m_address;
    PickCombo* m_port;
    PickCombo* m_baud;
    PickCombo* m_addressCombo;
};

// A station address as the address fields show it: tens, then units (5 shows as 05).
QString twoDigitAddress(int address);

}  // namespace tervo::gui
