#pragma once

#include <QTimer>
#include <QWidget>
#include <string>

#include "core/tools/SerialTestRules.h"
#include "gui/app/ViewTemplate.h"

class QAction;
class QCheckBox;
class QLabel;
class QPushButton;
class QStatusBar;

namespace tervo::gui {

class BarStrip;
class LinkClient;
class PickCombo;
class ReceiveScreenWidget;

// "通信测试": a raw serial terminal. The bytes typed as hexadecimal text go out in one exchange
// with the chosen line format, on the port's link thread; the reply is shown on a 19 x 79
// screen as characters or hexadecimal, with counters of bytes sent and received. Auto send
// repeats the exchange at the chosen interval after each one has come back.
class SerialTestView : public QWidget {
    Q_OBJECT
public:
    explicit SerialTestView(const ViewContext& context, QWidget* parent = nullptr);

    // The send button.
    void sendOnce();
    // The clear button.
    void clearScreen();
    // The counter reset button.
    void resetCounters();
    // The auto-send button.
    void toggleAutoSend();
    // Timer 1: one auto-send step.
    void onTimer();

    const ReceiveScreen& screen() const { return m_rules.screen(); }
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
    QAction* sendAction() const { return m_sendAction; }
    QAction* clearAction() const { return m_clearAction; }
    QAction* resetCountersAction() const { return m_resetAction; }
    BarStrip* commandBar() const { return m_top; }
    BarStrip* sendBar() const { return m_bottom; }
    const QTimer& timer() const { return m_timer; }
    bool autoSending() const { return m_rules.autoSending(); }
    int indicatorState() const { return m_rules.indicator(); }
    // Sends whose replies have not come back yet.
    int sendsUnderway() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    LineSelection selection() const;
    std::string sendText() const;
    void showReply(const LinkResult& result);
    void finishAutoStep();
    void showPortPath();

    ViewContext m_context;
    SerialTestRules m_rules;
    QFont m_font;
    BarStrip* m_top;
    BarStrip* m_bottom;
    QStatusBar* m_status;
    QAction* m_sendAction;
    QAction* m_clearAction;
    QAction* m_resetAction;
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
    ReceiveScreenWidget* m_screen;
    QTimer m_timer;
    LinkClient* m_sends;
    LinkClient* m_autoSends;
};

}  // namespace tervo::gui
