#pragma once

#include <QDialog>
#include <QStringList>
#include <array>

class QLabel;

namespace tervo::gui {

class PickCombo;

// The serial port devices present on this machine: /dev/ttyUSB*, /dev/ttyACM*, /dev/ttyS* and
// the links in /dev/serial/by-id, in natural order. `devRoot` replaces "/dev" in tests.
QStringList presentSerialDevices(const QString& devRoot = QStringLiteral("/dev"));

// "串口映射": which device each of COM1..COM6 stands for on Linux. An empty field means the
// default /dev/ttyUSB0../dev/ttyUSB5; a TERVO_COMn variable in the environment still wins and
// is shown beside its port. The choice is kept in the settings store.
class PortMapDialog : public QDialog {
    Q_OBJECT
public:
    explicit PortMapDialog(QWidget* parent = nullptr,
                           const QStringList& devices = presentSerialDevices());

    PickCombo* pathField(int portIndex) const { return m_fields[portIndex]; }
    QLabel* effectiveLabel(int portIndex) const { return m_effective[portIndex]; }

    void accept() override;

private:
    std::array<PickCombo*, 6> m_fields{};
    std::array<QLabel*, 6> m_effective{};
};

}  // namespace tervo::gui
