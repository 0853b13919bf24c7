#include "gui/demo/DemoMode.h"

#include "core/link/ParameterTable.h"
#include "emu/PtyBus.h"
#include "gui/widgets/Translate.h"

namespace tervo::gui {

namespace {

struct DemoBus {
    const char* variable;
    const char* link;
    std::vector<int> addresses;
    uint32_t baud;
};

const DemoBus kBuses[] = {
    {"TERVO_COM1", "com1", {0, 1, 2, 3}, 9600},
    {"TERVO_COM2", "com2", {5}, 19200},
};

}  // namespace

DemoMode::DemoMode() = default;

DemoMode::~DemoMode() {
    stop();
}

QString DemoMode::statusNote() {
    return trc("DemoMode", "演示模式：COM1、COM2 为模拟仪表");
}

bool DemoMode::start(QString* error) {
    if (!m_dir.isValid()) {
        if (error != nullptr) {
            *error = QStringLiteral("cannot create a temporary directory: ") + m_dir.errorString();
        }
        return false;
    }
    for (size_t i = 0; i < std::size(kBuses); ++i) {
        const DemoBus& layout = kBuses[i];
        emu::BusOptions options;
        options.linkPath = m_dir.filePath(QString::fromLatin1(layout.link)).toStdString();
        options.addresses = layout.addresses;
        options.baud = layout.baud;
        options.speed = kSpeed;
        auto bus = std::make_unique<emu::PtyBus>(options);
        std::string reason;
        if (!bus->start(&reason)) {
            if (error != nullptr) {
                *error = QString::fromStdString(reason);
            }
            stop();
            return false;
        }
        // Different set values so that the controllers are told apart at a glance.
        for (int address : layout.addresses) {
            bus->setValue(address, kSL, 40.0 + 20.0 * (address % 4));
        }
        m_hadEnvironment[i] = qEnvironmentVariableIsSet(layout.variable);
        m_savedEnvironment[i] = qgetenv(layout.variable);
        qputenv(layout.variable, QByteArray::fromStdString(options.linkPath));
        m_buses.push_back(std::move(bus));
    }
    return true;
}

void DemoMode::stop() {
    for (size_t i = 0; i < m_buses.size(); ++i) {
        m_buses[i]->stop();
        if (m_hadEnvironment[i]) {
            qputenv(kBuses[i].variable, m_savedEnvironment[i]);
        } else {
            qunsetenv(kBuses[i].variable);
        }
    }
    m_buses.clear();
}

QString DemoMode::linkPath(int portIndex) const {
    if (portIndex < 0 || static_cast<size_t>(portIndex) >= m_buses.size()) {
        return {};
    }
    return QString::fromStdString(m_buses[static_cast<size_t>(portIndex)]->options().linkPath);
}

emu::PtyBus* DemoMode::bus(int portIndex) const {
    if (portIndex < 0 || static_cast<size_t>(portIndex) >= m_buses.size()) {
        return nullptr;
    }
    return m_buses[static_cast<size_t>(portIndex)].get();
}

}  // namespace tervo::gui
