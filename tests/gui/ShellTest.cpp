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

#include "core/link/ParameterTable.h"
#include "core/link/SerialLink.h"
#include "gui/Views.h"
#include "gui/app/ChildWindow.h"
#include "gui/app/LockIndicators.h"
#include "gui/app/MainWindow.h"
#include "gui/app/TervoApp.h"
#include "gui/demo/DemoMode.h"
#include "guisupport/GuiTest.h"
#include "guisupport/ScriptedPrompts.h"
#include "guisupport/TestShell.h"
#include "support/RawPty.h"

using namespace tervo;
using namespace tervo::gui;
using tervo::testing::ScriptedPrompts;
using tervo::testing::waitFor;

namespace {

// A menu: its title, its commands by name and their texts ("-" for each separator).
struct MenuContents {
    QString title;
    QStringList commands;
    QStringList texts;
};

QList<MenuContents> menusOf(const MainWindow& frame) {
    QList<MenuContents> menus;
    for (QAction* top : frame.menuBar()->actions()) {
        MenuContents contents{top->text(), {}, {}};
        for (QAction* item : top->menu()->actions()) {
            if (!item->isVisible()) {
                continue;  // the recent-file entries while the list is empty
            }
            contents.commands << (item->isSeparator() ? QStringLiteral("-") : item->objectName());
            contents.texts << (item->isSeparator() ? QStringLiteral("-") : item->text());
        }
        menus << contents;
    }
    return menus;
}

QStringList names(const QList<QAction*>& actions) {
    QStringList list;
    for (QAction* action : actions) {
        list << (action->isSeparator() ? QStringLiteral("-") : action->objectName());
    }
    return list;
}

// A view that only records what it was given, standing in for the views of later work.
class StandIn : public QWidget, public ViewCommands {
public:
    explicit StandIn(const ViewContext& context) : context(context) {}
    bool isCommandEnabled(ViewCommand command) const override {
        return command == ViewCommand::Print;
    }
    void onViewCommand(ViewCommand command) override { commands << command; }
    ViewContext context;
    QList<ViewCommand> commands;
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
        m_shell = std::make_unique<tervo::testing::TestShell>();
        m_prompts = &m_shell->prompts();
        m_app = &m_shell->app();
        m_frame = &m_shell->frame();
        m_frame->show();
    }

    void cleanup() { m_shell.reset(); }

    void menusSwitchWithTheFirstAndLastChild() {
        QVERIFY(!m_frame->showsChildMenus());
        const QList<MenuContents> without = menusOf(*m_frame);
        QCOMPARE(without.size(), 6);
        QCOMPARE(without[0].title, QStringLiteral("系统服务"));
        QCOMPARE(
            without[0].commands,
            (QStringList{"startTitleAction", "portMapAction", "publishAction", "busMonitorAction",
                         "languageAction", "-", "printSetupAction", "-", "exitAction"}));
        QCOMPARE(without[0].texts,
                 (QStringList{"设置起始标题", "串口映射", "网络发布", "通信监视", "语言 / Language",
                              "-", "打印设置(&R)...", "-", "退出(&X)"}));
        QCOMPARE(without[1].title, QStringLiteral("通信测试"));
        QCOMPARE(without[1].commands, (QStringList{"serialTestAction", "-", "newTemplateAction",
                                                   "openTemplateAction", "-", "parametersAction"}));
        QCOMPARE(without[1].texts, (QStringList{"串口测试", "-", "新建仪表模板", "打开仪表模板",
                                                "-", "仪表参数修改"}));
        QCOMPARE(without[2].title, QStringLiteral("实时记录"));
        QCOMPARE(
            without[2].commands,
            (QStringList{"newWorkAction", "openWorkAction", "-", "curvesAction", "saveCurveAction",
                         "-", "trendAction", "-", "alarmListAction", "alarmSettingsAction"}));
        QCOMPARE(without[2].texts,
                 (QStringList{"新建工作界面", "打开工作界面", "-", "跟踪曲线设置", "保存曲线", "-",
                              "趋势图", "-", "报警", "报警设置"}));
        QCOMPARE(without[3].title, QStringLiteral("历史记录分析"));
        QCOMPARE(without[3].commands, (QStringList{"openHistoryAction", "-", "trendAction"}));
        QCOMPARE(without[3].texts, (QStringList{"打开历史记录", "-", "趋势图"}));
        QCOMPARE(without[4].title, QStringLiteral("查看(&V)"));
        QCOMPARE(without[4].commands, (QStringList{"toolBarAction", "statusBarAction"}));
        QCOMPARE(without[4].texts, (QStringList{"工具栏(&T)", "状态栏(&S)"}));
        QCOMPARE(without[5].title, QStringLiteral("帮助(&H)"));
        QCOMPARE(without[5].commands, (QStringList{"aboutAction", "-", "helpAction"}));
        QCOMPARE(without[5].texts, (QStringList{"关于 Tervo(&A)...", "-", "帮助"}));

        ChildWindow* first = m_frame->openView(WindowKind::Parameters);
        QVERIFY(first != nullptr);
        QVERIFY(m_frame->showsChildMenus());
        const QList<MenuContents> with = menusOf(*m_frame);
        QCOMPARE(with.size(), 6);
        QCOMPARE(with[0].title, QStringLiteral("系统服务"));
        QCOMPARE(with[0].commands,
                 (QStringList{"startTitleAction", "portMapAction", "publishAction",
                              "busMonitorAction", "languageAction", "-", "printAction",
                              "printPreviewAction", "printSetupAction", "-", "exitAction"}));
        QCOMPARE(with[0].texts, (QStringList{"设置起始标题", "串口映射", "网络发布", "通信监视",
                                             "语言 / Language", "-", "打印(&P)...\tCtrl+P",
                                             "打印预览(&V)", "打印设置(&R)...", "-", "退出(&X)"}));
        QCOMPARE(with[1].commands,
                 (QStringList{"serialTestAction", "-", "newTemplateAction", "openTemplateAction",
                              "saveTemplateAction", "-", "parametersAction"}));
        QCOMPARE(with[1].texts[4], QStringLiteral("保存仪表模板"));
        QCOMPARE(with[2].commands, without[2].commands);
        QCOMPARE(with[3].commands, without[3].commands);
        QCOMPARE(with[4].title, QStringLiteral("界面切换"));
        QCOMPARE(with[4].commands,
                 (QStringList{"arrangeIconsAction", "cascadeAction", "tileAction"}));
        QCOMPARE(with[4].texts, (QStringList{"排列图标(&A)", "层叠(&C)", "平铺(&T)"}));
        QCOMPARE(with[5].title, QStringLiteral("帮助"));
        QCOMPARE(with[5].commands, (QStringList{"aboutAction", "-", "helpAction"}));
        // The menus share the main window's actions.
        QCOMPARE(m_frame->menuBar()->actions()[1]->menu()->actions().last(),
                 m_frame->actions().parameters);

        ChildWindow* second = m_frame->openView(WindowKind::SerialTest);
        m_prompts->answers = {PromptAnswer::Ok};
        QVERIFY(first->close());
        QVERIFY(m_frame->showsChildMenus());
        m_prompts->answers = {PromptAnswer::Ok};
        QVERIFY(second->close());
        QVERIFY(!m_frame->showsChildMenus());
        QCOMPARE(menusOf(*m_frame)[4].title, QStringLiteral("查看(&V)"));
    }

    void toolbarPromptsAndAccelerators() {
        const MainActions& a = m_frame->actions();
        QCOMPARE(names(m_frame->mainToolBar()->actions()),
                 (QStringList{"serialTestAction", "openTemplateAction", "parametersAction",
                              "openWorkAction", "openHistoryAction", "curvesAction", "-",
                              "printAction", "-", "aboutAction", "-", "nextWindowAction"}));
        for (QAction* action : m_frame->mainToolBar()->actions()) {
            if (!action->isSeparator()) {
                QCOMPARE(action->icon().availableSizes().value(0), QSize(16, 15));
            }
        }
        QCOMPARE(m_frame->mainToolBar()->iconSize(), QSize(16, 15));

        // A command with one text has it as its prompt and shows no tip; only a prompt / tip
        // pair shows a tip.
        const struct {
            QAction* action;
            const char* prompt;
            const char* tip;
        } prompts[] = {
            {a.parameters, "开始仪表参数设置工作", ""},
            {a.serialTest, "开始通信测试程序", ""},
            {a.openHistory, "数据分析", ""},
            {a.help, "帮助文件", ""},
            {a.curves, "进入曲线跟踪设置", "曲线跟踪设置"},
            {a.openTemplate, "打开仪表模拟模板", ""},
            {a.openWork, "打开工作模板", ""},
            {a.saveCurve, "保存曲线", ""},
            {a.about, "显示程序信息，版本号和版权", "关于"},
            {a.print, "打印活动文档", "打印"},
            {a.nextWindow, "切换到下一个窗口", "切换窗口"},
        };
        QVERIFY(QTest::qWaitForWindowExposed(m_frame));
        for (const auto& p : prompts) {
            QCOMPARE(p.action->statusTip(), QString::fromUtf8(p.prompt));
            if (QWidget* button = m_frame->mainToolBar()->widgetForAction(p.action)) {
                QCOMPARE(tervo::testing::shownToolTip(button), QString::fromUtf8(p.tip));
            }
        }
        QToolTip::hideText();

        // Views that come later keep their commands, disabled.
        for (QAction* action : {a.print, a.printPreview, a.save, a.saveTemplate, a.saveCurve}) {
            QVERIFY2(!action->isEnabled(), qPrintable(action->objectName()));
        }
        for (QAction* action :
             {a.serialTest, a.parameters, a.curves, a.newWork, a.openWork, a.openHistory, a.fileNew,
              a.fileOpen, a.newTemplate, a.openTemplate, a.about, a.nextWindow, a.help,
              a.startTitle, a.printSetup, a.exit}) {
            QVERIFY2(action->isEnabled(), qPrintable(action->objectName()));
        }
        m_app->setTemplate(WindowKind::History,
                           [](const ViewContext& c) { return new StandIn(c); });
        QVERIFY(a.openHistory->isEnabled());
        QVERIFY(a.fileOpen->isEnabled());

        const struct {
            const char* keys;
            QAction* action;
        } accelerators[] = {
            {"Ctrl+N", a.fileNew}, {"Ctrl+O", a.fileOpen},      {"Ctrl+S", a.save},
            {"Ctrl+P", a.print},   {"Ctrl+Z", a.undo},          {"Ctrl+X", a.cut},
            {"Ctrl+C", a.copy},    {"Ctrl+V", a.paste},         {"Alt+Backspace", a.undo},
            {"Shift+Del", a.cut},  {"Ctrl+Ins", a.copy},        {"Shift+Ins", a.paste},
            {"F6", a.nextPane},    {"Shift+F6", a.previousPane}};
        for (const auto& k : accelerators) {
            QVERIFY2(k.action->shortcuts().contains(QKeySequence(k.keys)), k.keys);
        }

        // A view that handles printing gets the command while its window is active.
        m_app->setTemplate(WindowKind::Work, [](const ViewContext& c) { return new StandIn(c); });
        ChildWindow* work = m_frame->openView(WindowKind::Work);
        QVERIFY(a.print->isEnabled());
        QVERIFY(!a.printPreview->isEnabled());
        a.print->trigger();
        QCOMPARE(standInOf(work)->commands, QList<ViewCommand>{ViewCommand::Print});
    }

    void childWindowsTakeTheSizePositionAndTitleOfTheirKind() {
        for (WindowKind kind :
             {WindowKind::Work, WindowKind::History, WindowKind::Simulation, WindowKind::Curves}) {
            m_app->setTemplate(kind, [](const ViewContext& c) { return new StandIn(c); });
        }
        const struct {
            WindowKind kind;
            QSize size;
            QPoint position;
            const char* title;
        } kinds[] = {
            {WindowKind::Work, {1020, 670}, {0, 0}, "采集工作"},
            {WindowKind::History, {1020, 670}, {0, 0}, "数据分析 --- /data/a.alt"},
            {WindowKind::SerialTest, {1020, 670}, {0, 0}, "通信测试"},
            {WindowKind::Simulation, {1020, 670}, {0, 0}, "仪表模拟 --- /data/a.alt"},
            {WindowKind::Parameters, {570, 420}, {209, 120}, "仪表参数修改"},
            {WindowKind::Curves, {1020, 670}, {0, 0}, "跟踪曲线设置"},
        };
        for (const auto& k : kinds) {
            ChildWindow* frame = m_frame->openView(k.kind, QStringLiteral("/data/a.alt"));
            QVERIFY(frame != nullptr);
            QCOMPARE(m_frame->windowKind(), k.kind);
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
        QCOMPARE(m_frame->openChildCount(), 6);
        QCOMPARE(m_frame->children().size(), 6);

        // Two parameter windows at the same place; each close lowers the count.
        ChildWindow* again = m_frame->openView(WindowKind::Parameters);
        QCOMPARE(again->pos(), QPoint(209, 120));
        QCOMPARE(m_frame->openChildCount(), 7);
        m_prompts->answers = {PromptAnswer::Ok};
        QVERIFY(again->close());
        QCOMPARE(m_frame->openChildCount(), 6);
        QCOMPARE(m_frame->cycleIndex(), 0);
    }

    void fileCommandsAskForTheirFileAndHandItToTheView() {
        for (WindowKind kind : {WindowKind::Work, WindowKind::History, WindowKind::Simulation,
                                WindowKind::Parameters}) {
            m_app->setTemplate(kind, [](const ViewContext& c) { return new StandIn(c); });
        }
        // A parameter view asked for a controller makes its link the current one.
        ChildWindow* parameters = m_frame->openParametersFor(LinkSettings{2, 3, 44});
        QCOMPARE(standInOf(parameters)->context.link.port, 2);
        QCOMPARE(m_frame->currentLink().address, 44);
        m_prompts->answers = {PromptAnswer::Ok};
        QVERIFY(parameters->close());

        // Cancelling opens nothing and changes nothing.
        const MainActions& a = m_frame->actions();
        a.openHistory->trigger();
        QCOMPARE(m_frame->children().size(), 0);
        QCOMPARE(m_frame->openChildCount(), 0);
        QCOMPARE(m_prompts->fileRequests.size(), 1);
        const FileDialogRequest history = m_prompts->fileRequests[0].request;
        QCOMPARE(history.filter, QStringLiteral("采集文件(*.alt);;所有文件(*.*)"));
        QCOMPARE(history.defaultExtension, QStringLiteral("alt"));
        QCOMPARE(history.initialName, QStringLiteral("*.alt"));
        QVERIFY(history.mustExist);

        m_prompts->fileAnswers = {QStringLiteral("/records/r1.alt")};
        a.openHistory->trigger();
        QCOMPARE(m_frame->activeChild()->windowTitle(),
                 QStringLiteral("数据分析 --- /records/r1.alt"));
        QCOMPARE(standInOf(m_frame->activeChild())->context.filePath,
                 QStringLiteral("/records/r1.alt"));
        QCOMPARE(standInOf(m_frame->activeChild())->context.link.address, 44);
        QCOMPARE(m_frame->currentFilePath(), QStringLiteral("/records/r1.alt"));

        m_prompts->fileAnswers = {QStringLiteral("/work/w.awt")};
        a.openWork->trigger();
        QCOMPARE(m_prompts->fileRequests.last().request.filter,
                 QStringLiteral("采集文件(*.awt);;所有文件(*.*)"));
        QCOMPARE(m_prompts->fileRequests.last().request.initialName, QStringLiteral("*.awt"));
        QCOMPARE(standInOf(m_frame->activeChild())->context.filePath,
                 QStringLiteral("/work/w.awt"));
        a.newWork->trigger();
        QCOMPARE(standInOf(m_frame->activeChild())->context.filePath, QString());
        QCOMPARE(m_frame->activeChild()->windowTitle(), QStringLiteral("采集工作"));

        m_prompts->fileAnswers = {QStringLiteral("/panels/p.sim")};
        a.openTemplate->trigger();
        QCOMPARE(m_prompts->fileRequests.last().request.filter,
                 QStringLiteral("模板文件(*.sim);;所有文件(*.*)"));
        QCOMPARE(m_prompts->fileRequests.last().request.defaultExtension, QStringLiteral("sim"));
        QCOMPARE(m_frame->activeChild()->windowTitle(),
                 QStringLiteral("仪表模拟 --- /panels/p.sim"));
        a.newTemplate->trigger();
        QCOMPARE(m_frame->activeChild()->windowTitle(), QStringLiteral("仪表模拟 --- "));
        QCOMPARE(standInOf(m_frame->activeChild())->context.filePath, QString());

        // "打开" goes to the history template with the chosen file and
        // leaves the current file path alone.
        m_prompts->fileAnswers = {QStringLiteral("/records/r2.alt")};
        a.fileOpen->trigger();
        QCOMPARE(m_prompts->fileRequests.last().request.filter, QStringLiteral("所有文件(*.*)"));
        QCOMPARE(m_frame->activeChild()->windowTitle(),
                 QStringLiteral("数据分析 --- /records/r2.alt"));
        QCOMPARE(standInOf(m_frame->activeChild())->context.filePath,
                 QStringLiteral("/records/r2.alt"));
        QCOMPARE(m_frame->currentFilePath(), QString());
        QVERIFY(m_frame->openRecordFile(QStringLiteral("/records/r3.alt")));
        QCOMPARE(m_frame->activeChild()->windowTitle(),
                 QStringLiteral("数据分析 --- /records/r3.alt"));
        QCOMPARE(m_frame->openChildCount(), 7);
    }

    void aRefusedViewOpensNothing() {
        m_app->setTemplate(WindowKind::History, [](const ViewContext&) { return nullptr; });
        m_prompts->fileAnswers = {QStringLiteral("/records/bad.alt")};
        m_frame->actions().openHistory->trigger();
        QCOMPARE(m_frame->children().size(), 0);
        QCOMPARE(m_frame->mdiArea()->subWindowList().size(), 0);
        QCOMPARE(m_frame->openChildCount(), 0);
        QVERIFY(!m_frame->showsChildMenus());
    }

    void captionFollowsTheActiveChild() {
        QCOMPARE(m_frame->windowTitle(), QStringLiteral("QT570控制软件"));
        ChildWindow* set = m_frame->openView(WindowKind::Parameters);
        QCOMPARE(m_frame->windowTitle(), QStringLiteral("温控仪控制系统 - 仪表参数修改"));
        ChildWindow* test = m_frame->openView(WindowKind::SerialTest);
        QCOMPARE(m_frame->windowTitle(), QStringLiteral("温控仪控制系统 - 通信测试"));
        m_frame->mdiArea()->setActiveSubWindow(set);
        QCOMPARE(m_frame->windowTitle(), QStringLiteral("温控仪控制系统 - 仪表参数修改"));
        // The window caption may say something else; the main caption keeps the title.
        set->setWindowTitle(QStringLiteral("通信错误"));
        m_frame->mdiArea()->setActiveSubWindow(test);
        m_frame->mdiArea()->setActiveSubWindow(set);
        QCOMPARE(m_frame->windowTitle(), QStringLiteral("温控仪控制系统 - 仪表参数修改"));
        m_prompts->answers = {PromptAnswer::Ok, PromptAnswer::Ok};
        set->close();
        test->close();
        QCOMPARE(m_frame->windowTitle(), QStringLiteral("温控仪控制系统"));
    }

    void switchWindowCyclesThroughTheOpenWindows() {
        // With nothing open the button does nothing.
        QAction* next = m_frame->actions().nextWindow;
        next->trigger();
        QCOMPARE(m_frame->activeChild(), nullptr);

        m_app->setTemplate(WindowKind::Work, [](const ViewContext& c) { return new StandIn(c); });
        QList<ChildWindow*> opened;
        for (int i = 0; i < 3; ++i) {
            opened << m_frame->openView(WindowKind::Work);
        }
        QCOMPARE(m_frame->cycleIndex(), 2);
        QCOMPARE(m_frame->openChildCount(), 3);
        QCOMPARE(m_frame->activeChild(), opened[2]);
        for (int expected : {0, 1, 2, 0, 1}) {
            next->trigger();
            QCOMPARE(m_frame->cycleIndex(), expected);
            QCOMPARE(m_frame->activeChild(), opened[expected]);
        }
        // Closing one starts over at the first window.
        m_prompts->answers = {PromptAnswer::Ok};
        opened[2]->close();
        QCOMPARE(m_frame->cycleIndex(), 0);
        next->trigger();
        QCOMPARE(m_frame->activeChild(), opened[1]);
        next->trigger();
        QCOMPARE(m_frame->activeChild(), opened[0]);
    }

    void closingAChildAsksFirst() {
        ChildWindow* child = m_frame->openView(WindowKind::SerialTest);
        QPointer<ChildWindow> watch(child);
        m_prompts->answers = {PromptAnswer::Cancel};
        QVERIFY(!child->close());
        QCOMPARE(m_prompts->messages.size(), 1);
        const ScriptedPrompts::Message asked = m_prompts->messages[0];
        QCOMPARE(asked.text, QStringLiteral("确实要退出程序！！！"));
        QCOMPARE(asked.caption, QStringLiteral("提示"));
        QCOMPARE(asked.icon, PromptIcon::Exclamation);
        QCOMPARE(asked.buttons, PromptButtons::OkCancel);
        QCOMPARE(m_frame->openChildCount(), 1);
        QCOMPARE(m_frame->children().size(), 1);

        m_prompts->answers = {PromptAnswer::Ok};
        QVERIFY(child->close());
        QCOMPARE(m_frame->openChildCount(), 0);
        QVERIFY(waitFor([&] { return watch.isNull(); }));
        QCOMPARE(m_frame->mdiArea()->subWindowList().size(), 0);
        QVERIFY(m_prompts->dialogsRun.isEmpty());
    }

    void closingInProtectedModeNeedsTheEntryPassword() {
        m_app->setProtection(true, QStringLiteral("密码1"));
        ChildWindow* child = m_frame->openView(WindowKind::SerialTest);

        // A wrong password is refused in the dialog; Cancel then keeps the window.
        m_prompts->dialogHandlers << [](QDialog& dialog) {
            dialog.findChild<QLineEdit*>(QStringLiteral("passwordEdit"))
                ->setText(QStringLiteral("密码2"));
            dialog.accept();
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
            dialog.reject();
        };
        QVERIFY(!child->close());
        QCOMPARE(m_prompts->dialogsRun, QStringList{"passwordDialog"});
        QCOMPARE(m_prompts->messages.size(), 1);
        QCOMPARE(m_prompts->messages[0].text, QStringLiteral("密码错误！！！"));
        QCOMPARE(m_prompts->messages[0].caption, QStringLiteral("提示"));
        QCOMPARE(m_prompts->messages[0].icon, PromptIcon::Exclamation);
        QCOMPARE(m_frame->children().size(), 1);

        // Wrong, then right: the window closes, and no question is asked besides.
        m_prompts->dialogHandlers << [](QDialog& dialog) {
            auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("passwordEdit"));
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
        child = m_frame->openView(WindowKind::SerialTest);
        m_prompts->dialogHandlers << [](QDialog& dialog) {
            auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("passwordEdit"));
            edit->setText(QStringLiteral(" "));
            dialog.accept();
            edit->clear();
            dialog.accept();
        };
        QVERIFY(child->close());
        QCOMPARE(m_prompts->messages.size(), 3);
    }

    void closingTheMainWindowClosesEverythingAfterOneQuestion() {
        m_frame->openView(WindowKind::SerialTest);
        m_frame->openView(WindowKind::Parameters);
        m_prompts->answers = {PromptAnswer::Cancel};
        QVERIFY(!m_frame->close());
        QVERIFY(m_frame->isVisible());
        QCOMPARE(m_frame->children().size(), 2);

        m_prompts->answers = {PromptAnswer::Ok};
        QVERIFY(m_frame->close());
        QCOMPARE(m_prompts->messages.size(), 2);
        QCOMPARE(m_prompts->messages[1].text, QStringLiteral("确实要退出程序！！！"));
        QCOMPARE(m_frame->children().size(), 0);

        // In protected mode the main window wants the password too.
        m_frame->show();
        m_app->setProtection(true, QStringLiteral("x"));
        m_frame->openView(WindowKind::SerialTest);
        m_prompts->dialogHandlers << [](QDialog& dialog) { dialog.reject(); };
        QVERIFY(!m_frame->close());
        QCOMPARE(m_frame->children().size(), 1);
        m_prompts->dialogHandlers << [](QDialog& dialog) {
            dialog.findChild<QLineEdit*>(QStringLiteral("passwordEdit"))
                ->setText(QStringLiteral("x"));
            dialog.accept();
        };
        QVERIFY(m_frame->close());
        QCOMPARE(m_prompts->dialogsRun.size(), 2);
        QCOMPARE(m_prompts->messages.size(), 2);
        QCOMPARE(m_frame->children().size(), 0);
    }

    void helpAboutAndTheDialogCommands() {
        const MainActions& a = m_frame->actions();
        a.help->trigger();
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
            QVERIFY(dialog.findChild<QLabel*>(QStringLiteral("secondLine"))
                        ->text()
                        .contains(QStringLiteral("GPL-3.0-or-later")));
            QCOMPARE(dialog.findChild<QPushButton*>(QStringLiteral("okButton"))->text(),
                     QStringLiteral("确定"));
            QVERIFY(dialog.findChild<QPushButton*>(QStringLiteral("cancelButton")) == nullptr);
        };
        a.about->trigger();
        a.startTitle->trigger();
        a.portMap->trigger();
        a.printSetup->trigger();
        QCOMPARE(m_prompts->dialogsRun, (QStringList{"aboutDialog", "startTitleDialog",
                                                     "portMapDialog", "printSetupDialog"}));
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
            MainWindow& frame = app.createMainWindow(DemoMode::statusNote());
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
    std::unique_ptr<tervo::testing::TestShell> m_shell;
    ScriptedPrompts* m_prompts = nullptr;
    TervoApp* m_app = nullptr;
    MainWindow* m_frame = nullptr;
    tervo::testing::IsolatedSettings m_settings;
};

QTEST_MAIN(ShellTest)
#include "ShellTest.moc"
