#pragma once

#include <QDialog>
#include <QStringList>
#include <vector>

#include "core/alarms/AlarmListRules.h"

class QTableWidget;

namespace tervo::gui {

// "报警设置": per channel of the work, the high and low limits (empty is off), the deadband, the
// on-delay in seconds and "通信中断" after n failed readings in a row (0 is off). On OK the rows
// are read; a row that does not read is named in a message, its cell selected, and the dialog
// stays. The caller takes `settings()` back only on OK.
class AlarmSettingsDialog : public QDialog {
    Q_OBJECT
public:
    // One row per channel name, channel 1 first; channels without settings show no alarm.
    AlarmSettingsDialog(const QStringList& channelNames, const AlarmSettings& settings,
                        QWidget* parent = nullptr);

    // The channels with any alarm, after OK.
    const AlarmSettings& settings() const { return m_settings; }
    QTableWidget* table() const { return m_table; }
    void accept() override;

private:
    AlarmSettings m_settings;
    QTableWidget* m_table;
};

}  // namespace tervo::gui
