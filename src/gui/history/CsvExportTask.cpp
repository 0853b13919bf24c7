#include "gui/history/CsvExportTask.h"

#include <QPointer>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <climits>

#include "gui/widgets/Fonts.h"
#include "gui/widgets/Translate.h"

namespace tervo::gui {

namespace {

constexpr int kShowAfterMs = 500;

int barValue(size_t rows) {
    return static_cast<int>(std::min<size_t>(rows, INT_MAX));
}

}  // namespace

CsvExportTask::CsvExportTask(const QString& csvPath, const Recording& history, QWidget* parent,
                             std::function<void(const CsvExportOutcome&)> done)
    : m_rows(history.rowCount()), m_dialog(std::make_unique<QProgressDialog>(parent)) {
    m_dialog->setObjectName(QStringLiteral("csvExportDialog"));
    m_dialog->setWindowTitle(trc("CsvExportTask", "导出CSV"));
    m_dialog->setFont(songFont(12, 6));
    m_dialog->setMinimumWidth(320);
    m_dialog->setWindowModality(Qt::ApplicationModal);
    m_dialog->setLabelText(trc("CsvExportTask", "正在导出CSV……"));
    auto* cancel = new QPushButton(trc("CsvExportTask", "取消"));
    cancel->setObjectName(QStringLiteral("cancelButton"));
    m_dialog->setCancelButton(cancel);
    // The bar is moved directly: QProgressDialog::setValue runs the event loop of a modal
    // dialog, which could end the task from inside its own progress call.
    m_bar = new QProgressBar;
    m_bar->setObjectName(QStringLiteral("progressBar"));
    m_dialog->setBar(m_bar);
    m_dialog->setAutoReset(false);
    m_dialog->setAutoClose(false);
    m_dialog->setRange(0, barValue(m_rows));
    m_dialog->setMinimumDuration(kShowAfterMs);
    m_dialog->setValue(0);  // starts the count to showing
    QObject::connect(m_dialog.get(), &QProgressDialog::canceled, m_dialog.get(),
                     [this] { decide(Verdict::Stop); });

    // The outcome goes to the parent, not to the dialog, so `done` may destroy the task; it is
    // dropped when the task has gone meanwhile.
    const QPointer<QProgressDialog> live(m_dialog.get());
    const std::string path = csvPath.toStdString();
    m_thread = std::thread([this, path, &history, parent, live, done = std::move(done)] {
        const CsvExportOutcome outcome =
            exportHistoryCsv(path, history, [this](size_t rows) { return rowsWritten(rows); });
        QMetaObject::invokeMethod(
            parent,
            [live, done, outcome] {
                if (live != nullptr) {
                    done(outcome);
                }
            },
            Qt::QueuedConnection);
    });
}

CsvExportTask::~CsvExportTask() {
    decide(Verdict::Stop);
    m_thread.join();
}

bool CsvExportTask::rowsWritten(size_t rows) {
    QMetaObject::invokeMethod(
        m_dialog.get(), [this, rows] { showProgress(rows); }, Qt::QueuedConnection);
    std::unique_lock lock(m_mutex);
    if (rows == m_rows) {
        m_decided.wait(lock, [this] { return m_verdict != Verdict::Pending; });
        return m_verdict == Verdict::Go;
    }
    return m_verdict != Verdict::Stop;
}

void CsvExportTask::showProgress(size_t rows) {
    m_bar->setValue(barValue(rows));
    if (rows == m_rows) {
        decide(Verdict::Go);
    }
}

void CsvExportTask::decide(Verdict verdict) {
    {
        std::lock_guard lock(m_mutex);
        if (m_verdict != Verdict::Stop) {
            m_verdict = verdict;
        }
    }
    m_decided.notify_all();
}

}  // namespace tervo::gui
