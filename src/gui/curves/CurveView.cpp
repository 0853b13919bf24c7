#include "gui/curves/CurveView.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QToolButton>

#include "core/curves/CurveChart.h"
#include "core/link/PortMap.h"
#include "core/work/WorkDefinition.h"
#include "gui/app/ChildWindow.h"
#include "gui/app/LinkThreads.h"
#include "gui/curves/CurveDialogs.h"
#include "gui/curves/CurveUploadDialog.h"
#include "gui/tools/LinkSettingsDialog.h"
#include "gui/widgets/BarStrip.h"
#include "gui/widgets/Commands.h"
#include "gui/widgets/Fonts.h"
#include "gui/widgets/Geometry.h"
#include "gui/widgets/PickCombo.h"
#include "gui/widgets/Pictures.h"
#include "gui/widgets/Prompts.h"
#include "gui/widgets/Translate.h"

namespace tervo::gui {

namespace {

constexpr int kCurveButtonWidth = 61;  // the curve toolbar's strip (bitmap 204)
constexpr int kRunButtonWidth = 49;    // the run toolbar's strip (bitmap 268)
constexpr int kButtonHeight = 22;

QString curveFilter() {
    return trc("CurveView", "采集文件(*.lin);;所有文件(*.*)");
}

// A button image of the two curve toolbars: the caption is part of the picture.
QIcon captionImage(const QString& caption, int buttonWidth) {
    QPixmap pixmap = pictureCanvas(buttonWidth - 6, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    QFont font = songFont(11, 5);
    painter.setFont(font);
    painter.setPen(QColor(0x20, 0x20, 0x20));
    painter.drawText(QRect(0, 0, buttonWidth - 6, 16), Qt::AlignCenter, caption);
    return QIcon(pixmap);
}

// A button of the curve toolbars at its toolbar coordinates, its image the caption.
void placeButton(BarStrip* bar, QAction* action, const QString& name, const QRect& rect) {
    action->setIcon(captionImage(action->text(), rect.width()));
    auto* button = new QToolButton;
    button->setObjectName(name);
    button->setDefaultAction(action);
    button->setIconSize(QSize(rect.width() - 6, 16));
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    showGivenTipOnly(button);
    bar->place(button, rect);
}

QColor penColor(ChartPen pen) {
    switch (pen) {
        case ChartPen::LevelGrid:
            return QColor(150, 255, 150);
        case ChartPen::TimeGrid:
            return QColor(150, 150, 255);
        case ChartPen::Run:
            return QColor(255, 0, 0);
        case ChartPen::NotRun:
            return QColor(0, 0, 255);
        case ChartPen::NotRunSelected:
            return QColor(0, 255, 0);
    }
    return Qt::black;
}

int penWidth(ChartPen pen) {
    return pen == ChartPen::Run || pen == ChartPen::NotRunSelected ? 2 : 1;
}

// Text whose top-left corner lies at (x, y), as the view places its texts.
void textAt(QPainter& painter, int x, int y, const QString& text) {
    painter.drawText(x, y + painter.fontMetrics().ascent(), text);
}

QString printed(const char* format, double value) {
    return QString::asprintf(format, value);
}

}  // namespace

void paintCurveView(QPainter& painter, const CurveRules& rules) {
    const QFont small = songFont(14, 7);
    const QFont large = songFont(25, 12);
    painter.fillRect(
        cornerRect(CurvePlot::kLeft, CurvePlot::kTop, CurvePlot::kRight, CurvePlot::kBottom),
        QColor(240, 250, 255));
    painter.setPen(Qt::black);
    if (!isNoValue(rules.currentValue())) {
        const int64_t elapsed = rules.elapsedSeconds();
        painter.setFont(large);
        textAt(painter, 400, 400,
               printfForm(trc("CurveView", "当前值：  %0.2f"), rules.currentValue()));
        textAt(painter, 400, 450,
               printfForm(trc("CurveView", "当前时间：%02d:%02d:%02d"), int(elapsed / 3600),
                          int(elapsed / 60 % 60), int(elapsed % 60)));
        painter.setFont(small);
        textAt(painter, 800, 100,
               printfForm(trc("CurveView", "发送间隔:  %d秒"), rules.intervalSeconds()));
        textAt(painter, 800, 130,
               trc("CurveView", "串口号:  ") + QString::fromStdString(portName(rules.port())));
        textAt(painter, 800, 160,
               trc("CurveView", "波特率:  %1BPS").arg(QString::fromLatin1(baudText(rules.baud()))));
        for (int i = 0; i < static_cast<int>(rules.addresses().size()); ++i) {
            textAt(
                painter, 800, 190 + 30 * i,
                printfForm(trc("CurveView", "地址%02d:  %02d"), i, rules.addresses()[size_t(i)]));
        }
    }
    painter.setFont(small);
    textAt(painter, 945, 495, trc("CurveView", "分钟"));
    textAt(painter, 932, 15, trc("CurveView", "摄氏度"));
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(14, 9, 976 - 14 - 1, 511 - 9 - 1));

    const CurveChart chart = layoutCurveChart(rules.curve(), rules.startValue(),
                                              rules.elapsedSeconds(), rules.selected());
    for (const auto* lines : {&chart.grid, &chart.program}) {
        for (const ChartLine& line : *lines) {
            painter.setPen(QPen(penColor(line.pen), penWidth(line.pen)));
            painter.drawLine(line.x1, line.y1, line.x2, line.y2);
        }
        if (lines == &chart.grid) {
            for (const ChartText& label : chart.labels) {
                painter.setPen(penColor(label.pen));
                textAt(painter, label.x, label.y, QString::fromStdString(label.text));
            }
        }
    }
}

CurveView* CurveView::create(const ViewContext& context) {
    // The window does not exist yet: the dialogs stand over the main window.
    QWidget* parent = context.services->dialogParent();
    CurveOpenDialog open(CurveOpenDialog::OpenFile, parent);
    if (prompts().runDialog(open) != QDialog::Accepted) {
        return nullptr;
    }
    LinkSettings link;
    TrackingCurve curve;
    if (open.choice() == CurveOpenDialog::OpenFile) {
        FileDialogRequest request;
        request.filter = curveFilter();
        request.defaultExtension = QStringLiteral("lin");
        request.initialName = QStringLiteral("*.lin");
        request.mustExist = true;
        const QString path = prompts().openFileName(parent, request);
        if (path.isEmpty()) {
            return nullptr;
        }
        if (curve.load(path.toStdString()) != CurveStatus::Ok) {
            messageBox(parent, QString::fromUtf8(kCurveFileErrorText));
            return nullptr;
        }
    } else if (open.choice() == CurveOpenDialog::FromInstrument) {
        std::optional<UploadedCurve> uploaded = uploadCurve(parent, context.services->links());
        if (!uploaded) {
            return nullptr;
        }
        curve = uploaded->curve;
        link = uploaded->link;
    }
    return new CurveView(context, std::move(curve), link);
}

CurveView::CurveView(const ViewContext& context, TrackingCurve curve, const LinkSettings& link)
    : m_context(context),
      m_rules(std::move(curve), link.port, link.baud, link.address),
      m_font(songFont(14, 7)) {
    setObjectName(QStringLiteral("curveView"));
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);

    m_link = new LinkClient(context.services->links(), this);
    connect(m_link, &LinkClient::finished, this, &CurveView::finishRequest);
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);  // a coarse timer may be 5 % off the grid's point
    connect(&m_timer, &QTimer::timeout, this, &CurveView::onTimer);

    buildCurveBar();
    buildRunBar();
    if (context.frame != nullptr) {
        context.frame->addTopBar(m_curveBar);
        context.frame->addTopBar(m_runBar);
    } else {
        m_curveBar->setParent(this);
        m_runBar->setParent(this);
        m_curveBar->setGeometry(0, 0, 1010, m_curveBar->height());
        m_runBar->setGeometry(0, m_curveBar->height(), 1010, m_runBar->height());
    }
    action(QStringLiteral("pcControlAction"))->setChecked(true);
    refresh();
}

QAction* CurveView::command(const QString& name, const QString& caption,
                            void (CurveView::*slot)()) {
    QAction* action = makeCommand(this, name, caption);
    connect(action, &QAction::triggered, this, slot);
    m_actions.append(action);
    return action;
}

QAction* CurveView::action(const QString& name) const {
    for (QAction* a : m_actions) {
        if (a->objectName() == name) {
            return a;
        }
    }
    return nullptr;
}

void CurveView::placeButtons(BarStrip* bar, std::initializer_list<BarButton> buttons, int top,
                             int width, bool checkable) {
    int x = 4;
    for (const BarButton& b : buttons) {
        if (b.name == nullptr) {  // a gap between groups
            x += 8;
            continue;
        }
        const QString name = QString::fromLatin1(b.name);
        QAction* a = command(name + QStringLiteral("Action"), tr(b.caption), b.slot);
        a->setCheckable(checkable);
        placeButton(bar, a, name + QStringLiteral("Button"), QRect(x, top, width, kButtonHeight));
        x += width;
    }
}

void CurveView::buildCurveBar() {
    m_curveBar = new BarStrip(0, 26);
    m_curveBar->setObjectName(QStringLiteral("curveBar"));
    m_curveBar->setFont(m_font);
    placeButtons(m_curveBar,
                 {
                     {"addSegment", QT_TR_NOOP("添加工作点"), &CurveView::addSegment},
                     {"deleteSegment", QT_TR_NOOP("删除工作点"), &CurveView::deleteSegment},
                     {},
                     {"saveCurve", QT_TR_NOOP("保存曲线"), &CurveView::save},
                     {"download", QT_TR_NOOP("下载曲线"), &CurveView::download},
                     {},
                     {"selectSegment", QT_TR_NOOP("选择曲线点"), &CurveView::selectNext},
                     {"modifySegment", QT_TR_NOOP("修改曲线点"), &CurveView::modifySegment},
                 },
                 2, kCurveButtonWidth, false);

    auto label = [this](const QString& text, const QString& name, const QRect& rect) {
        auto* l = new QLabel(text);
        l->setObjectName(name);
        l->setFont(m_font);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_curveBar->place(l, rect);
        return l;
    };
    auto edit = [this](const QString& name, const QRect& rect) {
        auto* e = new QLineEdit;
        e->setObjectName(name);
        e->setFont(m_font);
        m_curveBar->place(e, rect);
        return e;
    };
    m_rateLabel = label(trc("CurveView", "斜率值："), QStringLiteral("rateLabel"),
                        cornerRect(490, 3, 560, 20));
    m_rateEdit = edit(QStringLiteral("rateEdit"), cornerRect(560, 1, 640, 20));
    m_levelLabel = label(trc("CurveView", "设定值："), QStringLiteral("levelLabel"),
                         cornerRect(650, 3, 720, 20));
    m_levelEdit = edit(QStringLiteral("levelEdit"), cornerRect(720, 1, 805, 20));
    m_dwellLabel = label(trc("CurveView", "平台时间："), QStringLiteral("dwellLabel"),
                         cornerRect(810, 3, 900, 20));
    m_dwellEdit = edit(QStringLiteral("dwellEdit"), cornerRect(900, 1, 980, 20));
}

void CurveView::buildRunBar() {
    m_runBar = new BarStrip(0, 28);
    m_runBar->setObjectName(QStringLiteral("runBar"));
    m_runBar->setFont(m_font);
    placeButtons(m_runBar,
                 {
                     {"run", QT_TR_NOOP("运行曲线"), &CurveView::run},
                     {"pause", QT_TR_NOOP("暂停曲线"), &CurveView::pause},
                     {"stop", QT_TR_NOOP("停止曲线"), &CurveView::stop},
                     {},
                     {"pcControl", QT_TR_NOOP("PC控制"), &CurveView::togglePcControl},
                 },
                 3, kRunButtonWidth, true);

    auto label = [this](const QString& text, const QRect& rect) {
        auto* l = new QLabel(text);
        l->setFont(m_font);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_runBar->place(l, rect);
    };
    auto combo = [this](const QString& name, const QStringList& entries, int left, int right) {
        auto* c = new PickCombo;
        c->setObjectName(name);
        c->setFont(m_font);
        c->setEntries(entries);
        m_runBar->place(c, cornerRect(left, 2, right, 24));
        return c;
    };
    label(trc("CurveView", "发送间隔："), cornerRect(250, 5, 330, 23));
    m_interval = combo(QStringLiteral("intervalCombo"),
                       {trc("CurveView", "1秒"), trc("CurveView", "5秒"), trc("CurveView", "10秒"),
                        trc("CurveView", "60秒")},
                       330, 410);
    m_interval->setSelection(0);
    label(trc("CurveView", "串口号："), cornerRect(410, 5, 490, 23));
    QStringList ports;
    for (int i = 1; i <= kPortCount; ++i) {
        ports << QStringLiteral("COMM%1").arg(i);
    }
    m_port = combo(QStringLiteral("portCombo"), ports, 490, 570);
    m_port->setSelection(m_rules.port() < kPortCount ? m_rules.port() : -1);
    label(trc("CurveView", "波特率："), cornerRect(570, 5, 650, 23));
    QStringList bauds;
    for (int i = 0; i < kBaudCount; ++i) {
        bauds << QString::fromLatin1(baudText(i));
    }
    m_baud = combo(QStringLiteral("baudCombo"), bauds, 650, 730);
    m_baud->setSelection(m_rules.baud() < kBaudCount ? m_rules.baud() : -1);
    label(trc("CurveView", "仪表地址："), cornerRect(730, 5, 810, 23));
    m_address = combo(QStringLiteral("addressCombo"),
                      {QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"),
                       QStringLiteral("3"), trc("CurveView", "可输入多地址,由逗号隔开")},
                      810, 980);
    m_address->setText(twoDigitAddress(m_rules.firstAddress()));
}

CurveBoxes CurveView::boxes() const {
    return CurveBoxes{m_port->selection(), m_baud->selection(), m_address->text().toStdString(),
                      m_interval->text().toStdString()};
}

void CurveView::refresh() {
    const CurveRunState state = m_rules.state();
    const bool stopped = state == CurveRunState::Stopped;
    action(QStringLiteral("runAction"))->setChecked(state == CurveRunState::Running);
    action(QStringLiteral("pauseAction"))->setChecked(state == CurveRunState::Paused);
    action(QStringLiteral("stopAction"))->setChecked(stopped);
    action(QStringLiteral("pcControlAction"))->setChecked(m_rules.pcControl());
    for (const char* name : {"addSegmentAction", "deleteSegmentAction", "modifySegmentAction",
                             "downloadAction", "pcControlAction"}) {
        action(QString::fromLatin1(name))->setEnabled(stopped);
    }
}

void CurveView::apply(const CurveOutcome& outcome) {
    if (outcome.timer == TimerAction::Start) {
        m_timer.start(outcome.intervalMs);
    } else if (outcome.timer == TimerAction::Stop) {
        m_timer.stop();
    }
    refresh();
    update();
    sendNext();
    if (!outcome.message.empty()) {
        messageBox(this, QString::fromStdString(outcome.message));
    }
}

void CurveView::sendNext() {
    if (std::optional<LinkRequest> request = m_rules.nextRequest()) {
        m_link->post(*request);
    }
}

void CurveView::finishRequest(const LinkResult& result) {
    apply(m_rules.finishRequest(result));
}

void CurveView::addSegment() {
    apply(m_rules.addSegment());
}

void CurveView::deleteSegment() {
    m_rules.deleteSegment();
    update();
}

void CurveView::selectNext() {
    m_rules.selectNext();
    const int selected = m_rules.selected();
    if (selected >= 0) {
        const CurveSegment& s = m_rules.curve().segments()[size_t(selected)];
        m_rateLabel->setText(trc("CurveView", "斜率值r%1：").arg(selected + 1));
        m_levelLabel->setText(trc("CurveView", "设定值L%1：").arg(selected + 1));
        m_dwellLabel->setText(trc("CurveView", "平台时间d%1：").arg(selected + 1));
        m_rateEdit->setText(printed("%0.2f", s.rate));
        m_levelEdit->setText(printed("%0.2f", s.level));
        m_dwellEdit->setText(printed("%0.2f", s.dwell));
    }
    update();
}

void CurveView::modifySegment() {
    m_rules.modifySegment(m_rateEdit->text().toStdString(), m_levelEdit->text().toStdString(),
                          m_dwellEdit->text().toStdString());
    update();
}

void CurveView::save() {
    FileDialogRequest request;
    request.filter = curveFilter();
    request.defaultExtension = QStringLiteral("lin");
    request.initialName = QStringLiteral("*.lin");
    request.mustExist = false;
    const QString path =
        withDefaultExtension(prompts().saveFileName(this, request), request.defaultExtension);
    if (path.isEmpty()) {
        return;
    }
    if (m_rules.curve().save(path.toStdString()) != CurveStatus::Ok) {
        messageBox(this, QString::fromUtf8(kCurveFileErrorText));
    }
}

void CurveView::download() {
    apply(m_rules.download(boxes()));
}

void CurveView::run() {
    CurveOutcome outcome = m_rules.run(boxes());
    if (outcome.askStartPoint) {
        StartPointDialog dialog(0, 0.0, this);
        prompts().runDialog(dialog);
        outcome = m_rules.startRun(static_cast<StartChoice>(dialog.choice()), dialog.value());
    }
    apply(outcome);
}

void CurveView::pause() {
    if (m_context.services->protectedMode() && !m_context.services->checkPassword(this)) {
        refresh();
        return;
    }
    apply(m_rules.pause());
}

void CurveView::stop() {
    if (m_context.services->protectedMode() && !m_context.services->checkPassword(this)) {
        refresh();
        return;
    }
    apply(m_rules.stop());
}

void CurveView::togglePcControl() {
    apply(m_rules.setPcControl(action(QStringLiteral("pcControlAction"))->isChecked()));
}

void CurveView::onTimer() {
    m_timer.stop();
    apply(m_rules.tick());
}

bool CurveView::isCommandEnabled(ViewCommand command) const {
    return command == ViewCommand::SaveCurve;
}

void CurveView::onViewCommand(ViewCommand command) {
    if (command == ViewCommand::SaveCurve) {
        save();
    }
}

void CurveView::paintEvent(QPaintEvent*) {
    QImage image(size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        paintCurveView(painter, m_rules);
    }
    QPainter(this).drawImage(0, 0, image);
}

}  // namespace tervo::gui
