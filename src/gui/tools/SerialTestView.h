#pragma once

#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "app/ViewTemplate.h"
#include "tools/ReceiveScreen.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QStatusBar;

namespace tervo::gui {

class BarStrip;
class PickCombo;

// "通信测试": a raw serial terminal. The bytes typed as hexadecimal text go out in one exchange
// with the chosen line format; the reply is shown on a 19 x 79 screen as characters or
// hexadecimal, with counters of bytes sent and received. Auto send repeats the exchange at
// the chosen interval.
class SerialTestView : public QWidget {
    Q_OBJECT
public:
    explicit SerialTestView(const ViewContext& context, QWidget* parent = nullptr);

    // Command 32793.
    void sendOnce();
    // Command 32796.
    void clearScreen();
    // Command 32860.
    void resetCounters();
    // Button 514.
    void toggleAutoSend();
    // Timer 1: one auto-send step.
    void onTimer();

    // A received byte on the screen, as hexadecimal or as a character per "16进制显示".
    void showReceived(uint8_t byte);
    // The bytes the send text stands for (at most its first 99 characters are read).
    std::vector<uint8_t> transmitBytes() const;

    static QString counterText(uint32_t sent, uint32_t received);

    const ReceiveScreen& screen() const { return m_screen; }
    PickCombo* portCombo() const { return m_port; }
    PickCombo* baudCombo() const { return m_baud; }
    PickCombo* dataBitsCombo() const { return m_dataBits; }
    PickCombo* parityCombo() const { return m_parity; }
    PickCombo* stopBitsCombo() const { return m_stopBits; }
    PickCombo* intervalCombo() const { return m_interval; }
    PickCombo* sendCombo() const { return m_send; }
    QCheckBox* hexCheck() const { return m_hex; }
    QPushButton* autoSendButton() const { return m_autoButton; }
    QLabel* counterLabel() const { return m_counters; }
    BarStrip* topBar() const { return m_top; }
    BarStrip* bottomBar() const { return m_bottom; }
    const QTimer& timer() const { return m_timer; }
    bool autoSending() const { return m_autoSend; }
    int indicatorState() const { return m_indicator; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void repaintDamage(const ReceiveScreen::Damage& damage);
    void updateCounters();
    void showPortPath();

    ViewContext m_context;
    QFont m_font;
    BarStrip* m_top;
    BarStrip* m_bottom;
    QStatusBar* m_status;
    PickCombo* m_port;
    PickCombo* m_baud;
    PickCombo* m_dataBits;
    PickCombo* m_parity;
    PickCombo* m_stopBits;
    PickCombo* m_interval;
    PickCombo* m_send;
    QCheckBox* m_hex;
    QPushButton* m_autoButton;
    QLabel* m_counters;
    QWidget* m_indicatorLight;
    QTimer m_timer;

    ReceiveScreen m_screen;
    uint32_t m_sent = 0;
    uint32_t m_received = 0;
    bool m_autoSend = false;
    int m_indicator = 0;
    bool m_inStep = false;
};

}  // namespace tervo::gui
