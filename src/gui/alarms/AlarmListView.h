#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace tervo::gui {

class AlarmCenter;

// "报警": the alarms of every open work, those waiting for the operator first, then the recent
// ones, each with its time, work, channel, kind, value and state. "确认" acknowledges the
// selected alarms, or all of them when none is selected; "声音提示" chooses a sound for each
// new alarm.
class AlarmListView : public QWidget {
    Q_OBJECT
public:
    explicit AlarmListView(AlarmCenter& alarms, QWidget* parent = nullptr);

    QTableWidget* table() const { return m_table; }
    void acknowledge();
    // Fills the table from the alarm center again.
    void refresh();

private:
    AlarmCenter& m_alarms;
    QTableWidget* m_table;
    QLabel* m_summary;
    QPushButton* m_acknowledge;
    QCheckBox* m_sound;
};

}  // namespace tervo::gui
