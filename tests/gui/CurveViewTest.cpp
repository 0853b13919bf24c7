#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

#include "core/io/FileIo.h"
#include "core/link/ParameterTable.h"
#include "emu/PtyBus.h"
#include "gui/Views.h"
#include "gui/app/ChildWindow.h"
#include "gui/app/MainWindow.h"
#include "gui/app/PasswordDialog.h"
#include "gui/app/TervoApp.h"
#include "gui/curves/CurveDialogs.h"
#include "gui/curves/CurveUploadDialog.h"
#include "gui/curves/CurveView.h"
#include "gui/demo/DemoMode.h"
#include "gui/tools/LinkSettingsDialog.h"
#include "gui/widgets/BarStrip.h"
#include "gui/widgets/Geometry.h"
#include "gui/widgets/LinkOpener.h"
#include "gui/widgets/PickCombo.h"
#include "guisupport/GuiTest.h"
#include "guisupport/LinkFakes.h"
#include "guisupport/ScriptedPrompts.h"
#include "guisupport/TestShell.h"
#include "support/InstantBus.h"

using namespace tervo;
using namespace tervo::gui;
using tervo::testing::ScriptedPrompts;
using tervo::testing::waitFor;

namespace {

// Emulated controllers 0, 1 and 2 on COM1 that answer at once, for the link threads: every
// step under one lock. After `failAfterOpens` opens the port cannot be opened any more.
class BusOpener : public SerialOpener {
public:
    BusOpener() {
        m_bus.addPort("COM1", {0, 1, 2});
        setLinkOpener(this);
    }
    ~BusOpener() override { setLinkOpener(nullptr); }

    template <typename F>
    auto with(F f) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return f(m_bus);
    }
    emu::Controller& controller(int address) {
        return *with(
            [address](testing::InstantBus& b) { return b.port("COM1").controller(address); });
    }
    // The writes on COM1 so far as "address mnemonic field" ("01 SL20.00").
    QStringList writes() {
        return with([](testing::InstantBus& b) {
            QStringList out;
            for (const auto& f : b.written["COM1"]) {
                if (f.size() == 15) {
                    out << QString::fromLatin1(std::string{char(f[1]), char(f[3]), ' '}
                                                   .append(f.begin() + 6, f.begin() + 13)
                                                   .c_str());
                }
            }
            b.written["COM1"].clear();
            return out;
        });
    }
    void failAfter(int opens) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_failAfter = m_opens + opens;
    }

    std::unique_ptr<SerialDevice> open(const std::string& port) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_failAfter >= 0 && m_opens >= m_failAfter) {
            return nullptr;
        }
        ++m_opens;
        return m_bus.open(port);
    }

private:
    std::mutex m_mutex;
    testing::InstantBus m_bus;
    int m_opens = 0;
    int m_failAfter = -1;
};

bool idle(CurveView* view) {
    return waitFor([view] { return view->rules().idle(); });
}

// A dialog handler that picks `choice` in the curve open dialog and presses OK.
ScriptedPrompts::DialogHandler chooseOpen(int choice) {
    return [choice](QDialog& dialog) {
        auto& open = dynamic_cast<CurveOpenDialog&>(dialog);
        open.radio(choice)->setChecked(true);
        open.findChild<QPushButton*>(QStringLiteral("okButton"))->click();
    };
}

int colourCount(const QImage& image, const QRect& area, QColor colour) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            count += image.pixelColor(x, y) == colour ? 1 : 0;
        }
    }
    return count;
}

// Pixels dark in every channel: black text, not the coloured lines.
int darkCount(const QImage& image, const QRect& area) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            count += c.red() < 100 && c.green() < 100 && c.blue() < 100 ? 1 : 0;
        }
    }
    return count;
}

// When the emulator heard each frame addressed to `address`, in milliseconds after the first:
// a thread of its own looks every millisecond.
class HeardFrames {
public:
    HeardFrames(emu::PtyBus& bus, int address)
        : m_bus(bus), m_address(address), m_seen(bus.framesHeard(address)) {
        m_thread = std::thread([this] { watch(); });
    }
    ~HeardFrames() { stop(); }

    std::vector<qint64> stop() {
        if (m_thread.joinable()) {
            m_running = false;
            m_thread.join();
        }
        std::vector<qint64> since;
        for (const auto& t : m_times) {
            since.push_back(
                std::chrono::duration_cast<std::chrono::milliseconds>(t - m_times[0]).count());
        }
        return since;
    }

private:
    void watch() {
        while (m_running) {
            for (const uint64_t heard = m_bus.framesHeard(m_address); m_seen < heard; ++m_seen) {
                m_times.push_back(std::chrono::steady_clock::now());
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    emu::PtyBus& m_bus;
    int m_address;
    uint64_t m_seen;
    std::vector<std::chrono::steady_clock::time_point> m_times;
    std::atomic<bool> m_running{true};
    std::thread m_thread;
};

// Whether the frames keep to a grid of `periodMs` from the first: each within `toleranceMs` of
// a point of its own, at most `skips` points passed over in all (a tick skipped on a loaded
// machine leaves a gap; a drift strays further from the points with every tick). Empty when
// they do, else what is wrong.
QString offGrid(const std::vector<qint64>& at, qint64 periodMs, qint64 toleranceMs, int skips) {
    qint64 last = -1;
    for (size_t k = 0; k < at.size(); ++k) {
        const qint64 point = (at[k] + periodMs / 2) / periodMs;
        if (point <= last || std::abs(at[k] - point * periodMs) > toleranceMs) {
            return QStringLiteral("frame %1 at %2 ms").arg(k).arg(at[k]);
        }
        last = point;
    }
    if (last - static_cast<qint64>(at.size()) + 1 > skips) {
        return QStringLiteral("%1 points passed over").arg(last - qint64(at.size()) + 1);
    }
    return {};
}

QImage picture(const CurveView& view) {
    QImage image(1000, 560, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    paintCurveView(painter, view.rules());
    return image;
}

}  // namespace

class CurveViewTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<BusOpener> m_bus;
    std::unique_ptr<tervo::testing::TestShell> m_shell;
    ScriptedPrompts* m_prompts = nullptr;
    TervoApp* m_app = nullptr;
    MainWindow* m_frame = nullptr;

    // "跟踪曲线设置" with "建立新曲线" chosen: a curve window on an empty curve.
    CurveView* openNewCurve() {
        m_prompts->dialogHandlers = {chooseOpen(1)};
        m_frame->actions().curves->trigger();
        return qobject_cast<CurveView*>(m_frame->activeChild()->view());
    }

private slots:
    void init() {
        tervo::testing::clearPortEnvironment();
        m_bus = std::make_unique<BusOpener>();
        m_shell = std::make_unique<tervo::testing::TestShell>();
        m_prompts = &m_shell->prompts();
        m_app = &m_shell->app();
        m_frame = &m_shell->frame();
    }

    void cleanup() {
        m_shell.reset();
        m_bus.reset();
    }

    void creationChoicesAndRefusals() {
        QVERIFY(m_frame->actions().curves->isEnabled());
        // Cancel in the open dialog, then a cancelled file dialog: no window.
        m_frame->actions().curves->trigger();
        QCOMPARE(m_prompts->dialogsRun, QStringList{QStringLiteral("curveOpenDialog")});
        m_prompts->dialogHandlers = {chooseOpen(0)};
        m_frame->actions().curves->trigger();
        QCOMPARE(m_prompts->fileRequests.size(), 1);
        const FileDialogRequest request = m_prompts->fileRequests[0].request;
        QCOMPARE(request.filter, QStringLiteral("采集文件(*.lin);;所有文件(*.*)"));
        QCOMPARE(request.initialName, QStringLiteral("*.lin"));
        QCOMPARE(request.defaultExtension, QStringLiteral("lin"));
        QVERIFY(request.mustExist);
        QVERIFY(m_frame->activeChild() == nullptr);

        // A refused file says so and opens nothing.
        m_prompts->dialogHandlers = {chooseOpen(0)};
        m_prompts->fileAnswers = {QStringLiteral(TERVO_CORRUPT_DIR "/negative-count.lin")};
        m_frame->actions().curves->trigger();
        QCOMPARE(m_prompts->last(), ScriptedPrompts::notice(QStringLiteral("文件错误！！！")));
        QVERIFY(m_frame->activeChild() == nullptr);

        // A good file: its segments, the controls at their places.
        QTemporaryDir dir;
        TrackingCurve three;
        for (int i = 0; i < 3; ++i) {
            three.addSegment();
        }
        three.setSegment(1, 2, 50, 3);
        const QString path = dir.filePath(QStringLiteral("three.lin"));
        QCOMPARE(int(three.save(path.toStdString())), int(CurveStatus::Ok));
        m_prompts->dialogHandlers = {chooseOpen(0)};
        m_prompts->fileAnswers = {path};
        m_frame->actions().curves->trigger();
        QVERIFY(m_frame->activeChild() != nullptr);
        auto* view = qobject_cast<CurveView*>(m_frame->activeChild()->view());
        QVERIFY(view != nullptr);
        QCOMPARE(m_frame->activeChild()->windowTitle(), QStringLiteral("跟踪曲线设置"));
        QCOMPARE(view->rules().curve().count(), 3);
        QCOMPARE(view->rules().curve().segments()[1].level, 50.0);
        QCOMPARE(view->rateLabel()->geometry(), cornerRect(490, 3, 560, 20));
        QCOMPARE(view->rateEdit()->geometry(), cornerRect(560, 1, 640, 20));
        QCOMPARE(view->levelEdit()->geometry(), cornerRect(720, 1, 805, 20));
        QCOMPARE(view->dwellLabel()->text(), QStringLiteral("平台时间："));
        QCOMPARE(view->dwellEdit()->geometry(), cornerRect(900, 1, 980, 20));
        QCOMPARE(view->intervalCombo()->geometry().topLeft(), QPoint(330, 2));
        QCOMPARE(view->intervalCombo()->currentText(), QStringLiteral("1秒"));
        QCOMPARE(view->portCombo()->geometry().topLeft(), QPoint(490, 2));
        QCOMPARE(view->portCombo()->currentText(), QStringLiteral("COMM1"));
        QCOMPARE(view->baudCombo()->currentText(), QStringLiteral("9600"));
        QCOMPARE(view->addressCombo()->geometry(), cornerRect(810, 2, 980, 24));
        QCOMPARE(view->addressCombo()->currentText(), QStringLiteral("00"));
        QCOMPARE(view->addressCombo()->itemText(4), QStringLiteral("可输入多地址,由逗号隔开"));
        // Buttons 61 and 49 pixels wide from x 4, with 8-pixel separators.
        QCOMPARE(
            view->curveBar()->findChild<QToolButton*>(QStringLiteral("downloadButton"))->geometry(),
            QRect(195, 2, 61, 22));
        QCOMPARE(
            view->runBar()->findChild<QToolButton*>(QStringLiteral("pcControlButton"))->geometry(),
            QRect(159, 3, 49, 22));
        QVERIFY(view->action(QStringLiteral("pcControlAction"))->isChecked());
        QVERIFY(view->action(QStringLiteral("stopAction"))->isChecked());
        QVERIFY(!view->action(QStringLiteral("runAction"))->isChecked());
        QVERIFY(m_frame->actions().saveCurve->isEnabled());

        // Save through the main menu: the file as it was read.
        const QString copy = dir.filePath(QStringLiteral("copy"));
        m_prompts->fileAnswers = {copy};
        m_frame->actions().saveCurve->trigger();
        std::vector<uint8_t> bytes;
        QVERIFY(readWholeFile((copy + QStringLiteral(".lin")).toStdString(), bytes));
        QCOMPARE(bytes, three.bytes());
        m_prompts->fileAnswers = {dir.path() + QStringLiteral("/missing/x.lin")};
        view->save();
        QCOMPARE(m_prompts->last(), ScriptedPrompts::notice(QStringLiteral("文件错误！！！")));
    }

    void editingDownloadAndPcRun() {
        CurveView* view = openNewCurve();
        QVERIFY(view != nullptr);
        QCOMPARE(view->rules().curve().count(), 0);

        // Download of an empty curve writes nothing.
        view->download();
        QCOMPARE(m_prompts->last(), ScriptedPrompts::notice(QStringLiteral("修改成功！！！")));
        QVERIFY(m_bus->writes().isEmpty());

        view->action(QStringLiteral("addSegmentAction"))->trigger();
        view->action(QStringLiteral("selectSegmentAction"))->trigger();
        QCOMPARE(view->rateLabel()->text(), QStringLiteral("斜率值r1："));
        QCOMPARE(view->levelLabel()->text(), QStringLiteral("设定值L1："));
        QCOMPARE(view->dwellLabel()->text(), QStringLiteral("平台时间d1："));
        QCOMPARE(view->rateEdit()->text(), QStringLiteral("1.00"));
        view->rateEdit()->setText(QStringLiteral("60"));
        view->levelEdit()->setText(QStringLiteral("80"));
        view->dwellEdit()->setText(QStringLiteral("1"));
        view->action(QStringLiteral("modifySegmentAction"))->trigger();

        view->addressCombo()->setText(QStringLiteral("可输入多地址,由逗号隔开"));
        view->download();
        QCOMPARE(m_prompts->last(), ScriptedPrompts::notice(QStringLiteral("无有效地址")));
        view->addressCombo()->setText(QStringLiteral("1, 2"));
        view->portCombo()->setText(QStringLiteral("COMM9"));
        view->download();
        QCOMPARE(m_prompts->last(), ScriptedPrompts::notice(QStringLiteral("输入错误！！！")));
        view->portCombo()->setSelection(0);
        view->action(QStringLiteral("downloadAction"))->trigger();
        QVERIFY(idle(view));
        QCOMPARE(m_prompts->last(), ScriptedPrompts::notice(QStringLiteral("修改成功！！！")));
        QCOMPARE(m_bus->writes(), (QStringList{"01 r160.00", "01 l180.00", "01 t11.00 ",
                                               "02 r160.00", "02 l180.00", "02 t11.00 "}));

        // Run from the PC: start 20 typed.
        view->intervalCombo()->setText(QStringLiteral("秒"));
        view->run();
        QCOMPARE(m_prompts->last(), ScriptedPrompts::notice(QStringLiteral("发送间隔错误！！！")));
        view->intervalCombo()->setSelection(0);
        m_prompts->dialogHandlers = {[](QDialog& dialog) {
            auto& start = dynamic_cast<StartPointDialog&>(dialog);
            start.radio(2)->setChecked(true);
            start.valueEdit()->setText(QStringLiteral("20"));
            start.findChild<QPushButton*>(QStringLiteral("okButton"))->click();
        }};
        view->action(QStringLiteral("runAction"))->trigger();
        QCOMPARE(m_prompts->dialogsRun.last(), QStringLiteral("startPointDialog"));
        QCOMPARE(view->rules().state(), CurveRunState::Running);
        QVERIFY(view->action(QStringLiteral("runAction"))->isChecked());
        QVERIFY(!view->action(QStringLiteral("stopAction"))->isChecked());
        QVERIFY(!view->action(QStringLiteral("addSegmentAction"))->isEnabled());
        QVERIFY(!view->action(QStringLiteral("pcControlAction"))->isEnabled());
        QVERIFY(view->action(QStringLiteral("selectSegmentAction"))->isEnabled());
        QVERIFY(view->timer().isActive());
        QCOMPARE(view->timer().interval(), 1000);
        for (int i = 0; i < 3; ++i) {
            view->onTimer();
            QVERIFY2(view->timer().isActive(), "armed for the next second at the tick");
            QVERIFY(view->timer().remainingTime() > 500);
            QVERIFY(idle(view));
        }
        QCOMPARE(m_bus->writes(), (QStringList{"01 SL20.00", "02 SL20.00", "01 SL21.00",
                                               "02 SL21.00", "01 SL22.00", "02 SL22.00"}));
        QCOMPARE(m_bus->controller(2).value(kSL), 22.0);

        // Drawing: run in red up to 3 s, the selected segment's rest in green.
        QImage image = picture(*view);
        QCOMPARE(image.pixelColor(20, 480), QColor(240, 250, 255));  // the plot area
        QCOMPARE(image.pixelColor(14, 9), QColor(Qt::black));        // the frame
        QCOMPARE(image.pixelColor(300, 9), QColor(Qt::black));
        QCOMPARE(image.pixelColor(14, 300), QColor(Qt::black));
        QCOMPARE(image.pixelColor(976, 300), QColor(Qt::white));
        // The ramp runs from (15, 510) to (495, 10); 3 s are at x 39.
        QVERIFY(colourCount(image, QRect(15, 470, 20, 41), QColor(255, 0, 0)) > 10);
        QCOMPARE(colourCount(image, QRect(60, 400, 40, 80), QColor(255, 0, 0)), 0);
        QVERIFY(colourCount(image, QRect(60, 400, 40, 80), QColor(0, 255, 0)) > 10);
        // The current value and time.
        QVERIFY(darkCount(image, QRect(400, 400, 300, 75)) > 100);
        QVERIFY(darkCount(image, QRect(800, 100, 150, 120)) > 50);
        if (qEnvironmentVariableIsSet("CURVE_PICTURE")) {
            image.save(qEnvironmentVariable("CURVE_PICTURE"));
        }
        view->action(QStringLiteral("selectSegmentAction"))->trigger();  // wraps to segment 1
        QCOMPARE(view->rules().selected(), 0);

        // Pause and run again keep the elapsed time; stop and run start at 0.
        view->pause();
        QCOMPARE(view->rules().state(), CurveRunState::Paused);
        QVERIFY(view->action(QStringLiteral("pauseAction"))->isChecked());
        QVERIFY(!view->timer().isActive());
        view->run();
        QCOMPARE(view->rules().elapsedSeconds(), 3);
        view->onTimer();
        QVERIFY(idle(view));
        QCOMPARE(m_bus->writes().first(), QStringLiteral("01 SL23.00"));
        view->stop();
        QVERIFY(view->action(QStringLiteral("stopAction"))->isChecked());
        QVERIFY(!view->timer().isActive());
        m_bus->controller(1).setValue(kSL, 42);
        m_prompts->dialogHandlers = {[](QDialog& dialog) {
            auto& start = dynamic_cast<StartPointDialog&>(dialog);
            start.radio(1)->setChecked(true);
            start.findChild<QPushButton*>(QStringLiteral("okButton"))->click();
        }};
        view->run();
        QVERIFY(idle(view));
        QCOMPARE(view->rules().startValue(), 42.0);
        QCOMPARE(view->rules().elapsedSeconds(), 0);
        QVERIFY(view->timer().isActive());

        // Protected mode: a refused password changes nothing.
        m_app->setProtection(true, QStringLiteral("pw"));
        view->pause();
        QCOMPARE(m_prompts->dialogsRun.last(), QStringLiteral("passwordDialog"));
        QCOMPARE(view->rules().state(), CurveRunState::Running);
        QVERIFY(view->action(QStringLiteral("runAction"))->isChecked());
        m_prompts->dialogHandlers = {[](QDialog& dialog) {
            dialog.findChild<QLineEdit*>(QStringLiteral("passwordEdit"))->setText("pw");
            dialog.accept();
        }};
        view->stop();
        QCOMPARE(view->rules().state(), CurveRunState::Stopped);
    }

    void instrumentControl() {
        CurveView* view = openNewCurve();
        view->action(QStringLiteral("pcControlAction"))->trigger();
        QCOMPARE(m_prompts->last(),
                 ScriptedPrompts::notice(QStringLiteral("进入下位机控制模式！")));
        QVERIFY(!view->action(QStringLiteral("pcControlAction"))->isChecked());
        view->addressCombo()->setText(QStringLiteral("2,1"));
        view->run();
        QVERIFY(idle(view));
        QVERIFY(!view->timer().isActive());
        QCOMPARE(m_bus->writes(), (QStringList{"02 OS>0002", "01 OS>0002"}));
        view->pause();
        QVERIFY(idle(view));
        QCOMPARE(m_bus->writes(), (QStringList{"02 OS>0003", "01 OS>0003"}));
        QVERIFY(view->action(QStringLiteral("runAction"))->isChecked());
        view->stop();
        QVERIFY(idle(view));
        QCOMPARE(m_bus->writes(), (QStringList{"02 OS>0000", "01 OS>0000"}));
        view->action(QStringLiteral("pcControlAction"))->trigger();
        QCOMPARE(m_prompts->last(), ScriptedPrompts::notice(QStringLiteral("进入PC机控制模式！")));
    }

    // A controller that takes its time holds neither the window nor its timer.
    void aSlowControllerDoesNotHoldTheWindow() {
        CurveView* view = openNewCurve();
        view->addSegment();
        tervo::testing::LockedOpener slow;
        for (int i = 0; i < 3; ++i) {
            slow.reply({kACK});
        }
        slow.hold(true);
        view->download();
        QVERIFY(waitFor([&slow] { return slow.waiting() == 1; }));
        int beats = 0;
        QTimer heartbeat;
        connect(&heartbeat, &QTimer::timeout, [&beats] { ++beats; });
        heartbeat.start(10);
        QTest::qWait(200);
        QVERIFY(beats >= 10);
        QVERIFY(view->rules().exchangeUnderway());
        view->download();  // a second download while the first is under way does nothing
        QVERIFY(m_prompts->messages.isEmpty());
        slow.hold(false);
        QVERIFY(idle(view));
        QCOMPARE(m_prompts->last(), ScriptedPrompts::notice(QStringLiteral("修改成功！！！")));
        QCOMPARE(slow.written().size(), size_t(3));
    }

    void uploadFromAController() {
        const double values[6] = {1.5, 80, 10, 2, 30, 0};
        for (int i = 0; i < 6; ++i) {
            m_bus->controller(1).setValue(25 + i, values[i]);
        }
        QStringList lines;
        m_prompts->dialogHandlers = {
            chooseOpen(2),
            [](QDialog& dialog) {
                auto& count = dynamic_cast<SegmentCountDialog&>(dialog);
                QCOMPARE(count.windowTitle(), QStringLiteral("输入"));
                QCOMPARE(count.countEdit()->text(), QStringLiteral("8"));
                count.countEdit()->setText(QStringLiteral("9"));
                count.findChild<QPushButton*>(QStringLiteral("okButton"))->click();
                count.countEdit()->setText(QStringLiteral("2"));
                count.findChild<QPushButton*>(QStringLiteral("okButton"))->click();
            },
            [](QDialog& dialog) {
                auto& link = dynamic_cast<LinkSettingsDialog&>(dialog);
                link.addressCombo()->setText(QStringLiteral("1"));
                link.findChild<QPushButton*>(QStringLiteral("okButton"))->click();
            },
            [&lines](QDialog& dialog) {
                auto& upload = dynamic_cast<CurveUploadDialog&>(dialog);
                QCOMPARE(upload.windowTitle(), QStringLiteral("下载进度提示"));
                QCOMPARE(upload.progressBar()->maximum(), 6);
                waitFor([&upload] { return upload.result() == QDialog::Accepted; });
                for (int i = 0; i < upload.list()->count(); ++i) {
                    lines << upload.list()->item(i)->text();
                }
            }};
        m_frame->actions().curves->trigger();
        QCOMPARE(m_prompts->messages.size(), 1);
        QCOMPARE(m_prompts->last(), ScriptedPrompts::notice(QStringLiteral("输入错误！！！")));
        QCOMPARE(
            lines,
            (QStringList{"第1条曲线  斜率：  1.50     设定值： 80.00     平台运行时间： 10.00",
                         "第2条曲线  斜率：  2.00     设定值： 30.00     平台运行时间：  0.00"}));
        QVERIFY(m_frame->activeChild() != nullptr);
        auto* view = qobject_cast<CurveView*>(m_frame->activeChild()->view());
        QCOMPARE(view->rules().curve().count(), 2);
        QCOMPARE(view->rules().curve().segments()[1].level, 30.0);
        QCOMPARE(view->addressCombo()->currentText(), QStringLiteral("01"));
        // Nothing run and nothing selected: the program in the blue 1-pixel pen only.
        const QImage image = picture(*view);
        QVERIFY(colourCount(image, QRect(15, 10, 961, 501), QColor(0, 0, 255)) > 300);
        QCOMPARE(colourCount(image, QRect(15, 10, 961, 501), QColor(255, 0, 0)), 0);
        QCOMPARE(colourCount(image, QRect(15, 10, 961, 501), QColor(0, 255, 0)), 0);
        QCOMPARE(darkCount(image, QRect(400, 400, 300, 75)), 0);  // no current value yet
        QStringList polled;
        m_bus->with([&polled](testing::InstantBus& b) {
            for (const auto& f : b.written["COM1"]) {
                polled << QString::fromLatin1(std::string(f.begin() + 5, f.begin() + 7).c_str());
            }
            return 0;
        });
        QCOMPARE(polled, (QStringList{"r1", "l1", "t1", "r2", "l2", "t2"}));
    }

    // The operator's round trip on demo-mode controllers (pseudo-terminals at 9600 baud): a
    // three-segment curve downloaded to controllers 1 and 2, run from the PC with their SL
    // following, then taken back from controller 2 into a new window.
    void roundTripInDemoMode() {
        setLinkOpener(nullptr);
        DemoMode demo;
        QString error;
        QVERIFY2(demo.start(&error), qPrintable(error));
        emu::PtyBus& bus = *demo.bus(0);

        CurveView* view = openNewCurve();
        const double segments[3][3] = {{30, 50, 2}, {10, 40, 3}, {15, 70, 1}};
        for (const auto& s : segments) {
            view->addSegment();
            view->selectNext();
            view->rateEdit()->setText(QString::number(s[0]));
            view->levelEdit()->setText(QString::number(s[1]));
            view->dwellEdit()->setText(QString::number(s[2]));
            view->modifySegment();
        }
        view->addressCombo()->setText(QStringLiteral("1,2"));
        view->download();
        QVERIFY(idle(view));
        QCOMPARE(m_prompts->last(), ScriptedPrompts::notice(QStringLiteral("修改成功！！！")));
        for (int address : {1, 2}) {
            for (int i = 0; i < 9; ++i) {
                QCOMPARE(bus.value(address, 25 + i), segments[i / 3][i % 3]);
            }
        }

        m_prompts->dialogHandlers = {[](QDialog& dialog) {
            auto& start = dynamic_cast<StartPointDialog&>(dialog);
            start.radio(2)->setChecked(true);
            start.valueEdit()->setText(QStringLiteral("20"));
            start.accept();
        }};
        view->run();
        for (int tick = 0; tick < 4; ++tick) {
            view->onTimer();
            QVERIFY(idle(view));
            const double expected = 20.0 + 0.5 * tick;  // 30 degrees a minute
            QCOMPARE(bus.value(1, kSL), expected);
            QCOMPARE(bus.value(2, kSL), expected);
        }
        view->stop();

        m_prompts->dialogHandlers = {
            chooseOpen(2),
            [](QDialog& dialog) {
                dynamic_cast<SegmentCountDialog&>(dialog).countEdit()->setText(QStringLiteral("3"));
                dialog.accept();
            },
            [](QDialog& dialog) {
                dynamic_cast<LinkSettingsDialog&>(dialog).addressCombo()->setText(
                    QStringLiteral("2"));
                dialog.accept();
            },
            [](QDialog& dialog) {
                waitFor([&dialog] { return dialog.result() == QDialog::Accepted; });
            }};
        m_frame->actions().curves->trigger();
        auto* uploaded = qobject_cast<CurveView*>(m_frame->activeChild()->view());
        QVERIFY(uploaded != view);
        QCOMPARE(uploaded->rules().curve().bytes(), view->rules().curve().bytes());
        m_app->setClosingAll(true);
        m_frame->mdiArea()->closeAllSubWindows();
    }

    // The clock on demo-mode controllers (pseudo-terminals at 9600 baud): a minute of PC
    // control writes "SL" to three controllers, each tick on the second from the first without
    // drifting, and an upload reads 200 ms apart.
    void ticksKeepTheClock() {
        setLinkOpener(nullptr);
        DemoMode demo;
        QString error;
        QVERIFY2(demo.start(&error), qPrintable(error));
        emu::PtyBus& bus = *demo.bus(0);

        CurveView* view = openNewCurve();
        view->addSegment();
        view->selectNext();
        view->rateEdit()->setText(QStringLiteral("60"));  // a degree a second
        view->levelEdit()->setText(QStringLiteral("200"));
        view->modifySegment();
        view->addressCombo()->setText(QStringLiteral("1,2,3"));
        m_prompts->dialogHandlers = {[](QDialog& dialog) {
            auto& start = dynamic_cast<StartPointDialog&>(dialog);
            start.radio(2)->setChecked(true);
            start.valueEdit()->setText(QStringLiteral("20"));
            start.accept();
        }};
        HeardFrames sets(bus, 1);
        view->run();
        QTest::qWait(60'500);
        const std::vector<qint64> setAt = sets.stop();
        view->stop();
        QVERIFY(idle(view));
        QVERIFY2(setAt.size() >= 58 && setAt.size() <= 61,
                 qPrintable(QString::number(setAt.size())));
        const QString setsOff = offGrid(setAt, 1000, 200, 2);
        QVERIFY2(setsOff.isEmpty(), qPrintable(setsOff));
        QCOMPARE(bus.value(3, kSL), 79.0);  // the program at 59 s
        QCOMPARE(view->rules().elapsedSeconds(), int64_t{60});

        m_prompts->dialogHandlers = {
            chooseOpen(2), [](QDialog& dialog) { dialog.accept(); },
            [](QDialog& dialog) {
                dynamic_cast<LinkSettingsDialog&>(dialog).addressCombo()->setText(
                    QStringLiteral("2"));
                dialog.accept();
            },
            [](QDialog& dialog) {
                waitFor([&dialog] { return dialog.result() == QDialog::Accepted; });
            }};
        HeardFrames reads(bus, 2);
        m_frame->actions().curves->trigger();
        const std::vector<qint64> readAt = reads.stop();
        QCOMPARE(readAt.size(), size_t(24));
        const QString readsOff = offGrid(readAt, 200, 80, 2);
        QVERIFY2(readsOff.isEmpty(), qPrintable(readsOff));
        m_app->setClosingAll(true);
        m_frame->mdiArea()->closeAllSubWindows();
    }

    void uploadThatFails() {
        m_bus->failAfter(4);  // r1, l1, t1, r2 answered; l2 never
        int listed = -1;
        m_prompts->dialogHandlers = {chooseOpen(2), [](QDialog& dialog) { dialog.accept(); },
                                     [](QDialog& dialog) { dialog.accept(); },
                                     [this, &listed](QDialog& dialog) {
                                         auto& upload = dynamic_cast<CurveUploadDialog&>(dialog);
                                         waitFor([this] { return !m_prompts->messages.isEmpty(); });
                                         listed = upload.list()->count();
                                     }};
        m_frame->actions().curves->trigger();
        QCOMPARE(m_prompts->last(), ScriptedPrompts::notice(QStringLiteral("通信错误！！！")));
        QCOMPARE(listed, 1);
        QVERIFY(m_frame->activeChild() == nullptr);
    }
};

QTEST_MAIN(CurveViewTest)
#include "CurveViewTest.moc"
