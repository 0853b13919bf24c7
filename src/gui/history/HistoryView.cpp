#include "gui/history/HistoryView.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QListView>
#include <QMouseEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSlider>
#include <QToolButton>

#include "core/chart/ChartGeometry.h"
#include "core/history/HistoryCsv.h"
#include "core/text/Gbk.h"
#include "core/work/RecordWriter.h"
#include "gui/app/ChildWindow.h"
#include "gui/history/CsvExportTask.h"
#include "gui/history/HistoryReport.h"
#include "gui/history/LoadingDialog.h"
#include "gui/widgets/BarStrip.h"
#include "gui/widgets/ColorDialog.h"
#include "gui/widgets/Commands.h"
#include "gui/widgets/DisplayDialog.h"
#include "gui/widgets/Fonts.h"
#include "gui/widgets/Pictures.h"
#include "gui/widgets/Prompts.h"
#include "gui/widgets/Translate.h"
#include "gui/work/WorkChart.h"

namespace tervo::gui {

namespace {

Clock* g_clock = nullptr;
size_t g_layerWorkLimit = 2'000'000;  // some 20 ms of a walk

Clock& viewClock() {
    return g_clock != nullptr ? *g_clock : systemClock();
}

const QColor kMargin(233, 236, 216);

QRect cornerRect(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

QString fileFilter() {
    return trc("HistoryView", "采集文件(*.alt);;所有文件(*.*)");
}

}  // namespace

int HistoryListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) {
        return 0;
    }
    const size_t items = m_events ? m_history.occurrences.size() : m_history.rowCount();
    return static_cast<int>(std::min<size_t>(items + 1, INT32_MAX));
}

QVariant HistoryListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) {
        return {};
    }
    const size_t row = static_cast<size_t>(index.row());
    if (m_events) {
        return gbkText(row == 0 ? eventHeaderText() : eventRowText(m_history, row - 1));
    }
    if (row == 0) {
        return gbkText(tableHeaderText(m_history.definition));
    }
    // Times and numbers are ASCII: no conversion needed.
    return QString::fromLatin1(tableRowText(m_history, row - 1));
}

void HistoryView::setClock(Clock* clock) {
    g_clock = clock;
}

HistoryView* HistoryView::create(const ViewContext& context) {
    if (context.filePath.isEmpty()) {
        // "New" has no file to show.
        return nullptr;
    }
    Recording history;
    const std::string path = context.filePath.toStdString();
    if (const FileStatus status = readRecording(path, history); status != FileStatus::Ok) {
        messageBox(nullptr, status == FileStatus::Busy ? coreText(kFileBusyText)
                                                       : trc("HistoryView", "文件错误！！！"));
        return nullptr;
    }
    DataRange range;
    {
        LoadingDialog wait(history, QApplication::activeWindow());
        if (prompts().runDialog(wait) != QDialog::Accepted) {
            return nullptr;
        }
        range = roundedRange(wait.loader().range());
    }
    if (history.occurrencesCutShort) {
        messageBox(nullptr, coreText(kOccurrencesCutShortText));
    }
    if (history.foreignJournal) {
        messageBox(nullptr, coreText(kForeignJournalText));
    }
    if (history.journalLeft) {
        // What a recorder's crash left in the journal was read laid over the file; it goes
        // into the file on a thread of its own while the window is in use.
        recordRecovery().start(path);
    }
    return new HistoryView(context, std::move(history), range, context.filePath);
}

HistoryView::HistoryView(const ViewContext& context, Recording history, DataRange range,
                         const QString& path)
    : m_context(context), m_history(std::move(history)), m_range(range), m_path(path) {
    setObjectName(QStringLiteral("historyView"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    for (size_t c = 0; c < std::min(m_history.channelCount(), size_t(kMaxChannels)); ++c) {
        m_visible[c] = true;
    }
    buildToolbar();
    buildControls();
    showModeControls();
    updateCommandStates();
    refreshRuler();
    resize(1024, 620);
}

HistoryView::~HistoryView() {
    // An export or a drawing under way stops, and its thread ends, before the history goes.
    m_export.reset();
    stopDrawingLayers();
}

void HistoryView::setLayerWorkLimit(size_t rows) {
    g_layerWorkLimit = rows;
}

void HistoryView::stopDrawingLayers() {
    m_layerTask.reset();
}

QAction* HistoryView::addCommand(const QString& name, const QString& text,
                                 void (HistoryView::*slot)()) {
    QAction* a = makeCommand(this, name, text);
    connect(a, &QAction::triggered, this, slot);
    return a;
}

void HistoryView::buildToolbar() {
    m_bar = new BarStrip(kToolbarHistory, 28);
    m_bar->setObjectName(QStringLiteral("historyBar"));
    const char* modeNames[] = {"curveMode", "periodChartMode", "periodCurveMode",
                               "tableMode", "eventTableMode",  "channelInfoMode"};
    const char* modeTexts[] = {QT_TR_NOOP("曲线图"), QT_TR_NOOP("周期图"), QT_TR_NOOP("周期曲线图"),
                               QT_TR_NOOP("表格"),   QT_TR_NOOP("事件表"), QT_TR_NOOP("通道信息")};
    for (int m = 0; m < 6; ++m) {
        QAction* a = makeCommand(this, QString::fromLatin1(modeNames[m]) + QStringLiteral("Action"),
                                 tr(modeTexts[m]));
        a->setCheckable(true);
        const auto mode = static_cast<HistoryMode>(m);
        connect(a, &QAction::triggered, this, [this, mode] { setMode(mode); });
        m_modeActions[static_cast<size_t>(m)] = a;
        m_bar->addButton(a, m, QString::fromLatin1(modeNames[m]) + QStringLiteral("Button"));
    }
    m_bar->addSeparator();
    QAction* remove =
        makeCommand(this, QStringLiteral("deleteRowsAction"), trc("HistoryView", "删除所选项"),
                    trc("HistoryView", "删除所选项"), trc("HistoryView", "删除所选项"));
    connect(remove, &QAction::triggered, this, &HistoryView::deleteSelectedRows);
    m_bar->addButton(remove, 6, QStringLiteral("deleteRowsButton"));
    QAction* save = makeCommand(this, QStringLiteral("saveDataAction"), trc("HistoryView", "保存"),
                                trc("HistoryView", "保存修改数据"), trc("HistoryView", "保存"));
    connect(save, &QAction::triggered, this, &HistoryView::saveAs);
    m_bar->addButton(save, 7, QStringLiteral("saveDataButton"));
    m_bar->addSeparator();
    m_bar->addButton(addCommand(QStringLiteral("zoomInAction"), trc("HistoryView", "放大"),
                                &HistoryView::zoomIn),
                     8, QStringLiteral("zoomInButton"));
    m_bar->addButton(addCommand(QStringLiteral("zoomOutAction"), trc("HistoryView", "缩小"),
                                &HistoryView::zoomOut),
                     9, QStringLiteral("zoomOutButton"));
    QAction* full =
        makeCommand(this, QStringLiteral("fullScreenAction"), trc("HistoryView", "全屏"),
                    trc("HistoryView", "压缩整幅图到整个画面"), trc("HistoryView", "全屏"));
    full->setCheckable(true);
    connect(full, &QAction::triggered, this, &HistoryView::toggleFullScreen);
    m_bar->addButton(full, 10, QStringLiteral("fullScreenButton"));
    m_bar->addSeparator();
    QAction* csv =
        makeCommand(this, QStringLiteral("exportCsvAction"), trc("HistoryView", "导出CSV"),
                    trc("HistoryView", "导出CSV"), trc("HistoryView", "导出CSV"));
    connect(csv, &QAction::triggered, this, &HistoryView::exportCsv);
    m_bar->addButton(csv, 11, QStringLiteral("exportCsvButton"));
    if (m_context.frame != nullptr) {
        m_context.frame->addTopBar(m_bar);
    } else {
        m_bar->setParent(this);
        m_bar->hide();
    }
}

void HistoryView::buildControls() {
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setObjectName(QStringLiteral("rulerSlider"));
    m_slider->setGeometry(cornerRect(16, 550, 994, 582));
    m_slider->setRange(0, kChartLastX);
    m_slider->setSingleStep(1);
    m_slider->setPageStep(95);
    m_slider->setTickInterval(kTimeGridStep);
    m_slider->setTickPosition(QSlider::TicksAbove);
    m_slider->setValue(300);
    connect(m_slider, &QSlider::valueChanged, this, [this](int position) {
        m_rules.setRuler(position);
        m_rulerLabel->move(rulerLabelX(position), 583);
        refreshRuler();
        update(cornerRect(30, 19, 981, 540));
    });
    m_rulerLabel = new QLabel(QStringLiteral("123"), this);
    m_rulerLabel->setObjectName(QStringLiteral("rulerLabel"));
    m_rulerLabel->setFrameStyle(QFrame::Box | QFrame::Plain);
    m_rulerLabel->setFont(songFont(12, 6));
    m_rulerLabel->setGeometry(cornerRect(294, 583, 366, 600));

    const QFont listFont = songFont(14, 7);
    auto makeList = [&](HistoryListModel* model, const QString& name, bool horizontal) {
        auto* list = new QListView(this);
        list->setObjectName(name);
        list->setFont(listFont);
        list->setModel(model);
        list->setUniformItemSizes(true);
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        list->setEditTriggers(QAbstractItemView::NoEditTriggers);
        list->setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn
                                                      : Qt::ScrollBarAlwaysOff);
        list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        list->setGeometry(cornerRect(10, 36, 998, 568));
        list->hide();
        return list;
    };
    m_tableModel = new HistoryListModel(m_history, false, this);
    m_eventModel = new HistoryListModel(m_history, true, this);
    m_tableList = makeList(m_tableModel, QStringLiteral("tableList"), true);
    m_eventList = makeList(m_eventModel, QStringLiteral("eventList"), false);
}

QAction* HistoryView::action(const QString& objectName) const {
    return findChild<QAction*>(objectName);
}

void HistoryView::showModeControls() {
    const HistoryMode mode = m_rules.mode();
    const bool picture = mode == HistoryMode::Curve || mode == HistoryMode::PeriodChart ||
                         mode == HistoryMode::PeriodCurve;
    m_slider->setVisible(picture);
    m_tableList->setVisible(mode == HistoryMode::Table);
    m_eventList->setVisible(mode == HistoryMode::EventTable);
    placeList();
}

void HistoryView::updateCommandStates() {
    const HistoryMode mode = m_rules.mode();
    for (size_t m = 0; m < m_modeActions.size(); ++m) {
        m_modeActions[m]->setChecked(static_cast<size_t>(mode) == m);
    }
    const bool table = mode == HistoryMode::Table;
    action(QStringLiteral("deleteRowsAction"))->setEnabled(table);
    action(QStringLiteral("saveDataAction"))->setEnabled(table);
    action(QStringLiteral("zoomInAction"))->setEnabled(m_rules.zoomEnabled());
    action(QStringLiteral("zoomOutAction"))->setEnabled(m_rules.zoomEnabled());
    QAction* full = action(QStringLiteral("fullScreenAction"));
    full->setEnabled(mode == HistoryMode::Curve);
    full->setChecked(m_rules.fullScreen());
}

void HistoryView::refreshRuler() {
    m_rulerLabel->setText(QString::fromStdString(
        m_rules.rulerText(m_history.rowCount(), m_history.definition.timing.samplingPeriod)));
}

void HistoryView::setMode(HistoryMode mode) {
    m_rules.setMode(mode);
    showModeControls();
    updateCommandStates();
    update();
}

void HistoryView::zoomIn() {
    if (m_rules.zoomIn()) {
        update();
        refreshRuler();
    }
}

void HistoryView::zoomOut() {
    m_rules.zoomOut();
    update();
    refreshRuler();
}

void HistoryView::toggleFullScreen() {
    if (!m_rules.toggleFullScreen()) {
        messageBox(this, trc("HistoryView", "“曲线图”方式才可使用！！！"));
        updateCommandStates();
        return;
    }
    refreshRuler();
    updateCommandStates();
    update();
}

void HistoryView::deleteSelectedRows() {
    if (m_export) {
        return;  // the export under way reads the history
    }
    if (m_rules.mode() != HistoryMode::Table) {
        messageBox(this, trc("HistoryView", "“列表显示”形式才可使用！！！"));
        return;
    }
    if (messageBox(this, trc("HistoryView", "确实要删除所选项！！！"), PromptButtons::YesNo) !=
        PromptAnswer::Yes) {
        return;
    }
    // The selection's runs, not its rows one by one: selecting all of ten million rows is one.
    std::vector<ListRowSpan> selected;
    for (const QItemSelectionRange& range : m_tableList->selectionModel()->selection()) {
        selected.push_back({range.top(), range.bottom()});
    }
    stopDrawingLayers();  // its thread reads the rows
    if (deleteListRowSpans(m_history, selected) > 0) {
        m_layers.forget();
        m_pictureStale = true;
        m_tableModel->reload();
        refreshRuler();
        update();
        emit rowsDeleted();
    }
}

void HistoryView::writeBack() {
    if (writeRecording(m_path.toStdString(), m_history) != FileStatus::Ok) {
        // The file could not be replaced; the history in memory is unchanged.
        messageBox(this, trc("HistoryView", "保存失败！！！"));
    }
}

void HistoryView::saveAs() {
    if (m_export) {
        return;  // the export under way reads the history
    }
    FileDialogRequest request;
    request.filter = fileFilter();
    request.defaultExtension = QStringLiteral("alt");
    request.initialName = QStringLiteral("*.alt");
    request.mustExist = false;
    const QString chosen = prompts().saveFileName(this, request);
    if (chosen.isEmpty()) {
        return;
    }
    m_path = withDefaultExtension(chosen, QStringLiteral("alt"));
    writeBack();
    m_context.services->noteRecentFile(m_path);
}

void HistoryView::exportCsv() {
    if (m_export) {
        return;  // the export under way reads the history
    }
    FileDialogRequest request;
    request.filter = trc("HistoryView", "CSV文件(*.csv);;所有文件(*.*)");
    request.defaultExtension = QStringLiteral("csv");
    request.initialName = QStringLiteral("*.csv");
    request.mustExist = false;
    const QString chosen = prompts().saveFileName(this, request);
    if (chosen.isEmpty()) {
        return;
    }
    const QString path = withDefaultExtension(chosen, QStringLiteral("csv"));
    m_export = std::make_unique<CsvExportTask>(
        path, m_history, this, [this](const CsvExportOutcome& outcome) { finishExport(outcome); });
}

void HistoryView::finishExport(const CsvExportOutcome& outcome) {
    m_export.reset();
    // A cancelled export says nothing.
    if (outcome.status == CsvExportStatus::Failed) {
        messageBox(this, trc("HistoryView", "保存失败！！！"));
    }
}

HistoryPictureInput HistoryView::pictureInput() const {
    HistoryPictureInput in;
    in.history = &m_history;
    in.mode = m_rules.mode();
    in.dataRange = m_range;
    in.options = m_options;
    in.visible = m_visible;
    in.zoom = m_rules.zoom();
    in.offset = m_rules.offset();
    in.ruler = m_rules.ruler();
    in.fullScreen = m_rules.fullScreen();
    in.printing = m_printing;
    in.clock = &viewClock();
    in.now = viewClock().calendarSeconds();
    return in;
}

void HistoryView::paintEvent(QPaintEvent*) {
    m_printing = false;
    QPainter p(this);
    p.fillRect(cornerRect(0, 0, 30, 768), kMargin);
    p.fillRect(cornerRect(981, 0, 1024, 768), kMargin);
    p.fillRect(cornerRect(0, 540, 1024, 768), kMargin);
    p.fillRect(cornerRect(30, 0, 981, 19), kMargin);
    p.fillRect(rect().adjusted(1024, 0, 0, 0), kMargin);
    p.fillRect(rect().adjusted(0, 768, 0, 0), kMargin);
    p.drawPixmap(30, 0, picture(m_rules.arrow() == 1 ? kArrowLeftHeld : kArrowLeftUp));
    const int right = m_rules.offset() == 0  ? kArrowRightNewest
                      : m_rules.arrow() == 2 ? kArrowRightHeld
                                             : kArrowRight;
    p.drawPixmap(970, 0, picture(right));
    const HistoryMode mode = m_rules.mode();
    if (mode == HistoryMode::Table || mode == HistoryMode::EventTable) {
        p.fillRect(cornerRect(30, 19, 951, 521), Qt::white);
        return;
    }
    refreshPicture(pictureInput());
    p.drawImage(30, 19, m_picture);
}

void HistoryView::refreshPicture(const HistoryPictureInput& input) {
    if (!m_picture.isNull() && !m_pictureStale && drawsTheSame(input, m_pictureFrom)) {
        return;
    }
    const LayerJob job = m_layers.missing(input);
    if (job.rowsToWalk() <= g_layerWorkLimit) {
        if (!job.channels.empty()) {
            m_layers.keep(drawLayers(job));
        }
        stopDrawingLayers();  // what it draws is no longer wanted
        m_picture = m_layers.compose(input, false);
        m_pictureFrom = input;
        m_pictureStale = false;
        return;
    }
    if (!m_layerTask || m_layerTask->job().channels != job.channels ||
        m_layerTask->job().keys != job.keys) {
        stopDrawingLayers();
        const uint64_t number = ++m_layerTaskNumber;
        m_layerTask = std::make_unique<LayerTask>(job, this,
                                                  [this, number](std::vector<ChannelLayer> layers) {
                                                      m_layers.keep(std::move(layers));
                                                      if (number == m_layerTaskNumber) {
                                                          m_layerTask.reset();
                                                      }
                                                      update();
                                                  });
    }
    // Meanwhile the picture kept stays; a picture of another mode gives way to the new one's
    // frame with the curves at hand.
    if (m_picture.isNull() || m_pictureFrom.mode != input.mode) {
        m_picture = m_layers.compose(input, false);
        m_pictureFrom = input;
    }
    m_pictureStale = true;
}

QImage HistoryView::grabView() {
    return grab().toImage();
}

void HistoryView::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() != Qt::LeftButton || at.y() < 0 || at.y() > 19) {
        return;
    }
    if (at.x() >= 30 && at.x() <= 40) {
        m_rules.pressArrow(1);
        update(QRect(30, 0, 10, 19));
    } else if (at.x() >= 970 && at.x() <= 980) {
        m_rules.pressArrow(2);
        update(QRect(970, 0, 10, 19));
    }
}

void HistoryView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    if (m_rules.releaseArrow()) {
        refreshRuler();
        update();
        return;
    }
    const QPoint at = event->position().toPoint();
    const LegendHit box = legendBoxAt(
        at.x(), at.y(), static_cast<int>(std::min(m_history.channelCount(), size_t(20))));
    if (box.hit) {
        m_visible[static_cast<size_t>(box.channel)] = !m_visible[static_cast<size_t>(box.channel)];
        update();
    }
}

void HistoryView::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    const LegendHit swatch = legendColourAt(
        at.x(), at.y(), static_cast<int>(std::min(m_history.channelCount(), size_t(20))));
    if (swatch.hit) {
        editColour(swatch.channel);
    } else if (inChartArea(at.x(), at.y())) {
        openDisplaySettings();
    }
}

void HistoryView::editColour(int channel) {
    if (m_export) {
        return;  // the export under way reads the history
    }
    auto& style = m_history.definition.styles[static_cast<size_t>(channel)];
    ColorDialog dialog(style.colour, this);
    if (prompts().runDialog(dialog) == QDialog::Accepted) {
        style.colour = dialog.colour();
        m_pictureStale = true;
        update();
        writeBack();
    }
}

void HistoryView::openDisplaySettings() {
    if (m_export) {
        return;  // the export under way reads the history
    }
    WorkDefinition& w = m_history.definition;
    DisplaySettings settings;
    const size_t n = std::min<size_t>(w.channels.size(), kMaxChannels);
    settings.channelCount = static_cast<int>(n);
    for (size_t i = 0; i < n; ++i) {
        settings.names[i] = gbkText(w.channels[i].nameGbk()).toStdString();
        settings.colours[i] = w.styles[i].colour;
        settings.visible[i] = m_visible[i];
        settings.widths[i] = penWidthOf(w.styles[i].penWidth);
    }
    settings.backgroundColour = w.backgroundColour;
    settings.valueAxisColour = w.valueAxisColour;
    settings.valueRulerColour = w.valueRulerColour;
    settings.timeAxisColour = w.timeAxisColour;
    settings.timeRulerColour = w.timeRulerColour;
    settings.options = m_options;
    settings.period = static_cast<uint32_t>(w.timing.displayPeriod);
    settings.minimum = w.valueMin;
    settings.maximum = w.valueMax;
    settings.periodMode =
        m_rules.mode() == HistoryMode::PeriodChart || m_rules.mode() == HistoryMode::PeriodCurve;
    settings.coordinatesOffered = true;
    DisplayDialog dialog(settings, this);
    if (prompts().runDialog(dialog) != QDialog::Accepted) {
        return;
    }
    const DisplaySettings& chosen = dialog.settings();
    for (size_t i = 0; i < n; ++i) {
        w.styles[i].colour = chosen.colours[i];
        w.styles[i].penWidth = chosen.widths[i];
        m_visible[i] = chosen.visible[i];
    }
    w.backgroundColour = chosen.backgroundColour;
    w.valueAxisColour = chosen.valueAxisColour;
    w.valueRulerColour = chosen.valueRulerColour;
    w.timeAxisColour = chosen.timeAxisColour;
    w.timeRulerColour = chosen.timeRulerColour;
    m_options = chosen.options;
    w.timing.displayPeriod = static_cast<int32_t>(chosen.period);
    w.valueMin = chosen.minimum;
    w.valueMax = chosen.maximum;
    m_pictureStale = true;
    writeBack();
    update();
}

void HistoryView::placeList() {
    QListView* shown = m_rules.mode() == HistoryMode::Table        ? m_tableList
                       : m_rules.mode() == HistoryMode::EventTable ? m_eventList
                                                                   : nullptr;
    if (shown == nullptr) {
        return;
    }
    shown->setGeometry(std::max(0, (width() - 988) / 2), std::max(0, (height() - 532) / 2), 988,
                       532);
    shown->raise();
}

void HistoryView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeList();
}

bool HistoryView::isCommandEnabled(ViewCommand command) const {
    return command == ViewCommand::Print || command == ViewCommand::PrintPreview;
}

void HistoryView::onViewCommand(ViewCommand command) {
    QPrinter& printer = m_context.services->printer();
    const int pages = reportPageCount(m_rules.mode() == HistoryMode::Table, m_history.rowCount());
    printer.setFromTo(1, pages);
    if (command == ViewCommand::Print) {
        QPrintDialog dialog(&printer, this);
        dialog.setObjectName(QStringLiteral("printDialog"));
        dialog.setMinMax(1, pages);
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

void HistoryView::printReport(QPrinter& printer) {
    const int pages = reportPageCount(m_rules.mode() == HistoryMode::Table, m_history.rowCount());
    int first = printer.fromPage() > 0 ? printer.fromPage() : 1;
    int last = printer.toPage() > 0 ? std::min(printer.toPage(), pages) : pages;
    QPainter painter(&printer);
    if (!painter.isActive()) {
        return;
    }
    m_printing = true;
    HistoryReportInput report;
    report.picture = pictureInput();
    report.picture.printing = true;
    report.path = m_path;
    report.printedAt = viewClock().calendarSeconds();
    for (int page = first; page <= last; ++page) {
        if (page > first) {
            printer.newPage();
        }
        painter.save();
        const double scale = printer.resolution() / 600.0;
        painter.scale(scale, scale);
        paintHistoryReportPage(painter, report, page);
        painter.restore();
    }
}

}  // namespace tervo::gui
