#include "gui/history/LoadingDialog.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "gui/widgets/Fonts.h"
#include "gui/widgets/Translate.h"

namespace tervo::gui {

namespace {

constexpr int kTickMs = 10;
constexpr int kTickBudgetMs = 15;

}  // namespace

LoadingDialog::LoadingDialog(const Recording& history, QWidget* parent)
    : QDialog(parent), m_loader(history) {
    setObjectName(QStringLiteral("loadingDialog"));
    setWindowTitle(trc("LoadingDialog", "等待"));
    setFont(songFont(12, 6));
    auto* layout = new QVBoxLayout(this);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("progressBar"));
    // A history of fewer than 100 rows is one batch: an empty bar, then a full one, never
    // the busy look a range of 0 .. 0 gives.
    m_progress->setRange(0, std::max(1, m_loader.progressMaximum()));
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_progress->setMinimumWidth(240);
    layout->addWidget(m_progress);
    m_cancel = new QPushButton(trc("LoadingDialog", "取  消"), this);
    m_cancel->setObjectName(QStringLiteral("cancelButton"));
    layout->addWidget(m_cancel, 0, Qt::AlignCenter);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    m_timer.setSingleShot(true);
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &LoadingDialog::onTick);
}

void LoadingDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_timer.start();
}

void LoadingDialog::onTick() {
    m_timer.stop();
    QElapsedTimer spent;
    spent.start();
    bool done = false;
    do {
        done = m_loader.addBatch();
    } while (!done && spent.elapsed() < kTickBudgetMs);
    m_progress->setValue(std::min(m_loader.progress(), m_progress->maximum()));
    if (done) {
        accept();
    } else {
        m_timer.start();
    }
}

}  // namespace tervo::gui
