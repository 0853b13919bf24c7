#pragma once

#include <QAbstractListModel>
#include <QWidget>
#include <array>
#include <memory>

#include "core/history/HistoryCsv.h"
#include "core/history/HistoryRules.h"
#include "core/history/HistoryViewRules.h"
#include "gui/app/ViewTemplate.h"
#include "gui/history/HistoryPicture.h"

class QAction;
class QLabel;
class QListView;
class QPrinter;
class QSlider;

namespace tervo::gui {

class BarStrip;
class CsvExportTask;

// The rows of a list, formatted when shown: row 0 the header, row k + 1 item k. Nothing is
// kept but the history it reads, so a million rows cost no strings.
class HistoryListModel : public QAbstractListModel {
    Q_OBJECT
public:
    HistoryListModel(const Recording& history, bool events, QObject* parent = nullptr)
        : QAbstractListModel(parent), m_history(history), m_events(events) {}
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    void reload() {
        beginResetModel();
        endResetModel();
    }

private:
    const Recording& m_history;
    bool m_events;
};

// "数据分析": one record file held in memory, shown as the curve, the period chart, the
// period curve, the table, the event table or the channel information, edited (row deletion)
// and written back.
class HistoryView : public QWidget, public ViewCommands {
    Q_OBJECT
public:
    // Reads the file the context names and runs the wait dialog; a bad file says
    // "文件错误！！！" and returns nullptr, as does a cancelled wait, so no window opens.
    static HistoryView* create(const ViewContext& context);
    static void setClock(Clock* clock);
    // A picture whose curves need more rows read than this (all channels together) has them
    // drawn on a thread of its own while the window shows the picture it kept.
    static void setLayerWorkLimit(size_t rows);

    HistoryView(const ViewContext& context, Recording history, DataRange range,
                const QString& path);
    ~HistoryView() override;

    // The toolbar's commands.
    void setMode(HistoryMode mode);
    void zoomIn();
    void zoomOut();
    void toggleFullScreen();
    void deleteSelectedRows();
    void saveAs();
    // Starts writing the rows and occurrences to the CSV files chosen, on a thread of its own
    // under a modal progress dialog. Until it ends, the commands that would change the history
    // or write it do nothing.
    void exportCsv();

    bool isCommandEnabled(ViewCommand command) const override;
    void onViewCommand(ViewCommand command) override;
    // The report of the current mode on `printer`, all pages of its range.
    void printReport(QPrinter& printer);

    const Recording& history() const { return m_history; }
    const DataRange& dataRange() const { return m_range; }
    const HistoryViewRules& rules() const { return m_rules; }
    const QString& filePath() const { return m_path; }
    QAction* action(const QString& objectName) const;
    QSlider* slider() const { return m_slider; }
    QLabel* rulerLabel() const { return m_rulerLabel; }
    QListView* tableList() const { return m_tableList; }
    QListView* eventList() const { return m_eventList; }
    bool channelVisible(size_t channel) const { return m_visible[channel]; }
    HistoryPictureInput pictureInput() const;
    // True while curves of the picture wanted are drawn on their thread.
    bool drawingCurves() const { return m_layerTask != nullptr; }
    // The window as painted now.
    QImage grabView();

signals:
    // Rows were deleted from the history in memory.
    void rowsDeleted();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildToolbar();
    void buildControls();
    QAction* addCommand(const QString& name, const QString& text, void (HistoryView::*slot)());
    void showModeControls();
    void updateCommandStates();
    void refreshRuler();
    void placeList();
    void writeBack();
    void openDisplaySettings();
    void editColour(int channel);
    void finishExport(const CsvExportOutcome& outcome);
    void refreshPicture(const HistoryPictureInput& input);
    void stopDrawingLayers();

    ViewContext m_context;
    Recording m_history;
    DataRange m_range;
    QString m_path;
    HistoryViewRules m_rules;
    DisplayOptions m_options;
    std::array<bool, kMaxChannels> m_visible{};
    bool m_printing = false;
    BarStrip* m_bar = nullptr;
    std::array<QAction*, 6> m_modeActions{};
    QSlider* m_slider = nullptr;
    QLabel* m_rulerLabel = nullptr;
    QListView* m_tableList = nullptr;
    QListView* m_eventList = nullptr;
    HistoryListModel* m_tableModel = nullptr;
    HistoryListModel* m_eventModel = nullptr;
    // The last picture painted and what it was drawn from: a repaint that would draw the same
    // (a slider move in a period picture, a window uncovered) copies it. Any change to the
    // history's rows or settings makes it stale; it is still shown while the curves of the
    // new one are drawn on their thread.
    QImage m_picture;
    HistoryPictureInput m_pictureFrom;
    bool m_pictureStale = true;
    // Each channel's curve as last drawn: a change of visibility or colour draws none again.
    PictureLayers m_layers;
    // The CSV export under way, which reads m_history meanwhile.
    std::unique_ptr<CsvExportTask> m_export;
    // The curves being drawn on their thread, which reads m_history's rows meanwhile.
    std::unique_ptr<LayerTask> m_layerTask;
    uint64_t m_layerTaskNumber = 0;
};

}  // namespace tervo::gui
