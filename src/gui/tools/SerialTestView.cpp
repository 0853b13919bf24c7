#include "gui/tools/SerialTestView.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QStatusBar>

#include "core/link/PortMap.h"
#include "core/text/Gbk.h"
#include "gui/app/ChildWindow.h"
#include "gui/app/LinkThreads.h"
#include "gui/tools/ReceiveScreenWidget.h"
#include "gui/widgets/BarStrip.h"
#include "gui/widgets/Commands.h"
#include "gui/widgets/Fonts.h"
#include "gui/widgets/Geometry.h"
#include "gui/widgets/PickCombo.h"
#include "gui/widgets/Pictures.h"
#include "gui/widgets/Translate.h"

namespace tervo::gui {

namespace {

// The 20 x 20 send indicator: the left or the right half of picture 151.
class Indicator : public QWidget {
public:
    explicit Indicator(const SerialTestRules& rules) : m_rules(rules) { setFixedSize(20, 20); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        blit(painter, rect(), picture(kIndicator), {m_rules.indicator() == 0 ? 0 : 20, 0});
    }

private:
    const SerialTestRules& m_rules;
};

PickCombo* lineCombo(QWidget* parent, const char* name, const QStringList& entries, int selected,
                     const QRect& rect, const QFont& font) {
    auto* combo = new PickCombo(parent);
    combo->setObjectName(QString::fromLatin1(name));
    combo->setFont(font);
    combo->setEntries(entries);
    combo->setSelection(selected);
    combo->setGeometry(rect.x(), rect.y(), rect.width(), 22);
    return combo;
}

}  // namespace

SerialTestView::SerialTestView(const ViewContext& context, QWidget* parent)
    : QWidget(parent), m_context(context), m_font(songFont(14, 7)) {
    setObjectName(QStringLiteral("serialTestView"));
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);

    m_port = lineCombo(this, "portCombo",
                       {QStringLiteral("COMM1"), QStringLiteral("COMM2"), QStringLiteral("COMM3"),
                        QStringLiteral("COMM4"), QStringLiteral("COMM5"), QStringLiteral("COMM6")},
                       0, cornerRect(70, 50, 170, 250), m_font);
    m_baud =
        lineCombo(this, "baudCombo",
                  {QStringLiteral("300 bps"), QStringLiteral("600 bps"), QStringLiteral("1200 bps"),
                   QStringLiteral("2400 bps"), QStringLiteral("4800 bps"),
                   QStringLiteral("9600 bps"), QStringLiteral("19200 bps")},
                  5, cornerRect(70, 100, 170, 300), m_font);
    m_dataBits = lineCombo(
        this, "dataBitsCombo",
        {trc("SerialTestView", "4位"), trc("SerialTestView", "5位"), trc("SerialTestView", "6位"),
         trc("SerialTestView", "7位"), trc("SerialTestView", "8位")},
        3, cornerRect(70, 150, 170, 350), m_font);
    m_parity = lineCombo(this, "parityCombo",
                         {trc("SerialTestView", "无校验"), trc("SerialTestView", "偶校验"),
                          trc("SerialTestView", "奇校验")},
                         1, cornerRect(70, 200, 170, 400), m_font);
    m_stopBits = lineCombo(this, "stopBitsCombo",
                           {trc("SerialTestView", "1位"), trc("SerialTestView", "1位半"),
                            trc("SerialTestView", "2位")},
                           0, cornerRect(70, 250, 170, 450), m_font);
    m_interval = lineCombo(this, "intervalCombo",
                           {QStringLiteral("100"), QStringLiteral("500"), QStringLiteral("1000")},
                           1, cornerRect(70, 380, 170, 580), m_font);

    m_hex = new QCheckBox(trc("SerialTestView", "16进制显示"), this);
    m_hex->setObjectName(QStringLiteral("hexCheck"));
    m_hex->setFont(m_font);
    m_hex->setGeometry(cornerRect(0, 300, 100, 320));

    m_autoButton = new QPushButton(trc("SerialTestView", "自动发送"), this);
    m_autoButton->setObjectName(QStringLiteral("autoSendButton"));
    m_autoButton->setFont(m_font);
    m_autoButton->setCheckable(true);
    m_autoButton->setGeometry(cornerRect(0, 420, 100, 440));
    connect(m_autoButton, &QPushButton::clicked, this, &SerialTestView::toggleAutoSend);

    m_screen = new ReceiveScreenWidget(m_rules.screen(), this);

    m_sends = new LinkClient(context.services->links(), this);
    connect(m_sends, &LinkClient::finished, this, &SerialTestView::showReply);
    m_autoSends = new LinkClient(context.services->links(), this);
    connect(m_autoSends, &LinkClient::finished, this, [this](const LinkResult& result) {
        showReply(result);
        finishAutoStep();
    });

    m_sendAction =
        makeCommand(this, QStringLiteral("sendAction"), trc("SerialTestView", "发送输入数据"),
                    trc("SerialTestView", "发送输入数据"));
    connect(m_sendAction, &QAction::triggered, this, &SerialTestView::sendOnce);
    m_clearAction =
        makeCommand(this, QStringLiteral("clearAction"), trc("SerialTestView", "清除显示"),
                    trc("SerialTestView", "清除显示"));
    connect(m_clearAction, &QAction::triggered, this, &SerialTestView::clearScreen);
    m_resetAction =
        makeCommand(this, QStringLiteral("resetCountersAction"),
                    trc("SerialTestView", "计数器清零"), trc("SerialTestView", "计数器清零"));
    connect(m_resetAction, &QAction::triggered, this, &SerialTestView::resetCounters);

    m_top = new BarStrip(kToolbarTest, 36);
    m_top->setObjectName(QStringLiteral("commandBar"));
    m_top->addButton(m_sendAction, 0, QStringLiteral("sendButton"));
    m_top->addSeparator();
    m_top->addButton(m_clearAction, 1, QStringLiteral("clearButton"));
    m_top->addSeparator();
    m_top->addButton(m_resetAction, 2, QStringLiteral("resetCountersButton"));
    m_counters = new QLabel;
    m_counters->setObjectName(QStringLiteral("counterLabel"));
    m_counters->setFont(m_font);
    m_top->place(m_counters, cornerRect(400, 7, 800, 33));
    m_indicatorLight = new Indicator(m_rules);
    m_indicatorLight->setObjectName(QStringLiteral("sendIndicator"));
    m_top->place(m_indicatorLight, QRect(900, 3, 20, 20));

    // The bottom bar's one button has no command and stays disabled.
    QAction* idle = makeCommand(this, QStringLiteral("idleAction"), QString());
    idle->setEnabled(false);
    m_bottom = new BarStrip(kToolbarTestBottom, 26);
    m_bottom->setObjectName(QStringLiteral("sendBar"));
    m_bottom->addButton(idle, 0, QStringLiteral("idleButton"));
    auto* sendLabel = new QLabel(trc("SerialTestView", "发送数据："));
    sendLabel->setFont(m_font);
    m_bottom->place(sendLabel, cornerRect(30, 5, 100, 23));
    m_send = new PickCombo;
    m_send->setObjectName(QStringLiteral("sendCombo"));
    m_send->setFont(m_font);
    m_send->setEntries(
        {QStringLiteral("04 30 30 30 30 50 56 05"), QStringLiteral("04 30 30 30 30 53 4C 05")});
    m_send->setSelection(0);
    m_send->lineEdit()->setMaxLength(static_cast<int>(SerialTestRules::kMaxSendCharacters));
    m_bottom->place(m_send, QRect(100, 2, 877, 22));

    m_status = new QStatusBar;
    m_status->setObjectName(QStringLiteral("childStatusBar"));
    m_status->setFont(m_font);
    connect(m_port, &QComboBox::currentIndexChanged, this, &SerialTestView::showPortPath);

    if (context.frame != nullptr) {
        context.frame->addTopBar(m_top);
        context.frame->addBottomBar(m_bottom);
        context.frame->setFrameStatusBar(m_status);
    } else {
        m_top->setParent(this);
        m_bottom->setParent(this);
        m_status->setParent(this);
    }

    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &SerialTestView::onTimer);
    m_counters->setText(QString::fromStdString(SerialTestRules::counterText(0, 0)));
    showPortPath();
}

void SerialTestView::showPortPath() {
    const int port = m_port->selection();
    if (port >= 0) {
        m_status->showMessage(QString::fromStdString(portName(port)) + trc("SerialTestView", "：") +
                              QString::fromStdString(portPath(port)));
    }
}

int SerialTestView::sendsUnderway() const {
    return m_sends->pending() + m_autoSends->pending();
}

LineSelection SerialTestView::selection() const {
    return {m_port->selection(), m_baud->selection(), m_dataBits->selection(),
            m_parity->selection(), m_stopBits->selection()};
}

std::string SerialTestView::sendText() const {
    return utf8ToGbk(m_send->currentText().toStdString());
}

void SerialTestView::sendOnce() {
    if (const std::optional<LinkRequest> request = m_rules.send(selection(), sendText())) {
        m_sends->post(*request);
    }
}

void SerialTestView::showReply(const LinkResult& result) {
    const SendOutcome outcome = m_rules.finishSend(result, m_hex->isChecked());
    m_screen->repaintDamage(outcome.damage);
    m_counters->setText(QString::fromStdString(outcome.counters));
}

void SerialTestView::clearScreen() {
    m_rules.clearScreen();
    m_screen->update();
}

void SerialTestView::resetCounters() {
    m_counters->setText(QString::fromStdString(m_rules.resetCounters()));
}

void SerialTestView::toggleAutoSend() {
    const AutoSendToggle toggle = m_rules.toggleAutoSend();
    m_autoButton->setChecked(toggle.checked);
    if (toggle.timer == TimerAction::Start) {
        m_timer.start(toggle.timerMs);
    } else if (toggle.timer == TimerAction::Stop) {
        m_timer.stop();
    }
}

void SerialTestView::onTimer() {
    if (!m_rules.beginAutoStep(m_interval->value())) {
        return;
    }
    m_timer.stop();
    if (const std::optional<LinkRequest> request = m_rules.send(selection(), sendText())) {
        m_autoSends->post(*request);
    } else {
        finishAutoStep();
    }
}

void SerialTestView::finishAutoStep() {
    const AutoStepOutcome outcome = m_rules.finishAutoStep();
    m_indicatorLight->update();
    if (outcome.clearButton) {
        m_autoButton->setChecked(false);
    }
    if (outcome.timer == TimerAction::Start) {
        m_timer.start(outcome.timerMs);
    }
}

void SerialTestView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, picture(kTestPanel));
}

}  // namespace tervo::gui
