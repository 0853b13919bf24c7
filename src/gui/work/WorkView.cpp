#include "gui/work/WorkView.h"

#include <QAction>
#include <QActionGroup>
#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSlider>
#include <QStatusBar>
#include <QToolButton>

#include "core/alarms/AlarmListRules.h"
#include "core/text/TimeText.h"
#include "core/text/ValueText.h"
#include "core/work/RecordWriter.h"
#include "core/work/WorkFiles.h"
#include "gui/alarms/AlarmCenter.h"
#include "gui/alarms/AlarmSettingsDialog.h"
#include "gui/app/ChildWindow.h"
#include "gui/app/LinkThreads.h"
#include "gui/app/PublishDialog.h"
#include "gui/app/Settings.h"
#include "gui/widgets/BarStrip.h"
#include "gui/widgets/ColorDialog.h"
#include "gui/widgets/Commands.h"
#include "gui/widgets/DisplayDialog.h"
#include "gui/widgets/Fonts.h"
#include "gui/widgets/Geometry.h"
#include "gui/widgets/Pictures.h"
#include "gui/widgets/Prompts.h"
#include "gui/widgets/Translate.h"
#include "gui/work/ChannelDialog.h"
#include "gui/work/EventDialog.h"
#include "gui/work/SamplingDialog.h"
#include "net/RecordServices.h"

namespace tervo::gui {

namespace {

Clock* g_clock = nullptr;
RecordDisk* g_recordDisk = nullptr;

const QColor kMarginColour = colourOf(0xD8ECE9);
const QRect kLeftArrow = cornerRect(30, 0, 40, 19);
const QRect kRightArrow = cornerRect(970, 0, 980, 19);
QString refusedWhileRunningText() {
    return trc("WorkView", "正在记录中，不能修改设置！！！");
}

QString utf8(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

void WorkView::setClock(Clock* clock) {
    g_clock = clock;
}

void WorkView::setRecordDisk(RecordDisk* disk) {
    g_recordDisk = disk;
}

Clock& WorkView::clock() const {
    return g_clock != nullptr ? *g_clock : systemClock();
}

WorkView* WorkView::create(const ViewContext& context) {
    WorkDefinition work;
    if (!context.filePath.isEmpty() &&
        loadWorkTemplate(context.filePath.toStdString(), work) != FileStatus::Ok) {
        messageBox(nullptr, trc("WorkView", "文件错误！！！"));
        return nullptr;
    }
    AlarmSettings alarms;
    if (!context.filePath.isEmpty()) {
        // A sidecar the rules refuse is said, and the work opens without alarms.
        const AlarmSettingsLoad load = loadAlarmSettings(
            alarmSettingsPath(context.filePath.toStdString()), work.channels.size());
        if (load.status == AlarmSettingsLoad::Status::Refused) {
            messageBox(context.services->dialogParent(), utf8(load.message));
        } else {
            alarms = load.settings;
        }
    }
    auto* view = new WorkView(context, work, context.filePath);
    view->setAlarmSettings(alarms);
    return view;
}

WorkView::WorkView(const ViewContext& context, const WorkDefinition& work,
                   const QString& templatePath)
    : m_context(context),
      m_work(work),
      m_templatePath(templatePath),
      m_engine(m_work, g_clock != nullptr ? *g_clock : systemClock()) {
    setObjectName(QStringLiteral("workView"));
    m_engine.setProtectedMode(m_context.services->protectedMode());
    m_link = new LinkClient(m_context.services->links(), this);
    buildToolbar();
    buildControls();
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &WorkView::onTimer);
    showStates(false, false);
    refreshLabels();
    // The record file is written and synced beside the window, never in its ticks; stopping
    // the recording or closing the window waits for what is still on its way to the disk.
    m_engine.setWriterThread(true);
    m_engine.setRecordDisk(g_recordDisk != nullptr ? *g_recordDisk : systemRecordDisk());
    m_alarmSource = m_context.services->alarms().addSource(
        this, [this](int channel, AlarmKind kind) { acknowledgeAlarm(channel, kind); });
}

WorkView::~WorkView() = default;

QAction* WorkView::addCommand(const QString& name, const QString& text, void (WorkView::*slot)()) {
    QAction* action = makeCommand(this, name, text);
    connect(action, &QAction::triggered, this, slot);
    return action;
}

void WorkView::buildToolbar() {
    struct Entry {
        const char* name;
        const char* text;
        void (WorkView::*slot)();
        bool separatorAfter;
    };
    const Entry entries[] = {
        {"startSampling", QT_TR_NOOP("开始运行"), &WorkView::startSampling, false},
        {"stopSampling", QT_TR_NOOP("停止运行"), &WorkView::stopSampling, true},
        {"startRecording", QT_TR_NOOP("开始保存"), &WorkView::startRecording, false},
        {"stopRecording", QT_TR_NOOP("结束保存"), &WorkView::stopRecording, true},
        {"curvesMode", QT_TR_NOOP("曲线图"), nullptr, false},
        {"ringMode", QT_TR_NOOP("环形图"), nullptr, false},
        {"periodMode", QT_TR_NOOP("周期图"), nullptr, false},
        {"listMode", QT_TR_NOOP("列表显示"), nullptr, false},
        {"eventsMode", QT_TR_NOOP("实时事件"), nullptr, true},
        {"channelSettings", QT_TR_NOOP("通道设置"), &WorkView::openChannelSettings, false},
        {"eventSettings", QT_TR_NOOP("事件设置"), &WorkView::openEventSettings, false},
        {"samplingSettings", QT_TR_NOOP("采样参数"), &WorkView::openSamplingSettings, false},
        {"displaySettings", QT_TR_NOOP("显示设置"), &WorkView::openDisplaySettings, false},
        {"saveTemplate", QT_TR_NOOP("保存设置"), &WorkView::saveTemplate, true},
        {"zoomIn", QT_TR_NOOP("放大显示"), &WorkView::zoomIn, false},
        {"zoomOut", QT_TR_NOOP("缩小显示"), &WorkView::zoomOut, false},
    };
    m_bar = new BarStrip(kToolbarWork, 28);
    m_bar->setObjectName(QStringLiteral("workBar"));
    m_modes = new QActionGroup(this);
    m_modes->setExclusive(true);
    int x = 4;
    int index = 0;
    int mode = 0;
    for (const Entry& entry : entries) {
        const QString name = QString::fromLatin1(entry.name);
        QAction* action = nullptr;
        if (entry.slot != nullptr) {
            action = addCommand(name + QStringLiteral("Action"), tr(entry.text), entry.slot);
        } else {
            action = makeCommand(this, name + QStringLiteral("Action"), tr(entry.text));
            const auto displayMode = static_cast<DisplayMode>(mode++);
            action->setCheckable(true);
            m_modes->addAction(action);
            connect(action, &QAction::triggered, this,
                    [this, displayMode] { setMode(displayMode); });
        }
        if (index < 4) {
            action->setCheckable(true);
        }
        action->setIcon(
            QIcon(picturePart(picture(kToolbarWork), QRect(index * kWorkButtonWidth, 0,
                                                           kWorkButtonWidth, kWorkButtonHeight))));
        auto* button = new QToolButton;
        button->setObjectName(name + QStringLiteral("Button"));
        button->setDefaultAction(action);
        button->setIconSize(QSize(kWorkButtonWidth, kWorkButtonHeight));
        button->setFocusPolicy(Qt::NoFocus);
        // The caption is painted; screen readers and test tools find the button by its name.
        button->setAccessibleName(action->text());
        showGivenTipOnly(button);
        m_bar->place(button, QRect(x, 3, kWorkButtonWidth + 7, kWorkButtonHeight + 7));
        x += kWorkButtonWidth + 7 + (entry.separatorAfter ? 8 : 0);
        ++index;
    }
    action(QStringLiteral("curvesModeAction"))->setChecked(true);
    if (m_context.frame != nullptr) {
        m_context.frame->addTopBar(m_bar);
    } else {
        m_bar->setParent(this);
        m_bar->hide();
    }
}

void WorkView::buildControls() {
    m_timeSlider = new QSlider(Qt::Horizontal, this);
    m_timeSlider->setObjectName(QStringLiteral("timeSlider"));
    m_timeSlider->setGeometry(cornerRect(16, 550, 994, 582));
    m_timeSlider->setRange(0, kChartLastX);
    m_timeSlider->setSingleStep(1);
    m_timeSlider->setPageStep(95);
    m_timeSlider->setTickInterval(kTimeGridStep);
    m_timeSlider->setTickPosition(QSlider::TicksAbove);
    m_timeSlider->setValue(300);
    connect(m_timeSlider, &QSlider::valueChanged, this, [this] {
        refreshLabels();
        redraw();
    });

    m_valueSlider = new QSlider(Qt::Vertical, this);
    m_valueSlider->setObjectName(QStringLiteral("valueSlider"));
    m_valueSlider->setGeometry(cornerRect(10, 10, 30, 549));
    m_valueSlider->setRange(0, kChartLastY);
    m_valueSlider->setSingleStep(1);
    m_valueSlider->setPageStep(52);
    m_valueSlider->setTickInterval(52);
    m_valueSlider->setTickPosition(QSlider::TicksBothSides);
    // Position 0 at the top, as the chart's y runs.
    m_valueSlider->setInvertedAppearance(true);
    m_valueSlider->setInvertedControls(true);
    m_valueSlider->setValue(kChartLastY / 2);
    connect(m_valueSlider, &QSlider::valueChanged, this, &WorkView::redraw);

    const QFont labelFont = songFont(14, 7);
    m_newestLabel = new QLabel(this);
    m_newestLabel->setObjectName(QStringLiteral("newestTimeLabel"));
    m_cursorLabel = new QLabel(this);
    m_cursorLabel->setObjectName(QStringLiteral("cursorTimeLabel"));
    for (QLabel* label : {m_newestLabel, m_cursorLabel}) {
        label->setFont(labelFont);
        label->setFrameShape(QFrame::Box);
        label->setAlignment(Qt::AlignCenter);
    }
    m_newestLabel->setGeometry(cornerRect(5, 583, 77, 600));
    m_cursorLabel->setGeometry(cornerRect(294, 583, 366, 600));
}

QAction* WorkView::action(const QString& objectName) const {
    return findChild<QAction*>(objectName);
}

void WorkView::showStates(bool running, bool recording) {
    action(QStringLiteral("startSamplingAction"))->setChecked(running);
    action(QStringLiteral("stopSamplingAction"))->setChecked(!running);
    action(QStringLiteral("startRecordingAction"))->setChecked(recording);
    action(QStringLiteral("stopRecordingAction"))->setChecked(!recording);
}

void WorkView::apply(const CommandOutcome& outcome) {
    for (const std::string& message : outcome.messages) {
        messageBox(this, utf8(message));
    }
    syncServices();
    showStates(outcome.running, outcome.recording);
    if (outcome.stopTimer) {
        m_timer.stop();
    }
    if (outcome.startTimerMs > 0) {
        m_timer.start(outcome.startTimerMs);
    }
    refreshLabels();
    redraw();
}

// The first curve channel's controller value, read on its link thread before the command
// goes on; the toolbar keeps its look meanwhile.
void WorkView::askCurveStart(const LinkRequest& request, bool recording, const QString& path) {
    m_link->post(request, [this, recording, path](const LinkResult& result) {
        const CommandOutcome outcome = recording
                                           ? m_engine.startRecording(path.toStdString(), result)
                                           : m_engine.startSampling(result);
        if (outcome.ask == Ask::Nothing) {
            apply(outcome);
        }
    });
}

void WorkView::syncServices() {
    if (!m_engine.running()) {
        if (m_services) {
            // Nothing watches the work's alarms any more: the list keeps them, unwatched.
            m_context.services->alarms().unwatch(m_alarmSource);
        }
        m_services.reset();  // "offline" goes out, the page closes, the inhibitor goes
        return;
    }
    if (!m_services) {
        m_services = std::make_unique<net::RecordServices>(
            publishSettings(m_context.services->publishChoice()), workName().toStdString(), m_work);
        m_services->setAlarms(m_alarmSettings);
        if (const std::string failed = m_services->start(); !failed.empty()) {
            messageBox(this, utf8(failed));
        }
    }
    if (m_engine.recording()) {
        m_services->recordingStarted();
    } else {
        m_services->recordingStopped();
    }
}

QString WorkView::workName() const {
    return m_templatePath.isEmpty() ? QStringLiteral("work")
                                    : QFileInfo(m_templatePath).completeBaseName();
}

void WorkView::reportAlarms(const std::vector<AlarmChange>& changes) {
    for (const AlarmChange& change : changes) {
        AlarmListUpdate update = alarmListUpdate(change);
        update.source = m_alarmSource;
        // A new work goes by its window's title in the list.
        update.work = m_templatePath.isEmpty() ? trc("WorkView", "采集工作").toStdString()
                                               : workName().toStdString();
        const size_t index = static_cast<size_t>(change.channel - 1);
        if (index < m_work.channels.size()) {
            update.channelName = gbkText(m_work.channels[index].nameGbk()).toStdString();
        }
        m_context.services->alarms().report(update);
    }
}

void WorkView::acknowledgeAlarm(int channel, AlarmKind kind) {
    if (m_services) {
        reportAlarms(m_services->acknowledge(channel, kind, clock()));
    }
}

void WorkView::startSampling() {
    const CommandOutcome outcome = m_engine.startSampling();
    if (outcome.ask == Ask::CurveStartValue && outcome.exchange) {
        showStates(m_engine.running(), m_engine.recording());
        askCurveStart(*outcome.exchange, false, QString());
        return;
    }
    apply(outcome);
}

void WorkView::stopSampling() {
    CommandOutcome outcome = m_engine.stopSampling();
    if (outcome.ask == Ask::Password) {
        const bool given = m_context.services->checkPassword(this);
        if (!given) {
            showStates(m_engine.running(), m_engine.recording());
            return;
        }
        outcome = m_engine.stopSampling(true);
    }
    apply(outcome);
}

void WorkView::startRecording() {
    CommandOutcome outcome = m_engine.startRecording();
    if (outcome.ask == Ask::RecordPath) {
        FileDialogRequest request;
        request.filter = trc("WorkView", "采集文件(*.alt);;工作文件(*.whp);;所有文件(*.*)");
        request.defaultExtension = QStringLiteral("alt");
        request.initialName = utf8(outcome.proposedRecordName);
        request.mustExist = false;
        const QString path = prompts().saveFileName(this, request);
        if (path.isEmpty()) {
            showStates(m_engine.running(), m_engine.recording());
            return;
        }
        const QString chosen = withDefaultExtension(path, QStringLiteral("alt"));
        outcome = m_engine.startRecording(chosen.toStdString());
        if (outcome.ask == Ask::CurveStartValue && outcome.exchange) {
            showStates(m_engine.running(), m_engine.recording());
            askCurveStart(*outcome.exchange, true, chosen);
            return;
        }
    }
    apply(outcome);
}

void WorkView::stopRecording() {
    bool passwordChecked = false;
    CommandOutcome outcome = m_engine.stopRecording();
    if (outcome.ask == Ask::Password) {
        passwordChecked = m_context.services->checkPassword(this);
        if (!passwordChecked) {
            showStates(m_engine.running(), m_engine.recording());
            return;
        }
        outcome = m_engine.stopRecording(true);
    }
    if (outcome.ask == Ask::StopQuestion) {
        const bool confirmed =
            messageBox(this, utf8(kStopQuestionText), PromptButtons::OkCancel) == PromptAnswer::Ok;
        outcome = m_engine.stopRecording(passwordChecked, confirmed);
    }
    apply(outcome);
}

void WorkView::onTimer() {
    m_timer.stop();
    const TickPlan plan = m_engine.beginTick();
    if (!plan.exchange) {
        finishTick(plan.id, LinkResult{});
        return;
    }
    // The result names its own tick, so one that comes back after sampling restarted is
    // discarded by the engine.
    ++m_ticksUnderway;
    const uint64_t id = plan.id;
    m_link->post(*plan.exchange, [this, id, request = *plan.exchange](const LinkResult& result) {
        --m_ticksUnderway;
        if (m_services) {
            m_services->countExchange(request, result);
        }
        finishTick(id, result);
    });
}

void WorkView::finishTick(uint64_t id, const LinkResult& result) {
    const TickOutcome outcome = m_engine.finishTick(id, result);
    if (outcome.discarded) {
        return;
    }
    if (m_services) {
        m_services->afterTick(m_engine, clock());
        // The broker out of reach is no reason to stop the operator: said in the status bar.
        auto* main = qobject_cast<QMainWindow*>(window());
        std::vector<std::string> notices = m_services->publishingNotices();
        for (std::string& notice : m_services->alarmNotices()) {
            notices.push_back(std::move(notice));
        }
        for (const std::string& notice : notices) {
            if (main != nullptr) {
                main->statusBar()->showMessage(utf8(notice));
            }
        }
        reportAlarms(m_services->takeAlarmChanges());
    }
    for (const std::string& message : outcome.messages) {
        messageBox(this, utf8(message));
    }
    if (outcome.secondChanged) {
        refreshLabels();
        if (m_context.frame != nullptr) {
            m_context.frame->setWindowTitle(utf8(outcome.caption));
        }
    }
    if (outcome.cycleCompleted) {
        redraw();
        emit rowsCompleted();
    }
    if (m_engine.running()) {
        m_timer.start(outcome.nextIntervalMs);
    }
}

void WorkView::refreshLabels() {
    const TimeLabels labels =
        m_rules.timeLabels(m_work.timing, m_engine.elapsedSeconds(), clock().calendarSeconds(),
                           m_timeSlider->value(), clock());
    m_newestLabel->setText(utf8(labels.left));
    m_cursorLabel->setText(utf8(labels.right));
    m_cursorLabel->move(cursorLabelX(m_timeSlider->value()), 583);
}

void WorkView::redraw() {
    update(QRect(kChartLeft, kChartTop, kChartWidth, kChartHeight));
    update(kLeftArrow);
    update(kRightArrow);
}

void WorkView::setMode(DisplayMode mode) {
    m_modes->actions().at(static_cast<int>(mode))->setChecked(true);
    const int64_t scroll = m_rules.scroll();
    if (m_rules.setMode(mode) || m_rules.scroll() != scroll) {
        refreshLabels();
        redraw();
    }
}

void WorkView::zoomIn() {
    if (m_rules.zoomIn()) {
        refreshLabels();
        redraw();
    }
}

void WorkView::zoomOut() {
    m_rules.zoomOut();
    refreshLabels();
    redraw();
}

bool WorkView::refusedWhileRunning() {
    if (m_engine.running() || m_engine.recording()) {
        messageBox(this, refusedWhileRunningText());
        return true;
    }
    return false;
}

void WorkView::openChannelSettings() {
    if (refusedWhileRunning()) {
        return;
    }
    const std::vector<std::string> before = channelKeys();
    ChannelDialog dialog(m_work, this);
    prompts().runDialog(dialog);
    // The alarms follow their channels when one is deleted.
    m_alarmSettings = alarmSettingsFollowingChannels(m_alarmSettings, before, channelKeys());
    redraw();
}

void WorkView::openEventSettings() {
    if (refusedWhileRunning()) {
        return;
    }
    if (m_work.channels.empty()) {
        messageBox(this, trc("WorkView", "无记录通道，无法修改事件！！！"));
        return;
    }
    EventDialog dialog(m_work, this);
    prompts().runDialog(dialog);
    redraw();
}

void WorkView::openSamplingSettings() {
    if (refusedWhileRunning()) {
        return;
    }
    SamplingDialog dialog(m_work.timing, this);
    if (prompts().runDialog(dialog) == QDialog::Accepted) {
        m_work.timing = dialog.timing();
    }
    refreshLabels();
    update();
}

std::vector<std::string> WorkView::channelKeys() const {
    std::vector<std::string> keys;
    for (const ChannelInfo& channel : m_work.channels) {
        std::string key(channel.name.data(), channel.name.size());
        key.append(channel.curvePath.data(), channel.curvePath.size());
        for (const double number :
             {channel.displayCoefficient, channel.offsetCoefficient, double(channel.parameterCode),
              double(channel.port), double(channel.baud), double(channel.address),
              double(channel.downloadFlag)}) {
            key += "/" + formatDouble("%.17g", number);
        }
        keys.push_back(std::move(key));
    }
    return keys;
}

void WorkView::openAlarmSettings() {
    // Limits may change during a long run: the channels cannot, so the rows stay the same.
    if (m_work.channels.empty()) {
        messageBox(this, tr("无记录通道，无法设置报警！！！"));
        return;
    }
    QStringList names;
    for (const ChannelInfo& channel : m_work.channels) {
        names << gbkText(channel.nameGbk());
    }
    AlarmSettingsDialog dialog(names, m_alarmSettings, this);
    if (prompts().runDialog(dialog) != QDialog::Accepted) {
        return;
    }
    m_alarmSettings = dialog.settings();
    if (m_services) {
        // Evaluation starts anew under the new settings; the alarms so far stay listed,
        // unwatched, and those that still hold come again.
        m_context.services->alarms().unwatch(m_alarmSource);
        m_services->setAlarms(m_alarmSettings);
    }
    // Kept beside the template at once; a new work keeps them until "保存设置".
    if (!m_templatePath.isEmpty() &&
        !saveAlarmSettings(alarmSettingsPath(m_templatePath.toStdString()), m_alarmSettings)) {
        messageBox(this, trc("WorkView", "保存失败！！！"));
    }
}

void WorkView::openDisplaySettings() {
    DisplaySettings settings;
    const size_t n = std::min<size_t>(m_work.channels.size(), kMaxChannels);
    settings.channelCount = static_cast<int>(n);
    for (size_t i = 0; i < n; ++i) {
        settings.names[i] = gbkText(m_work.channels[i].nameGbk()).toStdString();
        settings.colours[i] = m_work.styles[i].colour;
        settings.visible[i] = m_rules.visible(i);
        settings.widths[i] = penWidthOf(m_work.styles[i].penWidth);
    }
    settings.backgroundColour = m_work.backgroundColour;
    settings.valueAxisColour = m_work.valueAxisColour;
    settings.valueRulerColour = m_work.valueRulerColour;
    settings.timeAxisColour = m_work.timeAxisColour;
    settings.timeRulerColour = m_work.timeRulerColour;
    settings.options = m_rules.options();
    settings.period = static_cast<uint32_t>(m_work.timing.displayPeriod);
    settings.minimum = m_work.valueMin;
    settings.maximum = m_work.valueMax;
    settings.periodMode =
        m_rules.mode() == DisplayMode::Ring || m_rules.mode() == DisplayMode::Period;
    settings.coordinatesOffered = false;
    DisplayDialog dialog(settings, this);
    if (prompts().runDialog(dialog) != QDialog::Accepted) {
        return;
    }
    const DisplaySettings& chosen = dialog.settings();
    for (size_t i = 0; i < n; ++i) {
        m_work.styles[i].colour = chosen.colours[i];
        m_work.styles[i].penWidth = chosen.widths[i];
        m_rules.setVisible(i, chosen.visible[i]);
    }
    m_work.backgroundColour = chosen.backgroundColour;
    m_work.valueAxisColour = chosen.valueAxisColour;
    m_work.valueRulerColour = chosen.valueRulerColour;
    m_work.timeAxisColour = chosen.timeAxisColour;
    m_work.timeRulerColour = chosen.timeRulerColour;
    m_rules.setOptions(chosen.options);
    m_work.timing.displayPeriod =
        static_cast<int32_t>(std::min<uint32_t>(chosen.period, INT32_MAX));
    m_work.valueMin = chosen.minimum;
    m_work.valueMax = chosen.maximum;
    refreshLabels();
    update();
}

void WorkView::editColour(int channel) {
    ColorDialog dialog(m_work.styles[static_cast<size_t>(channel)].colour, this);
    if (prompts().runDialog(dialog) == QDialog::Accepted) {
        m_work.styles[static_cast<size_t>(channel)].colour = dialog.colour();
        redraw();
    }
}

void WorkView::saveTemplate() {
    FileDialogRequest request;
    request.filter = trc("WorkView", "采集文件(*.awt);;所有文件(*.*)");
    request.defaultExtension = QStringLiteral("awt");
    request.initialName = QStringLiteral("*.awt");
    request.mustExist = false;
    request.confirmOverwrite = false;  // a template is saved over an existing one at once
    const QString chosen = prompts().saveFileName(this, request);
    if (chosen.isEmpty()) {
        return;
    }
    const QString path = withDefaultExtension(chosen, QStringLiteral("awt"));
    if (saveWorkTemplate(path.toStdString(), m_work) != FileStatus::Ok ||
        !saveAlarmSettings(alarmSettingsPath(path.toStdString()), m_alarmSettings)) {
        // Sound behaviour for a file that cannot be written: say so rather than confirm.
        messageBox(this, trc("WorkView", "保存失败！！！"));
        return;
    }
    m_templatePath = path;
    messageBox(this, trc("WorkView", "保存成功！！！"));
}

bool WorkView::isCommandEnabled(ViewCommand command) const {
    return command == ViewCommand::SaveTemplate || command == ViewCommand::Print ||
           command == ViewCommand::PrintPreview || command == ViewCommand::AlarmSettings;
}

void WorkView::onViewCommand(ViewCommand command) {
    if (command == ViewCommand::AlarmSettings) {
        openAlarmSettings();
        return;
    }
    QPrinter& printer = m_context.services->printer();
    printer.setFromTo(1, 1);
    if (command == ViewCommand::SaveTemplate) {
        saveTemplate();
    } else if (command == ViewCommand::Print) {
        QPrintDialog dialog(&printer, this);
        dialog.setObjectName(QStringLiteral("printDialog"));
        dialog.setMinMax(1, 1);
        if (prompts().runDialog(dialog) == QDialog::Accepted) {
            printReport(printer);
        }
    } else if (command == ViewCommand::PrintPreview) {
        QPrintPreviewDialog dialog(&printer, this);
        dialog.setObjectName(QStringLiteral("printPreviewDialog"));
        connect(&dialog, &QPrintPreviewDialog::paintRequested, this,
                [this](QPrinter* target) { printReport(*target); });
        prompts().runDialog(dialog);
    }
}

void WorkView::printReport(QPrinter& printer) {
    QPainter painter(&printer);
    WorkChartInput input = chartInput();
    input.printing = true;
    paintWorkReport(painter, input, printer.resolution());
}

WorkChartInput WorkView::chartInput() const {
    WorkChartInput in;
    in.work = &m_work;
    const RowStore& rows = m_engine.rows();
    in.times = rows.times();
    in.values = rows.values();
    in.rows = rows.rows();
    in.channels = rows.channels();
    if (in.channels < m_work.channels.size()) {
        // Channels were added since the last run: the rows hold none of them.
        in.rows = 0;
    }
    in.occurrences = m_engine.occurrences().data();
    in.occurrenceCount = m_engine.occurrences().count();
    in.mode = m_rules.mode();
    in.zoom = m_rules.zoom();
    in.scroll = m_rules.scroll();
    in.options = m_rules.options();
    for (size_t i = 0; i < kMaxChannels; ++i) {
        in.visible[i] = m_rules.visible(i);
    }
    in.timeCursor = m_timeSlider->value();
    in.valueCursor = m_valueSlider->value();
    in.now = clock().calendarSeconds();
    in.clock = &clock();
    return in;
}

QImage WorkView::chart() const {
    return renderWorkChart(chartInput());
}

void WorkView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(cornerRect(0, 0, 30, 768), kMarginColour);
    painter.fillRect(cornerRect(981, 0, 1024, 768), kMarginColour);
    painter.fillRect(cornerRect(0, 540, 1024, 768), kMarginColour);
    painter.fillRect(cornerRect(40, 0, 970, 19), kMarginColour);
    const int left = m_rules.arrow() == 1 ? kArrowLeftHeld : kArrowLeftUp;
    const int right = m_rules.arrow() == 2    ? kArrowRightHeld
                      : m_rules.scroll() == 0 ? kArrowRightNewest
                                              : kArrowRight;
    painter.drawPixmap(kLeftArrow.topLeft(), picture(left));
    painter.drawPixmap(kRightArrow.topLeft(), picture(right));
    painter.drawImage(kChartLeft, kChartTop, chart());
}

void WorkView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const QPoint at = event->position().toPoint();
    if (kLeftArrow.contains(at)) {
        m_rules.pressArrow(1);
    } else if (kRightArrow.contains(at)) {
        m_rules.pressArrow(2);
    } else {
        return;
    }
    grabMouse();
    redraw();
}

void WorkView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    if (m_rules.arrow() != 0) {
        m_rules.releaseArrow();
        releaseMouse();
        refreshLabels();
        redraw();
        return;
    }
    const QPoint at = event->position().toPoint();
    const LegendHit hit = legendBoxAt(at.x(), at.y(), static_cast<int>(m_work.channels.size()));
    if (hit.hit) {
        m_rules.toggleVisible(static_cast<size_t>(hit.channel));
        redraw();
    }
}

void WorkView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const QPoint at = event->position().toPoint();
    const LegendHit hit = legendColourAt(at.x(), at.y(), static_cast<int>(m_work.channels.size()));
    if (hit.hit) {
        editColour(hit.channel);
    } else if (inChartArea(at.x(), at.y())) {
        openDisplaySettings();
    }
}

}  // namespace tervo::gui
