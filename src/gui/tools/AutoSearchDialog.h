#pragma once

#include <QDialog>
#include <QTimer>
#include <vector>

#include "core/tools/AutoSearch.h"

class QListWidget;
class QProgressBar;
class QPushButton;

namespace tervo::gui {

class LinkClient;
class LinkThreads;
class PickCombo;

// "自动搜索选项": polls every combination of the port, rate and address left open on a 100 ms
// timer and lists the controllers that answered. The polls run on the link threads, so the
// dialog keeps painting and "强制停止" answers at once; "确定退出" hands the instruments found to
// the caller, "取消退出" and closing discard them.
class AutoSearchDialog : public QDialog {
    Q_OBJECT
public:
    explicit AutoSearchDialog(LinkThreads& links, QWidget* parent = nullptr);

    // Button "自动搜索".
    void startSearch();
    // Button "强制停止".
    void stopSearch();
    // The instruments found, in the order found.
    const std::vector<FoundInstrument>& found() const { return m_search.found(); }
    bool searching() const { return m_search.running(); }

    PickCombo* portCombo() const { return m_port; }
    PickCombo* baudCombo() const { return m_baud; }
    PickCombo* addressCombo() const { return m_address; }
    QProgressBar* portBar() const { return m_portBar; }
    QProgressBar* baudBar() const { return m_baudBar; }
    QProgressBar* addressBar() const { return m_addressBar; }
    QListWidget* resultList() const { return m_results; }
    const QTimer& timer() const { return m_timer; }

    void done(int result) override;

private:
    void onTimer();
    void finishTick(const LinkResult& result);
    void showBars();
    // A fresh client: a poll still under way for the one before is forgotten.
    void renewClient();

    LinkThreads& m_links;
    AutoSearch m_search;
    PickCombo* m_port;
    PickCombo* m_baud;
    PickCombo* m_address;
    QProgressBar* m_portBar;
    QProgressBar* m_baudBar;
    QProgressBar* m_addressBar;
    QListWidget* m_results;
    QPushButton* m_startButton;
    QPushButton* m_stopButton;
    QTimer m_timer;
    LinkClient* m_polls = nullptr;
};

}  // namespace tervo::gui
