#include <QAction>
#include <QDBusConnection>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <memory>

#include "core/link/PortMap.h"
#include "core/text/Gbk.h"
#include "core/work/WorkFiles.h"
#include "emu/PtyBus.h"
#include "gui/alarms/AlarmCenter.h"
#include "gui/alarms/AlarmListView.h"
#include "gui/alarms/AlarmNotifier.h"
#include "gui/alarms/AlarmSettingsDialog.h"
#include "gui/app/ChildWindow.h"
#include "gui/app/MainWindow.h"
#include "gui/app/Settings.h"
#include "gui/app/TervoApp.h"
#include "gui/work/WorkView.h"
#include "guisupport/GuiTest.h"
#include "guisupport/ScriptedPrompts.h"
#include "guisupport/TestShell.h"

using namespace tervo;
using namespace tervo::gui;
using tervo::testing::ScriptedPrompts;
using tervo::testing::waitFor;

namespace {

constexpr int kSetValue = 3;  // "SL", the controller's set value, read back as it is set

// Every announcement, in place of the desktop's.
struct RecordingNotifier : AlarmNotifier {
    QStringList summaries;
    void notify(const QString& summary, const QString&) override { summaries << summary; }
};

// The desktop's notification service, as much of it as the notifier calls.
class NotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList calls;
    QVariantMap hints;

public slots:
    uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints,
                int timeout) {
        calls << QStringLiteral("%1|%2|%3|%4|%5|%6|%7")
                     .arg(app)
                     .arg(replaces)
                     .arg(icon, summary, body)
                     .arg(actions.size())
                     .arg(timeout);
        this->hints = hints;
        return 1;
    }
};

QString cell(QTableWidget* table, int row, int column) {
    const QTableWidgetItem* item = table->item(row, column);
    return item != nullptr ? item->text() : QString();
}

}  // namespace

class AlarmsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        tervo::testing::clearPortEnvironment();
        m_dir = std::filesystem::path(m_tmp.path().toStdString());
        emu::BusOptions options;
        options.linkPath = (m_dir / "com1").string();
        options.addresses = {0};
        m_bus = std::make_unique<emu::PtyBus>(options);
        std::string error;
        QVERIFY2(m_bus->start(&error), error.c_str());
        setPortPath(0, options.linkPath);
        WorkDefinition work;
        work.timing.samplingPeriod = 1;
        ChannelInfo oven;
        oven.setNameGbk(utf8ToGbk("炉温"));
        oven.parameterCode = kSetValue;
        work.channels.push_back(oven);
        m_template = QString::fromStdString((m_dir / "oven.awt").string());
        QCOMPARE(int(saveWorkTemplate(m_template.toStdString(), work)), int(FileStatus::Ok));
    }

    void init() {
        m_shell = std::make_unique<tervo::testing::TestShell>();
        m_prompts = &m_shell->prompts();
        m_shell->app().alarms().setNotifier(&m_notifier);
        m_notifier.summaries.clear();
    }

    void cleanup() { m_shell.reset(); }

    // "报警设置" at the end of "实时记录": what is typed is refused with the channel and the
    // column named and the dialog stays; what is accepted goes to the sidecar and comes back.
    void settingsDialogRoundTripAndRefusals() {
        QFile::remove(m_template.chopped(4) + QStringLiteral(".alarms.json"));
        WorkView* view = open();
        QVERIFY(view != nullptr);
        QMenu* menu = nullptr;
        for (QAction* top : m_shell->frame().menuBar()->actions()) {
            if (top->text() == QStringLiteral("实时记录")) {
                menu = top->menu();
            }
        }
        QVERIFY(menu != nullptr);
        QAction* command = menu->actions().last();
        QCOMPARE(command->text(), QStringLiteral("报警设置"));
        QVERIFY(command->isEnabled());

        QStringList refusals;
        m_prompts->dialogHandlers << [&](QDialog& dialog) {
            auto& settings = static_cast<AlarmSettingsDialog&>(dialog);
            QTableWidget* table = settings.table();
            QCOMPARE(cell(table, 0, 0), QStringLiteral("1 炉温"));
            QCOMPARE(cell(table, 0, 1), QString());  // no sidecar: no alarm
            table->item(0, 1)->setText(QStringLiteral("abc"));
            dialog.accept();
            QVERIFY(!dialog.isVisible() && dialog.result() == QDialog::Rejected);
            table->item(0, 1)->setText(QStringLiteral("50"));
            table->item(0, 2)->setText(QStringLiteral("60"));
            dialog.accept();
            QCOMPARE(table->currentColumn(), 2);
            table->item(0, 2)->setText(QString());
            table->item(0, 3)->setText(QStringLiteral("2"));
            dialog.accept();
        };
        command->trigger();
        QCOMPARE(m_prompts->messages.size(), 2);
        QCOMPARE(ScriptedPrompts::describe(m_prompts->messages[0]),
                 ScriptedPrompts::notice(QStringLiteral("通道1的“高限”不是数值！！！")));
        QCOMPARE(ScriptedPrompts::describe(m_prompts->messages[1]),
                 ScriptedPrompts::notice(QStringLiteral("通道1：低限高于高限！！！")));
        QCOMPARE(view->alarmSettings().channels.size(), size_t(1));
        QCOMPARE(view->alarmSettings().channels[0].high, 50.0);
        QCOMPARE(view->alarmSettings().channels[0].deadband, 2.0);

        const AlarmSettingsLoad load =
            loadAlarmSettings(alarmSettingsPath(m_template.toStdString()), 1);
        QCOMPARE(int(load.status), int(AlarmSettingsLoad::Status::Ok));
        QVERIFY(load.settings == view->alarmSettings());
        WorkView* again = open();
        m_prompts->dialogHandlers << [](QDialog& dialog) {
            QTableWidget* table = static_cast<AlarmSettingsDialog&>(dialog).table();
            QCOMPARE(cell(table, 0, 1), QStringLiteral("50"));
            QCOMPARE(cell(table, 0, 3), QStringLiteral("2"));
        };
        again->openAlarmSettings();
        QCOMPARE(m_prompts->dialogsRun.last(), QStringLiteral("alarmSettingsDialog"));
    }

    // A sidecar the rules refuse is said with its line and field; the work opens without alarms.
    void refusedSidecarOpensWithoutAlarms() {
        const QString sidecar = m_template.chopped(4) + QStringLiteral(".alarms.json");
        QFile file(sidecar);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(
            "{\"version\": 1, \"channels\": [\n"
            "  {\"channel\": 1, \"high\": 80.0, \"deadband\": -1}\n]}\n");
        file.close();
        WorkView* view = open();
        QVERIFY(view != nullptr);
        QVERIFY(view->alarmSettings().channels.empty());
        QCOMPARE(m_prompts->messages.size(), 1);
        const QString said = m_prompts->messages[0].text;
        QVERIFY2(
            said.contains(QStringLiteral("第 2 行")) && said.contains(QStringLiteral("deadband")),
            qPrintable(said));
        QFile::remove(sidecar);
    }

    // The set value raised above the high limit while the work records: the alarm is announced
    // once (desktop and sound), listed, and said in the status bar until "确认"; the log beside
    // the record file has every change.
    void alarmRaisedListedAndAcknowledged() {
        WorkView* view = open();
        AlarmSettings settings;
        ChannelAlarmSettings high;
        high.channel = 1;
        high.high = 50.0;
        high.deadband = 1.0;
        settings.channels.push_back(high);
        view->setAlarmSettings(settings);
        AlarmCenter& alarms = m_shell->app().alarms();
        alarms.setSoundOn(true);
        QVERIFY(Settings().alarmSound());

        m_bus->setValue(0, kSetValue, 40.0);
        view->action(QStringLiteral("startSamplingAction"))->trigger();
        const QString record = QString::fromStdString((m_dir / "run.alt").string());
        m_prompts->fileAnswers << record;
        view->action(QStringLiteral("startRecordingAction"))->trigger();
        QVERIFY(view->engine().recording());
        QVERIFY(waitFor([view] { return view->engine().rows().rows() >= 2; }));
        QVERIFY(alarms.rules().rows().empty());

        m_bus->setValue(0, kSetValue, 80.0);
        QVERIFY(waitFor([&alarms] { return alarms.rules().openCount() == 1; }));
        auto* line = m_shell->frame().findChild<QToolButton*>(QStringLiteral("alarmPane"));
        QVERIFY(line != nullptr && !line->isHidden());
        QCOMPARE(line->text(), QStringLiteral("报警未确认：炉温 高限 80.00"));
        QCOMPARE(m_notifier.summaries, QStringList{QStringLiteral("报警：炉温 高限 80.00")});
        QCOMPARE(alarms.soundsMade(), 1);

        m_shell->frame().actions().alarmList->trigger();
        auto* list = m_shell->frame().findChild<AlarmListView*>();
        QVERIFY(list != nullptr && list->isVisible());
        QCOMPARE(list->windowTitle(), QStringLiteral("报警"));
        QTableWidget* table = list->table();
        QCOMPARE(table->rowCount(), 1);
        QCOMPARE(cell(table, 0, 1), QStringLiteral("oven"));
        QCOMPARE(cell(table, 0, 2), QStringLiteral("炉温"));
        QCOMPARE(cell(table, 0, 3), QStringLiteral("高限"));
        QCOMPARE(cell(table, 0, 4), QStringLiteral("80.00"));
        QCOMPARE(cell(table, 0, 5), QStringLiteral("报警"));

        QTest::mouseClick(list->findChild<QPushButton*>(QStringLiteral("acknowledgeButton")),
                          Qt::LeftButton);
        QCOMPARE(cell(table, 0, 5), QStringLiteral("已确认"));
        QVERIFY(line->isHidden());

        // Back inside by more than the deadband: over, and announced no more.
        m_bus->setValue(0, kSetValue, 20.0);
        QVERIFY(waitFor([table] { return cell(table, 0, 5) == QStringLiteral("已结束"); }));
        QCOMPARE(m_notifier.summaries.size(), 1);
        // A limit changed while running is watched from then on.
        m_prompts->dialogHandlers << [](QDialog& dialog) {
            static_cast<AlarmSettingsDialog&>(dialog).table()->item(0, 1)->setText(
                QStringLiteral("10"));
            dialog.accept();
        };
        m_shell->frame().actions().alarmSettings->trigger();
        QVERIFY(waitFor([this] { return m_notifier.summaries.size() == 2; }));
        QCOMPARE(m_notifier.summaries.last(), QStringLiteral("报警：炉温 高限 20.00"));

        view->action(QStringLiteral("stopRecordingAction"))->trigger();
        view->action(QStringLiteral("stopSamplingAction"))->trigger();
        QFile log(record + QStringLiteral("-alarms.csv"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(log.readAll());
        QVERIFY2(text.contains(QStringLiteral(",炉温,high,active,80")) &&
                     text.contains(QStringLiteral(",炉温,high,acknowledged,80")) &&
                     text.contains(QStringLiteral(",炉温,high,cleared,20")),
                 qPrintable(text));
    }

    // The announcement as the desktop's notification service receives it over a session bus
    // of its own (the process keeps its first session bus, so this runs before the next).
    void notificationOverTheSessionBus() {
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty()) {
            QSKIP("no dbus-daemon");
        }
        QProcess daemon;
        daemon.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--session"), QStringLiteral("--nofork"),
                      QStringLiteral("--print-address")});
        QVERIFY(daemon.waitForReadyRead(5000));
        const QByteArray address = daemon.readLine().trimmed();
        const QByteArray before = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        NotificationService service;
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY(bus.isConnected());
        QVERIFY(bus.registerService(QStringLiteral("org.freedesktop.Notifications")));
        QVERIFY(bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service,
                                   QDBusConnection::ExportAllSlots));
        DesktopNotifier().notify(QStringLiteral("报警：炉温 高限 81.20"),
                                 QStringLiteral("oven 2026/12/08 07:15:02"));
        QVERIFY(waitFor([&service] { return !service.calls.isEmpty(); }, 5000));
        QCOMPARE(
            service.calls,
            QStringList{QStringLiteral(
                "Tervo|0|dialog-warning|报警：炉温 高限 81.20|oven 2026/12/08 07:15:02|0|-1")});
        QCOMPARE(service.hints.value(QStringLiteral("urgency")).toInt(), 2);
        bus.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
        bus.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
        qputenv("DBUS_SESSION_BUS_ADDRESS", before);
        daemon.kill();
        daemon.waitForFinished();
    }

    // Without a session bus the desktop notifier says nothing and returns.
    void notifierWithoutASessionBus() {
        const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        qputenv("XDG_RUNTIME_DIR", m_tmp.path().toUtf8());
        QVERIFY(!DesktopNotifier::sessionBusReachable());
        DesktopNotifier().notify(QStringLiteral("报警"), QStringLiteral("x"));
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
        QVERIFY(DesktopNotifier::sessionBusReachable());
        DesktopNotifier().notify(QStringLiteral("报警"), QStringLiteral("x"));
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        qputenv("XDG_RUNTIME_DIR", runtime);
    }

private:
    WorkView* open() {
        ChildWindow* child = m_shell->frame().openView(WindowKind::Work, m_template);
        return child != nullptr ? qobject_cast<WorkView*>(child->view()) : nullptr;
    }

    tervo::testing::IsolatedSettings m_settings;
    QTemporaryDir m_tmp;
    std::filesystem::path m_dir;
    std::unique_ptr<emu::PtyBus> m_bus;
    QString m_template;
    std::unique_ptr<tervo::testing::TestShell> m_shell;
    ScriptedPrompts* m_prompts = nullptr;
    RecordingNotifier m_notifier;
};

QTEST_MAIN(AlarmsTest)
#include "AlarmsTest.moc"
