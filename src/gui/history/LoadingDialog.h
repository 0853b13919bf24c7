#pragma once

#include <QDialog>
#include <QTimer>

#include "core/history/HistoryRules.h"

class QProgressBar;
class QPushButton;

namespace tervo::gui {

// "等待": widens the data range of a freshly read history in batches of 100 rows while the
// operator may cancel. Timer 1 runs at 10 ms; a tick takes as many batches as fit in about
// 15 ms and advances the progress bar (range 0 .. S / 100, at least 0 .. 1) by one per batch.
class LoadingDialog : public QDialog {
    Q_OBJECT
public:
    LoadingDialog(const Recording& history, QWidget* parent = nullptr);

    // Timer 1.
    void onTick();
    const HistoryLoader& loader() const { return m_loader; }
    QProgressBar* progressBar() const { return m_progress; }
    QPushButton* cancelButton() const { return m_cancel; }
    const QTimer& timer() const { return m_timer; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    HistoryLoader m_loader;
    QTimer m_timer;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_cancel = nullptr;
};

}  // namespace tervo::gui
