#include <QCheckBox>
#include <QLabel>
#include <QMdiArea>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "core/link/PortMap.h"
#include "emu/PtyBus.h"
#include "gui/Views.h"
#include "gui/app/ChildWindow.h"
#include "gui/app/MainWindow.h"
#include "gui/app/TervoApp.h"
#include "gui/tools/ParameterView.h"
#include "gui/tools/ReceiveScreenWidget.h"
#include "gui/tools/SerialTestView.h"
#include "gui/widgets/BarStrip.h"
#include "gui/widgets/Geometry.h"
#include "gui/widgets/PickCombo.h"
#include "gui/widgets/Pictures.h"
#include "guisupport/GuiTest.h"
#include "guisupport/LinkFakes.h"
#include "guisupport/ScriptedPrompts.h"
#include "guisupport/TestShell.h"
#include "support/RawPty.h"

using namespace tervo;
using namespace tervo::gui;
using tervo::testing::FakeOpener;
using tervo::testing::LockedOpener;
using tervo::testing::ScriptedPrompts;
using tervo::testing::waitFor;

namespace {

std::string text(const ReceiveScreen& screen, int line, int from, int count) {
    return screen.line(line).substr(static_cast<size_t>(from), static_cast<size_t>(count));
}

// One send, until its reply has come back.
bool send(SerialTestView* view) {
    view->sendOnce();
    return waitFor([view] { return view->sendsUnderway() == 0; });
}

}  // namespace

class SerialTestViewTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { tervo::testing::clearPortEnvironment(); }

    void init() {
        m_shell = std::make_unique<tervo::testing::TestShell>();
        m_prompts = &m_shell->prompts();
        m_app = &m_shell->app();
        m_frame = &m_shell->frame();
        m_frame->actions().serialTest->trigger();
        m_view = qobject_cast<SerialTestView*>(m_frame->activeChild()->view());
        QVERIFY(m_view != nullptr);
    }

    void cleanup() {
        m_shell->close();
        QVERIFY(m_prompts->messages.isEmpty());
        m_shell.reset();
    }

    void controlsAtTheirPlaces() {
        const struct {
            PickCombo* combo;
            QPoint at;
            QStringList entries;
            QString selected;
        } combos[] = {
            {m_view->portCombo(),
             {70, 50},
             {"COMM1", "COMM2", "COMM3", "COMM4", "COMM5", "COMM6"},
             "COMM1"},
            {m_view->baudCombo(),
             {70, 100},
             {"300 bps", "600 bps", "1200 bps", "2400 bps", "4800 bps", "9600 bps", "19200 bps"},
             "9600 bps"},
            {m_view->dataBitsCombo(), {70, 150}, {"4位", "5位", "6位", "7位", "8位"}, "7位"},
            {m_view->parityCombo(), {70, 200}, {"无校验", "偶校验", "奇校验"}, "偶校验"},
            {m_view->stopBitsCombo(), {70, 250}, {"1位", "1位半", "2位"}, "1位"},
            {m_view->intervalCombo(), {70, 380}, {"100", "500", "1000"}, "500"},
        };
        for (const auto& c : combos) {
            QCOMPARE(c.combo->geometry().topLeft(), c.at);
            QCOMPARE(c.combo->width(), 100);
            QStringList entries;
            for (int i = 0; i < c.combo->count(); ++i) {
                entries << c.combo->itemText(i);
            }
            QCOMPARE(entries, c.entries);
            QCOMPARE(c.combo->currentText(), c.selected);
            QVERIFY(c.combo->isEditable());
        }
        QCOMPARE(m_view->hexCheck()->text(), QStringLiteral("16进制显示"));
        QCOMPARE(m_view->hexCheck()->geometry(), cornerRect(0, 300, 100, 320));
        QVERIFY(!m_view->hexCheck()->isChecked());
        QCOMPARE(m_view->autoSendButton()->text(), QStringLiteral("自动发送"));
        QCOMPARE(m_view->autoSendButton()->geometry(), cornerRect(0, 420, 100, 440));
        QCOMPARE(m_view->counterLabel()->geometry(), cornerRect(400, 7, 800, 33));
        QCOMPARE(m_view->sendCombo()->itemText(0), QStringLiteral("04 30 30 30 30 50 56 05"));
        QCOMPARE(m_view->sendCombo()->itemText(1), QStringLiteral("04 30 30 30 30 53 4C 05"));
        QCOMPARE(m_view->sendCombo()->currentText(), QStringLiteral("04 30 30 30 30 50 56 05"));
        QCOMPARE(m_view->sendCombo()->geometry().left(), 100);
        QCOMPARE(m_view->sendCombo()->geometry().right(), 976);
        auto* sendButton = m_view->commandBar()->findChild<QToolButton*>("sendButton");
        QCOMPARE(sendButton->defaultAction(), m_view->sendAction());
        QCOMPARE(sendButton->geometry(), QRect(4, 7, 23, 22));
        QCOMPARE(m_view->commandBar()->findChild<QToolButton*>("clearButton")->defaultAction(),
                 m_view->clearAction());
        QCOMPARE(
            m_view->commandBar()->findChild<QToolButton*>("resetCountersButton")->defaultAction(),
            m_view->resetCountersAction());
        QVERIFY(!m_view->sendBar()->findChild<QToolButton*>("idleButton")->isEnabled());
        QCOMPARE(m_view->findChild<QCheckBox*>("hexCheck"), m_view->hexCheck());
        QCOMPARE(m_view->findChild<QPushButton*>("autoSendButton"), m_view->autoSendButton());
        QCOMPARE(m_view->findChild<QWidget*>("receiveScreen")->geometry(), QRect(200, 7, 790, 475));

        // The left panel picture behind the controls, the screen blank.
        m_frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_frame));
        const QImage shown = m_view->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage panel = picture(kTestPanel).toImage().convertToFormat(QImage::Format_RGB32);
        for (QPoint p : {QPoint(150, 330), QPoint(5, 30), QPoint(185, 300), QPoint(120, 520)}) {
            QCOMPARE(shown.pixel(p), panel.pixel(p));
        }
        QCOMPARE(shown.pixel(600, 200), qRgb(255, 255, 255));

        // The send button has one text: its prompt, and no tip.
        QCOMPARE(m_view->sendAction()->statusTip(), QStringLiteral("发送输入数据"));
        QCOMPARE(m_view->clearAction()->statusTip(), QStringLiteral("清除显示"));
        QCOMPARE(tervo::testing::shownToolTip(sendButton), QString());
    }

    void sendTextBecomesBytes() {
        LockedOpener opener;
        const struct {
            const char* text;
            std::vector<uint8_t> bytes;
        } cases[] = {
            {"04 30 30 30 30 50 56 05", {0x04, 0x30, 0x30, 0x30, 0x30, 0x50, 0x56, 0x05}},
            {"4 30", {0x04, 0x30}},
            {"123", {0x12, 0x03}},
            {"a,Bc;d", {0x0A, 0xBC, 0x0D}},
            {"", {}},
        };
        for (const auto& c : cases) {
            m_view->sendCombo()->setText(QString::fromLatin1(c.text));
            QVERIFY(send(m_view));
            QCOMPARE(opener.written().back(), c.bytes);
        }
        // An empty text still makes the exchange.
        QCOMPARE(opener.opens(), 5);
        QCOMPARE(opener.portNames().back(), std::string("COM1"));
        // The edit takes 99 characters, and no more are read.
        m_view->sendCombo()->setText(QString(120, QLatin1Char('1')));
        QVERIFY(send(m_view));
        QCOMPARE(opener.written().back().size(), size_t(50));
        QCOMPARE(opener.written().back().back(), uint8_t(0x01));
    }

    void lineFormatFromTheCombos() {
        LockedOpener opener;
        QVERIFY(send(m_view));
        QCOMPARE(opener.line().baud, 9600u);
        QCOMPARE(opener.line().dataBits, uint8_t(7));
        QCOMPARE(opener.line().parity, uint8_t(2));
        QCOMPARE(opener.line().stopBits, uint8_t(0));

        m_view->portCombo()->setSelection(3);
        m_view->baudCombo()->setSelection(6);
        m_view->dataBitsCombo()->setSelection(4);
        m_view->parityCombo()->setSelection(0);
        m_view->stopBitsCombo()->setSelection(2);
        QVERIFY(send(m_view));
        QCOMPARE(opener.portNames().back(), std::string("COM4"));
        QCOMPARE(opener.line().baud, 19200u);
        QCOMPARE(opener.line().dataBits, uint8_t(8));
        QCOMPARE(opener.line().parity, uint8_t(0));
        QCOMPARE(opener.line().stopBits, uint8_t(2));

        m_view->parityCombo()->setSelection(2);
        m_view->stopBitsCombo()->setSelection(1);
        m_view->dataBitsCombo()->setSelection(0);
        QVERIFY(send(m_view));
        QCOMPARE(opener.line().parity, uint8_t(1));
        QCOMPARE(opener.line().stopBits, uint8_t(1));
        QCOMPARE(opener.line().dataBits, uint8_t(4));

        // Typed text instead of an entry in any line-format combo: nothing happens at all.
        const int opens = opener.opens();
        const QString counters = m_view->counterLabel()->text();
        for (PickCombo* combo : {m_view->portCombo(), m_view->baudCombo(), m_view->dataBitsCombo(),
                                 m_view->parityCombo(), m_view->stopBitsCombo()}) {
            const int kept = combo->selection();
            combo->setText(QStringLiteral("9位"));
            m_view->sendOnce();
            QCOMPARE(m_view->sendsUnderway(), 0);
            combo->setSelection(kept);
        }
        QTest::qWait(20);
        QCOMPARE(opener.opens(), opens);
        QCOMPARE(m_view->counterLabel()->text(), counters);
    }

    void countersAndTheReceivedBytes() {
        LockedOpener opener;
        QCOMPARE(m_view->counterLabel()->text(),
                 QStringLiteral("发送数据：      0         接收数据：      0"));
        opener.reply(tervo::testing::readReply("PV", " 25.0"));
        QVERIFY(send(m_view));
        QCOMPARE(m_view->counterLabel()->text(),
                 QStringLiteral("发送数据：      8         接收数据：     10"));
        // 0x02 shows as a space, the rest as characters.
        QCOMPARE(text(m_view->screen(), 0, 0, 9), std::string(" PV 25.0 "));

        // No answer: the sent counter still grows.
        QVERIFY(send(m_view));
        QCOMPARE(m_view->counterLabel()->text(),
                 QStringLiteral("发送数据：     16         接收数据：     10"));
        opener.failAt(FakeOpener::kOpen);
        QVERIFY(send(m_view));
        QCOMPARE(m_view->counterLabel()->text(),
                 QStringLiteral("发送数据：     24         接收数据：     10"));
        opener.failAt(FakeOpener::kNone);

        // A reply of more than 20 bytes shows its first 20.
        std::vector<uint8_t> longReply;
        for (int i = 0; i < 25; ++i) {
            longReply.push_back(static_cast<uint8_t>('a' + i));
        }
        opener.reply(longReply);
        QVERIFY(send(m_view));
        QCOMPARE(text(m_view->screen(), 0, 10, 21), std::string("abcdefghijklmnopqrst "));
        QCOMPARE(m_view->counterLabel()->text(),
                 QStringLiteral("发送数据：     32         接收数据：     30"));

        m_view->commandBar()->findChild<QToolButton*>("resetCountersButton")->click();
        QCOMPARE(m_view->counterLabel()->text(),
                 QStringLiteral("发送数据：      0         接收数据：      0"));
        m_view->commandBar()->findChild<QToolButton*>("clearButton")->click();
        QCOMPARE(m_view->screen().line(0), std::string(79, ' '));
        QCOMPARE(m_view->screen().cursorColumn(), 0);
        QCOMPARE(m_view->screen().cursorLine(), 0);
        m_view->commandBar()->findChild<QToolButton*>("sendButton")->click();
        QVERIFY(waitFor([&] { return m_view->sendsUnderway() == 0; }));
        QCOMPARE(opener.written().size(), size_t(4));
    }

    void hexadecimalDisplay() {
        LockedOpener opener;
        opener.reply({0x02});
        QVERIFY(send(m_view));
        QCOMPARE(text(m_view->screen(), 0, 0, 1), std::string(" "));
        m_view->hexCheck()->setChecked(true);
        opener.reply({0x02, 0xAF, 0x30});
        QVERIFY(send(m_view));
        QCOMPARE(text(m_view->screen(), 0, 1, 9), std::string("02 AF 30 "));
        QCOMPARE(m_view->screen().cursorColumn(), 10);
    }

    void anExchangeWithTheEmulatorShowsOnTheScreen() {
        tervo::testing::TempDir dir;
        emu::BusOptions options;
        options.linkPath = dir / "com1";
        options.addresses = {0};
        emu::PtyBus bus(options);
        std::string error;
        QVERIFY2(bus.start(&error), error.c_str());
        setPortPath(0, options.linkPath);
        bus.setValue(0, kSL, 61.5);

        m_frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_frame));
        m_view->commandBar()->findChild<QToolButton*>("sendButton")->click();
        QVERIFY(waitFor([&] { return m_view->sendsUnderway() == 0; }));
        QCOMPARE(m_view->counterLabel()->text(),
                 QStringLiteral("发送数据：      8         接收数据：     10"));
        QVERIFY(text(m_view->screen(), 0, 0, 9).starts_with(" PV"));
        m_view->hexCheck()->setChecked(true);
        m_view->sendCombo()->setSelection(1);
        QVERIFY(send(m_view));
        QCOMPARE(text(m_view->screen(), 0, 10, 24), std::string("02 53 4C 20 36 31 2E 35 "));
        QCOMPARE(m_view->counterLabel()->text(),
                 QStringLiteral("发送数据：     16         接收数据：     20"));
        QCOMPARE(bus.framesHeard(0), 2u);

        // On screen: ink in the first line's cells, none in the second line's.
        QVERIFY(waitFor([&] {
            const QImage shown = m_view->grab().toImage();
            int inkFirst = 0;
            int inkSecond = 0;
            for (int x = kScreenLeft; x < kScreenLeft + 10 * 34; ++x) {
                for (int y = 0; y < kCellHeight; ++y) {
                    inkFirst += qGray(shown.pixel(x, kScreenTop + y)) < 128 ? 1 : 0;
                    inkSecond += qGray(shown.pixel(x, kScreenTop + kCellHeight + y)) < 128 ? 1 : 0;
                }
            }
            return inkFirst > 300 && inkSecond == 0;
        }));
        setPortPath(0, std::string());
    }

    void autoSendRepeatsAtTheInterval() {
        LockedOpener opener;
        // Every send has come back: the number of sends so far, and the indicator with it.
        auto settled = [&] { return m_view->sendsUnderway() == 0; };
        m_view->intervalCombo()->setSelection(0);
        m_view->autoSendButton()->click();
        QVERIFY(m_view->autoSending());
        QVERIFY(m_view->autoSendButton()->isChecked());
        QVERIFY(m_view->timer().isActive());
        QCOMPARE(m_view->timer().interval(), 50);
        QVERIFY(waitFor([&] { return opener.opens() >= 3 && settled(); }));
        QCOMPARE(m_view->timer().interval(), 100);
        const int indicator = m_view->indicatorState();
        const int opens = opener.opens();
        QVERIFY(waitFor([&] { return opener.opens() > opens && settled(); }));
        QCOMPARE(m_view->indicatorState(), (indicator + opener.opens() - opens) % 2);

        m_view->autoSendButton()->click();
        QVERIFY(!m_view->autoSending());
        QVERIFY(!m_view->autoSendButton()->isChecked());
        QVERIFY(!m_view->timer().isActive());
        QVERIFY(waitFor(settled));
        const int stopped = opener.opens();
        QTest::qWait(250);
        QCOMPARE(opener.opens(), stopped);
        QVERIFY(!m_view->timer().isActive());

        // An interval of 0 sends once and clears the button; the next press only switches
        // auto sending off.
        m_view->intervalCombo()->setText(QStringLiteral("0"));
        m_view->autoSendButton()->click();
        QVERIFY(waitFor([&] { return opener.opens() == stopped + 1 && settled(); }));
        QVERIFY(!m_view->autoSendButton()->isChecked());
        QVERIFY(!m_view->timer().isActive());
        QVERIFY(m_view->autoSending());
        m_view->autoSendButton()->click();
        QVERIFY(!m_view->autoSending());
        QVERIFY(!m_view->autoSendButton()->isChecked());
        QVERIFY(!m_view->timer().isActive());
        QCOMPARE(opener.opens(), stopped + 1);

        // Switched off while a send is under way, the step's end arms nothing; the next send
        // goes out only when the operator asks.
        m_view->intervalCombo()->setSelection(0);
        opener.hold(true);
        m_view->autoSendButton()->click();
        QVERIFY(waitFor([&] { return opener.waiting() == 1; }));
        m_view->autoSendButton()->click();
        QVERIFY(!m_view->autoSending());
        opener.hold(false);
        QVERIFY(waitFor(settled));
        QTest::qWait(250);
        QVERIFY(!m_view->timer().isActive());
        QCOMPARE(opener.opens(), stopped + 2);
        QCOMPARE(m_view->counterLabel()->text(),
                 QString::fromStdString(SerialTestRules::counterText(8 * (stopped + 2), 0)));
    }

    void aSendOnAPortInUseWaitsItsTurn() {
        // A parameter window and the serial test share COM1 on the emulator: the test view's
        // auto send and the parameter reads take turns, and none of them fails.
        tervo::testing::TempDir dir;
        emu::BusOptions options;
        options.linkPath = dir / "com1";
        options.addresses = {0, 1};
        emu::PtyBus bus(options);
        std::string error;
        QVERIFY2(bus.start(&error), error.c_str());
        setPortPath(0, options.linkPath);
        auto* parameters =
            qobject_cast<ParameterView*>(m_frame->openParametersFor(LinkSettings{0, 5, 1})->view());
        m_view->intervalCombo()->setSelection(0);
        m_view->autoSendButton()->click();
        for (int i = 0; i < 6; ++i) {
            parameters->onTimer();
            QVERIFY(waitFor([&] { return !parameters->tickUnderway(); }));
        }
        m_view->autoSendButton()->click();
        QVERIFY(waitFor([&] { return m_view->sendsUnderway() == 0; }));
        QVERIFY(!parameters->communicationError());
        QVERIFY(bus.framesHeard(1) >= 6);
        // Every poll the test view sent came back with the controller's ten bytes.
        const int sends = int(bus.framesHeard(0));
        QVERIFY(sends >= 2);
        QCOMPARE(m_view->counterLabel()->text(),
                 QString::fromStdString(SerialTestRules::counterText(8 * sends, 10 * sends)));
        setPortPath(0, std::string());
    }

private:
    tervo::testing::IsolatedSettings m_settings;
    std::unique_ptr<tervo::testing::TestShell> m_shell;
    ScriptedPrompts* m_prompts = nullptr;
    TervoApp* m_app = nullptr;
    MainWindow* m_frame = nullptr;
    SerialTestView* m_view = nullptr;
};

QTEST_MAIN(SerialTestViewTest)
#include "SerialTestViewTest.moc"
