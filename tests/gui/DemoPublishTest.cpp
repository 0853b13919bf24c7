// The operator's walk through plant-wide publishing in demo mode: "系统服务 → 网络发布" turned
// on, a work run on the emulated controllers, its values read back from a real mosquitto broker
// (mosquitto_sub) and from the metrics page, "offline" when it stops.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "core/text/Gbk.h"
#include "core/work/WorkFiles.h"
#include "gui/Views.h"
#include "gui/app/ChildWindow.h"
#include "gui/app/MainWindow.h"
#include "gui/app/PublishDialog.h"
#include "gui/app/Settings.h"
#include "gui/app/TervoApp.h"
#include "gui/demo/DemoMode.h"
#include "gui/work/WorkView.h"
#include "guisupport/GuiTest.h"
#include "guisupport/ScriptedPrompts.h"
#include "net/MqttPublisher.h"
#include "net/RecordServices.h"
#include "support/FreePort.h"
#include "support/Loopback.h"

using namespace tervo;
using namespace tervo::gui;
using tervo::testing::freePort;
using tervo::testing::listening;
using tervo::testing::ScriptedPrompts;
using tervo::testing::waitFor;

namespace {

// The body of GET /metrics from 127.0.0.1:port; empty when nothing listens.
QString metricsBody(int port) {
    const std::string answer = tervo::testing::httpGet(port, "/metrics");
    const size_t body = answer.find("\r\n\r\n");
    return body == std::string::npos ? QString() : QString::fromStdString(answer.substr(body + 4));
}

const char* const kNames[] = {"炉温1", "炉温2", "炉温3"};

}  // namespace

class DemoPublishTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { tervo::testing::clearPortEnvironment(); }

    void valuesReachTheBrokerAndTheMetricsPage() {
        if (!QFile::exists(QStringLiteral("/usr/sbin/mosquitto")) ||
            !QFile::exists(QStringLiteral("/usr/bin/mosquitto_sub"))) {
            QSKIP(
                "mosquitto and mosquitto_sub are not installed (scripts/bootstrap installs "
                "them): the demo walk-through needs a broker");
        }
        tervo::testing::IsolatedSettings settings;
        ScriptedPrompts prompts;
        QTemporaryDir dir;
        const int brokerPort = freePort();
        int metricsPort = freePort();
        while (metricsPort == brokerPort) {
            metricsPort = freePort();
        }
        QFile conf(dir.filePath(QStringLiteral("broker.conf")));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\n")
                       .arg(brokerPort)
                       .toUtf8());
        conf.close();
        QProcess broker;
        broker.start(QStringLiteral("/usr/sbin/mosquitto"),
                     {QStringLiteral("-c"), conf.fileName()});
        QVERIFY(waitFor([&] { return listening(brokerPort); }, 10000));
        QProcess sub;
        sub.start(QStringLiteral("/usr/bin/mosquitto_sub"),
                  {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                   QString::number(brokerPort), QStringLiteral("-t"), QStringLiteral("tervo/#"),
                   QStringLiteral("-v")});
        QVERIFY(sub.waitForStarted());
        QString heard;
        auto hear = [&] {
            heard += QString::fromUtf8(sub.readAllStandardOutput());
            return heard;
        };
        QVERIFY(waitFor(
            [&] {
                QProcess::execute(
                    QStringLiteral("/usr/bin/mosquitto_pub"),
                    {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                     QString::number(brokerPort), QStringLiteral("-t"),
                     QStringLiteral("tervo/probe"), QStringLiteral("-m"), QStringLiteral("probe")});
                return hear().contains(QStringLiteral("tervo/probe probe"));
            },
            10000));

        DemoMode demo;
        QString error;
        QVERIFY2(demo.start(&error), qPrintable(error));
        {
            TervoApp app;
            registerViews(app);
            MainWindow& frame = app.createMainWindow(DemoMode::statusNote());
            frame.resize(1024, 768);
            frame.show();

            // 系统服务 → 网络发布: both turned on, as an operator types them.
            const QString url = QStringLiteral("mqtt://127.0.0.1:%1").arg(brokerPort);
            const QString address = QStringLiteral("127.0.0.1:%1").arg(metricsPort);
            prompts.dialogHandlers = {[&](QDialog& dialog) {
                QCOMPARE(dialog.windowTitle(), QStringLiteral("网络发布"));
                dialog.findChild<QCheckBox*>(QStringLiteral("mqttCheck"))->click();
                auto* urlEdit = dialog.findChild<QLineEdit*>(QStringLiteral("mqttEdit"));
                QTest::keyClicks(urlEdit, url);
                dialog.findChild<QCheckBox*>(QStringLiteral("metricsCheck"))->click();
                auto* addressEdit = dialog.findChild<QLineEdit*>(QStringLiteral("metricsEdit"));
                addressEdit->selectAll();
                QTest::keyClicks(addressEdit, address);
                dialog.findChild<QPushButton*>(QStringLiteral("okButton"))->click();
            }};
            frame.actions().publish->trigger();
            QCOMPARE(prompts.dialogsRun, QStringList{QStringLiteral("publishDialog")});
            QVERIFY(prompts.messages.isEmpty());
            const PublishChoice kept = Settings().publishChoice();
            QVERIFY(kept.mqttOn && kept.metricsOn);
            QCOMPARE(kept.mqttUrl, url);
            QCOMPARE(kept.metricsAddress, address);

            // A work on the demo controllers at COM1 addresses 0..2, run.
            WorkDefinition work;
            work.timing.samplingPeriod = 1;
            for (uint8_t a = 0; a < 3; ++a) {
                ChannelInfo c;
                c.setNameGbk(utf8ToGbk(kNames[a]));
                c.address = a;
                work.channels.push_back(c);
            }
            const QString path = dir.filePath(QStringLiteral("demo.awt"));
            QCOMPARE(int(saveWorkTemplate(path.toStdString(), work)), int(FileStatus::Ok));
            ChildWindow* child = frame.openView(WindowKind::Work, path);
            auto* view = qobject_cast<WorkView*>(child->view());
            QVERIFY(view != nullptr);
            view->action(QStringLiteral("startSamplingAction"))->trigger();
            QVERIFY(waitFor([view] { return view->engine().rows().rows() >= 3; }, 30000));

            // Every channel's values arrive on the broker as numbers (the demo controllers
            // answer), and the metrics page shows the same work.
            const QString base = QStringLiteral("tervo/%1/demo/")
                                     .arg(QString::fromStdString(topicLevel(net::hostName())));
            for (const char* name : kNames) {
                const QRegularExpression value(QRegularExpression::escape(base + name) +
                                               QStringLiteral(" \\{\"time\":\"[^\"]+\",\"channel\":"
                                                              "\\d,\"name\":\"[^\"]+\",\"value\":"
                                                              "-?\\d+(\\.\\d+)?\\}"));
                QVERIFY2(waitFor([&] { return hear().count(value) >= 2; }, 10000),
                         qPrintable(heard));
            }
            QVERIFY(heard.contains(QStringLiteral("tervo/%1/status online")
                                       .arg(QString::fromStdString(topicLevel(net::hostName())))));
            QString page;
            QVERIFY(waitFor(
                [&] {
                    page = metricsBody(metricsPort);
                    return page.contains(QStringLiteral("\ntervo_mqtt_connected 1\n"));
                },
                10000));
            for (int i = 0; i < 3; ++i) {
                const QRegularExpression value(
                    QStringLiteral("\ntervo_channel_value\\{work=\"demo\",channel=\"%1\","
                                   "index=\"%2\"\\} -?\\d+(\\.\\d+)?\n")
                        .arg(QString::fromUtf8(kNames[i]))
                        .arg(i));
                QVERIFY2(page.contains(value), qPrintable(page));
            }
            QVERIFY2(page.contains(QRegularExpression(
                         QStringLiteral("\ntervo_mqtt_messages_sent_total [1-9]\\d*\n"))),
                     qPrintable(page));

            view->action(QStringLiteral("stopSamplingAction"))->trigger();
            QVERIFY(metricsBody(metricsPort).isEmpty());
        }
        net::finishStoppedPublishers();
        QVERIFY2(waitFor(
                     [&] {
                         return hear().endsWith(
                             QStringLiteral("tervo/%1/status offline\n")
                                 .arg(QString::fromStdString(topicLevel(net::hostName()))));
                     },
                     10000),
                 qPrintable(heard.right(400)));
        sub.terminate();
        sub.waitForFinished();
        broker.terminate();
        broker.waitForFinished();
    }
};

QTEST_MAIN(DemoPublishTest)
#include "DemoPublishTest.moc"
