#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QMdiSubWindow>
#include <QMenu>
#include <QRegularExpression>
#include <QTest>
#include <QTranslator>

#include "core/text/Translation.h"
#include "core/tools/SerialTestRules.h"
#include "core/work/SamplingEngine.h"
#include "gui/app/ChildWindow.h"
#include "gui/app/Language.h"
#include "gui/widgets/Prompts.h"
#include "gui/widgets/Translate.h"
#include "guisupport/TestShell.h"

using namespace tervo;
using namespace tervo::gui;

namespace {

const QRegularExpression kChinese(
    QStringLiteral("[\\x{3000}-\\x{303F}\\x{4E00}-\\x{9FFF}\\x{FF00}-"
                   "\\x{FFEF}]"));

// Every text a person reads on a window and its commands: titles, labels, buttons, lists,
// menus, tool tips and status texts.
QStringList textsOf(QWidget& root) {
    QStringList texts{root.windowTitle()};
    QList<QWidget*> widgets = root.findChildren<QWidget*>();
    widgets.prepend(&root);
    for (QWidget* w : widgets) {
        texts << w->toolTip();
        if (auto* label = qobject_cast<QLabel*>(w)) {
            texts << label->text();
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            texts << button->text();
        } else if (auto* box = qobject_cast<QGroupBox*>(w)) {
            texts << box->title();
        } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            for (int i = 0; i < combo->count(); ++i) {
                texts << combo->itemText(i);
            }
        } else if (auto* menu = qobject_cast<QMenu*>(w)) {
            texts << menu->title();
        }
        for (QAction* action : w->actions()) {
            texts << action->text() << action->toolTip() << action->statusTip();
        }
    }
    return texts;
}

QStringList chineseIn(const QStringList& texts) {
    QStringList found;
    for (const QString& text : texts) {
        // The language menu names itself in both languages, so anyone finds it.
        if (text.contains(kChinese) && text != QStringLiteral("语言 / Language") &&
            text != QStringLiteral("中文")) {
            found << text;
        }
    }
    return found;
}

}  // namespace

class LanguageTest : public QObject {
    Q_OBJECT

private slots:
    void theRunsLanguage() {
        struct Case {
            QString option, environment, stored;
            Language expected;
        };
        const Case cases[] = {
            {{}, {}, {}, Language::Chinese},
            {{}, {}, QStringLiteral("en"), Language::English},
            {{}, QStringLiteral("en_US.UTF-8"), QStringLiteral("zh"), Language::English},
            {QStringLiteral("zh"), QStringLiteral("en"), QStringLiteral("en"), Language::Chinese},
            {QStringLiteral("EN"), {}, {}, Language::English},
            // A value that names no language is passed over, not taken for Chinese.
            {QStringLiteral("fr"), QStringLiteral("en"), {}, Language::English},
            {QStringLiteral("fr"), {}, QStringLiteral("xx"), Language::Chinese},
        };
        for (const Case& c : cases) {
            QCOMPARE(chooseLanguage(c.option, c.environment, c.stored), c.expected);
        }
        QCOMPARE(languageCode(Language::English), QStringLiteral("en"));
        QCOMPARE(languageFromCode(QStringLiteral("zh_CN")), Language::Chinese);
    }

    // Qt's own dialogs speak Chinese with the Chinese interface; the system's texts stay the
    // source and core's are left alone.
    void chineseBringsQtsOwnTexts() {
        QVERIFY(installLanguage(*qApp, Language::Chinese));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
        QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"),
                 QStringLiteral("查找范围："));
        QCOMPARE(trc("MainWindow", "温控仪控制系统"), QStringLiteral("温控仪控制系统"));
        QCOMPARE(QString::fromStdString(SerialTestRules::counterText(3, 4)),
                 QStringLiteral("发送数据：      3         接收数据：      4"));
    }

    // English: a constant core marked, a text core composes, a printf form of the interface.
    void englishTranslatesEveryKindOfText() {
        QVERIFY(installLanguage(*qApp, Language::English));
        QCOMPARE(coreText(kStopQuestionText), QStringLiteral("Really stop?"));
        QCOMPARE(QString::fromStdString(SerialTestRules::counterText(3, 4)),
                 QStringLiteral("Sent:       3         Received:       4"));
        QCOMPARE(printfForm(trc("HistoryReport", "显示系数：%0.2f"), 1.5),
                 QStringLiteral("Scale: 1.50"));
        // Qt's texts are back to its own English.
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
        QVERIFY(installLanguage(*qApp, Language::Chinese));
        QCOMPARE(coreText(kStopQuestionText), QStringLiteral("确实要停止工作？？？"));
        QCOMPARE(translated("core", "时间"), std::string("时间"));
    }

    // Window by window in English: the main window, its menus, and every view a command opens
    // without a file show no Chinese.
    void englishWindowsShowNoChinese() {
        QVERIFY(installLanguage(*qApp, Language::English));
        {
            testing::TestShell shell;
            MainWindow& frame = shell.frame();
            frame.show();
            QStringList found = chineseIn(textsOf(frame));
            const MainActions& a = frame.actions();
            for (QAction* open : {a.newWork, a.serialTest, a.newTemplate, a.parameters}) {
                open->trigger();
                QVERIFY(frame.activeChild() != nullptr);
                found << chineseIn(textsOf(*frame.activeChild()));
            }
            QVERIFY2(found.isEmpty(), qPrintable(found.join(QStringLiteral(" | "))));
            shell.prompts().answers = {PromptAnswer::Ok, PromptAnswer::Ok, PromptAnswer::Ok,
                                       PromptAnswer::Ok};
        }
        QVERIFY(installLanguage(*qApp, Language::Chinese));
    }
};

QTEST_MAIN(LanguageTest)
#include "LanguageTest.moc"
