#pragma once

#include <QWidget>

#include "core/link/BusMonitor.h"

class QComboBox;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class QTimer;

namespace tervo::gui {

class LinkThreads;

// "通信监视": what the link threads carry, per port and controller address (exchanges, failures
// by reason, the last failure's time and reason, round trips), and below a log of the last
// frames, pausable and filtered by port and address, which "保存日志" writes to a text file.
// It only watches results as they come back, so it adds no exchange; the window redraws at
// most four times a second, whatever the traffic.
class BusMonitorView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 250;

    explicit BusMonitorView(LinkThreads& links, QWidget* parent = nullptr);

    const BusMonitor& monitor() const { return m_monitor; }
    // Takes one result as the link threads hand it back (tests call it directly too).
    void observe(const LinkResult& result);
    // Redraws now what the next refresh would.
    void refresh();

private:
    void rebuildLog();
    void filterChanged();
    void saveLog();
    void clearAll();
    BusFilter filter() const;

    BusMonitor m_monitor;
    QComboBox* m_port;
    QComboBox* m_address;
    QPushButton* m_pause;
    QTableWidget* m_table;
    QPlainTextEdit* m_log;
    QTimer* m_refresh;
    bool m_dirty = false;
    uint64_t m_logged = 0;  // frames observed up to the last one the log shows
};

}  // namespace tervo::gui
