#include "gui/curves/CurveUploadDialog.h"

#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QVBoxLayout>

#include "core/tools/ParameterRules.h"
#include "gui/app/LinkThreads.h"
#include "gui/curves/CurveDialogs.h"
#include "gui/tools/LinkSettingsDialog.h"
#include "gui/widgets/Fonts.h"
#include "gui/widgets/Prompts.h"
#include "gui/widgets/Translate.h"

namespace tervo::gui {

CurveUploadDialog::CurveUploadDialog(int count, const LinkSettings& link, LinkThreads& links,
                                     QWidget* parent)
    : QDialog(parent), m_upload(count, link.port, link.baud, link.address) {
    setObjectName(QStringLiteral("curveUploadDialog"));
    setWindowTitle(trc("CurveUploadDialog", "下载进度提示"));
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("progressBar"));
    m_progress->setRange(0, m_upload.progressMaximum());
    m_progress->setValue(0);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("segmentList"));
    m_list->setFont(songFont(14, 7));
    m_list->setMinimumSize(560, 150);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(trc("CurveUploadDialog", "正在下载数据"), this));
    layout->addWidget(m_progress);
    layout->addWidget(new QLabel(trc("CurveUploadDialog", "已下载跟踪曲线数据"), this));
    layout->addWidget(m_list);

    m_reads = new LinkClient(links, this);
    connect(m_reads, &LinkClient::finished, this, &CurveUploadDialog::finishTick);
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CurveUploadDialog::onTimer);
    m_timer.start(m_upload.start());
}

void CurveUploadDialog::onTimer() {
    const UploadTick tick = m_upload.tick();
    m_timer.start(tick.nextMs);
    if (tick.step) {
        m_progress->setValue(tick.step->progress);
        m_reads->post(tick.step->read);
    }
}

void CurveUploadDialog::finishTick(const LinkResult& result) {
    if (m_ended) {
        return;
    }
    const UploadOutcome outcome = m_upload.finishTick(result);
    if (outcome.failed) {
        messageBox(this, QString::fromUtf8(kLinkErrorText));
        done(QDialog::Rejected);
        return;
    }
    if (!outcome.listLine.empty()) {
        m_list->addItem(QString::fromStdString(outcome.listLine));
    }
    if (outcome.done) {
        done(QDialog::Accepted);
    }
}

void CurveUploadDialog::done(int result) {
    m_ended = true;
    m_timer.stop();
    QDialog::done(result);
}

std::optional<UploadedCurve> uploadCurve(QWidget* parent, LinkThreads& links) {
    SegmentCountDialog count(8, parent);
    if (prompts().runDialog(count) != QDialog::Accepted) {
        return std::nullopt;
    }
    LinkSettingsDialog settings(0, kDefaultBaudIndex, 0, parent);
    if (prompts().runDialog(settings) != QDialog::Accepted) {
        return std::nullopt;
    }
    const LinkSettings link{static_cast<uint8_t>(settings.portIndex()),
                            static_cast<uint8_t>(settings.baudIndex()),
                            static_cast<uint8_t>(settings.address())};
    CurveUploadDialog upload(count.count(), link, links, parent);
    if (prompts().runDialog(upload) != QDialog::Accepted) {
        return std::nullopt;
    }
    return UploadedCurve{upload.curve(), link};
}

}  // namespace tervo::gui
