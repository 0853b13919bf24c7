// The bus monitor and the status bar against emulated controllers on COM1: controller 1
// answers, 2 is silent, 3 sends a wrong block check. Both only watch what the windows' own
// exchanges bring back.
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>
#include <fstream>
#include <sstream>

#include "core/link/PortMap.h"
#include "emu/PtyBus.h"
#include "gui/app/LinkThreads.h"
#include "gui/app/MainWindow.h"
#include "gui/diagnostics/BusMonitorView.h"
#include "guisupport/GuiTest.h"
#include "guisupport/TestShell.h"
#include "support/RawPty.h"

using namespace tervo;
using namespace tervo::gui;
using tervo::testing::waitFor;

class BusMonitorViewTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        tervo::testing::clearPortEnvironment();
        emu::BusOptions options;
        options.linkPath = m_dir / "com1";
        options.addresses = {1, 2, 3};
        m_bus = std::make_unique<emu::PtyBus>(options);
        std::string error;
        QVERIFY2(m_bus->start(&error), error.c_str());
    }

    void init() {
        m_bus->setFaults(2, emu::Faults{.silent = true});
        m_bus->setFaults(3, emu::Faults{.corruptBcc = true});
        m_shell = std::make_unique<tervo::testing::TestShell>();
        setPortPath(0, m_dir / "com1");
    }
    void cleanup() { m_shell.reset(); }

    // Counts, reasons, round trips and the frame log from the windows' own exchanges; the
    // monitor puts nothing on the line itself.
    void countsAndLogsWhatTheLinkThreadsCarry() {
        const uint64_t heardBefore = m_bus->framesHeard(1);
        BusMonitorView view(m_shell->app().links());
        QTest::qWait(2 * BusMonitorView::kRefreshMs);
        QCOMPARE(m_bus->framesHeard(1), heardBefore);

        readAll({1, 1, 2, 3});
        view.refresh();
        auto* table = view.findChild<QTableWidget*>(QStringLiteral("stationTable"));
        QCOMPARE(table->rowCount(), 3);
        auto row = [table](int r) {
            QStringList cells;
            for (int c = 0; c < 6; ++c) {
                cells << table->item(r, c)->text();
            }
            return cells;
        };
        QCOMPARE(row(0).mid(0, 5), (QStringList{"COM1", "1", "2", "0", ""}));
        QCOMPARE(row(1).mid(0, 5), (QStringList{"COM1", "2", "5", "5", "无应答 5"}));
        QVERIFY2(row(1)[5].endsWith(QStringLiteral(" 无应答")), qPrintable(row(1)[5]));
        QCOMPARE(row(2).mid(0, 5), (QStringList{"COM1", "3", "5", "5", "校验错误 5"}));
        QVERIFY2(table->item(1, 8)->text().toDouble() >= 50.0, "a silent one waits the timeout");
        QCOMPARE(m_bus->framesHeard(1), heardBefore + 2);

        auto* log = view.findChild<QPlainTextEdit*>(QStringLiteral("frameLog"));
        QCOMPARE(log->blockCount(), 2 * 12);
        QVERIFY(log->toPlainText().contains(QStringLiteral("  COM1  地址 2  接收  —  无应答\n")));
        auto* address = view.findChild<QComboBox*>(QStringLiteral("addressFilter"));
        address->setCurrentIndex(address->findData(3));
        QCOMPARE(log->blockCount(), 2 * 5);
        QVERIFY(!log->toPlainText().contains(QStringLiteral("地址 1")));
        QCOMPARE(table->rowCount(), 1);

        // Paused, the log stands still; going on, it catches up.
        auto* pause = view.findChild<QPushButton*>(QStringLiteral("pauseButton"));
        pause->click();
        QCOMPARE(pause->text(), QStringLiteral("继续"));
        readAll({3});
        view.refresh();
        QCOMPARE(log->blockCount(), 2 * 5);
        pause->click();
        QCOMPARE(log->blockCount(), 2 * 10);

        // "保存日志" writes the filtered log as it stands.
        const std::string path = m_dir / "log.txt";
        m_shell->prompts().fileAnswers << QString::fromStdString(path);
        view.findChild<QPushButton*>(QStringLiteral("saveLogButton"))->click();
        std::stringstream saved;
        saved << std::ifstream(path).rdbuf();
        QCOMPARE(QString::fromStdString(saved.str()), log->toPlainText() + QLatin1Char('\n'));

        if (const char* png = std::getenv("TERVO_BUS_MONITOR_PNG")) {
            address->setCurrentIndex(0);
            view.resize(900, 520);
            view.grab().save(QString::fromUtf8(png));
        }
    }

    // The status bar names the latest failure until that controller answers again; the menu
    // opens one monitor window.
    void statusBarNamesTheLastFailureUntilAGoodAnswer() {
        MainWindow& frame = m_shell->frame();
        auto* pane = frame.statusBar()->findChild<QLabel*>(QStringLiteral("linkFailurePane"));
        QVERIFY(pane != nullptr);
        readAll({1});
        QCOMPARE(pane->text(), QString());
        readAll({2});
        QCOMPARE(pane->text(), QStringLiteral("COM1 地址 2：无应答（5 次）"));
        readAll({1, 2});
        QCOMPARE(pane->text(), QStringLiteral("COM1 地址 2：无应答（10 次）"));
        m_bus->setFaults(2, emu::Faults{});
        readAll({2});
        QCOMPARE(pane->text(), QString());
        QVERIFY(pane->isHidden());

        frame.actions().busMonitor->trigger();
        frame.actions().busMonitor->trigger();
        const auto monitors = frame.findChildren<BusMonitorView*>();
        QCOMPARE(monitors.size(), 1);
        QCOMPARE(monitors[0]->windowTitle(), QStringLiteral("通信监视"));
        QVERIFY(monitors[0]->isVisible());
    }

private:
    // Reads PV of each address in turn through the link threads, as a window does.
    void readAll(const std::vector<int>& addresses) {
        LinkClient client(m_shell->app().links(), nullptr);
        for (int address : addresses) {
            client.post(LinkRequest::read(
                ReadRequest{0, 0, kDefaultBaudIndex, static_cast<uint8_t>(address)}));
        }
        QVERIFY(waitFor([&] { return client.pending() == 0; }, 20000));
    }

    tervo::testing::IsolatedSettings m_settings;
    tervo::testing::TempDir m_dir;
    std::unique_ptr<emu::PtyBus> m_bus;
    std::unique_ptr<tervo::testing::TestShell> m_shell;
};

QTEST_MAIN(BusMonitorViewTest)
#include "BusMonitorViewTest.moc"
