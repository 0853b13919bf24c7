// Draws every window of the shell and the instrument tools against demo-mode controllers and
// saves each as a PNG: `tervo_screenshots DIR`. Run it under a real X server (xvfb-run) for
// the pictures in docs/screenshots.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <cmath>
#include <cstdio>

#include "core/text/Gbk.h"
#include "core/work/WorkFiles.h"
#include "gui/Views.h"
#include "gui/alarms/AlarmCenter.h"
#include "gui/alarms/AlarmListView.h"
#include "gui/alarms/AlarmSettingsDialog.h"
#include "gui/app/AboutDialog.h"
#include "gui/app/ChildWindow.h"
#include "gui/app/Language.h"
#include "gui/app/MainWindow.h"
#include "gui/app/PasswordDialog.h"
#include "gui/app/PortMapDialog.h"
#include "gui/app/StartTitleDialog.h"
#include "gui/app/StartWindow.h"
#include "gui/app/TervoApp.h"
#include "gui/curves/CurveDialogs.h"
#include "gui/curves/CurveUploadDialog.h"
#include "gui/curves/CurveView.h"
#include "gui/demo/DemoMode.h"
#include "gui/diagnostics/BusMonitorView.h"
#include "gui/history/HistoryView.h"
#include "gui/history/LoadingDialog.h"
#include "gui/sim/PanelView.h"
#include "gui/tools/AutoSearchDialog.h"
#include "gui/tools/LinkSettingsDialog.h"
#include "gui/tools/ParameterView.h"
#include "gui/tools/SerialTestView.h"
#include "gui/trend/TrendView.h"
#include "gui/widgets/ColorDialog.h"
#include "gui/widgets/DisplayDialog.h"
#include "gui/widgets/PickCombo.h"
#include "gui/work/ChannelDialog.h"
#include "gui/work/EventDialog.h"
#include "gui/work/SamplingDialog.h"
#include "gui/work/WorkChart.h"
#include "gui/work/WorkView.h"
#include "guisupport/GuiTest.h"
#include "guisupport/ScriptedPrompts.h"

using namespace tervo::gui;

namespace {

QString g_dir;

void settle(int ms = 200) {
    QTest::qWait(ms);
}

void save(QWidget& widget, const QString& name) {
    settle();
    const QPixmap shot = widget.grab();
    const QString path = QDir(g_dir).filePath(name + QStringLiteral(".png"));
    if (!shot.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    }
    std::printf("%s\n", qPrintable(path));
}

void save(QWidget& widget, const QString& name, const QRect& part) {
    settle(400);
    const QPixmap shot = widget.grab(part);
    const QString path = QDir(g_dir).filePath(name + QStringLiteral(".png"));
    if (!shot.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    }
    std::printf("%s\n", qPrintable(path));
}

void dialogShot(QDialog& dialog, const QString& name) {
    dialog.show();
    save(dialog, name);
    dialog.hide();
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    // tervo_screenshots DIR [--lang zh|en]: the windows in that interface language (Chinese
    // by default).
    const QStringList arguments = QCoreApplication::arguments();
    const qsizetype langAt = arguments.indexOf(QStringLiteral("--lang"));
    if (argc < 2 || (langAt >= 0 && (langAt + 1 >= arguments.size() ||
                                     !languageFromCode(arguments[langAt + 1])))) {
        std::fprintf(stderr, "usage: tervo_screenshots DIR [--lang zh|en]\n");
        return 2;
    }
    installLanguage(application,
                    langAt >= 0 ? *languageFromCode(arguments[langAt + 1]) : Language::Chinese);
    g_dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_dir);
    tervo::testing::IsolatedSettings settings;
    tervo::testing::ScriptedPrompts prompts;

    DemoMode demo;
    QString error;
    if (!demo.start(&error)) {
        std::fprintf(stderr, "demo: %s\n", qPrintable(error));
        return 1;
    }
    TervoApp app;
    registerViews(app);

    {
        StartWindow splash;
        splash.setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
        splash.show();
        save(splash, QStringLiteral("start-window"), QRect(0, 0, 1024, 768));
        QMouseEvent move(QEvent::MouseMove, QPointF(620, 620), QPointF(620, 620), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&splash, &move);
        save(splash, QStringLiteral("start-window-hover"), QRect(0, 0, 1024, 768));
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(200, 620), QPointF(200, 620),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&splash, &press);
        save(splash, QStringLiteral("start-window-pressed"), QRect(0, 0, 1024, 768));
    }

    MainWindow& frame = app.createMainWindow(DemoMode::statusNote());
    frame.setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
    frame.showMaximized();
    save(frame, QStringLiteral("main-window"), QRect(0, 0, 1024, 768));
    // Opened first, so it sees the exchanges of the views below.
    frame.actions().busMonitor->trigger();

    frame.actions().parameters->trigger();
    auto* setView = qobject_cast<ParameterView*>(frame.activeChild()->view());
    for (int i = 0; i < 12; ++i) {
        setView->onTimer();
        tervo::testing::waitFor([setView] { return !setView->tickUnderway(); });
    }
    setView->list()->setCurrentRow(3);
    setView->valueField()->setText(QStringLiteral("100"));
    save(frame, QStringLiteral("parameter-view"), QRect(0, 0, 840, 620));

    frame.actions().serialTest->trigger();
    auto* testView = qobject_cast<SerialTestView*>(frame.activeChild()->view());
    auto send = [testView] {
        testView->sendOnce();
        tervo::testing::waitFor([testView] { return testView->sendsUnderway() == 0; });
    };
    send();
    testView->hexCheck()->setChecked(true);
    send();
    testView->sendCombo()->setSelection(1);
    send();
    save(frame, QStringLiteral("serial-test-view"), QRect(0, 0, 1030, 740));
    if (auto* monitor = frame.findChild<BusMonitorView*>()) {
        QTest::qWait(400);  // it redraws at most every 250 ms
        save(*monitor, QStringLiteral("bus-monitor"));
        monitor->close();
    }

    // A three-segment curve downloaded to controllers 1 and 2 and run from the PC.
    prompts.dialogHandlers = {[](QDialog& dialog) {
        dynamic_cast<CurveOpenDialog&>(dialog).radio(CurveOpenDialog::NewCurve)->setChecked(true);
        dialog.accept();
    }};
    frame.actions().curves->trigger();
    auto* curveView = qobject_cast<CurveView*>(frame.activeChild()->view());
    const double segments[3][3] = {{20, 60, 2}, {10, 40, 3}, {30, 90, 2}};
    for (const auto& s : segments) {
        curveView->addSegment();
        curveView->selectNext();
        curveView->rateEdit()->setText(QString::number(s[0]));
        curveView->levelEdit()->setText(QString::number(s[1]));
        curveView->dwellEdit()->setText(QString::number(s[2]));
        curveView->modifySegment();
    }
    curveView->addressCombo()->setText(QStringLiteral("1,2"));
    curveView->download();
    tervo::testing::waitFor([curveView] { return curveView->rules().idle(); });
    prompts.dialogHandlers = {[](QDialog& dialog) {
        auto& start = dynamic_cast<StartPointDialog&>(dialog);
        start.radio(2)->setChecked(true);
        start.valueEdit()->setText(QStringLiteral("20"));
        start.accept();
    }};
    curveView->run();
    for (int i = 0; i < 150; ++i) {
        curveView->onTimer();
        tervo::testing::waitFor([curveView] { return curveView->rules().idle(); });
    }
    save(frame, QStringLiteral("curve-view"), QRect(0, 0, 1030, 740));
    curveView->stop();

    CurveOpenDialog curveOpen;
    dialogShot(curveOpen, QStringLiteral("curve-open"));
    StartPointDialog startPoint(0, 0.0);
    dialogShot(startPoint, QStringLiteral("start-point"));
    SegmentCountDialog segmentCount;
    dialogShot(segmentCount, QStringLiteral("segment-count"));
    CurveUploadDialog upload(3, LinkSettings{0, 5, 1}, app.links());
    upload.show();
    tervo::testing::waitFor([&upload] { return upload.result() == QDialog::Accepted; });
    upload.setResult(QDialog::Rejected);
    save(upload, QStringLiteral("curve-upload"));
    upload.hide();

    // The simulation view filled by an automatic search of COM1 at 9600.
    prompts.dialogHandlers = {[](QDialog& dialog) {
        auto& search = static_cast<AutoSearchDialog&>(dialog);
        dialog.show();
        search.startSearch();
        tervo::testing::waitFor([&search] { return !search.searching(); }, 60000);
        save(dialog, QStringLiteral("auto-search"));
        dialog.accept();
    }};
    frame.actions().newTemplate->trigger();
    auto* panelView = qobject_cast<PanelView*>(frame.activeChild()->view());
    panelView->searchAction()->trigger();
    tervo::testing::waitFor([panelView] { return panelView->rules().pollCounter() >= 7; }, 20000);
    QMouseEvent hover(QEvent::MouseMove, QPointF(230, 120), QPointF(230, 120), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(panelView, &hover);
    save(frame, QStringLiteral("panel-view"), QRect(0, 0, 1030, 740));

    LinkSettingsDialog comm(0, 5, 7);
    dialogShot(comm, QStringLiteral("comm-settings"));
    PasswordDialog password(PasswordDialog::Mode::Check, QString());
    dialogShot(password, QStringLiteral("password"));
    StartTitleDialog title;
    dialogShot(title, QStringLiteral("start-title"));
    AboutDialog about;
    dialogShot(about, QStringLiteral("about"));
    PortMapDialog portMap;
    dialogShot(portMap, QStringLiteral("port-map"));
    // 系统服务 → 网络发布 filled in for the demo: a broker on this machine and the metrics page
    // on its usual port (left with 取消, so the works below publish nothing).
    prompts.dialogHandlers = {[](QDialog& dialog) {
        dialog.findChild<QCheckBox*>(QStringLiteral("mqttCheck"))->setChecked(true);
        dialog.findChild<QLineEdit*>(QStringLiteral("mqttEdit"))
            ->setText(QStringLiteral("mqtt://tervo@127.0.0.1:1883"));
        dialog.findChild<QLineEdit*>(QStringLiteral("mqttPasswordEdit"))
            ->setText(QStringLiteral("password"));
        dialog.findChild<QCheckBox*>(QStringLiteral("metricsCheck"))->setChecked(true);
        dialog.show();
        // What the secret store answered.
        auto* note = dialog.findChild<QLabel*>(QStringLiteral("secretStoreNote"));
        QElapsedTimer waited;
        waited.start();
        while (note->text().startsWith(QStringLiteral("正在")) && waited.elapsed() < 6000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        }
        save(dialog, QStringLiteral("publish-dialog"));
        dialog.hide();
    }};
    frame.actions().publish->trigger();

    // A work on the demo controllers at COM1 addresses 0..2, with one event.
    tervo::WorkDefinition work;
    work.timing.samplingPeriod = 1;
    work.timing.displayPeriod = 30;
    const char* names[] = {"炉温一", "炉温二", "炉温三"};
    for (uint8_t a = 0; a < 3; ++a) {
        tervo::ChannelInfo c;
        c.setNameGbk(tervo::utf8ToGbk(names[a]));
        c.address = a;
        work.channels.push_back(c);
    }
    tervo::EventInfo event;
    event.setNameGbk(tervo::utf8ToGbk("超温"));
    event.data2Constant = 20.0;
    work.events.push_back(event);
    const QString workPath = QDir(g_dir).filePath(QStringLiteral("demo-work.awt"));
    tervo::saveWorkTemplate(workPath.toStdString(), work);
    ChildWindow* workChild = frame.openView(WindowKind::Work, workPath);
    QFile::remove(workPath);
    auto* workView = qobject_cast<WorkView*>(workChild->view());
    // Alarms: the first two ovens above their high limits once warm, the third watched.
    tervo::AlarmSettings alarmSettings;
    {
        tervo::ChannelAlarmSettings first;
        first.channel = 1;
        first.high = 35.0;
        first.deadband = 0.5;
        tervo::ChannelAlarmSettings second;
        second.channel = 2;
        second.high = 55.0;
        second.deadband = 1.0;
        second.delaySeconds = 5;
        second.commLoss = 3;
        tervo::ChannelAlarmSettings third;
        third.channel = 3;
        third.high = 90.0;
        third.low = 30.0;
        third.deadband = 1.0;
        alarmSettings.channels = {first, second, third};
    }
    workView->setAlarmSettings(alarmSettings);
    workView->startSampling();
    prompts.fileAnswers << QDir(g_dir).filePath(QStringLiteral("demo-run.alt"));
    workView->startRecording();
    tervo::testing::waitFor([workView] { return workView->engine().rows().rows() >= 40; }, 120000);
    const QRect workArea(0, 0, 1030, 700);
    save(frame, QStringLiteral("work-curves"), workArea);
    workView->setMode(tervo::DisplayMode::Ring);
    save(frame, QStringLiteral("work-ring"), workArea);
    workView->setMode(tervo::DisplayMode::Period);
    save(frame, QStringLiteral("work-period"), workArea);
    workView->setMode(tervo::DisplayMode::List);
    save(frame, QStringLiteral("work-list"), workArea);
    workView->setMode(tervo::DisplayMode::Events);
    save(frame, QStringLiteral("work-events"), workArea);
    {
        // The alarm list with the first alarm acknowledged, and the status bar's line.
        AlarmCenter& alarms = app.alarms();
        tervo::testing::waitFor([&alarms] { return alarms.rules().openCount() >= 2; }, 60000);
        alarms.acknowledge({alarms.rules().rows().size() - 1});
        frame.openAlarmList();
        if (auto* list = frame.findChild<AlarmListView*>()) {
            save(*list, QStringLiteral("alarms"));
            list->close();
        }
        const QRect bottom = frame.rect().adjusted(0, frame.height() - 60, 0, 0);
        save(frame, QStringLiteral("alarm-status"), bottom);
        AlarmSettingsDialog settingsDialog(
            {QString::fromUtf8(names[0]), QString::fromUtf8(names[1]), QString::fromUtf8(names[2])},
            alarmSettings);
        dialogShot(settingsDialog, QStringLiteral("alarm-settings"));
    }
    {
        // The printed page at 100 dots per inch (A4).
        workView->setMode(tervo::DisplayMode::Curves);
        QImage page(827, 1169, QImage::Format_RGB32);
        page.fill(Qt::white);
        QPainter painter(&page);
        paintWorkReport(painter, workView->chartInput(), 100);
        painter.end();
        page.save(QDir(g_dir).filePath(QStringLiteral("work-report.png")));
    }
    prompts.answers << PromptAnswer::Ok;
    workView->stopRecording();
    workView->stopSampling();
    QFile::remove(QDir(g_dir).filePath(QStringLiteral("demo-run.alt")));
    QFile::remove(QDir(g_dir).filePath(QStringLiteral("demo-run.alt-alarms.csv")));

    // A week of a three-channel recording, a firing cycle a day every 5 s, opened for analysis.
    {
        tervo::Recording week;
        week.definition = work;
        week.definition.channels.resize(3);
        const char* weekNames[] = {"炉温1", "炉温2", "环境"};
        for (size_t c = 0; c < 3; ++c) {
            week.definition.channels[c].setNameGbk(tervo::utf8ToGbk(weekNames[c]));
        }
        week.definition.timing.samplingPeriod = 5;
        week.definition.timing.displayPeriod = 17280;  // a day of rows per turn
        week.definition.valueMin = 0;
        week.definition.valueMax = 200;
        const size_t rows = 7 * 17280;
        for (size_t r = 0; r < rows; ++r) {
            week.times.push_back(static_cast<int32_t>(1'700'000'000 + 5 * r));
            const double t = static_cast<double>(r % 17280) / 17280.0;  // share of the day
            const double heat = t < 0.15   ? t / 0.15
                                : t < 0.55 ? 1.0
                                           : std::max(0.0, 1.0 - (t - 0.55) / 0.3);
            const double wobble = std::sin(static_cast<double>(r) / 37.0);
            week.values.push_back(25.0 + 150.0 * heat + 1.5 * wobble);
            week.values.push_back(25.0 + 135.0 * heat * heat + 2.0 * wobble);
            week.values.push_back(22.0 + 4.0 * std::sin(6.2832 * t) + 0.3 * wobble);
        }
        if (!week.definition.events.empty()) {
            for (int day = 0; day < 7; ++day) {
                week.occurrences.push_back({1'700'000'000 + day * 86400 + 2600, 0});
            }
        }
        const QString weekPath = QDir(g_dir).filePath(QStringLiteral("demo-week.alt"));
        // The week written and opened as a history, its wait dialog run to its end as its
        // timer would; nullptr when either fails.
        const auto openWeek = [&]() -> ChildWindow* {
            if (tervo::writeRecording(weekPath.toStdString(), week) != tervo::FileStatus::Ok) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(weekPath));
                return nullptr;
            }
            prompts.dialogHandlers = {[](QDialog& dialog) {
                auto& wait = dynamic_cast<LoadingDialog&>(dialog);
                while (wait.result() == 0) {
                    wait.onTick();
                }
            }};
            return frame.openView(WindowKind::History, weekPath);
        };
        ChildWindow* historyChild = openWeek();
        if (historyChild == nullptr) {
            std::fprintf(stderr, "the week did not open\n");
            return 1;
        }
        auto* historyView = qobject_cast<HistoryView*>(historyChild->view());
        historyChild->showMaximized();
        const QRect historyArea(0, 0, 1030, 740);
        const struct {
            tervo::HistoryMode mode;
            const char* name;
        } historyModes[] = {{tervo::HistoryMode::Curve, "history-curve"},
                            {tervo::HistoryMode::PeriodChart, "history-period-chart"},
                            {tervo::HistoryMode::PeriodCurve, "history-period-curve"},
                            {tervo::HistoryMode::Table, "history-table"},
                            {tervo::HistoryMode::ChannelInfo, "history-channels"}};
        for (const auto& m : historyModes) {
            historyView->setMode(m.mode);
            save(frame, QString::fromUtf8(m.name), historyArea);
        }
        historyChild->close();
        QFile::remove(weekPath);

        // The trend of the week with the room sensor silent for three hours on the fifth
        // day, maximised, two days shown, two cursors.
        for (size_t r = 4 * 17280 + 6000; r < 4 * 17280 + 6000 + 2160; ++r) {
            week.values[r * 3 + 2] = tervo::kNoValue;
        }
        ChildWindow* source = openWeek();
        if (source == nullptr) {
            return 1;
        }
        frame.actions().trend->trigger();
        auto* trend = qobject_cast<TrendWindow*>(frame.mdiArea()->activeSubWindow());
        if (trend == nullptr) {
            std::fprintf(stderr, "the trend did not open\n");
            return 1;
        }
        trend->showMaximized();
        const double day = 86400.0;
        const double start = 1'700'000'000 + 3.6 * day;
        trend->view()->viewport().setTimeRange(start, start + 2 * day);
        trend->view()->viewport().setCursor(0, start + 0.42 * day);
        trend->view()->viewport().setCursor(1, start + 0.98 * day);
        QApplication::processEvents();
        save(frame, QStringLiteral("trend"));
        trend->close();
        source->close();
        QFile::remove(weekPath);
    }

    ChannelDialog channels(work);
    dialogShot(channels, QStringLiteral("channel-dialog"));
    EventDialog events(work);
    dialogShot(events, QStringLiteral("event-dialog"));
    SamplingDialog sampling(work.timing);
    dialogShot(sampling, QStringLiteral("sampling-dialog"));
    tervo::DisplaySettings display;
    display.channelCount = 3;
    for (size_t i = 0; i < 3; ++i) {
        display.names[i] = names[i];
        display.colours[i] = work.styles[i].colour;
        display.visible[i] = true;
    }
    display.backgroundColour = work.backgroundColour;
    display.valueAxisColour = work.valueAxisColour;
    display.valueRulerColour = work.valueRulerColour;
    display.timeAxisColour = work.timeAxisColour;
    display.timeRulerColour = work.timeRulerColour;
    display.period = 360;
    display.periodMode = true;
    DisplayDialog displayDialog(display);
    dialogShot(displayDialog, QStringLiteral("display-dialog"));
    ColorDialog colour(0x3F7F00);
    dialogShot(colour, QStringLiteral("color-dialog"));

    app.setClosingAll(true);
    frame.mdiArea()->closeAllSubWindows();
    return 0;
}
