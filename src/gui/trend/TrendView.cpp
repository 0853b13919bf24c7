#include "gui/trend/TrendView.h"

#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QKeyEvent>
#include <QMdiArea>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QSvgGenerator>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "core/Clock.h"
#include "gui/history/CsvExportTask.h"
#include "gui/history/HistoryView.h"
#include "gui/widgets/Prompts.h"
#include "gui/work/WorkView.h"

namespace tervo::gui {

namespace {

Clock* g_clock = nullptr;

// One wheel notch zooms by this factor.
constexpr double kWheelZoom = 0.8;
constexpr int kDragThreshold = 4;

}  // namespace

void TrendView::setClock(Clock* clock) {
    g_clock = clock;
}

Clock& TrendView::clock() const {
    return g_clock != nullptr ? *g_clock : systemClock();
}

TrendView::TrendView(const ViewContext& context, TrendSource* source, QWidget* parent)
    : QWidget(parent), m_context(context), m_source(source) {
    setObjectName(QStringLiteral("trendView"));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(false);
    setMinimumSize(480, 260);
    m_source->setParent(nullptr);
    connect(m_source.get(), &TrendSource::rowsAppended, this, &TrendView::onRowsAppended);
    connect(m_source.get(), &TrendSource::rowsReplaced, this, &TrendView::onRowsReplaced);

    QAction* all =
        addCommand(QStringLiteral("trendShowAllAction"), tr("全部"), QStringLiteral("Home"));
    connect(all, &QAction::triggered, this, &TrendView::showAll);
    QAction* follow =
        addCommand(QStringLiteral("trendFollowAction"), tr("跟随最新"), QStringLiteral("F"));
    follow->setCheckable(true);
    follow->setVisible(m_source->live());
    connect(follow, &QAction::triggered, this, &TrendView::setFollowing);
    QAction* autoRange =
        addCommand(QStringLiteral("trendAutoRangeAction"), tr("自动量程"), QStringLiteral("A"));
    autoRange->setCheckable(true);
    connect(autoRange, &QAction::triggered, this, &TrendView::setAutoRange);
    QAction* fixed = addCommand(QStringLiteral("trendFixedRangeAction"), tr("固定量程..."));
    connect(fixed, &QAction::triggered, this, &TrendView::askFixedRange);
    QAction* grouped =
        addCommand(QStringLiteral("trendGroupedAxesAction"), tr("按参数分轴"), QStringLiteral("G"));
    grouped->setCheckable(true);
    connect(grouped, &QAction::triggered, this, &TrendView::setGroupedAxes);
    QAction* clear = addCommand(QStringLiteral("trendClearCursorsAction"), tr("清除光标"),
                                QStringLiteral("Esc"));
    connect(clear, &QAction::triggered, this, &TrendView::clearCursors);
    QAction* image = addCommand(QStringLiteral("trendExportImageAction"), tr("导出图片..."));
    connect(image, &QAction::triggered, this, &TrendView::exportImage);
    QAction* csv = addCommand(QStringLiteral("trendExportCsvAction"), tr("导出CSV..."));
    connect(csv, &QAction::triggered, this, &TrendView::exportCsv);
    QAction* printIt = addCommand(QStringLiteral("trendPrintAction"), tr("打印..."));
    connect(printIt, &QAction::triggered, this, &TrendView::print);

    m_summary.update(m_source->rows());
    m_viewport.showAll(m_source->rows(), static_cast<double>(clock().calendarSeconds()));
    m_viewport.setFollowing(m_source->live(), m_source->rows());
    syncActions();
}

TrendView::~TrendView() = default;

QAction* TrendView::addCommand(const QString& name, const QString& text, const QString& shortcut) {
    auto* action = new QAction(text, this);
    action->setObjectName(name);
    if (!shortcut.isEmpty()) {
        action->setShortcut(QKeySequence(shortcut));
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    }
    addAction(action);
    m_commands.append(action);
    return action;
}

QAction* TrendView::action(const QString& objectName) const {
    for (QAction* a : m_commands) {
        if (a->objectName() == objectName) {
            return a;
        }
    }
    return nullptr;
}

void TrendView::syncActions() {
    action(QStringLiteral("trendFollowAction"))->setChecked(m_viewport.following());
    action(QStringLiteral("trendAutoRangeAction"))->setChecked(m_viewport.autoRange());
    action(QStringLiteral("trendGroupedAxesAction"))->setChecked(m_grouped);
}

void TrendView::onRowsAppended() {
    const TrendRows rows = m_source->rows();
    m_summary.update(rows);
    m_viewport.rowsChanged(rows);
    update();
}

void TrendView::onRowsReplaced() {
    m_summary.clear();
    onRowsAppended();
}

TrendPictureInput TrendView::pictureInput() const {
    TrendPictureInput in;
    in.rows = m_source->rows();
    in.summary = &m_summary;
    in.definition = &m_source->definition();
    in.channels = m_source->shownChannels();
    for (size_t c = 0; c < in.channels; ++c) {
        in.visible.push_back(m_source->visible(c));
    }
    in.occurrences = m_source->occurrences();
    in.occurrenceCount = m_source->occurrenceCount();
    in.firstTime = m_viewport.firstTime();
    in.lastTime = m_viewport.lastTime();
    in.fixedRange = m_viewport.fixedRange();
    in.groupedAxes = m_grouped;
    in.cursors[0] = m_viewport.cursor(0);
    in.cursors[1] = m_viewport.cursor(1);
    in.clock = &clock();
    return in;
}

QImage TrendView::render(QSize size) const {
    if (size.isEmpty()) {
        size = this->size();
    }
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    TrendPicture::paint(painter, size, pictureInput());
    return image;
}

void TrendView::paintEvent(QPaintEvent*) {
    // The summary may lag a source that changed without a signal (a new run not yet cycled).
    const TrendRows rows = m_source->rows();
    if (rows.rows != m_summary.rowsSummarised()) {
        m_summary.update(rows);
    }
    QPainter painter(this);
    TrendPictureInput in = pictureInput();
    in.box = m_boxing ? m_box : QRect();
    m_drawn = TrendPicture::paint(painter, size(), in);
}

double TrendView::timeAt(int x) const {
    const QRect plot = m_drawn.plot.isEmpty() ? TrendPicture::plotRect(size(), 1) : m_drawn.plot;
    return m_viewport.firstTime() +
           (x - plot.left()) / static_cast<double>(plot.width()) * m_viewport.span();
}

std::pair<double, double> TrendView::shownValueRange() const {
    if (m_drawn.groups.empty()) {
        return {0.0, 100.0};
    }
    return {m_drawn.groups.front().low, m_drawn.groups.front().high};
}

double TrendView::valueAt(int y) const {
    const QRect plot = m_drawn.plot;
    const auto [low, high] = shownValueRange();
    if (plot.height() <= 0) {
        return low;
    }
    return low + (plot.bottom() - y) / static_cast<double>(plot.height()) * (high - low);
}

void TrendView::wheelEvent(QWheelEvent* event) {
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0) {
        return;
    }
    const double factor = std::pow(kWheelZoom, notches);
    const QRect plot = m_drawn.plot;
    const QPointF at = event->position();
    if (event->modifiers() & Qt::ControlModifier) {
        const auto [low, high] = shownValueRange();
        const double anchor = plot.height() > 0 ? (plot.bottom() - at.y()) / plot.height() : 0.5;
        m_viewport.zoomValues(low, high, factor, anchor);
    } else {
        const double anchor = plot.width() > 0 ? (at.x() - plot.left()) / plot.width() : 0.5;
        m_viewport.zoomTime(factor, anchor);
    }
    syncActions();
    update();
    event->accept();
}

void TrendView::mousePressEvent(QMouseEvent* event) {
    m_pressAt = event->pos();
    m_button = event->button();
    m_dragging = false;
    m_boxing = false;
    m_panFrom = m_viewport.firstTime();
}

void TrendView::mouseMoveEvent(QMouseEvent* event) {
    if (m_button == Qt::NoButton) {
        return;
    }
    if (!m_dragging && (event->pos() - m_pressAt).manhattanLength() < kDragThreshold) {
        return;
    }
    m_dragging = true;
    const bool box = m_button == Qt::RightButton ||
                     (m_button == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier));
    if (box) {
        m_boxing = true;
        m_box = QRect(m_pressAt, event->pos()).normalized();
    } else if (m_button == Qt::LeftButton) {
        const double perPixel = m_viewport.span() / std::max(1, m_drawn.plot.width());
        const double span = m_viewport.span();
        const double first = m_panFrom - (event->pos().x() - m_pressAt.x()) * perPixel;
        m_viewport.pan(0.0);  // a drag stops following
        m_viewport.setTimeRange(first, first + span);
        syncActions();
    }
    update();
}

void TrendView::mouseReleaseEvent(QMouseEvent* event) {
    const Qt::MouseButton button = m_button;
    m_button = Qt::NoButton;
    if (m_boxing) {
        m_boxing = false;
        if (m_box.width() >= kDragThreshold && m_box.height() >= kDragThreshold) {
            m_viewport.zoomToBox(timeAt(m_box.left()), timeAt(m_box.right() + 1),
                                 valueAt(m_box.bottom()), valueAt(m_box.top()));
        }
        syncActions();
        update();
        return;
    }
    if (m_dragging) {
        return;
    }
    if (m_drawn.plot.contains(event->pos())) {
        m_viewport.setCursor(button == Qt::RightButton ? 1 : 0, timeAt(event->pos().x()));
        update();
    }
}

void TrendView::mouseDoubleClickEvent(QMouseEvent*) {
    showAll();
}

void TrendView::keyPressEvent(QKeyEvent* event) {
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const TrendRows rows = m_source->rows();
    switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Right: {
            const int direction = event->key() == Qt::Key_Left ? -1 : 1;
            if (shift) {
                m_viewport.stepCursor(ctrl ? 1 : 0, rows, direction);
            } else {
                m_viewport.pan(0.1 * direction);
            }
            break;
        }
        case Qt::Key_Plus:
        case Qt::Key_Equal:
        case Qt::Key_Minus:
        case Qt::Key_Up:
        case Qt::Key_Down: {
            const bool in = event->key() == Qt::Key_Plus || event->key() == Qt::Key_Equal ||
                            event->key() == Qt::Key_Up;
            const double factor = in ? kWheelZoom : 1.0 / kWheelZoom;
            if (ctrl || event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) {
                const auto [low, high] = shownValueRange();
                m_viewport.zoomValues(low, high, factor, 0.5);
            } else {
                m_viewport.zoomTime(factor, 0.5);
            }
            break;
        }
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    syncActions();
    update();
}

void TrendView::showAll() {
    m_viewport.showAll(m_source->rows(), static_cast<double>(clock().calendarSeconds()));
    m_viewport.setAutoRange();
    m_viewport.setFollowing(m_source->live(), m_source->rows());
    syncActions();
    update();
}

void TrendView::setFollowing(bool on) {
    m_viewport.setFollowing(on && m_source->live(), m_source->rows());
    syncActions();
    update();
}

void TrendView::setAutoRange(bool on) {
    if (on) {
        m_viewport.setAutoRange();
    } else {
        const auto [low, high] = shownValueRange();
        m_viewport.setFixedRange(low, high);
    }
    syncActions();
    update();
}

void TrendView::setGroupedAxes(bool on) {
    m_grouped = on;
    syncActions();
    update();
}

void TrendView::askFixedRange() {
    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("trendRangeDialog"));
    dialog.setWindowTitle(tr("固定量程"));
    auto* form = new QFormLayout(&dialog);
    const auto [low, high] = shownValueRange();
    auto spin = [&dialog](const QString& name, double value) {
        auto* box = new QDoubleSpinBox(&dialog);
        box->setObjectName(name);
        box->setRange(-1e9, 1e9);
        box->setDecimals(2);
        box->setValue(value);
        return box;
    };
    QDoubleSpinBox* lowBox = spin(QStringLiteral("lowEdit"), low);
    QDoubleSpinBox* highBox = spin(QStringLiteral("highEdit"), high);
    form->addRow(tr("下限："), lowBox);
    form->addRow(tr("上限："), highBox);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (prompts().runDialog(dialog) != QDialog::Accepted) {
        syncActions();
        return;
    }
    if (highBox->value() <= lowBox->value()) {
        messageBox(this, tr("上限须大于下限！！！"));
    } else {
        m_viewport.setFixedRange(lowBox->value(), highBox->value());
    }
    syncActions();
    update();
}

void TrendView::clearCursors() {
    m_viewport.setCursor(0, std::nullopt);
    m_viewport.setCursor(1, std::nullopt);
    update();
}

bool TrendView::saveImage(const QString& path) const {
    const QSize size = this->size().isEmpty() ? QSize(1000, 600) : this->size();
    if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setFileName(path);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(tr("趋势图"));
        {
            QPainter painter;
            if (!painter.begin(&svg)) {
                return false;
            }
            TrendPicture::paint(painter, size, pictureInput());
        }
        return QFileInfo::exists(path);
    }
    return render(size).save(path, "PNG");
}

void TrendView::exportImage() {
    FileDialogRequest request;
    request.filter = tr("PNG图片(*.png);;SVG图片(*.svg)");
    request.defaultExtension = QStringLiteral("png");
    request.initialName = QStringLiteral("*.png");
    request.mustExist = false;
    const QString chosen = prompts().saveFileName(this, request);
    if (chosen.isEmpty()) {
        return;
    }
    if (!saveImage(withDefaultExtension(chosen, QStringLiteral("png")))) {
        messageBox(this, tr("保存失败！！！"));
    }
}

Recording TrendView::visibleRecording() const {
    Recording out;
    out.definition = m_source->definition();
    const TrendRows rows = m_source->rows();
    const size_t n = rows.channels;
    out.definition.channels.resize(std::min(out.definition.channels.size(), n));
    const size_t first = firstRowAtOrAfter(rows, m_viewport.firstTime());
    const size_t end = firstRowAtOrAfter(rows, m_viewport.lastTime());
    const size_t kept = out.definition.channels.size();
    out.times.assign(rows.times + first, rows.times + end);
    out.values.reserve((end - first) * kept);
    for (size_t r = first; r < end; ++r) {
        out.values.insert(out.values.end(), rows.values + r * n, rows.values + r * n + kept);
    }
    for (size_t k = 0; k < m_source->occurrenceCount(); ++k) {
        const EventOccurrence& o = m_source->occurrences()[k];
        if (o.time >= m_viewport.firstTime() && o.time < m_viewport.lastTime()) {
            out.occurrences.push_back(o);
        }
    }
    return out;
}

void TrendView::startCsvExport(const QString& path) {
    if (m_export) {
        return;
    }
    m_exportRows = visibleRecording();
    m_export = std::make_unique<CsvExportTask>(
        path, m_exportRows, this, [this](const CsvExportOutcome& outcome) {
            m_export.reset();
            m_exportRows = Recording();
            if (outcome.status == CsvExportStatus::Failed) {
                messageBox(this, tr("保存失败！！！"));
            }
            emit csvExportFinished(outcome.status == CsvExportStatus::Written);
        });
}

void TrendView::exportCsv() {
    if (m_export) {
        return;
    }
    FileDialogRequest request;
    request.filter = tr("CSV文件(*.csv);;所有文件(*.*)");
    request.defaultExtension = QStringLiteral("csv");
    request.initialName = QStringLiteral("*.csv");
    request.mustExist = false;
    const QString chosen = prompts().saveFileName(this, request);
    if (!chosen.isEmpty()) {
        startCsvExport(withDefaultExtension(chosen, QStringLiteral("csv")));
    }
}

void TrendView::printOn(QPrinter& printer) const {
    QPainter painter;
    if (!painter.begin(&printer)) {
        return;
    }
    // Drawn at a screen-like size, scaled to the page, so texts keep their proportions.
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    constexpr int kWidth = 1400;
    const double scale = page.width() / static_cast<double>(kWidth);
    painter.scale(scale, scale);
    const QSize size(kWidth, static_cast<int>(std::min(page.height() / scale, kWidth * 0.7)));
    TrendPicture::paint(painter, size, pictureInput());
}

void TrendView::print() {
    if (m_context.services == nullptr) {
        return;
    }
    QPrinter& printer = m_context.services->printer();
    QPrintDialog dialog(&printer, this);
    dialog.setObjectName(QStringLiteral("printDialog"));
    if (prompts().runDialog(dialog) == QDialog::Accepted) {
        printOn(printer);
    }
}

TrendWindow::TrendWindow(const ViewContext& context, TrendSource* source, const QString& title) {
    setObjectName(QStringLiteral("trendWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* bar = new QToolBar(body);
    bar->setObjectName(QStringLiteral("trendToolBar"));
    m_view = new TrendView(context, source, body);
    for (QAction* action : m_view->commands()) {
        bar->addAction(action);
    }
    layout->addWidget(bar);
    layout->addWidget(m_view, 1);
    setWidget(body);
    setWindowTitle(title);
    connect(&m_view->source(), &TrendSource::gone, this, &QWidget::close);
}

TrendWindow* TrendWindow::find(QMdiArea* area, QObject* sourceView) {
    for (QMdiSubWindow* window : area->subWindowList()) {
        auto* trend = qobject_cast<TrendWindow*>(window);
        if (trend != nullptr && trend->view()->source().view() == sourceView) {
            return trend;
        }
    }
    return nullptr;
}

TrendWindow* TrendWindow::open(QMdiArea* area, QWidget* sourceView, const ViewContext& context,
                               const QString& sourceTitle) {
    if (sourceView == nullptr) {
        return nullptr;
    }
    TrendWindow* window = find(area, sourceView);
    if (window == nullptr) {
        TrendSource* source = nullptr;
        if (auto* work = qobject_cast<WorkView*>(sourceView)) {
            source = new WorkTrendSource(work);
        } else if (auto* history = qobject_cast<HistoryView*>(sourceView)) {
            source = new HistoryTrendSource(history);
        } else {
            return nullptr;
        }
        window = new TrendWindow(context, source, tr("趋势图 - %1").arg(sourceTitle));
        area->addSubWindow(window);
        window->resize(860, 540);
    }
    if (window->isMinimized()) {
        window->showNormal();
    } else {
        window->show();
    }
    area->setActiveSubWindow(window);
    window->view()->setFocus();
    return window;
}

}  // namespace tervo::gui
