#pragma once

#include <QDialog>
#include <QTimer>
#include <optional>

#include "core/curves/CurveUpload.h"
#include "gui/app/ViewTemplate.h"

class QListWidget;
class QProgressBar;

namespace tervo::gui {

class LinkClient;
class LinkThreads;

// "下载进度提示": reads r, l and t of segments 1..N from one controller, one parameter per
// tick of a 200 ms grid on the port's link thread, with the progress and a line per completed
// segment.
// It ends itself: OK after the last read, cancelled after a failed one ("通信错误！！！") or
// when closed.
class CurveUploadDialog : public QDialog {
    Q_OBJECT
public:
    CurveUploadDialog(int count, const LinkSettings& link, LinkThreads& links,
                      QWidget* parent = nullptr);

    // The uploaded curve, after OK.
    const TrackingCurve& curve() const { return m_upload.curve(); }
    QProgressBar* progressBar() const { return m_progress; }
    QListWidget* list() const { return m_list; }

    void done(int result) override;

private:
    void onTimer();
    void finishTick(const LinkResult& result);

    CurveUpload m_upload;
    QProgressBar* m_progress;
    QListWidget* m_list;
    QTimer m_timer;
    LinkClient* m_reads;
    bool m_ended = false;
};

struct UploadedCurve {
    TrackingCurve curve;
    LinkSettings link;
};

// The whole upload as a new curve window makes it: the segment count (8 proposed), the link
// settings (COM1, 9600, address 0 proposed), then the upload. Nothing when any of them is
// cancelled or the upload fails.
std::optional<UploadedCurve> uploadCurve(QWidget* parent, LinkThreads& links);

}  // namespace tervo::gui
