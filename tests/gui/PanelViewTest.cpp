#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

#include "core/io/FileIo.h"
#include "core/link/ParameterTable.h"
#include "core/link/PortMap.h"
#include "emu/PtyBus.h"
#include "gui/Views.h"
#include "gui/app/ChildWindow.h"
#include "gui/app/MainWindow.h"
#include "gui/app/TervoApp.h"
#include "gui/sim/PanelPictures.h"
#include "gui/sim/PanelView.h"
#include "gui/tools/AutoSearchDialog.h"
#include "gui/tools/LinkSettingsDialog.h"
#include "gui/tools/ParameterView.h"
#include "gui/widgets/PickCombo.h"
#include "guisupport/GuiTest.h"
#include "guisupport/LinkFakes.h"
#include "guisupport/PtyResponder.h"
#include "guisupport/ScriptedPrompts.h"
#include "guisupport/TestShell.h"
#include "support/AcceptingDevice.h"

using namespace tervo;
using namespace tervo::gui;
using tervo::testing::LockedOpener;
using tervo::testing::ScriptedPrompts;
using tervo::testing::waitFor;

namespace {

QString pv(const PanelView* view, int panel) {
    return QString::fromStdString(toString(view->rules().simTemplate().panel(panel).pvText));
}
QString sv(const PanelView* view, int panel) {
    return QString::fromStdString(toString(view->rules().simTemplate().panel(panel).svText));
}

// One tick of timer 1, until its poll has come back.
bool poll(PanelView* view) {
    auto done = [view] { return !view->pollUnderway(); };
    if (!waitFor(done)) {
        return false;
    }
    view->onPollTimer();
    return waitFor(done);
}

// A bus on which nothing answers: each read waits 60 ms, as a silent line's read timeout does,
// and every frame written is kept with the time it went out.
class SilentLine : public SerialOpener {
public:
    using Clock = std::chrono::steady_clock;
    struct Frame {
        Clock::time_point at;
        std::vector<uint8_t> bytes;
    };

    SilentLine() { setLinkOpener(this); }
    ~SilentLine() override { setLinkOpener(nullptr); }
    std::vector<Frame> frames() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_frames;
    }
    std::unique_ptr<SerialDevice> open(const std::string&) override {
        return std::make_unique<Device>(*this);
    }

private:
    class Device : public testing::AcceptingDevice {
    public:
        explicit Device(SilentLine& line) : m_line(line) {}
        size_t write(const uint8_t* data, size_t length) override {
            std::lock_guard<std::mutex> lock(m_line.m_mutex);
            m_line.m_frames.push_back({Clock::now(), {data, data + length}});
            return length;
        }
        size_t read(uint8_t*, size_t) override {
            std::this_thread::sleep_for(std::chrono::milliseconds(60));
            return 0;
        }

    private:
        SilentLine& m_line;
    };

    std::mutex m_mutex;
    std::vector<Frame> m_frames;
};

QPoint keyPoint(const PanelView* view, int panel, PanelKey key) {
    const SimInstrument& p = view->rules().simTemplate().panel(panel);
    const KeyArea& area = keyArea(key);
    return {p.x + (area.left + area.right) / 2, p.y + (area.top + area.bottom) / 2};
}

}  // namespace

// The simulation view against emulated controllers 0, 1 and 2 on COM1 at 9600.
class PanelViewTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        tervo::testing::clearPortEnvironment();
        emu::BusOptions options;
        options.linkPath = m_dir / "com1";
        options.addresses = {0, 1, 2};
        m_bus = std::make_unique<emu::PtyBus>(options);
        std::string error;
        QVERIFY2(m_bus->start(&error), error.c_str());
        setPortPath(0, options.linkPath);
        setPortPath(1, m_dir / "absent");
    }

    void init() {
        for (int address : {0, 1, 2}) {
            m_bus->setFaults(address, emu::Faults{});
            m_bus->setValue(address, kSL, 25.0);
        }
        m_shell = std::make_unique<tervo::testing::TestShell>();
        m_prompts = &m_shell->prompts();
        m_app = &m_shell->app();
        m_frame = &m_shell->frame();
    }

    void cleanup() { m_shell.reset(); }

    void newTemplateAddsPanelsAndPollsThemInTurn() {
        m_frame->actions().newTemplate->trigger();
        PanelView* view = activeView();
        QVERIFY(view != nullptr);
        QCOMPARE(m_frame->activeChild()->windowTitle(), QStringLiteral("仪表模拟 --- "));
        QVERIFY(view->pollTimer().isActive());
        QCOMPARE(view->pollTimer().interval(), 200);
        QVERIFY(view->pollTimer().isSingleShot());
        for (const char* name :
             {"addPanelButton", "removePanelButton", "rearrangeButton", "searchButton"}) {
            auto* button = m_frame->activeChild()->findChild<QToolButton*>(QLatin1String(name));
            QVERIFY2(button != nullptr, name);
            QCOMPARE(button->width(), 67);
        }
        QCOMPARE(panelToolbar().size(), QSize(4 * kToolbarImageWidth, kToolbarImageHeight));
        // The twelve pictures at their sizes.
        QCOMPARE(panelPicture(PanelPicture::Panel).size(), QSize(200, 180));
        QCOMPARE(panelPicture(PanelPicture::CurrentPanel).size(), QSize(200, 180));
        QCOMPARE(panelPicture(PanelPicture::RedStrip).size(), QSize(382, 41));
        QCOMPARE(panelPicture(PanelPicture::GreenStrip).size(), QSize(240, 30));
        for (int key = 1; key <= 4; ++key) {
            for (bool pressed : {false, true}) {
                QCOMPARE(keyPicture(key, pressed).size(), QSize(key <= 2 ? 39 : 19, 17));
            }
        }
        // The current panel differs by its red frame.
        const QImage current = panelPicture(PanelPicture::CurrentPanel).toImage();
        QCOMPARE(current.pixelColor(1, 90), QColor(0xff, 0, 0));
        QVERIFY(panelPicture(PanelPicture::Panel).toImage().pixelColor(1, 90) !=
                QColor(0xff, 0, 0));
        QCOMPARE(view->addAction()->text(), QStringLiteral("添加仪表"));
        QCOMPARE(view->removeAction()->text(), QStringLiteral("删除仪表"));
        QCOMPARE(view->rearrangeAction()->text(), QStringLiteral("重新排列"));
        QCOMPARE(view->searchAction()->text(), QStringLiteral("自动搜索"));
        QVERIFY(m_frame->actions().saveTemplate->isEnabled());

        // Three panels, addresses 0..2; the polls go PV 0, SP 0, PV 1, SP 1, PV 2, SP 2, PV 0.
        for (int i = 0; i < 3; ++i) {
            view->addAction()->trigger();
        }
        QCOMPARE(view->rules().simTemplate().count(), 3);
        QCOMPARE(sv(view, 2), QStringLiteral("8888."));
        const QImage untouched = view->canvas();
        QCOMPARE(untouched.size(), QSize(1024, 768));
        const std::vector<std::pair<int, QString>> expected = {
            {0, "PV"}, {0, "SP"}, {1, "PV"}, {1, "SP"}, {2, "PV"}, {2, "SP"}, {0, "PV"}};
        uint64_t heard[3] = {m_bus->framesHeard(0), m_bus->framesHeard(1), m_bus->framesHeard(2)};
        for (const auto& [address, name] : expected) {
            QVERIFY(poll(view));
            QCOMPARE(m_bus->framesHeard(address), heard[address] + 1);
            ++heard[address];
        }
        for (int panel = 0; panel < 3; ++panel) {
            QCOMPARE(sv(view, panel), QStringLiteral(" 25.0"));
            QVERIFY2(pv(view, panel) != QStringLiteral("8888.") &&
                         pv(view, panel) != QStringLiteral(" Err."),
                     qPrintable(pv(view, panel)));
        }
        // The SV display of panel 0 at (91, 84) now shows " 25.0" in green: the "2" lights
        // its top bar, where "8" lit it before as well, but the blank first glyph is dark.
        const QImage polled = view->canvas();
        const QColor blankTop = polled.pixelColor(91 + 9, 84 + 4);
        QVERIFY2(blankTop.green() < 100, qPrintable(blankTop.name()));
        const QColor eightTop = untouched.pixelColor(91 + 9, 84 + 4);
        QVERIFY2(eightTop.green() > 200, qPrintable(eightTop.name()));

        // A silent controller: " Err." in red on PV, SV keeps " 25.0".
        m_bus->setFaults(1, emu::Faults{true});
        for (int i = 0; i < 6; ++i) {
            QVERIFY(poll(view));
        }
        QCOMPARE(pv(view, 1), QStringLiteral(" Err."));
        QCOMPARE(sv(view, 1), QStringLiteral(" 25.0"));
        const QImage err = view->canvas();
        // "E" lights its top bar at x 330's cell (third glyph from 200 + 51 + 26 + 9).
        const QColor eTop = err.pixelColor(200 + 51 + 35 + 13, 22 + 4);
        QVERIFY2(eTop.red() > 200 && eTop.green() < 100, qPrintable(eTop.name()));
    }

    // The timer alone polls: panels added to a new template after its first ticks, and panels
    // added after all were removed. Adding and removing restart at the active panel's "PV".
    void panelsAddedLaterArePolledByTheTimer() {
        PanelView* view = openWithPanels(0);
        QTest::qWait(3 * PanelRules::kPollIntervalMs);
        for (int i = 0; i < 3; ++i) {
            view->addAction()->trigger();
        }
        QCOMPARE(view->rules().pollCounter(), 0);
        QVERIFY(waitFor([view] { return sv(view, 2) == QStringLiteral(" 25.0"); }));
        QVERIFY(pv(view, 0) != QStringLiteral("8888."));

        // Panel 1 made active by a press on its up key, released away from it.
        QTest::mousePress(view, Qt::LeftButton, {}, keyPoint(view, 1, PanelKey::Up));
        QTest::mouseRelease(view, Qt::LeftButton, {}, keyPoint(view, 1, PanelKey::Down));
        view->addAction()->trigger();
        QCOMPARE(view->rules().pollCounter(), 2);
        QVERIFY(waitFor([view] { return view->rules().pollCounter() != 2; }));
        view->removeAction()->trigger();  // the panel just added
        QCOMPARE(view->rules().simTemplate().count(), 3);
        QCOMPARE(view->rules().pollCounter(), 2);

        for (int i = 0; i < 3; ++i) {
            view->removeAction()->trigger();
        }
        QTest::qWait(3 * PanelRules::kPollIntervalMs);
        view->addAction()->trigger();
        view->addAction()->trigger();
        QCOMPARE(view->rules().pollCounter(), 0);
        QVERIFY(waitFor([view] { return sv(view, 1) == QStringLiteral(" 25.0"); }));
    }

    // A set-value write to a silent controller makes five attempts; the next poll comes an
    // interval after the last of them, not after the release.
    void releaseWritePollsAnIntervalAfterTheWrite() {
        SilentLine line;
        // The window goes, and its exchanges end, before the line does.
        const auto closeFirst = qScopeGuard([this] { m_shell.reset(); });
        PanelView* view = openWithPanels(1);
        QVERIFY(waitFor([&line] { return !line.frames().empty(); }));
        QTest::mousePress(view, Qt::LeftButton, {}, keyPoint(view, 0, PanelKey::Up));
        QTest::mouseRelease(view, Qt::LeftButton, {}, keyPoint(view, 0, PanelKey::Up));
        auto lastWrite = [&line] {
            const auto frames = line.frames();
            for (size_t i = frames.size(); i-- > 0;) {
                if (frames[i].bytes.size() > 8) {
                    return i;
                }
            }
            return frames.size();
        };
        QVERIFY(waitFor([&] { return lastWrite() + 1 < line.frames().size(); }));
        const auto frames = line.frames();
        const size_t write = lastWrite();
        QCOMPARE(std::count_if(frames.begin(), frames.end(),
                               [](const auto& f) { return f.bytes.size() > 8; }),
                 5);
        QCOMPARE(frames[write + 1].bytes[5], uint8_t('P'));  // panel 0's "PV"
        // The write's last read takes 60 ms, then the interval runs (a coarse timer may fire
        // a few percent early).
        const auto gap = std::chrono::duration_cast<std::chrono::milliseconds>(
            frames[write + 1].at - frames[write].at);
        QVERIFY2(gap.count() >= 60 + 180, qPrintable(QString::number(gap.count())));
    }

    void upKeyRaisesTheSetValueAndTheControllerFollows() {
        PanelView* view = openWithPanels(2);
        for (int i = 0; i < 4; ++i) {
            QVERIFY(poll(view));
        }
        QCOMPARE(sv(view, 1), QStringLiteral(" 25.0"));
        m_frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_frame));

        QTest::mousePress(view, Qt::LeftButton, {}, keyPoint(view, 1, PanelKey::Up));
        QVERIFY(!view->pollTimer().isActive());
        QVERIFY(view->repeatTimer().isActive());
        QCOMPARE(view->repeatTimer().interval(), 100);
        QCOMPARE(view->rules().heldKey(), PanelKey::Up);
        // Pressed image drawn at (117, 138) of panel 1.
        const QImage pressed = view->canvas();
        QCOMPARE(pressed.pixelColor(200 + 117 + 2, 138 + 2),
                 keyPicture(3, true).toImage().pixelColor(2, 2));
        QVERIFY(waitFor([view] { return sv(view, 1) == QStringLiteral(" 25.3"); }, 3000));
        QTest::mouseRelease(view, Qt::LeftButton, {}, keyPoint(view, 1, PanelKey::Up));
        QVERIFY(!view->repeatTimer().isActive());
        QCOMPARE(sv(view, 1), QStringLiteral(" 25.3"));
        QCOMPARE(view->rules().pollCounter(), 2);  // the next poll reads panel 1's "PV"
        QVERIFY(waitFor([this] { return m_bus->value(1, kSL) == 25.3; }));
        QVERIFY(waitFor([view] { return view->pollTimer().isActive(); }));
        // The controller follows: its working set point comes back as " 25.3".
        QVERIFY(poll(view));
        QVERIFY(poll(view));
        QCOMPARE(sv(view, 1), QStringLiteral(" 25.3"));

        // Down, released away from the key: nothing is written, the next "SP" poll restores.
        QTest::mousePress(view, Qt::LeftButton, {}, keyPoint(view, 0, PanelKey::Down));
        QVERIFY(waitFor([view] { return sv(view, 0) == QStringLiteral(" 24.9"); }, 3000));
        QTest::mouseRelease(view, Qt::LeftButton, {}, keyPoint(view, 0, PanelKey::Up));
        QVERIFY(poll(view));
        QVERIFY(poll(view));
        QCOMPARE(sv(view, 0), QStringLiteral(" 25.0"));
        QCOMPARE(m_bus->value(0, kSL), 25.0);
    }

    void linkAndParameterKeys() {
        PanelView* view = openWithPanels(2);
        // "通信" cancelled: the panel stays as it was.
        m_prompts->dialogHandlers = {[](QDialog&) {}};
        QTest::mousePress(view, Qt::LeftButton, {}, keyPoint(view, 1, PanelKey::Link));
        QTest::mouseRelease(view, Qt::LeftButton, {}, keyPoint(view, 1, PanelKey::Link));
        QCOMPARE(m_prompts->dialogsRun, QStringList{QStringLiteral("linkSettingsDialog")});
        QCOMPARE(view->rules().simTemplate().panel(1).address, 1);
        // Confirmed: the three values go into the panel.
        m_prompts->dialogHandlers = {[](QDialog& dialog) {
            auto& settings = static_cast<LinkSettingsDialog&>(dialog);
            QCOMPARE(settings.addressCombo()->currentText(), QStringLiteral("01"));
            settings.portCombo()->setSelection(1);
            settings.baudCombo()->setSelection(6);
            settings.addressCombo()->setText(QStringLiteral("42"));
            settings.accept();
        }};
        QTest::mousePress(view, Qt::LeftButton, {}, keyPoint(view, 1, PanelKey::Link));
        QTest::mouseRelease(view, Qt::LeftButton, {}, keyPoint(view, 1, PanelKey::Link));
        const SimInstrument& p = view->rules().simTemplate().panel(1);
        QCOMPARE(int(p.port), 1);
        QCOMPARE(int(p.baud), 6);
        QCOMPARE(int(p.address), 42);

        // "参数" opens the parameter view for that controller.
        QTest::mousePress(view, Qt::LeftButton, {}, keyPoint(view, 1, PanelKey::Parameters));
        QTest::mouseRelease(view, Qt::LeftButton, {}, keyPoint(view, 1, PanelKey::Parameters));
        auto* parameters = qobject_cast<ParameterView*>(m_frame->activeChild()->view());
        QVERIFY(parameters != nullptr);
        QCOMPARE(parameters->portCombo()->currentText(), QStringLiteral("COMM2"));
        QCOMPARE(parameters->baudCombo()->currentText(), QStringLiteral("19200"));
        QCOMPARE(parameters->addressCombo()->currentText(), QStringLiteral("42"));
    }

    void searchReplacesThePanels() {
        PanelView* view = openWithPanels(3);
        // COM1 and COM2 at 9600, address 1: COM1 answers, COM2 is absent.
        m_prompts->dialogHandlers = {[view](QDialog& dialog) {
            auto& search = static_cast<AutoSearchDialog&>(dialog);
            QCOMPARE(search.windowTitle(), QStringLiteral("自动搜索选项"));
            QVERIFY(!view->pollTimer().isActive());
            QCOMPARE(search.portCombo()->currentText(), QStringLiteral("COM1"));
            QCOMPARE(search.baudCombo()->currentText(), QStringLiteral("9600"));
            QCOMPARE(search.addressCombo()->currentText(), QStringLiteral("自动搜索"));
            search.portCombo()->setSelection(0);
            search.addressCombo()->setText(QStringLiteral("1"));
            search.findChild<QPushButton*>(QStringLiteral("startButton"))->click();
            QCOMPARE(search.portBar()->maximum(), 2);
            QCOMPARE(search.addressBar()->maximum(), 1);
            QVERIFY(waitFor([&search] { return !search.searching(); }));
            QCOMPARE(search.resultList()->count(), 1);
            QCOMPARE(search.resultList()->item(0)->text(),
                     QStringLiteral("串口： COM1 , 波特率： 9600 , 仪表地址： 1"));
            search.findChild<QPushButton*>(QStringLiteral("okButton"))->click();
        }};
        view->searchAction()->trigger();
        QCOMPARE(m_prompts->messages.size(), 1);
        QCOMPARE(ScriptedPrompts::describe(m_prompts->messages[0]),
                 ScriptedPrompts::notice(QStringLiteral("搜索完毕！！！")));
        QCOMPARE(view->rules().simTemplate().count(), 1);
        QCOMPARE(int(view->rules().simTemplate().panel(0).address), 1);
        QVERIFY(view->pollTimer().isActive());

        // Cancelled: the panels stay, polling goes on.
        m_prompts->dialogHandlers = {[](QDialog& dialog) { dialog.reject(); }};
        view->searchAction()->trigger();
        QCOMPARE(view->rules().simTemplate().count(), 1);
        QVERIFY(view->pollTimer().isActive());
    }

    void searchDialogRefusesAndStops() {
        LockedOpener fake;
        AutoSearchDialog dialog(m_app->links());
        // Typed text is no selection, even the text of an entry, even after Return.
        QLineEdit* portEdit = dialog.portCombo()->lineEdit();
        portEdit->selectAll();
        QTest::keyClicks(portEdit, QStringLiteral("COM2"));
        QTest::keyClick(portEdit, Qt::Key_Return);
        dialog.startSearch();
        QTest::keyClick(dialog.portCombo(), Qt::Key_Up);  // an entry picked again: COM1
        QCOMPARE(dialog.portCombo()->selection(), 1);
        dialog.baudCombo()->setText(QStringLiteral("9601"));
        dialog.startSearch();
        dialog.baudCombo()->setSelection(0);
        QVERIFY(!dialog.searching());
        QCOMPARE(m_prompts->messages.size(), 2);
        QCOMPARE(ScriptedPrompts::describe(m_prompts->messages[0]),
                 ScriptedPrompts::notice(QStringLiteral("串口设置错误！！！")));
        QCOMPARE(ScriptedPrompts::describe(m_prompts->messages[1]),
                 ScriptedPrompts::notice(QStringLiteral("波特率设置错误！！！")));

        // Every rate for address 107, that is 7; the 300 and 600 polls are answered, then the
        // search is stopped while a poll is held on the line: the two lines stay, at once.
        fake.reply({0x02});
        fake.reply({0x02});
        dialog.addressCombo()->setText(QStringLiteral("107"));
        dialog.startSearch();
        QVERIFY(dialog.timer().isActive());
        QCOMPARE(dialog.timer().interval(), 100);
        QCOMPARE(dialog.baudBar()->maximum(), 7);
        QVERIFY(waitFor([&dialog] { return dialog.resultList()->count() == 2; }));
        fake.hold(true);
        QVERIFY(waitFor([&fake] { return fake.waiting() == 1; }));
        dialog.stopSearch();
        QVERIFY(!dialog.searching());
        QVERIFY(!dialog.timer().isActive());
        QCOMPARE(ScriptedPrompts::describe(m_prompts->messages.last()),
                 ScriptedPrompts::notice(QStringLiteral("搜索停止！！！")));
        fake.hold(false);
        QTest::qWait(50);
        QCOMPARE(dialog.resultList()->count(), 2);
        QCOMPARE(dialog.resultList()->item(1)->text(),
                 QStringLiteral("串口： COM1 , 波特率：  600 , 仪表地址： 7"));
        QCOMPARE(dialog.found().size(), size_t(2));
        QVERIFY(dialog.found()[1] == (FoundInstrument{0, 1, 7}));
        QCOMPARE(fake.written()[0],
                 (std::vector<uint8_t>{kEOT, '0', '0', '7', '7', 'P', 'V', kENQ}));
    }

    void templatesLoadSaveAndRefuse() {
        QTemporaryDir dir;
        const QString good = dir.filePath(QStringLiteral("wall.sim"));
        SimTemplate t;
        t.addInstrument({0, 5, 2});
        t.addInstrument({0, 5, 0});
        t.panel(1).x = -40;
        t.panel(0).y = 0x7FFFFFFF;  // far below the canvas
        QCOMPARE(t.save(good.toStdString()), SimStatus::Ok);
        m_prompts->fileAnswers = {good};
        m_frame->actions().openTemplate->trigger();
        PanelView* view = activeView();
        QVERIFY(view != nullptr);
        QCOMPARE(view->rules().simTemplate().count(), 2);
        QCOMPARE(view->rules().simTemplate().panel(1).x, -40);
        QCOMPARE(view->rules().simTemplate().panel(0).y, 0x7FFFFFFF);
        // Panel 1 shows at x -40; of panel 0 nothing is drawn.
        const QImage shown = view->canvas();
        QCOMPARE(shown.pixelColor(100, 170), QColor(0x1c, 0x1c, 0x1c));
        QCOMPARE(shown.pixelColor(300, 100), QColor(Qt::white));

        // Remove the current panel (0 after loading), then save under a new name.
        view->removeAction()->trigger();
        QCOMPARE(view->rules().simTemplate().count(), 1);
        const QString saved = dir.filePath(QStringLiteral("saved.sim"));
        m_prompts->fileAnswers = {saved};
        m_frame->actions().saveTemplate->trigger();
        const auto& request = m_prompts->fileRequests.last();
        QVERIFY(request.save);
        QCOMPARE(request.request.filter, QStringLiteral("模板文件(*.sim);;所有文件(*.*)"));
        QCOMPARE(request.request.defaultExtension, QStringLiteral("sim"));
        QCOMPARE(request.request.initialName, QStringLiteral("*.sim"));
        std::vector<uint8_t> bytes;
        QVERIFY(readWholeFile(saved.toStdString(), bytes));
        QCOMPARE(bytes.size(), size_t(56));
        QCOMPARE(int(bytes[28 + 10]), 0);  // the address of the panel that stayed
        QCOMPARE(int(bytes[28]), 0xD8);    // x -40
        // A file that cannot be created is reported; the template stays open.
        m_prompts->fileAnswers = {dir.filePath(QStringLiteral("no-such-dir/x.sim"))};
        m_frame->actions().saveTemplate->trigger();
        QCOMPARE(ScriptedPrompts::describe(m_prompts->messages.last()),
                 ScriptedPrompts::notice(QStringLiteral("文件错误！！！")));
        QCOMPARE(activeView(), view);

        // A file with a byte too many opens no window.
        bytes.push_back(0);
        const QString bad = dir.filePath(QStringLiteral("bad.sim"));
        QVERIFY(writeFileAtomically(bad.toStdString(), bytes));
        const int windows = m_frame->children().size();
        m_prompts->fileAnswers = {bad};
        m_frame->actions().openTemplate->trigger();
        QCOMPARE(m_frame->children().size(), windows);
        QCOMPARE(ScriptedPrompts::describe(m_prompts->messages.last()),
                 ScriptedPrompts::notice(QStringLiteral("文件错误！！！")));
        // So does a file that is not there.
        const int messages = m_prompts->messages.size();
        m_prompts->fileAnswers = {dir.filePath(QStringLiteral("gone.sim"))};
        m_frame->actions().openTemplate->trigger();
        QCOMPARE(m_frame->children().size(), windows);
        QCOMPARE(m_prompts->messages.size(), messages + 1);
    }

private:
    PanelView* activeView() {
        ChildWindow* child = m_frame->activeChild();
        return child != nullptr ? qobject_cast<PanelView*>(child->view()) : nullptr;
    }

    PanelView* openWithPanels(int count) {
        m_frame->actions().newTemplate->trigger();
        PanelView* view = activeView();
        for (int i = 0; i < count; ++i) {
            view->addAction()->trigger();
        }
        return view;
    }

    tervo::testing::TempDir m_dir;
    std::unique_ptr<emu::PtyBus> m_bus;
    std::unique_ptr<tervo::testing::TestShell> m_shell;
    ScriptedPrompts* m_prompts = nullptr;
    TervoApp* m_app = nullptr;
    MainWindow* m_frame = nullptr;
};

QTEST_MAIN(PanelViewTest)
#include "PanelViewTest.moc"
