#include "gui/alarms/AlarmSettingsDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include "gui/widgets/DialogButtons.h"
#include "gui/widgets/Prompts.h"
#include "gui/widgets/Translate.h"

namespace tervo::gui {

AlarmSettingsDialog::AlarmSettingsDialog(const QStringList& channelNames,
                                         const AlarmSettings& settings, QWidget* parent)
    : QDialog(parent), m_settings(settings) {
    setObjectName(QStringLiteral("alarmSettingsDialog"));
    setWindowTitle(tr("报警设置"));

    m_table = new QTableWidget(static_cast<int>(channelNames.size()), 6, this);
    m_table->setObjectName(QStringLiteral("alarmSettingsTable"));
    QStringList headers{tr("通道")};
    for (const char* column : kAlarmSettingColumns) {
        headers << coreText(column);
    }
    m_table->setHorizontalHeaderLabels(headers);
    m_table->verticalHeader()->hide();
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setColumnWidth(0, 110);
    for (int column = 1; column <= 5; ++column) {
        m_table->setColumnWidth(column, column == 5 ? 100 : 80);
    }
    for (int row = 0; row < channelNames.size(); ++row) {
        auto* name = new QTableWidgetItem(
            QStringLiteral("%1 %2").arg(row + 1).arg(channelNames[row].trimmed()));
        name->setFlags(Qt::ItemIsEnabled);
        m_table->setItem(row, 0, name);
        const AlarmSettingTexts texts = alarmSettingTexts(m_settings, row + 1);
        const std::string* cells[5] = {&texts.high, &texts.low, &texts.deadband, &texts.delay,
                                       &texts.commLoss};
        for (int column = 0; column < 5; ++column) {
            auto* item = new QTableWidgetItem(QString::fromStdString(*cells[column]));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_table->setItem(row, column + 1, item);
        }
    }
    m_table->setMinimumSize(560, 260);

    auto* hint =
        new QLabel(tr("高限、低限留空为不报警；越限持续到延时才报警，回到限内超过死区才恢复；"
                      "通信中断为连续读数失败的次数，0为不检测。"),
                   this);
    hint->setObjectName(QStringLiteral("alarmSettingsHint"));
    hint->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    layout->addWidget(hint);
    layout->addWidget(dialogButtons(this, tr("确定"), tr("取消")));
}

void AlarmSettingsDialog::accept() {
    std::vector<AlarmSettingTexts> rows;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        auto text = [this, row](int column) {
            const QTableWidgetItem* item = m_table->item(row, column);
            return item != nullptr ? item->text().toStdString() : std::string();
        };
        rows.push_back({text(1), text(2), text(3), text(4), text(5)});
    }
    const AlarmSettingsReading reading = readAlarmSettings(rows);
    if (!reading.error.empty()) {
        m_table->setCurrentCell(reading.errorRow, reading.errorColumn + 1);
        messageBox(this, QString::fromStdString(reading.error));
        return;
    }
    m_settings = reading.settings;
    QDialog::accept();
}

}  // namespace tervo::gui
