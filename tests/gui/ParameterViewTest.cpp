#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QRegularExpression>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "core/link/ParameterTable.h"
#include "core/link/PortMap.h"
#include "emu/PtyBus.h"
#include "gui/Views.h"
#include "gui/app/ChildWindow.h"
#include "gui/app/MainWindow.h"
#include "gui/app/TervoApp.h"
#include "gui/tools/ParameterView.h"
#include "gui/widgets/Geometry.h"
#include "gui/widgets/PickCombo.h"
#include "guisupport/GuiTest.h"
#include "guisupport/LinkFakes.h"
#include "guisupport/PtyResponder.h"
#include "guisupport/ScriptedPrompts.h"
#include "guisupport/TestShell.h"

using namespace tervo;
using namespace tervo::gui;
using tervo::testing::ScriptedPrompts;
using tervo::testing::waitFor;

namespace {

QStringList rowTexts(const ParameterView& view) {
    QStringList texts;
    for (int row = 0; row < view.list()->count(); ++row) {
        texts << view.list()->item(row)->text();
    }
    return texts;
}

QStringList labels() {
    QStringList texts;
    for (int row = 0; row < kParameterCount; ++row) {
        texts << QString::fromUtf8(parameterLabelUtf8(row).data(),
                                   qsizetype(parameterLabelUtf8(row).size()));
    }
    return texts;
}

// One tick of timer 1, until its read has come back. A tick the view's own timer began is
// let finish first, so the tick reads what the controls say now.
bool tick(ParameterView* view) {
    auto done = [view] { return !view->tickUnderway(); };
    if (!waitFor(done)) {
        return false;
    }
    view->onTimer();
    return waitFor(done);
}

// The write button, until the controller's answer is in.
bool write(ParameterView* view) {
    view->write();
    return waitFor([view] { return !view->writeUnderway(); });
}

}  // namespace

// The parameter view against emulated controllers at addresses 0, 1 and 5 on COM1.
class ParameterViewTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        tervo::testing::clearPortEnvironment();
        emu::BusOptions options;
        options.linkPath = m_dir / "com1";
        options.addresses = {0, 1, 5};
        m_bus = std::make_unique<emu::PtyBus>(options);
        std::string error;
        QVERIFY2(m_bus->start(&error), error.c_str());
        setPortPath(0, options.linkPath);
        setPortPath(1, m_dir / "absent");
    }

    void init() {
        for (int address : {0, 1, 5}) {
            m_bus->setFaults(address, emu::Faults{});
        }
        m_shell = std::make_unique<tervo::testing::TestShell>();
        m_prompts = &m_shell->prompts();
        m_app = &m_shell->app();
        m_frame = &m_shell->frame();
    }

    void cleanup() { m_shell.reset(); }

    void createdFromTheCurrentLinkSettings() {
        ParameterView* view = open(LinkSettings{1, 6, 5});
        QCOMPARE(view->portCombo()->currentText(), QStringLiteral("COMM2"));
        QCOMPARE(view->portCombo()->selection(), 1);
        QCOMPARE(view->baudCombo()->currentText(), QStringLiteral("19200"));
        QCOMPARE(view->addressCombo()->currentText(), QStringLiteral("05"));
        QCOMPARE(view->addressCombo()->count(), 4);
        QCOMPARE(view->portCombo()->count(), 6);
        QCOMPARE(view->baudCombo()->count(), 7);
        QCOMPARE(view->mnemonicField()->text(), QStringLiteral("参数名称："));
        QCOMPARE(view->mnemonicField()->geometry(), cornerRect(130, 2, 320, 23));
        QCOMPARE(view->valueField()->geometry(), cornerRect(330, 2, 430, 23));
        QCOMPARE(view->portCombo()->geometry().topLeft(), QPoint(60, 2));
        QCOMPARE(view->baudCombo()->geometry().topLeft(), QPoint(240, 2));
        QCOMPARE(view->addressCombo()->geometry().topLeft(), QPoint(435, 2));
        QCOMPARE(view->list()->size(), QSize(400, 300));
        QCOMPARE(rowTexts(*view), labels());
        QVERIFY(view->autoReadAction()->isChecked());
        QVERIFY(view->timer().isActive());
        QCOMPARE(view->timer().interval(), 500);
        QVERIFY(view->timer().isSingleShot());
        QCOMPARE(view->objectName(), QStringLiteral("parameterView"));
        QCOMPARE(view->findChild<QListWidget*>(QStringLiteral("parameterList")), view->list());

        // The list sits in the middle of the view, but never above y 40.
        m_frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_frame));
        QCOMPARE(view->list()->pos(), QPoint(std::max(0, (view->width() - 400) / 2),
                                             std::max(40, (view->height() - 300) / 2)));
        // The labels at (0, 5), (180, 5) and (360, 5), left of their combos.
        const QImage shown = view->grab().toImage();
        auto dark = [&shown](int left, int right) {
            int count = 0;
            for (int y = 5; y < 19; ++y) {
                for (int x = left; x < right; ++x) {
                    count += qGray(shown.pixel(x, y)) < 100 ? 1 : 0;
                }
            }
            return count;
        };
        QVERIFY(dark(0, 56) > 20);
        QVERIFY(dark(180, 236) > 20);
        QVERIFY(dark(360, 430) > 20);
        QCOMPARE(dark(162, 178), 0);
        QCOMPARE(dark(342, 358), 0);

        view->resize(800, 600);
        QCOMPARE(view->list()->pos(), QPoint(200, 150));
        view->resize(300, 200);
        QCOMPARE(view->list()->pos(), QPoint(0, 40));

        // The two buttons have one text each: a prompt in the status bar, no tip.
        ChildWindow* child = m_frame->activeChild();
        auto* autoRead = child->findChild<QToolButton*>(QStringLiteral("autoReadButton"));
        auto* writeButton = child->findChild<QToolButton*>(QStringLiteral("writeButton"));
        QCOMPARE(autoRead->defaultAction(), view->autoReadAction());
        QCOMPARE(writeButton->defaultAction(), view->writeAction());
        QCOMPARE(view->autoReadAction()->statusTip(), QStringLiteral("开关自动下载功能"));
        QCOMPARE(view->writeAction()->statusTip(),
                 QStringLiteral("按此键，下载修改设置数据到仪表"));
        QCOMPARE(tervo::testing::shownToolTip(autoRead), QString());
        QCOMPARE(tervo::testing::shownToolTip(writeButton), QString());
    }

    void rowsFillWithTheControllersValues() {
        m_bus->setValue(0, kSL, 123.4);
        m_bus->setValue(0, segmentDwellIndex(8), -7.5);
        ParameterView* view = open();
        const uint64_t heard = m_bus->framesHeard(0);
        QVERIFY(tick(view));
        QVERIFY(view->timer().isActive());
        QCOMPARE(view->timer().interval(), 500);
        QVERIFY(rowTexts(*view)[0].startsWith(QStringLiteral("PV 测量值（只读）        ")));
        QCOMPARE(view->list()->item(1)->text(), labels()[1]);
        for (int row = 1; row < kParameterCount; ++row) {
            QVERIFY(tick(view));
        }
        QCOMPARE(view->nextRow(), 0);
        // One read per row; on a loaded machine a late answer may bring a retry on top.
        QVERIFY(m_bus->framesHeard(0) >= heard + 49);
        // The label padded to 25 bytes (GBK), then "%0.2f".
        QCOMPARE(view->list()->item(kSL)->text(),
                 QStringLiteral("SL 基本设定值            123.40"));
        QCOMPARE(view->list()->item(48)->text(), QStringLiteral("t8 平台8的运行时间       -7.50"));
        QCOMPARE(view->list()->item(4)->text(), QStringLiteral("HA 上限报警值            200.00"));
        // The measured value and the output move on their own; the rest stand still.
        const QRegularExpression twoDecimals(QStringLiteral("^-?[0-9]+\\.[0-9][0-9]$"));
        for (int row = 0; row < kParameterCount; ++row) {
            const QString text = view->list()->item(row)->text();
            if (row <= 1) {
                QVERIFY(text.startsWith(ParameterView::rowText(row)));
                QVERIFY(twoDecimals.match(text.mid(ParameterView::rowText(row).size())).hasMatch());
            } else {
                QCOMPARE(text, ParameterView::rowText(row, m_bus->value(0, row)));
            }
        }
        QCOMPARE(m_frame->activeChild()->windowTitle(), QStringLiteral("仪表参数修改"));
    }

    void aFailedReadStopsReadingUntilTheSelectionChanges() {
        ParameterView* view = open(LinkSettings{0, 5, 1});
        ChildWindow* child = m_frame->activeChild();
        QVERIFY(tick(view));
        QVERIFY(!view->communicationError());
        m_bus->setFaults(1, emu::Faults{true});
        QVERIFY(tick(view));
        QCOMPARE(child->windowTitle(), QStringLiteral("通信错误"));
        QVERIFY(view->communicationError());
        QVERIFY(!view->autoRead());
        QVERIFY(!view->autoReadAction()->isChecked());
        QVERIFY(view->timer().isActive());

        // The controller answers again, but nothing is read until the selection changes,
        // and the auto-read button does not bring reading back.
        m_bus->setFaults(1, emu::Faults{});
        const uint64_t heard = m_bus->framesHeard(1);
        QVERIFY(tick(view));
        view->toggleAutoRead();
        QVERIFY(view->autoReadAction()->isChecked());
        QVERIFY(tick(view));
        QVERIFY(!view->autoReadAction()->isChecked());
        view->toggleAutoRead();
        QVERIFY(tick(view));
        QCOMPARE(m_bus->framesHeard(1), heard);
        QCOMPARE(child->windowTitle(), QStringLiteral("通信错误"));
        QCOMPARE(m_frame->windowTitle(), QStringLiteral("温控仪控制系统 - 仪表参数修改"));

        // Address 01 to 00 and back: the list starts over with zeros and reading resumes.
        view->list()->item(3)->setText(QStringLiteral("stale"));
        view->addressCombo()->setText(QStringLiteral("00"));
        QVERIFY(tick(view));
        QVERIFY(!view->communicationError());
        QCOMPARE(child->windowTitle(), QStringLiteral("仪表参数修改"));
        QVERIFY(view->autoRead());
        QVERIFY(view->autoReadAction()->isChecked());
        QCOMPARE(view->list()->item(3)->text(), labels()[3]);
        QVERIFY(view->list()->item(0)->text() != labels()[0]);
        QCOMPARE(view->nextRow(), 1);
        view->addressCombo()->setText(QStringLiteral("01"));
        QVERIFY(tick(view));
        QCOMPARE(m_bus->framesHeard(1), heard + 1);
        QCOMPARE(view->nextRow(), 1);
        // Stopped by the button, the view reads nothing at all.
        view->autoReadAction()->trigger();
        QVERIFY(!view->timer().isActive());
        QVERIFY(!view->autoReadAction()->isChecked());
        view->autoReadAction()->trigger();
        QVERIFY(view->timer().isActive());
        QVERIFY(view->autoReadAction()->isChecked());
    }

    void aPortOrRateWithoutSelectionFails() {
        ParameterView* view = open();
        view->portCombo()->setText(QStringLiteral("COMM9"));
        QCOMPARE(view->portCombo()->selection(), -1);
        QVERIFY(tick(view));
        QVERIFY(view->communicationError());
        view->portCombo()->setSelection(0);
        QVERIFY(tick(view));
        QVERIFY(!view->communicationError());
    }

    void writeReportsTheControllersAnswer() {
        ParameterView* view = open();
        view->mnemonicField()->setText(QStringLiteral("SL"));
        view->valueField()->setText(QStringLiteral("100"));
        QVERIFY(write(view));
        QCOMPARE(m_bus->value(0, kSL), 100.0);
        QCOMPARE(m_prompts->messages.size(), 1);
        QCOMPARE(m_prompts->messages[0].text, QStringLiteral("修改成功！！！"));
        QCOMPARE(m_prompts->messages[0].caption, QStringLiteral("提示"));
        QCOMPARE(m_prompts->messages[0].icon, PromptIcon::Exclamation);
        QCOMPARE(m_prompts->messages[0].buttons, PromptButtons::Ok);

        emu::Faults refuse;
        refuse.nakWrites = true;
        m_bus->setFaults(0, refuse);
        view->valueField()->setText(QStringLiteral("50"));
        view->writeAction()->trigger();
        QVERIFY(waitFor([view] { return !view->writeUnderway(); }));
        QCOMPARE(m_prompts->last(), ScriptedPrompts::notice(QStringLiteral("修改失败！！！")));
        QCOMPARE(m_bus->value(0, kSL), 100.0);

        m_bus->setFaults(0, emu::Faults{true});
        QVERIFY(write(view));
        QCOMPARE(m_prompts->last(), ScriptedPrompts::notice(QStringLiteral("通信错误！！！")));
        QCOMPARE(m_prompts->messages.last().icon, PromptIcon::Exclamation);
        m_bus->setFaults(0, emu::Faults{});

        // Not two printable characters: nothing is sent and nothing said.
        const uint64_t heard = m_bus->framesHeard(0);
        for (const char* mnemonic : {"参数名称：", "", "S", " L", "S\tL", "{L"}) {
            view->mnemonicField()->setText(QString::fromUtf8(mnemonic));
            QVERIFY(write(view));
        }
        QCOMPARE(m_prompts->messages.size(), 3);
        QCOMPARE(m_bus->framesHeard(0), heard);

        // An address the wire cannot carry reaches no controller.
        view->addressCombo()->setText(QStringLiteral("105"));
        view->mnemonicField()->setText(QStringLiteral("SL"));
        view->valueField()->setText(QStringLiteral("77"));
        QVERIFY(write(view));
        QCOMPARE(m_prompts->last(), ScriptedPrompts::notice(QStringLiteral("通信错误！！！")));
        QCOMPARE(m_bus->value(5, kSL), 25.0);
        const uint64_t heardAt5 = m_bus->framesHeard(5);
        QVERIFY(tick(view));
        QVERIFY(view->communicationError());
        QCOMPARE(m_bus->framesHeard(5), heardAt5);
    }

    void aSelectedRowFillsTheFieldsAndIsReadAfterAWrite() {
        ParameterView* view = open();
        for (int row = 0; row < 12; ++row) {
            QVERIFY(tick(view));
        }
        // "Hb PID上分离带" is the row of "HB": written from the list, it changes that
        // parameter, not "Hb" (自动暂停带, row 20).
        view->list()->setCurrentRow(10);
        QCOMPARE(view->mnemonicField()->text(), QStringLiteral("Hb PID上分离带"));
        QCOMPARE(view->valueField()->text(), QStringLiteral("20.00"));
        QCOMPARE(view->nextRow(), 10);
        QVERIFY(tick(view));
        QVERIFY(tick(view));
        QCOMPARE(view->nextRow(), 12);
        const double pauseBand = m_bus->value(0, 20);
        view->valueField()->setText(QStringLiteral("7"));
        QVERIFY(write(view));
        QCOMPARE(m_prompts->last(), ScriptedPrompts::notice(QStringLiteral("修改成功！！！")));
        QCOMPARE(m_bus->value(0, 10), 7.0);
        QCOMPARE(m_bus->value(0, 20), pauseBand);
        QCOMPARE(view->nextRow(), 10);
        QVERIFY(tick(view));
        QCOMPARE(view->list()->item(10)->text(), ParameterView::rowText(10, 7.0));

        // "LC 曲线程序循环次数" writes "Lc", which the controller knows.
        view->list()->setCurrentRow(21);
        view->valueField()->setText(QStringLiteral("3"));
        QVERIFY(write(view));
        QCOMPARE(m_prompts->last(), ScriptedPrompts::notice(QStringLiteral("修改成功！！！")));
        QCOMPARE(m_bus->value(0, 21), 3.0);

        // Typed by the operator, two characters go out as they stand.
        view->mnemonicField()->setText(QStringLiteral("Hb"));
        view->valueField()->setText(QStringLiteral("9"));
        QVERIFY(write(view));
        QCOMPARE(m_bus->value(0, 20), 9.0);
        QCOMPARE(m_bus->value(0, 10), 7.0);

        // Clicking the row again is a notification too.
        QVERIFY(tick(view));
        view->list()->itemClicked(view->list()->item(10));
        QCOMPARE(view->nextRow(), 10);
    }

    void theWriteFrameOnTheWire() {
        tervo::testing::RawPty pty;
        setPortPath(2, pty.path());
        tervo::testing::PtyResponder responder(pty, {kACK});
        ParameterView* view = open();
        view->toggleAutoRead();
        view->portCombo()->setSelection(2);
        view->addressCombo()->setText(QStringLiteral("37"));
        view->mnemonicField()->setText(QStringLiteral("SL"));
        view->valueField()->setText(QStringLiteral("100"));
        QVERIFY(write(view));
        QCOMPARE(m_prompts->last(), ScriptedPrompts::notice(QStringLiteral("修改成功！！！")));
        const std::vector<std::vector<uint8_t>> requests = responder.requests();
        QCOMPARE(requests.size(), size_t(1));
        std::vector<uint8_t> expected = {0x04, '3', '3', '7', '7', 0x02, 'S',
                                         'L',  '1', '0', '0', ' ', ' ',  0x03};
        uint8_t bcc = 0;
        for (size_t i = 6; i < expected.size(); ++i) {
            bcc ^= expected[i];
        }
        expected.push_back(bcc);
        QCOMPARE(requests[0], expected);
        // Only the first ten characters of the value field count, and the link sends five.
        view->valueField()->setText(QStringLiteral("-12.5"));
        QVERIFY(write(view));
        const std::vector<std::vector<uint8_t>> both = responder.requests();
        QCOMPARE(both.size(), size_t(2));
        QCOMPARE(std::vector<uint8_t>(both[1].begin() + 8, both[1].begin() + 13),
                 (std::vector<uint8_t>{'-', '1', '2', '.', '5'}));
        setPortPath(2, std::string());
    }

    void theWindowNeverWaitsOnTheLine() {
        tervo::testing::LockedOpener opener;
        opener.hold(true);
        ParameterView* view = open();
        // The tick hands its read to the link thread and returns while the read is held; the
        // timer stays stopped until the read has come back.
        view->onTimer();
        QVERIFY(view->tickUnderway());
        QVERIFY(!view->timer().isActive());
        QVERIFY(waitFor([&] { return opener.waiting() == 1; }));
        // Meanwhile the window goes on: the operator selects a row and writes.
        view->list()->setCurrentRow(3);
        view->valueField()->setText(QStringLiteral("55"));
        view->write();
        QVERIFY(view->writeUnderway());
        QTest::qWait(50);
        QCOMPARE(opener.opens(), 1);  // the write waits for the read on the same port
        opener.reply(tervo::testing::readReply("PV", " 21.5"));
        opener.reply({kACK});
        opener.hold(false);
        QVERIFY(waitFor([&] { return !view->tickUnderway() && !view->writeUnderway(); }));
        QCOMPARE(view->list()->item(0)->text(), ParameterView::rowText(0, 21.5));
        QCOMPARE(m_prompts->last(), ScriptedPrompts::notice(QStringLiteral("修改成功！！！")));
        QVERIFY(view->timer().isActive());
        QCOMPARE(view->timer().interval(), 500);
        // The row selected during the read is the next one read.
        QCOMPARE(view->nextRow(), 3);
        QCOMPARE(opener.mostOpenAtOnce("COM1"), 1);

        // A window closed while its read is under way is gone; the result finds nobody.
        opener.hold(true);
        view->onTimer();
        QVERIFY(waitFor([&] { return opener.waiting() == 1; }));
        QPointer<ChildWindow> child(m_frame->activeChild());
        m_prompts->answers = {PromptAnswer::Ok};
        QVERIFY(child->close());
        QVERIFY(waitFor([&] { return child.isNull(); }));
        opener.hold(false);
        QVERIFY(waitFor([&] { return opener.waiting() == 0; }));
        QTest::qWait(50);
        QCOMPARE(m_prompts->messages.size(), 2);
    }

    void twoWindowsOnOnePortTakeTurns() {
        ParameterView* first = open(LinkSettings{0, 5, 0});
        ParameterView* second = open(LinkSettings{0, 5, 1});
        // Both timers run at the same moment, again and again: every read reaches its
        // controller, and neither window sees a communication error.
        const uint64_t heard0 = m_bus->framesHeard(0);
        const uint64_t heard1 = m_bus->framesHeard(1);
        auto done = [&] { return !first->tickUnderway() && !second->tickUnderway(); };
        for (int i = 0; i < 8; ++i) {
            QVERIFY(waitFor(done));
            first->onTimer();
            second->onTimer();
            QVERIFY(waitFor(done));
        }
        QVERIFY(!first->communicationError());
        QVERIFY(!second->communicationError());
        // The windows' own 500 ms timers may add a read of their own on a busy machine.
        QVERIFY(m_bus->framesHeard(0) >= heard0 + 8);
        QVERIFY(m_bus->framesHeard(1) >= heard1 + 8);
        QCOMPARE(m_app->links().startedThreads(), 1);
    }

private:
    ParameterView* open() {
        m_frame->actions().parameters->trigger();
        ChildWindow* child = m_frame->activeChild();
        return child != nullptr ? qobject_cast<ParameterView*>(child->view()) : nullptr;
    }
    // The parameter view for the controller at `link`, which stays the current link.
    ParameterView* open(const LinkSettings& link) {
        ChildWindow* child = m_frame->openParametersFor(link);
        return child != nullptr ? qobject_cast<ParameterView*>(child->view()) : nullptr;
    }

    tervo::testing::IsolatedSettings m_settings;
    tervo::testing::TempDir m_dir;
    std::unique_ptr<emu::PtyBus> m_bus;
    std::unique_ptr<tervo::testing::TestShell> m_shell;
    ScriptedPrompts* m_prompts = nullptr;
    TervoApp* m_app = nullptr;
    MainWindow* m_frame = nullptr;
};

QTEST_MAIN(ParameterViewTest)
#include "ParameterViewTest.moc"
