#pragma once

#include <QImage>
#include <QMdiSubWindow>
#include <QPoint>
#include <QWidget>
#include <memory>

#include "core/trend/TrendRules.h"
#include "core/trend/TrendSummary.h"
#include "gui/app/ViewTemplate.h"
#include "gui/trend/TrendPicture.h"
#include "gui/trend/TrendSource.h"

class QAction;
class QMdiArea;
class QPrinter;

namespace tervo {
class Clock;
}

namespace tervo::gui {

class CsvExportTask;

// "趋势图": a work's or a history's rows on a local date-time axis, newest on the right, drawn
// from a min/max summary per pixel column so that millions of rows pan and zoom at once. The
// wheel zooms time around the pointer (with Ctrl: values), a drag pans, a box dragged with the
// right button (or Shift) zooms, a click places the cursor (with the right button the second
// one), a double-click or Home shows everything. Keys: Left/Right pan, +/- zoom time, Ctrl+Up
// and Ctrl+Down zoom values, Shift+Left/Right move the cursor a row (with Ctrl the second
// one), Esc removes the cursors, F follows the newest rows.
class TrendView : public QWidget {
    Q_OBJECT
public:
    // Takes `source`.
    TrendView(const ViewContext& context, TrendSource* source, QWidget* parent = nullptr);
    ~TrendView() override;

    // The clock of every trend view (tests use a fixed zone); nullptr: the system's.
    static void setClock(Clock* clock);

    TrendSource& source() const { return *m_source; }
    const TrendViewport& viewport() const { return m_viewport; }
    TrendViewport& viewport() { return m_viewport; }
    const TrendSummary& summary() const { return m_summary; }
    bool groupedAxes() const { return m_grouped; }
    QAction* action(const QString& objectName) const;
    QList<QAction*> commands() const { return m_commands; }

    TrendPictureInput pictureInput() const;
    // The picture at `size` (the window's own size when empty).
    QImage render(QSize size = QSize()) const;
    // The visible range as PNG, or SVG when the path ends in .svg; false when it could not be
    // written.
    bool saveImage(const QString& path) const;
    // The recording limited to the visible rows (and the events among them).
    Recording visibleRecording() const;
    // The visible rows to `path` (and its events file) through the history's CSV export, on a
    // thread of its own under a progress dialog; `done` is told how it ended.
    void startCsvExport(const QString& path);
    bool exporting() const { return m_export != nullptr; }
    void printOn(QPrinter& printer) const;

    // The commands.
    void showAll();
    void setFollowing(bool on);
    void setAutoRange(bool on);
    void setGroupedAxes(bool on);
    void askFixedRange();
    void clearCursors();
    void exportImage();
    void exportCsv();
    void print();

signals:
    void csvExportFinished(bool written);

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QAction* addCommand(const QString& name, const QString& text, const QString& shortcut = {});
    void onRowsAppended();
    void onRowsReplaced();
    void syncActions();
    double timeAt(int x) const;
    // The value at `y` on the first value axis drawn.
    double valueAt(int y) const;
    std::pair<double, double> shownValueRange() const;
    Clock& clock() const;

    ViewContext m_context;
    std::unique_ptr<TrendSource> m_source;
    TrendSummary m_summary;
    TrendViewport m_viewport;
    bool m_grouped = false;
    TrendDrawn m_drawn;
    QList<QAction*> m_commands;
    // The mouse: where a press began, whether it became a drag, and which.
    QPoint m_pressAt;
    Qt::MouseButton m_button = Qt::NoButton;
    bool m_dragging = false;
    bool m_boxing = false;
    double m_panFrom = 0.0;
    QRect m_box;
    Recording m_exportRows;
    std::unique_ptr<CsvExportTask> m_export;
};

// The child window around a trend: sized and maximised freely, its commands on a toolbar.
// Closes when its source's window goes.
class TrendWindow : public QMdiSubWindow {
    Q_OBJECT
public:
    // The trend of `sourceView` (a work or history window's view) in `area`: the one already
    // open is brought forward, else a new one opens. nullptr for any other view.
    static TrendWindow* open(QMdiArea* area, QWidget* sourceView, const ViewContext& context,
                             const QString& sourceTitle);
    // The trend open for `sourceView`, if any.
    static TrendWindow* find(QMdiArea* area, QObject* sourceView);

    TrendView* view() const { return m_view; }

private:
    TrendWindow(const ViewContext& context, TrendSource* source, const QString& title);
    TrendView* m_view;
};

}  // namespace tervo::gui
