#include "gui/app/PortMapDialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>

#include "core/link/PortMap.h"
#include "gui/app/Settings.h"
#include "gui/widgets/DialogButtons.h"
#include "gui/widgets/PickCombo.h"
#include "gui/widgets/Prompts.h"
#include "gui/widgets/Translate.h"

namespace tervo::gui {

namespace {

QString environmentPath(int portIndex) {
    return qEnvironmentVariable(qPrintable(QStringLiteral("TERVO_COM%1").arg(portIndex + 1)));
}

// The longest path the settings store reads back.
constexpr int kMaxPathBytes = Settings::kReadLimit - 1;

// "ttyUSB2" before "ttyUSB10": names compare by their text, then by their trailing number.
bool naturallyBefore(const QString& a, const QString& b) {
    auto split = [](const QString& name) {
        qsizetype digits = name.size();
        while (digits > 0 && name[digits - 1].isDigit()) {
            --digits;
        }
        return std::pair<QString, qulonglong>(name.left(digits), name.mid(digits).toULongLong());
    };
    const auto [textA, numberA] = split(a);
    const auto [textB, numberB] = split(b);
    if (textA != textB) {
        return textA < textB;
    }
    return numberA != numberB ? numberA < numberB : a < b;
}

}  // namespace

QStringList presentSerialDevices(const QString& devRoot) {
    auto sorted = [](QStringList names) {
        std::sort(names.begin(), names.end(), naturallyBefore);
        return names;
    };
    QStringList devices;
    const QDir dev(devRoot);
    for (const char* pattern : {"ttyUSB*", "ttyACM*", "ttyS*"}) {
        for (const QString& name :
             sorted(dev.entryList({QString::fromLatin1(pattern)}, QDir::System | QDir::Files))) {
            devices << dev.filePath(name);
        }
    }
    const QDir byId(dev.filePath(QStringLiteral("serial/by-id")));
    for (const QString& name : sorted(byId.entryList(QDir::System | QDir::Files))) {
        devices << byId.filePath(name);
    }
    return devices;
}

PortMapDialog::PortMapDialog(QWidget* parent, const QStringList& devices) : QDialog(parent) {
    setObjectName(QStringLiteral("portMapDialog"));
    setWindowTitle(trc("PortMapDialog", "串口映射"));
    const Settings stored;
    auto* grid = new QGridLayout;
    grid->setColumnMinimumWidth(1, 320);
    for (int i = 0; i < kPortCount; ++i) {
        grid->addWidget(
            new QLabel(QString::fromStdString(portName(i)) + trc("PortMapDialog", "："), this), i,
            0);
        auto* field = new PickCombo(this);
        field->setObjectName(QStringLiteral("com%1").arg(i + 1));
        field->setEntries(QStringList{QString()} + devices);
        field->setText(stored.portPath(i));
        grid->addWidget(field, i, 1);
        m_fields[i] = field;
        const QString fromEnvironment = environmentPath(i);
        auto* effective = new QLabel(this);
        effective->setText(fromEnvironment.isEmpty()
                               ? trc("PortMapDialog", "默认 ") +
                                     QString::fromStdString(defaultPortPath(i))
                               : trc("PortMapDialog", "环境变量 TERVO_COM%1 优先：%2")
                                     .arg(i + 1)
                                     .arg(fromEnvironment));
        grid->addWidget(effective, i, 2);
        m_effective[i] = effective;
    }
    auto* note = new QLabel(
        trc("PortMapDialog", "为 COM1～COM6 选择或输入串口设备；留空使用默认设备。"), this);
    auto* buttons = dialogButtons(this, trc("PortMapDialog", "确定"), trc("PortMapDialog", "取消"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note);
    layout->addLayout(grid);
    layout->addWidget(buttons);
}

void PortMapDialog::accept() {
    // A path names a device from the root, and must fit what the settings store reads back.
    for (PickCombo* field : m_fields) {
        const QString path = field->text().trimmed();
        if (!path.isEmpty() &&
            (!path.startsWith(QLatin1Char('/')) || gbkLength(path) > kMaxPathBytes)) {
            messageBox(this, trc("PortMapDialog", "输入错误！！！"));
            field->setFocus();
            return;
        }
    }
    Settings settings;
    for (int i = 0; i < kPortCount; ++i) {
        settings.setPortPath(i, m_fields[i]->text().trimmed());
    }
    applyPortMap(settings);
    QDialog::accept();
}

}  // namespace tervo::gui
