#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <memory>

#include "app/ChildWindow.h"
#include "app/CommandIds.h"
#include "app/DemoMode.h"
#include "app/LockIndicators.h"
#include "app/MainWindow.h"
#include "app/TervoApp.h"
#include "link/ParameterTable.h"
#include "link/SerialLink.h"
#include "support/GuiTest.h"
#include "support/RawPty.h"
#include "support/ScriptedPrompts.h"

using namespace tervo;
using namespace tervo::gui;
using tervo::testing::ScriptedPrompts;
using tervo::testing::waitFor;

namespace {

// A menu as "title: id id - id" (a dash for each separator), with each item's text.
struct MenuContents {
    QString title;
    QList<int> ids;  // 0 for a separator
    QStringList texts;
};

QList<MenuContents> menusOf(const MainWindow& frame) {
    QList<MenuContents> menus;
    for (QAction* top : frame.menuBar()->actions()) {
        MenuContents contents{top->text(), {}, {}};
        for (QAction* item : top->menu()->actions()) {
            contents.ids << (item->isSeparator() ? 0 : item->data().toInt());
            contents.texts << (item->isSeparator() ? QStringLiteral("-") : item->text());
        }
        menus << contents;
    }
    return menus;
}

// A view that only records what it was given, standing in for the views of later work.
class StandIn : public QWidget, public ViewCommands {
public:
    explicit StandIn(const ViewContext& context) : context(context) {}
    bool isCommandEnabled(int id) const override { return id == kCmdPrint; }
    void onViewCommand(int id) override { commands << id; }
    ViewContext context;
    QList<int> commands;
};

StandIn* standInOf(ChildWindow* frame) {
    return frame != nullptr ? dynamic_cast<StandIn*>(frame->view()) : nullptr;
}

}  // namespace

class ShellTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { tervo::testing::clearPortEnvironment(); }

    void init() {
        m_prompts = std::make_unique<ScriptedPrompts>();
        m_app = std::make_unique<TervoApp>();
        m_frame = &m_app->createMainFrame();
        m_frame->show();
    }

    void cleanup() {
        m_app->setClosingAll(true);
        m_frame->mdiArea()->closeAllSubWindows();
        m_app.reset();
        m_prompts.reset();
    }

    void menusSwitchWithTheFirstAndLastChild() {
        QCOMPARE(m_frame->menuResource(), 128);
        const QList<MenuContents> menus128 = menusOf(*m_frame);
        QCOMPARE(menus128.size(), 6);
        QCOMPARE(menus128[0].title, QStringLiteral("系统服务"));
        QCOMPARE(menus128[0].ids, (QList<int>{32883, 32899, 0, 57606, 0, 57665}));
        QCOMPARE(menus128[0].texts, (QStringList{"设置起始标题", "串口映射", "-", "打印设置(&R)...",
                                                 "-", "退出(&X)"}));
        QCOMPARE(menus128[1].title, QStringLiteral("通信测试"));
        QCOMPARE(menus128[1].ids, (QList<int>{32773, 0, 32850, 32849, 0, 32772}));
        QCOMPARE(menus128[1].texts, (QStringList{"串口测试", "-", "新建仪表模板", "打开仪表模板",
                                                 "-", "仪表参数修改"}));
        QCOMPARE(menus128[2].title, QStringLiteral("实时记录"));
        QCOMPARE(menus128[2].ids, (QList<int>{32852, 32851, 0, 32835, 32888}));
        QCOMPARE(menus128[2].texts,
                 (QStringList{"新建工作界面", "打开工作界面", "-", "跟踪曲线设置", "保存曲线"}));
        QCOMPARE(menus128[3].title, QStringLiteral("历史记录分析"));
        QCOMPARE(menus128[3].ids, (QList<int>{32775}));
        QCOMPARE(menus128[3].texts, (QStringList{"打开历史记录"}));
        QCOMPARE(menus128[4].title, QStringLiteral("查看(&V)"));
        QCOMPARE(menus128[4].ids, (QList<int>{59392, 59393}));
        QCOMPARE(menus128[4].texts, (QStringList{"工具栏(&T)", "状态栏(&S)"}));
        QCOMPARE(menus128[5].title, QStringLiteral("帮助(&H)"));
        QCOMPARE(menus128[5].ids, (QList<int>{57664, 0, 32834}));
        QCOMPARE(menus128[5].texts, (QStringList{"关于 Tervo(&A)...", "-", "帮助"}));

        ChildWindow* first = m_frame->openView(kKindSet);
        QVERIFY(first != nullptr);
        QCOMPARE(m_frame->menuResource(), 129);
        const QList<MenuContents> menus129 = menusOf(*m_frame);
        QCOMPARE(menus129.size(), 6);
        QCOMPARE(menus129[0].title, QStringLiteral("系统服务"));
        QCOMPARE(menus129[0].ids, (QList<int>{32883, 32899, 0, 57607, 57609, 57606, 0, 57665}));
        QCOMPARE(menus129[0].texts,
                 (QStringList{"设置起始标题", "串口映射", "-", "打印(&P)...\tCtrl+P",
                              "打印预览(&V)", "打印设置(&R)...", "-", "退出(&X)"}));
        QCOMPARE(menus129[1].ids, (QList<int>{32773, 0, 32850, 32849, 32859, 0, 32772}));
        QCOMPARE(menus129[1].texts[4], QStringLiteral("保存仪表模板"));
        QCOMPARE(menus129[2].ids, menus128[2].ids);
        QCOMPARE(menus129[3].ids, menus128[3].ids);
        QCOMPARE(menus129[4].title, QStringLiteral("界面切换"));
        QCOMPARE(menus129[4].ids, (QList<int>{57649, 57650, 57651}));
        QCOMPARE(menus129[4].texts, (QStringList{"排列图标(&A)", "层叠(&C)", "平铺(&T)"}));
        QCOMPARE(menus129[5].title, QStringLiteral("帮助"));
        QCOMPARE(menus129[5].ids, (QList<int>{57664, 0, 32834}));

        ChildWindow* second = m_frame->openView(kKindTest);
        m_prompts->answers = {kIdOk};
        QVERIFY(first->close());
        QCOMPARE(m_frame->menuResource(), 129);
        m_prompts->answers = {kIdOk};
        QVERIFY(second->close());
        QCOMPARE(m_frame->menuResource(), 128);
        QCOMPARE(menusOf(*m_frame)[4].title, QStringLiteral("查看(&V)"));
    }

    void toolbarPromptsAndAccelerators() {
        QList<int> ids;
        for (QAction* action : m_frame->mainToolBar()->actions()) {
            ids << (action->isSeparator() ? 0 : action->data().toInt());
            if (!action->isSeparator()) {
                QCOMPARE(action->icon().availableSizes().value(0), QSize(16, 15));
            }
        }
        QCOMPARE(ids, (QList<int>{32773, 32849, 32772, 32851, 32775, 32835, 0, 57607, 0, 57664, 0,
                                  32898}));
        QCOMPARE(m_frame->mainToolBar()->iconSize(), QSize(16, 15));

        const struct {
            int id;
            const char* status;
            const char* tip;
        } prompts[] = {
            {32772, "开始仪表参数设置工作", "开始仪表参数设置工作"},
            {32773, "开始通信测试程序", "开始通信测试程序"},
            {32775, "数据分析", "数据分析"},
            {32834, "帮助文件", "帮助文件"},
            {32835, "进入曲线跟踪设置", "曲线跟踪设置"},
            {32849, "打开仪表模拟模板", "打开仪表模拟模板"},
            {32851, "打开工作模板", "打开工作模板"},
            {32888, "保存曲线", "保存曲线"},
            {57664, "显示程序信息，版本号和版权", "关于"},
        };
        for (const auto& p : prompts) {
            QCOMPARE(m_frame->action(p.id)->statusTip(), QString::fromUtf8(p.status));
            QCOMPARE(m_frame->action(p.id)->toolTip(), QString::fromUtf8(p.tip));
        }

        // Views that come later keep their commands, disabled.
        for (int id : {32851, 32852, 32775, 32850, 32849, 32835, 57600, 57601, 57607, 57609, 57603,
                       32859, 32888}) {
            QVERIFY2(!m_frame->action(id)->isEnabled(), qPrintable(QString::number(id)));
        }
        for (int id : {32773, 32772, 57664, 32898, 32834, 32883, 57606, 57665}) {
            QVERIFY2(m_frame->action(id)->isEnabled(), qPrintable(QString::number(id)));
        }
        m_app->setTemplate(kKindHistory, [](const ViewContext& c) { return new StandIn(c); });
        QVERIFY(m_frame->action(32775)->isEnabled());
        QVERIFY(m_frame->action(57601)->isEnabled());

        const struct {
            const char* keys;
            int id;
        } accelerators[] = {{"Ctrl+N", 57600},    {"Ctrl+O", 57601},   {"Ctrl+S", 57603},
                            {"Ctrl+P", 57607},    {"Ctrl+Z", 57643},   {"Ctrl+X", 57635},
                            {"Ctrl+C", 57634},    {"Ctrl+V", 57637},   {"Alt+Backspace", 57643},
                            {"Shift+Del", 57635}, {"Ctrl+Ins", 57634}, {"Shift+Ins", 57637},
                            {"F6", 57680},        {"Shift+F6", 57681}};
        for (const auto& a : accelerators) {
            QVERIFY2(m_frame->action(a.id)->shortcuts().contains(QKeySequence(a.keys)), a.keys);
        }

        // A view that handles printing gets the command while its window is active.
        m_app->setTemplate(kKindWork, [](const ViewContext& c) { return new StandIn(c); });
        ChildWindow* work = m_frame->openView(kKindWork);
        QVERIFY(m_frame->action(kCmdPrint)->isEnabled());
        QVERIFY(!m_frame->action(kCmdPrintPreview)->isEnabled());
        m_frame->command(kCmdPrint);
        QCOMPARE(standInOf(work)->commands, QList<int>{kCmdPrint});
    }

    void childWindowsTakeTheSizePositionAndTitleOfTheirKind() {
        for (int kind : {kKindWork, kKindHistory, kKindSimulation, kKindCurve}) {
            m_app->setTemplate(kind, [](const ViewContext& c) { return new StandIn(c); });
        }
        m_app->currentFilePath = QStringLiteral("/data/a.alt");
        const struct {
            int kind;
            QSize size;
            QPoint position;
            const char* title;
        } kinds[] = {
            {kKindWork, {1020, 670}, {0, 0}, "采集工作"},
            {kKindHistory, {1020, 670}, {0, 0}, "数据分析 --- /data/a.alt"},
            {kKindTest, {1020, 670}, {0, 0}, "通信测试"},
            {kKindSimulation, {1020, 670}, {0, 0}, "仪表模拟 --- /data/a.alt"},
            {kKindSet, {570, 420}, {209, 120}, "仪表参数修改"},
            {kKindCurve, {1020, 670}, {0, 0}, "跟踪曲线设置"},
        };
        for (const auto& k : kinds) {
            ChildWindow* frame = m_frame->openView(k.kind);
            QVERIFY(frame != nullptr);
            QCOMPARE(m_app->windowKind, k.kind);
            QCOMPARE(frame->size(), k.size);
            QCOMPARE(frame->minimumSize(), k.size);
            QCOMPARE(frame->maximumSize(), k.size);
            QCOMPARE(frame->pos(), k.position);
            QCOMPARE(frame->windowTitle(), QString::fromUtf8(k.title));
            QCOMPARE(frame->frameTitle(), QString::fromUtf8(k.title));
            QVERIFY(!(frame->windowFlags() & Qt::WindowMaximizeButtonHint));
            QVERIFY(!(frame->windowFlags() & Qt::WindowMinimizeButtonHint));
            frame->showMaximized();
            QVERIFY(!frame->isMaximized());
            QCOMPARE(frame->size(), k.size);
        }
        QCOMPARE(m_app->openChildCount, 6);
        QCOMPARE(m_frame->children().size(), 6);

        // Two parameter windows at the same place; each close lowers the count.
        ChildWindow* again = m_frame->openView(kKindSet);
        QCOMPARE(again->pos(), QPoint(209, 120));
        QCOMPARE(m_app->openChildCount, 7);
        m_prompts->answers = {kIdOk};
        QVERIFY(again->close());
        QCOMPARE(m_app->openChildCount, 6);
        QCOMPARE(m_app->cycleIndex, 0);
    }

    void fileCommandsAskForTheirFileAndHandItToTheView() {
        for (int kind : {kKindWork, kKindHistory, kKindSimulation}) {
            m_app->setTemplate(kind, [](const ViewContext& c) { return new StandIn(c); });
        }
        m_app->currentLink = LinkSettings{2, 3, 44};

        // Cancelling opens nothing and changes nothing.
        m_frame->command(kCmdOpenHistory);
        QCOMPARE(m_frame->children().size(), 0);
        QCOMPARE(m_app->openChildCount, 0);
        QCOMPARE(m_prompts->fileRequests.size(), 1);
        const FileDialogRequest history = m_prompts->fileRequests[0].request;
        QCOMPARE(history.filter, QStringLiteral("采集文件(*.alt)|*.alt|所有文件(*.*)|*.*||"));
        QCOMPARE(history.defaultExtension, QStringLiteral("alt"));
        QCOMPARE(history.initialName, QStringLiteral("*.alt"));
        QVERIFY(history.mustExist);
        QCOMPARE(qtFilters(history.filter), (QStringList{"采集文件(*.alt)", "所有文件(*.*)"}));

        m_prompts->fileAnswers = {QStringLiteral("/records/r1.alt")};
        m_frame->command(kCmdOpenHistory);
        QCOMPARE(m_frame->activeChild()->windowTitle(),
                 QStringLiteral("数据分析 --- /records/r1.alt"));
        QCOMPARE(standInOf(m_frame->activeChild())->context.filePath,
                 QStringLiteral("/records/r1.alt"));
        QCOMPARE(standInOf(m_frame->activeChild())->context.link.address, 44);
        QCOMPARE(m_app->currentFilePath, QStringLiteral("/records/r1.alt"));

        m_prompts->fileAnswers = {QStringLiteral("/work/w.awt")};
        m_frame->command(kCmdOpenWork);
        QCOMPARE(m_prompts->fileRequests.last().request.filter,
                 QStringLiteral("采集文件(*.awt)|*.awt|所有文件(*.*)|*.*||"));
        QCOMPARE(m_prompts->fileRequests.last().request.initialName, QStringLiteral("*.awt"));
        QCOMPARE(standInOf(m_frame->activeChild())->context.filePath,
                 QStringLiteral("/work/w.awt"));
        m_frame->command(kCmdNewWork);
        QCOMPARE(standInOf(m_frame->activeChild())->context.filePath, QString());
        QCOMPARE(m_frame->activeChild()->windowTitle(), QStringLiteral("采集工作"));

        m_prompts->fileAnswers = {QStringLiteral("/panels/p.sim")};
        m_frame->command(kCmdOpenTemplate);
        QCOMPARE(m_prompts->fileRequests.last().request.filter,
                 QStringLiteral("模板文件(*.sim)|*.sim|所有文件(*.*)|*.*||"));
        QCOMPARE(m_prompts->fileRequests.last().request.defaultExtension, QStringLiteral("sim"));
        QCOMPARE(m_frame->activeChild()->windowTitle(),
                 QStringLiteral("仪表模拟 --- /panels/p.sim"));
        m_frame->command(kCmdNewTemplate);
        QCOMPARE(m_frame->activeChild()->windowTitle(), QStringLiteral("仪表模拟 --- "));
        QCOMPARE(standInOf(m_frame->activeChild())->context.filePath, QString());

        // The framework's own Open goes to the history template with the chosen file and
        // leaves the current file path alone.
        m_prompts->fileAnswers = {QStringLiteral("/records/r2.alt")};
        m_frame->command(kCmdFileOpen);
        QCOMPARE(m_prompts->fileRequests.last().request.filter,
                 QStringLiteral("所有文件(*.*)|*.*||"));
        QCOMPARE(m_frame->activeChild()->windowTitle(),
                 QStringLiteral("数据分析 --- /records/r2.alt"));
        QCOMPARE(standInOf(m_frame->activeChild())->context.filePath,
                 QStringLiteral("/records/r2.alt"));
        QCOMPARE(m_app->currentFilePath, QString());
        QVERIFY(m_frame->openFrameworkFile(QStringLiteral("/records/r3.alt")));
        QCOMPARE(m_frame->activeChild()->windowTitle(),
                 QStringLiteral("数据分析 --- /records/r3.alt"));
        QCOMPARE(m_app->openChildCount, 7);
    }

    void aRefusedViewOpensNothing() {
        m_app->setTemplate(kKindHistory, [](const ViewContext&) { return nullptr; });
        m_prompts->fileAnswers = {QStringLiteral("/records/bad.alt")};
        m_frame->command(kCmdOpenHistory);
        QCOMPARE(m_frame->children().size(), 0);
        QCOMPARE(m_frame->mdiArea()->subWindowList().size(), 0);
        QCOMPARE(m_app->openChildCount, 0);
        QCOMPARE(m_frame->menuResource(), 128);
    }

    void captionFollowsTheActiveChild() {
        QCOMPARE(m_frame->windowTitle(), QStringLiteral("QT570控制软件"));
        ChildWindow* set = m_frame->openView(kKindSet);
        QCOMPARE(m_frame->windowTitle(), QStringLiteral("温控仪控制系统 - 仪表参数修改"));
        ChildWindow* test = m_frame->openView(kKindTest);
        QCOMPARE(m_frame->windowTitle(), QStringLiteral("温控仪控制系统 - 通信测试"));
        m_frame->mdiArea()->setActiveSubWindow(set);
        QCOMPARE(m_frame->windowTitle(), QStringLiteral("温控仪控制系统 - 仪表参数修改"));
        // The window caption may say something else; the main caption keeps the title.
        set->setWindowTitle(QStringLiteral("通信错误"));
        m_frame->mdiArea()->setActiveSubWindow(test);
        m_frame->mdiArea()->setActiveSubWindow(set);
        QCOMPARE(m_frame->windowTitle(), QStringLiteral("温控仪控制系统 - 仪表参数修改"));
        m_prompts->answers = {kIdOk, kIdOk};
        set->close();
        test->close();
        QCOMPARE(m_frame->windowTitle(), QStringLiteral("温控仪控制系统"));
    }

    void switchWindowCyclesThroughTheOpenWindows() {
        // With nothing open the button does nothing.
        m_frame->command(kCmdNextWindow);
        QCOMPARE(m_frame->activeChild(), nullptr);

        m_app->setTemplate(kKindWork, [](const ViewContext& c) { return new StandIn(c); });
        QList<ChildWindow*> opened;
        for (int i = 0; i < 3; ++i) {
            opened << m_frame->openView(kKindWork);
        }
        QCOMPARE(m_app->cycleIndex, 2);
        QCOMPARE(m_app->openChildCount, 3);
        QCOMPARE(m_frame->activeChild(), opened[2]);
        for (int expected : {0, 1, 2, 0, 1}) {
            m_frame->command(kCmdNextWindow);
            QCOMPARE(m_app->cycleIndex, expected);
            QCOMPARE(m_frame->activeChild(), opened[expected]);
        }
        // Closing one starts over at the first window.
        m_prompts->answers = {kIdOk};
        opened[2]->close();
        QCOMPARE(m_app->cycleIndex, 0);
        m_frame->command(kCmdNextWindow);
        QCOMPARE(m_frame->activeChild(), opened[1]);
        m_frame->command(kCmdNextWindow);
        QCOMPARE(m_frame->activeChild(), opened[0]);
    }

    void closingAChildAsksFirst() {
        ChildWindow* child = m_frame->openView(kKindTest);
        QPointer<ChildWindow> watch(child);
        m_prompts->answers = {kIdCancel};
        QVERIFY(!child->close());
        QCOMPARE(m_prompts->messages.size(), 1);
        const ScriptedPrompts::Message asked = m_prompts->messages[0];
        QCOMPARE(asked.text, QStringLiteral("确实要退出程序！！！"));
        QCOMPARE(asked.caption, QStringLiteral("提示"));
        QCOMPARE(asked.icon, PromptIcon::Exclamation);
        QCOMPARE(asked.buttons, PromptButtons::OkCancel);
        QCOMPARE(m_app->openChildCount, 1);
        QCOMPARE(m_frame->children().size(), 1);

        m_prompts->answers = {kIdOk};
        QVERIFY(child->close());
        QCOMPARE(m_app->openChildCount, 0);
        QVERIFY(waitFor([&] { return watch.isNull(); }));
        QCOMPARE(m_frame->mdiArea()->subWindowList().size(), 0);
        QVERIFY(m_prompts->dialogsRun.isEmpty());
    }

    void closingInProtectedModeNeedsTheEntryPassword() {
        m_app->setProtection(true, QStringLiteral("密码1"));
        ChildWindow* child = m_frame->openView(kKindTest);

        // A wrong password is refused in the dialog; Cancel then keeps the window.
        m_prompts->dialogHandlers << [](QDialog& dialog) {
            dialog.findChild<QLineEdit*>(QStringLiteral("id1017"))
                ->setText(QStringLiteral("密码2"));
            dialog.accept();
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
            dialog.reject();
        };
        QVERIFY(!child->close());
        QCOMPARE(m_prompts->dialogsRun, QStringList{"dialog266"});
        QCOMPARE(m_prompts->messages.size(), 1);
        QCOMPARE(m_prompts->messages[0].text, QStringLiteral("密码错误！！！"));
        QCOMPARE(m_prompts->messages[0].caption, QStringLiteral("提示"));
        QCOMPARE(m_prompts->messages[0].icon, PromptIcon::Exclamation);
        QCOMPARE(m_frame->children().size(), 1);

        // Wrong, then right: the window closes, and no question is asked besides.
        m_prompts->dialogHandlers << [](QDialog& dialog) {
            auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("id1017"));
            QCOMPARE(edit->echoMode(), QLineEdit::Password);
            edit->setText(QStringLiteral("密码"));
            dialog.accept();
            edit->setText(QStringLiteral("密码1"));
            dialog.accept();
        };
        QVERIFY(child->close());
        QCOMPARE(m_prompts->messages.size(), 2);
        QCOMPARE(m_frame->children().size(), 0);

        // An empty entry password accepts only an empty entry.
        m_app->setProtection(true, QString());
        child = m_frame->openView(kKindTest);
        m_prompts->dialogHandlers << [](QDialog& dialog) {
            auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("id1017"));
            edit->setText(QStringLiteral(" "));
            dialog.accept();
            edit->clear();
            dialog.accept();
        };
        QVERIFY(child->close());
        QCOMPARE(m_prompts->messages.size(), 3);
    }

    void closingTheMainWindowClosesEverythingAfterOneQuestion() {
        m_frame->openView(kKindTest);
        m_frame->openView(kKindSet);
        m_prompts->answers = {kIdCancel};
        QVERIFY(!m_frame->close());
        QVERIFY(m_frame->isVisible());
        QCOMPARE(m_frame->children().size(), 2);

        m_prompts->answers = {kIdOk};
        QVERIFY(m_frame->close());
        QCOMPARE(m_prompts->messages.size(), 2);
        QCOMPARE(m_prompts->messages[1].text, QStringLiteral("确实要退出程序！！！"));
        QCOMPARE(m_frame->children().size(), 0);

        // In protected mode the main window wants the password too.
        m_frame->show();
        m_app->setProtection(true, QStringLiteral("x"));
        m_frame->openView(kKindTest);
        m_prompts->dialogHandlers << [](QDialog& dialog) { dialog.reject(); };
        QVERIFY(!m_frame->close());
        QCOMPARE(m_frame->children().size(), 1);
        m_prompts->dialogHandlers << [](QDialog& dialog) {
            dialog.findChild<QLineEdit*>(QStringLiteral("id1017"))->setText(QStringLiteral("x"));
            dialog.accept();
        };
        QVERIFY(m_frame->close());
        QCOMPARE(m_prompts->dialogsRun.size(), 2);
        QCOMPARE(m_prompts->messages.size(), 2);
        QCOMPARE(m_frame->children().size(), 0);
    }

    void helpAboutAndTheDialogCommands() {
        m_frame->command(kCmdHelp);
        QCOMPARE(m_prompts->messages.size(), 1);
        QCOMPARE(
            m_prompts->messages[0].text,
            QStringLiteral(
                "本软件适用于QT570温控仪。\n能完成通信测试、参数设置修改、及简单的采样工作。"));
        QCOMPARE(m_prompts->messages[0].caption, QStringLiteral("帮助"));
        QCOMPARE(m_prompts->messages[0].icon, PromptIcon::Question);

        m_prompts->dialogHandlers << [](QDialog& dialog) {
            QCOMPARE(dialog.windowTitle(), QStringLiteral("关于 Tervo"));
            QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("versionLine"))->text(),
                     QStringLiteral("QT570温控仪控制软件 1.0 版"));
            QVERIFY(!dialog.findChild<QLabel*>(QStringLiteral("secondLine"))->text().isEmpty());
            QCOMPARE(dialog.findChild<QPushButton*>(QStringLiteral("id1"))->text(),
                     QStringLiteral("确定"));
        };
        m_frame->command(kCmdAbout);
        m_frame->command(kCmdStartTitle);
        m_frame->command(kCmdPortMap);
        m_frame->command(kCmdPrintSetup);
        QCOMPARE(m_prompts->dialogsRun,
                 (QStringList{"dialog100", "dialog246", "portMapDialog", "printSetup"}));
        QVERIFY(m_prompts->dialogHandlers.isEmpty());
    }

    void statusBarPanesAndLockLights() {
        QStatusBar* bar = m_frame->statusBar();
        QCOMPARE(bar->findChild<QLabel*>(QStringLiteral("messagePane"))->text(),
                 QStringLiteral("就绪"));

        QTemporaryDir leds;
        auto light = [&leds](const QString& name, const char* value) {
            QDir(leds.path()).mkpath(name);
            QFile file(leds.filePath(name + QStringLiteral("/brightness")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(value);
        };
        light(QStringLiteral("input3::capslock"), "1\n");
        light(QStringLiteral("input3::numlock"), "0\n");
        light(QStringLiteral("input7::numlock"), "0\n");
        light(QStringLiteral("input3::scrolllock"), "1\n");
        QStatusBar other;
        LockIndicators panes(&other, leds.path());
        QCOMPARE(panes.caps()->text(), QStringLiteral("大写"));
        QCOMPARE(panes.num()->text(), QString());
        QCOMPARE(panes.scroll()->text(), QStringLiteral("滚动"));
        light(QStringLiteral("input7::numlock"), "1\n");
        light(QStringLiteral("input3::capslock"), "0\n");
        panes.refresh();
        QCOMPARE(panes.caps()->text(), QString());
        QCOMPARE(panes.num()->text(), QStringLiteral("数字"));
        const LockStates none = readLockStates(leds.filePath(QStringLiteral("absent")));
        QVERIFY(!none.caps && !none.num && !none.scroll);
    }

    void demoModeMapsTheEmulatedPortsOverTheEnvironment() {
        qputenv("TERVO_COM1", "/dev/user-choice");
        {
            DemoMode demo;
            QString error;
            QVERIFY2(demo.start(&error), qPrintable(error));
            QCOMPARE(qEnvironmentVariable("TERVO_COM1"), demo.linkPath(0));
            QCOMPARE(qEnvironmentVariable("TERVO_COM2"), demo.linkPath(1));
            SerialLink com1(0);
            QCOMPARE(com1.readParam(ReadRequest{kSL, 0, kDefaultBaudIndex, 3}),
                     std::optional<double>(100.0));
            SerialLink com2(0);
            QCOMPARE(com2.readParam(ReadRequest{kSL, 1, 6, 5}), std::optional<double>(60.0));
            QCOMPARE(com2.readParam(ReadRequest{kSL, 1, kDefaultBaudIndex, 5}),
                     std::optional<double>());

            TervoApp app;
            MainWindow& frame = app.createMainFrame(DemoMode::statusNote());
            frame.resize(1000, 600);
            frame.show();
            auto* note = frame.statusBar()->findChild<QLabel*>(QStringLiteral("statusNote"));
            QCOMPARE(note->text(), QStringLiteral("演示模式：COM1、COM2 为模拟仪表"));
            QVERIFY(waitFor([&] { return note->isVisible(); }));
            for (QLabel* pane : frame.statusBar()->findChildren<QLabel*>()) {
                QVERIFY(pane->x() <= note->x());
            }
        }
        QCOMPARE(qgetenv("TERVO_COM1"), QByteArray("/dev/user-choice"));
        QVERIFY(!qEnvironmentVariableIsSet("TERVO_COM2"));
        qunsetenv("TERVO_COM1");
    }

private:
    std::unique_ptr<ScriptedPrompts> m_prompts;
    std::unique_ptr<TervoApp> m_app;
    MainWindow* m_frame = nullptr;
    tervo::testing::IsolatedSettings m_settings;
};

QTEST_MAIN(ShellTest)
#include "ShellTest.moc"
