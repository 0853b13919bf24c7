#include <QDialogButtonBox>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <memory>

#include "gui/app/PasswordDialog.h"
#include "gui/app/Settings.h"
#include "gui/app/StartTitleDialog.h"
#include "gui/app/StartWindow.h"
#include "gui/widgets/Fonts.h"
#include "gui/widgets/Pictures.h"
#include "guisupport/GuiTest.h"
#include "guisupport/ScriptedPrompts.h"

using namespace tervo::gui;
using tervo::testing::ScriptedPrompts;

namespace {

// What is stored in the settings, read without Settings.
QVariant storedValue(const QString& name) {
    return QSettings(QStringLiteral("ZMT"), QStringLiteral("Quorvex5")).value(name);
}

void store(const QString& name, const QVariant& value) {
    QSettings settings(QStringLiteral("ZMT"), QStringLiteral("Quorvex5"));
    settings.setValue(name, value);
}

void mouse(QWidget& widget, QEvent::Type type, QPoint at, Qt::MouseButton button,
           Qt::MouseButtons held, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QMouseEvent event(type, QPointF(at), QPointF(widget.mapToGlobal(at)), button, held, modifiers);
    QApplication::sendEvent(&widget, &event);
}

void moveTo(QWidget& widget, QPoint at, Qt::MouseButtons held = Qt::NoButton,
            Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    mouse(widget, QEvent::MouseMove, at, Qt::NoButton, held, modifiers);
}

QImage region(QWidget& widget, const QRect& rect) {
    return widget.grab(rect).toImage().convertToFormat(QImage::Format_RGB32);
}

QImage pictureRegion(int resource, const QRect& rect) {
    return picture(resource).toImage().copy(rect).convertToFormat(QImage::Format_RGB32);
}

}  // namespace

class StartTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QSettings(QStringLiteral("ZMT"), QStringLiteral("Quorvex5")).clear();
        m_prompts = std::make_unique<ScriptedPrompts>();
    }
    void cleanup() { m_prompts.reset(); }

    void settingsReadTextsOfAtMost200BytesWithTheTerminator() {
        QVERIFY(Settings().isWritable());
        QCOMPARE(Settings().storedStartTitle(), std::nullopt);
        QCOMPARE(Settings().startTitle(), Settings::vendorLine());

        const QString ascii199(199, QLatin1Char('A'));
        Settings().setStartTitle(ascii199);
        QCOMPARE(storedValue(QStringLiteral("StartTitle")).toString(), ascii199);
        QCOMPARE(Settings().storedStartTitle(), std::optional<QString>(ascii199));
        QCOMPARE(Settings().startTitle(), ascii199);

        // 200 bytes and the terminator do not fit: the value reads as absent.
        Settings().setStartTitle(ascii199 + QLatin1Char('B'));
        QCOMPARE(storedValue(QStringLiteral("StartTitle")).toString(), ascii199 + 'B');
        QCOMPARE(Settings().storedStartTitle(), std::nullopt);
        QCOMPARE(Settings().startTitle(), Settings::vendorLine());

        // Bytes are counted in the GBK code page: 99 Chinese characters are 198 bytes.
        const QString chinese99 = QString(99, QChar(0x6E29));  // 温
        Settings().setStartTitle(chinese99);
        QCOMPARE(Settings().startTitle(), chinese99);
        Settings().setStartTitle(chinese99 + QChar(0x6E29));
        QCOMPARE(Settings().startTitle(), Settings::vendorLine());

        // A value that is not a text is not read either.
        store(QStringLiteral("StartTitle"), QStringList{"a", "b"});
        QCOMPARE(Settings().storedStartTitle(), std::nullopt);

        // The port map obeys the same rule.
        Settings().setPortPath(2, QStringLiteral("/dev/ttyACM0"));
        QCOMPARE(storedValue(QStringLiteral("PortMap/COM3")).toString(),
                 QStringLiteral("/dev/ttyACM0"));
        QCOMPARE(Settings().portPath(2), QStringLiteral("/dev/ttyACM0"));
        store(QStringLiteral("PortMap/COM3"), QLatin1Char('/') + QString(199, QLatin1Char('p')));
        QCOMPARE(Settings().portPath(2), QString());
        QCOMPARE(Settings().portPath(0), QString());

        Settings().setStartTitle(QStringLiteral("第一车间"));
        StartWindow splash;
        QCOMPARE(splash.title(), QStringLiteral("第一车间"));
        Settings().setStartTitle(ascii199 + QLatin1Char('B'));
        StartWindow again;
        QCOMPARE(again.title(), Settings::vendorLine());
    }

    void aStoreThatCannotBeWrittenKeepsTheDefaults() {
        // The store's directory lies under a plain file, so it can be neither read nor created.
        QTemporaryDir dir;
        QFile blocker(dir.filePath(QStringLiteral("file")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           dir.filePath(QStringLiteral("file/below")));
        QVERIFY(!Settings().isWritable());
        Settings().setStartTitle(QStringLiteral("lost"));
        Settings().setPortPath(0, QStringLiteral("/dev/lost"));
        QCOMPARE(Settings().startTitle(), Settings::vendorLine());
        QCOMPARE(Settings().portPath(0), QString());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           m_settings.path() + QStringLiteral("/user"));
    }

    void startTitleDialogSavesOrDiscards() {
        {
            StartTitleDialog dialog;
            QCOMPARE(dialog.windowTitle(), QStringLiteral("设置起始显示标题"));
            QCOMPARE(dialog.title(), Settings::vendorLine());
            QCOMPARE(dialog.findChild<QPushButton*>(QStringLiteral("okButton"))->text(),
                     QStringLiteral("保存退出"));
            QCOMPARE(dialog.findChild<QPushButton*>(QStringLiteral("cancelButton"))->text(),
                     QStringLiteral("放弃退出"));
            auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("titleEdit"));
            QCOMPARE(dialog.findChild<QDialogButtonBox*>()->buttons().size(), 2);
            edit->setText(QStringLiteral("二号炉"));
            dialog.reject();
        }
        QVERIFY(!storedValue(QStringLiteral("StartTitle")).isValid());
        {
            StartTitleDialog dialog;
            dialog.findChild<QLineEdit*>(QStringLiteral("titleEdit"))
                ->setText(QStringLiteral("二号炉"));
            dialog.findChild<QPushButton*>(QStringLiteral("okButton"))->click();
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
        }
        QCOMPARE(storedValue(QStringLiteral("StartTitle")).toString(), QStringLiteral("二号炉"));
        {
            // The edit takes no more than the start window can read back.
            StartTitleDialog dialog;
            QCOMPARE(dialog.title(), QStringLiteral("二号炉"));
            auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("titleEdit"));
            edit->clear();
            QTest::keyClicks(edit, QString(205, QLatin1Char('x')));
            QCOMPARE(edit->text().size(), 199);
            dialog.accept();
        }
        QCOMPARE(Settings().startTitle(), QString(199, QLatin1Char('x')));
    }

    void passwordDialogSetAndCheckModes() {
        PasswordDialog set(PasswordDialog::Mode::Set, QString());
        QCOMPARE(set.windowTitle(), QStringLiteral("密码输入"));
        auto* setEdit = set.findChild<QLineEdit*>(QStringLiteral("passwordEdit"));
        QCOMPARE(setEdit->echoMode(), QLineEdit::Password);
        QCOMPARE(set.findChild<QPushButton*>(QStringLiteral("okButton"))->text(),
                 QStringLiteral("OK"));
        QCOMPARE(set.findChild<QPushButton*>(QStringLiteral("cancelButton"))->text(),
                 QStringLiteral("Cancel"));
        set.findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
        QCOMPARE(set.result(), int(QDialog::Rejected));
        set.accept();
        QCOMPARE(set.result(), int(QDialog::Accepted));
        QCOMPARE(set.password(), QString());

        PasswordDialog check(PasswordDialog::Mode::Check, QStringLiteral("Abc温"));
        auto* edit = check.findChild<QLineEdit*>(QStringLiteral("passwordEdit"));
        for (const char* wrong : {"abc温", "Abc", "Abc温 ", ""}) {
            edit->setText(QString::fromUtf8(wrong));
            check.findChild<QPushButton*>(QStringLiteral("okButton"))->click();
            QCOMPARE(check.result(), int(QDialog::Rejected));
        }
        QCOMPARE(m_prompts->messages.size(), 4);
        for (const ScriptedPrompts::Message& message : m_prompts->messages) {
            QCOMPARE(message.text, QStringLiteral("密码错误！！！"));
            QCOMPARE(message.caption, QStringLiteral("提示"));
            QCOMPARE(message.icon, PromptIcon::Exclamation);
            QCOMPARE(message.buttons, PromptButtons::Ok);
        }
        edit->setText(QStringLiteral("Abc温"));
        check.findChild<QPushButton*>(QStringLiteral("okButton"))->click();
        QCOMPARE(check.result(), int(QDialog::Accepted));
        QCOMPARE(m_prompts->messages.size(), 4);
    }

    void startWindowHitAreas() {
        struct Point {
            int x, y;
            bool entry, password;
        };
        const Point points[] = {
            {145, 600, false, false}, {146, 600, true, false},  {314, 600, true, false},
            {315, 600, false, false}, {200, 583, false, false}, {200, 584, true, false},
            {200, 665, true, false},  {200, 666, false, false}, {548, 600, false, false},
            {549, 600, false, true},  {874, 600, false, true},  {875, 600, false, false},
            {700, 586, false, false}, {700, 587, false, true},  {700, 671, false, true},
            {700, 672, false, false}, {400, 620, false, false},
        };
        for (const Point& p : points) {
            QCOMPARE(StartWindow::inEntryArea({p.x, p.y}), p.entry);
            QCOMPARE(StartWindow::inPasswordArea({p.x, p.y}), p.password);
        }
        // A state change repaints all of both pictures, so nothing of a lit one stays.
        QVERIFY(StartWindow::kEntryRepaint.contains(StartWindow::kEntryPicture));
        QVERIFY(StartWindow::kPasswordRepaint.contains(StartWindow::kPasswordPicture));
        QCOMPARE(StartWindow::kEntryRepaint.topLeft(), QPoint(145, 583));
        QCOMPARE(StartWindow::kPasswordRepaint.topLeft(), QPoint(548, 586));
    }

    void startWindowHoverAndPressLooks() {
        StartWindow splash;
        splash.resize(1024, 768);
        const QRect entry(146, 584, 170, 83);
        const QRect password(549, 587, 327, 86);
        QCOMPARE(splash.hoverState(), 0);
        QCOMPARE(region(splash, entry), pictureRegion(kStartBackground, entry));
        QCOMPARE(region(splash, password), pictureRegion(kStartBackground, password));

        moveTo(splash, {200, 600});
        QCOMPARE(splash.hoverState(), 1);
        QCOMPARE(region(splash, entry), pictureRegion(kStartEntry, QRect(1, 1, 170, 83)));
        QCOMPARE(region(splash, password), pictureRegion(kStartBackground, password));
        QVERIFY(region(splash, entry) != pictureRegion(kStartBackground, entry));

        moveTo(splash, {200, 600}, Qt::LeftButton);
        QCOMPARE(splash.hoverState(), 2);
        QCOMPARE(region(splash, entry), pictureRegion(kStartEntryPressed, QRect(1, 1, 170, 83)));
        // Another button or a modifier held with the left one is no press.
        moveTo(splash, {200, 600}, Qt::LeftButton | Qt::RightButton);
        QCOMPARE(splash.hoverState(), 1);
        moveTo(splash, {200, 600}, Qt::LeftButton, Qt::ShiftModifier);
        QCOMPARE(splash.hoverState(), 1);

        moveTo(splash, {700, 620});
        QCOMPARE(splash.hoverState(), 3);
        QCOMPARE(region(splash, password), pictureRegion(kStartPassword, QRect(1, 1, 327, 86)));
        QCOMPARE(region(splash, entry), pictureRegion(kStartBackground, entry));
        moveTo(splash, {700, 620}, Qt::LeftButton);
        QCOMPARE(splash.hoverState(), 4);
        // Picture 251 is 327 x 86: from (1, 1) it covers all but the last column and row.
        QCOMPARE(region(splash, QRect(549, 587, 326, 85)),
                 pictureRegion(kStartPasswordPressed, QRect(1, 1, 326, 85)));

        moveTo(splash, {400, 620});
        QCOMPARE(splash.hoverState(), 0);
        mouse(splash, QEvent::MouseButtonPress, {200, 600}, Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(splash.hoverState(), 2);
        mouse(splash, QEvent::MouseButtonPress, {700, 600}, Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(splash.hoverState(), 4);
        mouse(splash, QEvent::MouseButtonPress, {20, 20}, Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(splash.hoverState(), 0);
    }

    void startWindowTexts() {
        Settings().setStartTitle(QStringLiteral("ABC"));
        StartWindow splash;
        splash.resize(1024, 768);
        const QImage shown = splash.grab().toImage().convertToFormat(QImage::Format_RGB32);
        // Black text over the light band, where the picture itself has none.
        auto darkPixels = [&shown](const QRect& rect) {
            int dark = 0;
            for (int y = rect.top(); y <= rect.bottom(); ++y) {
                for (int x = rect.left(); x <= rect.right(); ++x) {
                    dark += qGray(shown.pixel(x, y)) < 60 ? 1 : 0;
                }
            }
            return dark;
        };
        const int height = QFontMetrics(songFont(50, 25)).height();
        QVERIFY(darkPixels(QRect(210, 450, 75, height)) > 100);  // "ABC", three 25-pixel cells
        QCOMPARE(darkPixels(QRect(290, 450, 100, height)), 0);
        QVERIFY(darkPixels(QRect(350, 370, 325, height)) > 500);  // "QT570控制系统"
        QCOMPARE(darkPixels(QRect(100, 370, 240, height)), 0);
    }

    void startWindowEntries() {
        {
            StartWindow splash;
            splash.resize(1024, 768);
            // Outside both areas nothing happens.
            mouse(splash, QEvent::MouseButtonRelease, {400, 620}, Qt::LeftButton, Qt::NoButton);
            QCOMPARE(splash.result(), int(QDialog::Rejected));
            mouse(splash, QEvent::MouseButtonRelease, {200, 600}, Qt::LeftButton, Qt::NoButton);
            QCOMPARE(splash.result(), int(QDialog::Accepted));
            QVERIFY(!splash.protectedMode());
            QVERIFY(m_prompts->dialogsRun.isEmpty());
        }
        {
            // Cancelling the password stays on the start window; OK enters protected mode.
            StartWindow splash;
            splash.resize(1024, 768);
            m_prompts->dialogHandlers << [](QDialog& dialog) { dialog.reject(); };
            mouse(splash, QEvent::MouseButtonRelease, {700, 620}, Qt::LeftButton, Qt::NoButton);
            QCOMPARE(splash.result(), int(QDialog::Rejected));
            QVERIFY(!splash.protectedMode());
            m_prompts->dialogHandlers << [](QDialog& dialog) {
                QCOMPARE(static_cast<PasswordDialog&>(dialog).mode(), PasswordDialog::Mode::Set);
                dialog.findChild<QLineEdit*>(QStringLiteral("passwordEdit"))
                    ->setText(QStringLiteral("k9"));
                dialog.accept();
            };
            mouse(splash, QEvent::MouseButtonRelease, {700, 620}, Qt::LeftButton, Qt::NoButton);
            QCOMPARE(splash.result(), int(QDialog::Accepted));
            QVERIFY(splash.protectedMode());
            QCOMPARE(splash.entryPassword(), QStringLiteral("k9"));
            QCOMPARE(m_prompts->dialogsRun, (QStringList{"passwordDialog", "passwordDialog"}));
            QVERIFY(m_prompts->messages.isEmpty());
        }
        for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            StartWindow splash;
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QApplication::sendEvent(&splash, &press);
            QCOMPARE(splash.result(), int(QDialog::Accepted));
            QVERIFY(!splash.protectedMode());
        }
        {
            StartWindow splash;
            splash.reject();
            QCOMPARE(splash.result(), int(QDialog::Accepted));
            QVERIFY(!splash.protectedMode());
        }
    }

private:
    tervo::testing::IsolatedSettings m_settings;
    std::unique_ptr<ScriptedPrompts> m_prompts;
};

QTEST_MAIN(StartTest)
#include "StartTest.moc"
