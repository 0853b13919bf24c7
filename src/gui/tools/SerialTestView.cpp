#include "tools/SerialTestView.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QStatusBar>
#include <QToolButton>

#include "app/ChildWindow.h"
#include "link/PortMap.h"
#include "link/SerialLink.h"
#include "text/Gbk.h"
#include "text/HexText.h"
#include "widgets/BarStrip.h"
#include "widgets/Fonts.h"
#include "widgets/Geometry.h"
#include "widgets/LinkOpener.h"
#include "widgets/PickCombo.h"
#include "widgets/Pictures.h"

namespace tervo::gui {

namespace {

constexpr int kCmdSend = 32793;
constexpr int kCmdClear = 32796;
constexpr int kCmdResetCounters = 32860;
constexpr int kCmdBottom = 32790;

// Line-setting codes of the parity entries (none, even, odd) and the stop-bit entries
// (1, 1.5, 2).
constexpr uint8_t kParityCodes[] = {0, 2, 1};
constexpr uint8_t kStopBitCodes[] = {0, 1, 2};

constexpr int kMaxSendCharacters = 99;

// The 20 x 20 send indicator: the left or the right half of picture 151.
class Indicator : public QWidget {
public:
    Indicator(const int& state, QWidget* parent) : QWidget(parent), m_state(state) {
        setFixedSize(20, 20);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        blit(painter, rect(), picture(kIndicator), {m_state == 0 ? 0 : 20, 0});
    }

private:
    const int& m_state;
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

QString SerialTestView::counterText(uint32_t sent, uint32_t received) {
    return QString::asprintf("发送数据：%7u         接收数据：%7u", sent, received);
}

SerialTestView::SerialTestView(const ViewContext& context, QWidget* parent)
    : QWidget(parent), m_context(context), m_font(songFont(14, 7)) {
    setObjectName(QStringLiteral("SerialTestView"));
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
    m_dataBits = lineCombo(this, "dataBitsCombo",
                           {QStringLiteral("4位"), QStringLiteral("5位"), QStringLiteral("6位"),
                            QStringLiteral("7位"), QStringLiteral("8位")},
                           3, cornerRect(70, 150, 170, 350), m_font);
    m_parity =
        lineCombo(this, "parityCombo",
                  {QStringLiteral("无校验"), QStringLiteral("偶校验"), QStringLiteral("奇校验")}, 1,
                  cornerRect(70, 200, 170, 400), m_font);
    m_stopBits = lineCombo(this, "stopBitsCombo",
                           {QStringLiteral("1位"), QStringLiteral("1位半"), QStringLiteral("2位")},
                           0, cornerRect(70, 250, 170, 450), m_font);
    m_interval = lineCombo(this, "intervalCombo",
                           {QStringLiteral("100"), QStringLiteral("500"), QStringLiteral("1000")},
                           1, cornerRect(70, 380, 170, 580), m_font);

    m_hex = new QCheckBox(QStringLiteral("16进制显示"), this);
    m_hex->setObjectName(QStringLiteral("id504"));
    m_hex->setFont(m_font);
    m_hex->setGeometry(cornerRect(0, 300, 100, 320));

    m_autoButton = new QPushButton(QStringLiteral("自动发送"), this);
    m_autoButton->setObjectName(QStringLiteral("id514"));
    m_autoButton->setFont(m_font);
    m_autoButton->setCheckable(true);
    m_autoButton->setGeometry(cornerRect(0, 420, 100, 440));
    connect(m_autoButton, &QPushButton::clicked, this, &SerialTestView::toggleAutoSend);

    m_top = new BarStrip(kToolbarTest, 36);
    m_top->setObjectName(QStringLiteral("toolbar146"));
    m_top->addButton(kCmdSend, 0, QStringLiteral("发送输入数据"), QStringLiteral("发送输入数据"));
    m_top->addSeparator();
    m_top->addButton(kCmdClear, 1, QStringLiteral("清除显示"), QStringLiteral("清除显示"));
    m_top->addSeparator();
    m_top->addButton(kCmdResetCounters, 2, QStringLiteral("计数器清零"),
                     QStringLiteral("计数器清零"));
    m_counters = new QLabel;
    m_counters->setObjectName(QStringLiteral("counterLabel"));
    m_counters->setFont(m_font);
    m_top->place(m_counters, cornerRect(400, 7, 800, 33));
    m_indicatorLight = new Indicator(m_indicator, nullptr);
    m_top->place(m_indicatorLight, QRect(900, 3, 20, 20));
    connect(m_top, &BarStrip::command, this, [this](int id) {
        if (id == kCmdSend) {
            sendOnce();
        } else if (id == kCmdClear) {
            clearScreen();
        } else if (id == kCmdResetCounters) {
            resetCounters();
        }
    });

    m_bottom = new BarStrip(kToolbarTestBottom, 26);
    m_bottom->setObjectName(QStringLiteral("toolbar148"));
    m_bottom->addButton(kCmdBottom, 0)->setEnabled(false);
    auto* sendLabel = new QLabel(QStringLiteral("发送数据："));
    sendLabel->setFont(m_font);
    m_bottom->place(sendLabel, cornerRect(30, 5, 100, 23));
    m_send = new PickCombo;
    m_send->setObjectName(QStringLiteral("sendCombo"));
    m_send->setFont(m_font);
    m_send->setEntries(
        {QStringLiteral("04 30 30 30 30 50 56 05"), QStringLiteral("04 30 30 30 30 53 4C 05")});
    m_send->setSelection(0);
    m_send->lineEdit()->setMaxLength(kMaxSendCharacters);
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
    updateCounters();
    showPortPath();
}

void SerialTestView::showPortPath() {
    const int port = m_port->selection();
    if (port >= 0) {
        m_status->showMessage(QString::fromStdString(portName(port)) + QStringLiteral("：") +
                              QString::fromStdString(portPath(port)));
    }
}

std::vector<uint8_t> SerialTestView::transmitBytes() const {
    std::string text = utf8ToGbk(m_send->currentText().toStdString());
    if (text.size() > kMaxSendCharacters) {
        text.resize(kMaxSendCharacters);
    }
    return parseHexText(text);
}

void SerialTestView::sendOnce() {
    const int port = m_port->selection();
    const int baud = m_baud->selection();
    const int dataBits = m_dataBits->selection();
    const int parity = m_parity->selection();
    const int stopBits = m_stopBits->selection();
    if (port < 0 || baud < 0 || dataBits < 0 || parity < 0 || stopBits < 0) {
        return;
    }
    const LineFormat format{static_cast<uint8_t>(baud), static_cast<uint8_t>(dataBits + 4),
                            kParityCodes[parity], kStopBitCodes[stopBits]};
    const std::vector<uint8_t> bytes = transmitBytes();
    m_sent += static_cast<uint32_t>(bytes.size());
    const ExchangeResult result =
        SerialLink(0, linkOpener()).exchange(static_cast<uint8_t>(port), format, bytes);
    if (result.status == LinkStatus::Ok) {
        for (uint8_t byte : result.reply) {
            showReceived(byte);
        }
        m_received += static_cast<uint32_t>(result.reply.size());
    }
    updateCounters();
}

void SerialTestView::showReceived(uint8_t byte) {
    repaintDamage(m_screen.put(byte, m_hex->isChecked()));
}

void SerialTestView::repaintDamage(const ReceiveScreen::Damage& damage) {
    if (damage.whole) {
        update(QRect(kScreenLeft, kScreenTop, kCellWidth * ReceiveScreen::kColumns,
                     kCellHeight * ReceiveScreen::kLines));
        return;
    }
    for (const auto& [line, column] : damage.cells) {
        // A cell may complete a Chinese character begun in the cell before it.
        const int first = column > 0 ? column - 1 : column;
        update(QRect(kScreenLeft + kCellWidth * first, kScreenTop + kCellHeight * line,
                     kCellWidth * (column - first + 1), kCellHeight));
    }
}

void SerialTestView::clearScreen() {
    m_screen.clear();
    update();
}

void SerialTestView::resetCounters() {
    m_sent = 0;
    m_received = 0;
    updateCounters();
}

void SerialTestView::updateCounters() {
    m_counters->setText(counterText(m_sent, m_received));
}

void SerialTestView::toggleAutoSend() {
    if (!m_autoSend) {
        m_autoSend = true;
        m_autoButton->setChecked(true);
        m_timer.start(50);
    } else {
        m_autoSend = false;
        m_timer.stop();
        m_autoButton->setChecked(false);
    }
}

void SerialTestView::onTimer() {
    if (m_inStep) {
        return;
    }
    m_inStep = true;
    const int interval = m_interval->value();
    m_timer.stop();
    sendOnce();
    m_indicator = m_indicator == 0 ? 1 : 0;
    m_indicatorLight->update();
    if (interval <= 0) {
        m_autoButton->setChecked(false);
    } else {
        m_timer.start(interval);
    }
    m_inStep = false;
}

void SerialTestView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, picture(kTestPanel));
    paintReceiveScreen(painter, m_screen);
}

}  // namespace tervo::gui
