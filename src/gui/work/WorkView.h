#pragma once

#include <QFont>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <optional>

#include "core/alarms/AlarmEvaluator.h"
#include "core/alarms/AlarmSettings.h"
#include "core/work/LiveViewRules.h"
#include "core/work/SamplingEngine.h"
#include "gui/app/ViewTemplate.h"
#include "gui/work/WorkChart.h"

class QAction;
class QActionGroup;
class QLabel;
class QPrinter;
class QSlider;

namespace tervo::net {
class RecordServices;
}

namespace tervo::gui {

class BarStrip;
class LinkClient;

// "采集工作": one work's definition and sampling engine, its rows shown live in five display
// modes, its toolbar driving the engine, the settings dialogs and the template. Every
// exchange goes through the port's link thread; timer 1 is armed again only when a tick's
// result is back, with the interval the engine returns.
class WorkView : public QWidget, public ViewCommands {
    Q_OBJECT
public:
    // Loads the template named by the context (none for a new work); on a bad file it says
    // "文件错误！！！" and returns nullptr, so no window opens.
    static WorkView* create(const ViewContext& context);
    // The clock of every work view (tests move a fake one); nullptr goes back to the system's.
    static void setClock(Clock* clock);
    // The disk under the record files of the work views opened from now on (tests and
    // benchmarks slow it down); nullptr goes back to the system's.
    static void setRecordDisk(RecordDisk* disk);

    WorkView(const ViewContext& context, const WorkDefinition& work, const QString& templatePath);
    ~WorkView() override;

    // The toolbar's commands.
    void startSampling();
    void stopSampling();
    void startRecording();
    void stopRecording();
    void setMode(DisplayMode mode);
    void openChannelSettings();
    void openEventSettings();
    void openSamplingSettings();
    void openDisplaySettings();
    // "报警设置" (the main window's "实时记录" menu while this work is active).
    void openAlarmSettings();
    void saveTemplate();
    void zoomIn();
    void zoomOut();
    // Timer 1.
    void onTimer();

    bool isCommandEnabled(ViewCommand command) const override;
    void onViewCommand(ViewCommand command) override;
    // The one-page report on `printer`.
    void printReport(QPrinter& printer);

    const WorkDefinition& work() const { return m_work; }
    const SamplingEngine& engine() const { return m_engine; }
    const LiveViewRules& rules() const { return m_rules; }
    const QString& templatePath() const { return m_templatePath; }
    // The work's alarms: read from the sidecar beside its template when it opens, edited in
    // "报警设置", evaluated while it runs.
    const AlarmSettings& alarmSettings() const { return m_alarmSettings; }
    void setAlarmSettings(const AlarmSettings& settings) { m_alarmSettings = settings; }
    const QTimer& timer() const { return m_timer; }
    QAction* action(const QString& objectName) const;
    QSlider* timeSlider() const { return m_timeSlider; }
    QSlider* valueSlider() const { return m_valueSlider; }
    QLabel* newestLabel() const { return m_newestLabel; }
    QLabel* cursorLabel() const { return m_cursorLabel; }
    // Ticks whose exchange is still with the link thread.
    int ticksUnderway() const { return m_ticksUnderway; }
    // The chart as drawn now.
    QImage chart() const;
    WorkChartInput chartInput() const;

signals:
    // A cycle's row was appended to the engine's rows (a new run starts them over).
    void rowsCompleted();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void buildToolbar();
    void buildControls();
    QAction* addCommand(const QString& name, const QString& text, void (WorkView::*slot)());
    void apply(const CommandOutcome& outcome);
    void showStates(bool running, bool recording);
    void askCurveStart(const LinkRequest& request, bool recording, const QString& path);
    void finishTick(uint64_t id, const LinkResult& result);
    // Publishing and the metrics page while running, the sleep inhibitor while recording.
    void syncServices();
    // The name the work goes by in the alarm list and on the plant's topics.
    QString workName() const;
    // Hands the alarm changes of this work to the alarm list, the status bar and the desktop.
    void reportAlarms(const std::vector<AlarmChange>& changes);
    // "确认" in the alarm list, for an alarm of this work.
    void acknowledgeAlarm(int channel, AlarmKind kind);
    void refreshLabels();
    void redraw();
    bool refusedWhileRunning();
    void editColour(int channel);
    // Each channel's whole record, naming it across a channel edit.
    std::vector<std::string> channelKeys() const;
    Clock& clock() const;

    ViewContext m_context;
    WorkDefinition m_work;
    QString m_templatePath;
    SamplingEngine m_engine;
    std::unique_ptr<net::RecordServices> m_services;
    AlarmSettings m_alarmSettings;
    int m_alarmSource = 0;  // this work in the alarm center
    LiveViewRules m_rules;
    QTimer m_timer;
    LinkClient* m_link = nullptr;  // every exchange of the window, for its lifetime
    int m_ticksUnderway = 0;
    BarStrip* m_bar = nullptr;
    QActionGroup* m_modes = nullptr;
    QSlider* m_timeSlider = nullptr;
    QSlider* m_valueSlider = nullptr;
    QLabel* m_newestLabel = nullptr;
    QLabel* m_cursorLabel = nullptr;
};

}  // namespace tervo::gui
