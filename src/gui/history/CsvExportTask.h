#pragma once

#include <QString>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "core/history/HistoryCsv.h"

class QProgressBar;
class QProgressDialog;
class QWidget;

namespace tervo::gui {

// "导出CSV" under way: the history is written to its two files on a thread of its own while
// the window goes on. A modal progress dialog over `parent` ("导出CSV", "正在导出CSV……", "取消")
// follows the rows written; it shows only once the export has run for half a second, so a
// short one shows nothing. `done` gets the outcome on the GUI thread.
//
// The files are put in place only after the GUI thread has seen the last row written, so a
// cancel it handled before then always leaves no file. Destroying the task cancels the export
// and waits for its thread (without calling `done`): the history is not read once it is gone.
class CsvExportTask {
public:
    CsvExportTask(const QString& csvPath, const Recording& history, QWidget* parent,
                  std::function<void(const CsvExportOutcome&)> done);
    ~CsvExportTask();
    CsvExportTask(const CsvExportTask&) = delete;
    CsvExportTask& operator=(const CsvExportTask&) = delete;

private:
    enum class Verdict { Pending, Go, Stop };

    // On the export's thread: passes the count to the GUI thread and says whether to go on;
    // with the last row it waits for the GUI thread's word.
    bool rowsWritten(size_t rows);
    // On the GUI thread.
    void showProgress(size_t rows);
    void decide(Verdict verdict);

    const size_t m_rows;
    std::unique_ptr<QProgressDialog> m_dialog;
    QProgressBar* m_bar = nullptr;
    std::mutex m_mutex;
    std::condition_variable m_decided;
    Verdict m_verdict = Verdict::Pending;
    std::thread m_thread;  // last: started once everything it uses is in place
};

}  // namespace tervo::gui
