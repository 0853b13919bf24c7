#include "gui/sim/PanelView.h"

#include <QAction>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>

#include "gui/app/ChildWindow.h"
#include "gui/app/LinkThreads.h"
#include "gui/sim/PanelPictures.h"
#include "gui/tools/AutoSearchDialog.h"
#include "gui/tools/LinkSettingsDialog.h"
#include "gui/widgets/Commands.h"
#include "gui/widgets/Fonts.h"
#include "gui/widgets/Prompts.h"
#include "gui/widgets/Translate.h"

namespace tervo::gui {

namespace {

QString fileErrorText() {
    return trc("PanelView", "文件错误！！！");
}

void paintDisplay(QPainter& painter, int x, int y, const DisplayText& text, DisplayKind kind) {
    const QPixmap& strip =
        panelPicture(kind == DisplayKind::Red ? PanelPicture::RedStrip : PanelPicture::GreenStrip);
    for (const DisplayCell& cell : displayCells(text, kind)) {
        // A glyph beyond the strip (a character's low four bits past the last glyph) shows
        // what part of it the strip has.
        const int width = std::max(0, std::min(cell.width, strip.width() - cell.stripX));
        if (width > 0) {
            painter.drawPixmap(x, y, strip, cell.stripX, 0, width, strip.height());
        }
        x += cell.width;
    }
}

// A panel dragged or loaded wholly off the canvas shows nothing; its origin may lie anywhere
// in the 32-bit range, so nothing is computed from it then.
bool onCanvas(int x, int y, int width, int height) {
    return x > -width && x < PanelView::kCanvasWidth && y > -height && y < PanelView::kCanvasHeight;
}

bool onCanvas(const SimInstrument& panel) {
    return onCanvas(panel.x, panel.y, SimInstrument::kWidth, SimInstrument::kHeight);
}

void paintPanel(QPainter& painter, const SimInstrument& panel, bool current, const QFont& font) {
    if (!onCanvas(panel)) {
        return;
    }
    painter.drawPixmap(panel.x, panel.y,
                       panelPicture(current ? PanelPicture::CurrentPanel : PanelPicture::Panel));
    painter.setFont(font);
    const QString address =
        QString(QChar('0' + panel.address / 10 % 10)) + QChar('0' + panel.address % 10);
    const QRect box(panel.x + kAddressX, panel.y + kAddressY,
                    QFontMetrics(font).horizontalAdvance(address), QFontMetrics(font).height());
    painter.fillRect(box, Qt::white);
    painter.setPen(Qt::black);
    painter.drawText(box, Qt::AlignLeft | Qt::AlignTop, address);
    paintDisplay(painter, panel.x + kSvDisplayX, panel.y + kSvDisplayY, panel.svText,
                 DisplayKind::Green);
    paintDisplay(painter, panel.x + kPvDisplayX, panel.y + kPvDisplayY, panel.pvText,
                 DisplayKind::Red);
}

LinkSettings linkOf(const SimInstrument& panel) {
    return LinkSettings{panel.port, panel.baud, panel.address};
}

}  // namespace

QFont panelAddressFont() {
    QFont font(QStringLiteral("Terminal"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPixelSize(16);
    font.setWeight(QFont::Normal);
    const int natural = QFontMetrics(font).horizontalAdvance(QLatin1Char('0'));
    if (natural > 0 && natural != 12) {
        font.setStretch(qBound(1, 12 * 100 / natural, 4000));
    }
    return font;
}

void paintPanelCanvas(QPainter& painter, const PanelRules& rules, const QFont& addressFont) {
    const SimTemplate& t = rules.simTemplate();
    painter.fillRect(QRect(0, 0, PanelView::kCanvasWidth, PanelView::kCanvasHeight), Qt::white);
    for (const SimInstrument& panel : t.panels()) {
        paintPanel(painter, panel, false, addressFont);
    }
    if (t.isPanel(t.current())) {
        paintPanel(painter, t.panel(t.current()), true, addressFont);
    }
    if (!t.isPanel(rules.activePanel()) || !onCanvas(t.panel(rules.activePanel()))) {
        return;
    }
    const SimInstrument& active = t.panel(rules.activePanel());
    const PanelKey held = rules.heldKey();
    const PanelKey key = held != PanelKey::None ? held : rules.hoveredKey();
    if (key != PanelKey::None) {
        const KeyArea& area = keyArea(key);
        painter.drawPixmap(active.x + area.imageX, active.y + area.imageY,
                           keyPicture(static_cast<int>(key), held != PanelKey::None));
    }
}

PanelView* PanelView::create(const ViewContext& context) {
    SimTemplate simTemplate;
    if (!context.filePath.isEmpty() &&
        simTemplate.load(context.filePath.toStdString()) != SimStatus::Ok) {
        messageBox(nullptr, fileErrorText());
        return nullptr;
    }
    return new PanelView(context, std::move(simTemplate));
}

PanelView::PanelView(const ViewContext& context, SimTemplate simTemplate, QWidget* parent)
    : QWidget(parent),
      m_context(context),
      m_rules(std::move(simTemplate)),
      m_addressFont(panelAddressFont()) {
    setObjectName(QStringLiteral("panelView"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);

    m_polls = new LinkClient(context.services->links(), this);
    connect(m_polls, &LinkClient::finished, this, &PanelView::finishPoll);
    // The controller's answer to a set-value write is not examined; polling goes on an
    // interval after it.
    m_writes = new LinkClient(context.services->links(), this);
    connect(m_writes, &LinkClient::finished, this, [this] {
        if (m_rules.writeDone()) {
            armPolling();
        }
    });

    m_addAction = makeCommand(this, QStringLiteral("addPanelAction"), trc("PanelView", "添加仪表"));
    connect(m_addAction, &QAction::triggered, this, &PanelView::addPanel);
    m_removeAction =
        makeCommand(this, QStringLiteral("removePanelAction"), trc("PanelView", "删除仪表"));
    connect(m_removeAction, &QAction::triggered, this, &PanelView::removePanel);
    m_rearrangeAction =
        makeCommand(this, QStringLiteral("rearrangeAction"), trc("PanelView", "重新排列"));
    connect(m_rearrangeAction, &QAction::triggered, this, &PanelView::rearrange);
    m_searchAction =
        makeCommand(this, QStringLiteral("searchAction"), trc("PanelView", "自动搜索"));
    connect(m_searchAction, &QAction::triggered, this, &PanelView::autoSearch);

    auto* bar = new QWidget;
    bar->setObjectName(QStringLiteral("panelBar"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(4, 2, 4, 2);
    row->setSpacing(8);
    const std::pair<QAction*, const char*> buttons[] = {{m_addAction, "addPanelButton"},
                                                        {m_removeAction, "removePanelButton"},
                                                        {m_rearrangeAction, "rearrangeButton"},
                                                        {m_searchAction, "searchButton"}};
    int image = 0;
    for (const auto& [action, name] : buttons) {
        // The captions are part of the images.
        action->setIcon(QIcon(panelToolbarImage(image++)));
        auto* button = new QToolButton(bar);
        button->setObjectName(QLatin1String(name));
        button->setDefaultAction(action);
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
        button->setIconSize(QSize(kToolbarImageWidth, kToolbarImageHeight));
        button->setFixedSize(67, 24);
        showGivenTipOnly(button);
        row->addWidget(button);
    }
    row->addStretch(1);
    if (context.frame != nullptr) {
        context.frame->addTopBar(bar);
    } else {
        bar->setParent(this);
    }

    m_pollTimer.setSingleShot(true);
    connect(&m_pollTimer, &QTimer::timeout, this, &PanelView::onPollTimer);
    m_repeatTimer.setInterval(PanelRules::kRepeatIntervalMs);
    connect(&m_repeatTimer, &QTimer::timeout, this, &PanelView::onRepeatTimer);
    m_pollTimer.start(PanelRules::kPollIntervalMs);
}

QImage PanelView::canvas() const {
    QImage image(kCanvasWidth, kCanvasHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    paintPanelCanvas(painter, m_rules, m_addressFont);
    return image;
}

void PanelView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setClipRegion(event->region());
    paintPanelCanvas(painter, m_rules, m_addressFont);
    // Beyond the canvas the window shows white as well.
    if (width() > kCanvasWidth) {
        painter.fillRect(QRect(kCanvasWidth, 0, width() - kCanvasWidth, height()), Qt::white);
    }
    if (height() > kCanvasHeight) {
        painter.fillRect(QRect(0, kCanvasHeight, width(), height() - kCanvasHeight), Qt::white);
    }
}

void PanelView::redraw(const std::optional<CanvasRect>& rect, bool all) {
    if (all) {
        update();
    } else if (rect && onCanvas(rect->x, rect->y, rect->width, rect->height)) {
        update(QRect(rect->x, rect->y, rect->width, rect->height));
    }
}

void PanelView::armPolling() {
    if (!m_searchOpen && m_rules.pollingAllowed() && !m_rules.pollBusy()) {
        m_pollTimer.start(PanelRules::kPollIntervalMs);
    }
}

void PanelView::onPollTimer() {
    const std::optional<PollPlan> plan = m_rules.beginPoll();
    if (!plan) {
        // An empty template keeps the timer going, so the first panel added is polled. A poll
        // under way, a held key and a set-value write start it again when they end.
        armPolling();
        return;
    }
    m_pollTimer.stop();
    m_polls->post(plan->poll);
}

void PanelView::finishPoll(const LinkResult& result) {
    const PollOutcome outcome = m_rules.finishPoll(result);
    if (m_rules.simTemplate().isPanel(outcome.panel)) {
        redraw(panelRect(m_rules.simTemplate().panel(outcome.panel)), false);
    }
    if (outcome.armTimer) {
        armPolling();
    }
}

void PanelView::onRepeatTimer() {
    redraw(m_rules.repeatStep(), false);
}

void PanelView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    const MouseOutcome outcome = m_rules.mouseMove(at.x(), at.y());
    redraw(outcome.redraw, outcome.redrawAll);
}

void PanelView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const QPoint at = event->position().toPoint();
    const MouseOutcome outcome = m_rules.mouseDown(at.x(), at.y());
    if (outcome.stopPolling) {
        m_pollTimer.stop();
    }
    if (outcome.startRepeat) {
        m_repeatTimer.start();
    }
    redraw(outcome.redraw, outcome.redrawAll);
}

void PanelView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    m_pollTimer.stop();
    m_repeatTimer.stop();
    const QPoint at = event->position().toPoint();
    const ReleaseOutcome outcome = m_rules.mouseUp(at.x(), at.y());
    runKeyAction(outcome);
    redraw(outcome.redraw, false);
    if (outcome.armTimer) {
        armPolling();
    }
}

void PanelView::runKeyAction(const ReleaseOutcome& outcome) {
    switch (outcome.action) {
        case KeyAction::None:
            break;
        case KeyAction::LinkSettings: {
            const SimInstrument& panel = m_rules.simTemplate().panel(outcome.panel);
            LinkSettingsDialog dialog(panel.port, panel.baud, panel.address, this);
            if (prompts().runDialog(dialog) == QDialog::Accepted) {
                m_rules.setLink(outcome.panel, PanelLink{static_cast<uint8_t>(dialog.portIndex()),
                                                         static_cast<uint8_t>(dialog.baudIndex()),
                                                         static_cast<uint8_t>(dialog.address())});
                update();
            }
            break;
        }
        case KeyAction::Parameters:
            m_context.services->openParameters(linkOf(m_rules.simTemplate().panel(outcome.panel)));
            break;
        case KeyAction::WriteSetValue:
            m_writes->post(*outcome.write);
            break;
    }
}

void PanelView::addPanel() {
    m_rules.addPanel();
    update();
}

void PanelView::removePanel() {
    m_rules.removeCurrent();
    update();
}

void PanelView::rearrange() {
    m_rules.rearrange();
    update();
}

void PanelView::autoSearch() {
    m_pollTimer.stop();
    m_searchOpen = true;
    AutoSearchDialog dialog(m_context.services->links(), this);
    if (prompts().runDialog(dialog) == QDialog::Accepted) {
        std::vector<PanelLink> found;
        for (const FoundInstrument& f : dialog.found()) {
            found.push_back({static_cast<uint8_t>(f.port), static_cast<uint8_t>(f.baud),
                             static_cast<uint8_t>(f.address)});
        }
        m_rules.replacePanels(found);
        update();
    }
    m_searchOpen = false;
    armPolling();
}

void PanelView::saveTemplate() {
    FileDialogRequest request;
    request.filter = trc("PanelView", "模板文件(*.sim);;所有文件(*.*)");
    request.defaultExtension = QStringLiteral("sim");
    request.initialName = QStringLiteral("*.sim");
    request.mustExist = false;
    const QString path = prompts().saveFileName(this, request);
    if (path.isEmpty()) {
        return;
    }
    if (m_rules.simTemplate().save(path.toStdString()) != SimStatus::Ok) {
        messageBox(this, fileErrorText());
    }
}

bool PanelView::isCommandEnabled(ViewCommand command) const {
    return command == ViewCommand::SaveTemplate;
}

void PanelView::onViewCommand(ViewCommand command) {
    if (command == ViewCommand::SaveTemplate) {
        saveTemplate();
    }
}

}  // namespace tervo::gui
