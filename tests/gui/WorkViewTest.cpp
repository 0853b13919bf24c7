#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <filesystem>
#include <memory>

#include "core/link/PortMap.h"
#include "core/text/Gbk.h"
#include "core/work/RecordWriter.h"
#include "core/work/WorkFiles.h"
#include "emu/PtyBus.h"
#include "gui/Views.h"
#include "gui/app/ChildWindow.h"
#include "gui/app/MainWindow.h"
#include "gui/app/Settings.h"
#include "gui/app/TervoApp.h"
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
#include "guisupport/SilentBroker.h"
#include "guisupport/TestShell.h"
#include "net/MqttPublisher.h"
#include "support/FreePort.h"
#include "support/InstantBus.h"
#include "support/Loopback.h"

using namespace tervo;
using namespace tervo::gui;
using tervo::testing::namedChannel;
using tervo::testing::ScriptedPrompts;
using tervo::testing::waitFor;

namespace {

using tervo::testing::freePort;

// What a window may take for something that should be at once; the sanitized build runs
// several times slower.
#if defined(__SANITIZE_ADDRESS__)
constexpr qint64 kPromptMs = 1000;
#else
constexpr qint64 kPromptMs = 200;
#endif

constexpr int64_t k20040304_153000 = 1078414200;  // UTC

class UtcClock : public tervo::testing::FakeClock {
public:
    std::tm localTime(int64_t seconds) override {
        const time_t t = static_cast<time_t>(seconds);
        std::tm out{};
        gmtime_r(&t, &out);
        return out;
    }
};

// The answer of 127.0.0.1:port to GET /metrics, empty when nothing listens.
QString metricsPage(int port) {
    return QString::fromStdString(tervo::testing::httpGet(port, "/metrics"));
}

// A chart of `rows` rows of one value per channel, with every grid, cursor and the legend off
// unless asked, so only the curves mark the picture.
struct Chart {
    WorkDefinition work;
    std::vector<int32_t> times;
    std::vector<double> values;
    std::vector<EventOccurrence> occurrences;
    UtcClock clock;
    WorkChartInput input;

    Chart(size_t channels, size_t rows, double value) {
        for (size_t i = 0; i < channels; ++i) {
            work.channels.push_back(namedChannel("c", static_cast<uint8_t>(i)));
        }
        for (size_t r = 0; r < rows; ++r) {
            times.push_back(static_cast<int32_t>(k20040304_153000 + r));
            for (size_t i = 0; i < channels; ++i) {
                values.push_back(value);
            }
        }
        input.options = DisplayOptions{false, false, false, false, false, false, false, true, true};
        input.visible.fill(true);
        input.clock = &clock;
        input.now = k20040304_153000;
    }
    QImage render() {
        input.work = &work;
        input.times = times.data();
        input.values = values.data();
        input.rows = times.size();
        input.channels = work.channels.size();
        input.occurrences = occurrences.data();
        input.occurrenceCount = occurrences.size();
        return renderWorkChart(input);
    }
};

QRgb rgbOf(uint32_t colourRef) {
    return colourOf(colourRef).rgb();
}

// Pixels in the rectangle that differ from `background`.
int marks(const QImage& image, const QRect& rect, QRgb background) {
    int count = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            count += image.pixel(x, y) != background ? 1 : 0;
        }
    }
    return count;
}

}  // namespace

class WorkViewTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        tervo::testing::clearPortEnvironment();
        m_dir = std::filesystem::path(m_tmp.path().toStdString());
        emu::BusOptions options;
        options.linkPath = (m_dir / "com1").string();
        options.addresses = {0, 1, 2};
        m_bus = std::make_unique<emu::PtyBus>(options);
        std::string error;
        QVERIFY2(m_bus->start(&error), error.c_str());
        setPortPath(0, options.linkPath);
    }

    void init() {
        m_shell = std::make_unique<tervo::testing::TestShell>();
        m_prompts = &m_shell->prompts();
        m_app = &m_shell->app();
        m_frame = &m_shell->frame();
    }

    void cleanup() {
        WorkView::setClock(nullptr);
        m_shell.reset();
    }

    void curvesFollowZoomAndValueRange() {
        Chart chart(1, 200, 50.0);
        const QRgb ink = rgbOf(chart.work.styles[0].colour);
        const QRgb paper = rgbOf(chart.work.backgroundColour);
        QImage image = chart.render();
        QCOMPARE(image.size(), QSize(951, 521));
        // Height 260 at y = 520 - 260; the newest row twice at the left edge, the curve to 199.
        QCOMPARE(image.pixel(0, 260), ink);
        QCOMPARE(image.pixel(199, 260), ink);
        QCOMPARE(image.pixel(200, 260), paper);
        QCOMPARE(image.pixel(100, 259), paper);
        chart.input.zoom = 2;
        image = chart.render();
        QCOMPARE(image.pixel(100, 260), ink);
        QCOMPARE(image.pixel(101, 260), paper);
        // Scrolled past every row: no curve.
        chart.input.zoom = 1;
        chart.input.scroll = 200;
        QCOMPARE(marks(chart.render(), QRect(0, 0, 951, 521), paper), 0);
        // Above the maximum at the top edge, below the minimum at the bottom.
        chart.input.scroll = 0;
        std::fill(chart.values.begin(), chart.values.end(), 250.0);
        QCOMPARE(chart.render().pixel(50, 0), ink);
        std::fill(chart.values.begin(), chart.values.end(), -3.0);
        QCOMPARE(chart.render().pixel(50, 520), ink);
        // An axis without span draws at the bottom, never divides by zero.
        chart.work.valueMin = chart.work.valueMax = 40.0;
        std::fill(chart.values.begin(), chart.values.end(), 40.0);
        QCOMPARE(chart.render().pixel(50, 520), ink);
        // A failed reading repeats the previous height: failed first rows stand at 0. The
        // coefficients do not scale it (nor the values) into a fall to the bottom.
        chart.work.valueMin = 0.0;
        chart.work.valueMax = 100.0;
        chart.work.channels[0].displayCoefficient = 2.0;
        chart.work.channels[0].offsetCoefficient = -30.0;
        std::fill(chart.values.begin(), chart.values.end(), 50.0);
        chart.values[199] = kNoValue;
        chart.values[198] = kNoValue;
        chart.values[100] = kNoValue;  // at x = 100
        image = chart.render();
        QCOMPARE(image.pixel(0, 520), ink);
        QCOMPARE(image.pixel(1, 520), ink);
        QCOMPARE(image.pixel(3, 260), ink);
        QCOMPARE(image.pixel(100, 260), ink);
        QCOMPARE(marks(image, QRect(90, 261, 20, 260), paper), 0);
        // Width 2 pens are two pixels wide; a width above 2 draws one.
        chart.work.styles[0].penWidth = 2;
        std::fill(chart.values.begin(), chart.values.end(), 50.0);
        image = chart.render();
        QCOMPARE(marks(image, QRect(50, 250, 1, 20), paper), 2);
        chart.work.styles[0].penWidth = 7;
        QCOMPARE(marks(chart.render(), QRect(50, 250, 1, 20), paper), 1);
    }

    void gridsCursorsAndLegend() {
        Chart chart(2, 10, 50.0);
        chart.values[19] = kNoValue;  // channel 1's newest value failed
        const QRgb paper = rgbOf(chart.work.backgroundColour);
        chart.input.options = DisplayOptions{};
        chart.input.visible[1] = false;
        QImage image = chart.render();
        // Vertical grid lines at 0, 190, ... in the time-axis colour, horizontal ones at 104k.
        QCOMPARE(image.pixel(190, 300), rgbOf(chart.work.timeAxisColour));
        QCOMPARE(image.pixel(600, 416), rgbOf(chart.work.valueAxisColour));
        // The cursors at the sliders' positions.
        QCOMPARE(image.pixel(300, 100), rgbOf(chart.work.timeRulerColour));
        QCOMPARE(image.pixel(500, 260), rgbOf(chart.work.valueRulerColour));
        // Legend: colour boxes, check boxes and "Err" only for the failed channel.
        chart.input.options =
            DisplayOptions{false, false, false, false, false, false, true, true, true};
        image = chart.render();
        QCOMPARE(image.pixel(825, 30), rgbOf(chart.work.styles[0].colour));
        QCOMPARE(image.pixel(825, 60), rgbOf(chart.work.styles[1].colour));
        QVERIFY(marks(image, QRect(787, 28, 12, 12), paper) > 0);
        QVERIFY(marks(image, QRect(760, 25, 26, 14), paper) == 0);
        QVERIFY(marks(image, QRect(760, 55, 26, 14), paper) > 0);
        // The hidden channel's box differs from the shown one's.
        QVERIFY(image.copy(787, 28, 12, 12) != image.copy(787, 58, 12, 12));
        // Printing leaves the legend out.
        chart.input.printing = true;
        QCOMPARE(chart.render().pixel(825, 30), paper);

        // Each channel's legend entry, then its curve: channel 0 (y = 55) under entry 1's
        // colour box (y 50..69), channel 1 (y = 30) over entry 0's (y 20..39).
        Chart order(2, 951, 89.5);
        for (size_t r = 0; r < 951; ++r) {
            order.values[r * 2 + 1] = 94.3;
        }
        order.work.styles[0].colour = 0x0000FF;
        order.work.styles[1].colour = 0x00FF00;
        order.work.timing.displayPeriod = 950;
        order.input.options.legend = true;
        for (const DisplayMode mode : {DisplayMode::Curves, DisplayMode::Period}) {
            order.input.mode = mode;
            image = order.render();
            QCOMPARE(image.pixel(700, 55), rgbOf(0x0000FF));
            QCOMPARE(image.pixel(820, 55), rgbOf(0x00FF00));
            QCOMPARE(image.pixel(820, 30), rgbOf(0x00FF00));
            QCOMPARE(image.pixel(820, 25), rgbOf(0x0000FF));
        }
    }

    void ringPeriodListAndEvents() {
        Chart chart(1, 400, 100.0);
        const QRgb ink = rgbOf(chart.work.styles[0].colour);
        const QRgb paper = rgbOf(chart.work.backgroundColour);
        chart.input.mode = DisplayMode::Ring;
        QImage image = chart.render();
        QCOMPARE(image.pixel(735, 260), ink);  // the newest row at angle 0, radius 260
        QCOMPARE(image.pixel(475, 520), ink);  // a quarter turn on, clockwise
        // A display period of 0 draws the newest point alone.
        chart.work.timing.displayPeriod = 0;
        image = chart.render();
        QCOMPARE(image.pixel(735, 260), ink);
        QCOMPARE(image.pixel(475, 520), paper);

        // The period chart: the current period, then the one before in the complement.
        chart.work.timing.displayPeriod = 100;
        chart.input.mode = DisplayMode::Period;
        for (size_t r = 0; r < 400; ++r) {
            chart.values[r] = r >= 299 ? 50.0 : 25.0;
        }
        image = chart.render();
        QCOMPARE(image.pixel(50, 260), ink);
        QCOMPARE(image.pixel(50, 390), rgbOf(0xFFFFFF - chart.work.styles[0].colour));
        QCOMPARE(image.pixel(150, 390), paper);

        // The list: the newest 24 rows, "ERR_VAL" for a failed value.
        Chart list(1, 30, 12.5);
        list.input.mode = DisplayMode::List;
        const QRgb listPaper = rgbOf(list.work.backgroundColour);
        image = list.render();
        QVERIFY(marks(image, QRect(30, 30 + 20 * 23, 150, 14), listPaper) > 0);
        QCOMPARE(marks(image, QRect(0, 30 + 20 * 24, 951, 11), listPaper), 0);
        const int normal = marks(image, QRect(230, 30, 70, 14), listPaper);
        list.values[29] = kNoValue;
        image = list.render();
        QVERIFY(marks(image, QRect(230, 30, 70, 14), listPaper) != normal);

        // Real-time events: at most the 16 newest occurrences.
        Chart events(1, 1, 1.0);
        EventInfo e;
        e.setNameGbk("alarm");
        events.work.events.push_back(e);
        for (int i = 0; i < 20; ++i) {
            events.occurrences.push_back({static_cast<int32_t>(k20040304_153000 + i), 0});
        }
        events.input.mode = DisplayMode::Events;
        image = events.render();
        const QRgb eventsPaper = rgbOf(events.work.backgroundColour);
        QVERIFY(marks(image, QRect(600, 30 + 30 * 15, 300, 25), eventsPaper) > 0);
        QCOMPARE(marks(image, QRect(600, 30 + 30 * 16, 351, 11), eventsPaper), 0);
    }

    void oneReportPage() {
        Chart chart(2, 50, 50.0);
        chart.input.options =
            DisplayOptions{false, false, false, false, false, false, true, true, true};
        chart.input.work = &chart.work;
        chart.render();  // fills the input
        // At 60 dots per inch the report's 1/600-inch units shrink tenfold.
        QImage page(500, 700, QImage::Format_RGB32);
        page.fill(Qt::white);
        {
            QPainter painter(&page);
            paintWorkReport(painter, chart.input, 60);
        }
        // The title near (198, 20), the chart stretched to (12, 60) + 450 x 246.
        QVERIFY(marks(page, QRect(198, 20, 80, 20), qRgb(255, 255, 255)) > 0);
        QCOMPARE(page.pixel(14, 62), rgbOf(chart.work.backgroundColour));
        QCOMPARE(page.pixel(460, 304), rgbOf(chart.work.backgroundColour));
        // No legend on paper: where the first colour box (800, 20)-(850, 40) would be, the
        // background; on screen it is there.
        QCOMPARE(chart.render().pixel(825, 30), rgbOf(chart.work.styles[0].colour));
        QCOMPARE(page.pixel(400, 74), rgbOf(chart.work.backgroundColour));
        // A colour box and the name of each channel below the chart.
        QCOMPARE(page.pixel(18, 328), rgbOf(chart.work.styles[0].colour));
        QCOMPARE(page.pixel(18, 336), rgbOf(chart.work.styles[1].colour));
        QCOMPARE(page.pixel(18, 345), qRgb(255, 255, 255));
    }

    void printAndPreview() {
        WorkView* view = open(QString());
        QVERIFY(view->isCommandEnabled(ViewCommand::Print));
        QVERIFY(view->isCommandEnabled(ViewCommand::PrintPreview));
        QVERIFY(view->isCommandEnabled(ViewCommand::SaveTemplate));
        view->onViewCommand(ViewCommand::PrintPreview);
        QCOMPARE(m_prompts->dialogsRun.last(), QStringLiteral("printPreviewDialog"));
        QPrinter pdf(QPrinter::HighResolution);
        pdf.setOutputFormat(QPrinter::PdfFormat);
        const QString file = QString::fromStdString((m_dir / "report.pdf").string());
        pdf.setOutputFileName(file);
        view->printReport(pdf);
        QVERIFY(QFileInfo(file).size() > 1000);
    }

    void mouseOnTheLegendAndTheChart() {
        WorkDefinition work;
        work.channels.push_back(namedChannel("a", 0));
        work.channels.push_back(namedChannel("b", 1));
        const QString path = QString::fromStdString((m_dir / "mouse.awt").string());
        saveWorkTemplate(path.toStdString(), work);
        WorkView* view = open(path);
        // A release on channel 1's box hides it; again shows it.
        QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(820, 39 + 30 + 10));
        QVERIFY(!view->rules().visible(1));
        QVERIFY(view->rules().visible(0));
        QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(820, 39 + 30 + 10));
        QVERIFY(view->rules().visible(1));
        // A double-click on the colour box edits that channel's colour.
        m_prompts->dialogHandlers << [](QDialog& dialog) {
            auto& colours = static_cast<ColorDialog&>(dialog);
            QCOMPARE(colours.colour(), 0x00FF00u);  // channel 1's default green
            colours.bar(0)->triggerAction(QAbstractSlider::SliderPageStepAdd);
            colours.accept();
        };
        QTest::mouseDClick(view, Qt::LeftButton, {}, QPoint(850, 39 + 30 + 5));
        QCOMPARE(m_prompts->dialogsRun.last(), QStringLiteral("colorDialog"));
        QCOMPARE(view->work().styles[1].colour, 0x00FF0Au);
        QCOMPARE(view->chart().pixel(825, 55), colourOf(0x00FF0A).rgb());
        // Elsewhere in the chart: the display settings, without the expand period in mode 0.
        m_prompts->dialogHandlers << [](QDialog& dialog) {
            auto& display = static_cast<DisplayDialog&>(dialog);
            QVERIFY(display.periodEdit()->isHidden());
            QCOMPARE(display.settings().channelCount, 2);
            QCOMPARE(display.settings().names[0], std::string("a"));
            QVERIFY(!display.settings().coordinatesOffered);
        };
        QTest::mouseDClick(view, Qt::LeftButton, {}, QPoint(400, 300));
        QCOMPARE(m_prompts->dialogsRun.last(), QStringLiteral("displayDialog"));
        // In the ring chart the period is offered; a period of 0 and an empty range are taken.
        view->setMode(DisplayMode::Ring);
        m_prompts->dialogHandlers << [](QDialog& dialog) {
            auto& display = static_cast<DisplayDialog&>(dialog);
            QVERIFY(!display.periodEdit()->isHidden());
            display.periodEdit()->setText(QStringLiteral("0"));
            display.minimumEdit()->setText(QStringLiteral("100"));
            display.accept();
        };
        view->action(QStringLiteral("displaySettingsAction"))->trigger();
        QCOMPARE(view->work().timing.displayPeriod, 0);
        QCOMPARE(view->work().valueMin, 100.0);
        QVERIFY(!view->chart().isNull());
        view->setMode(DisplayMode::Period);
        QVERIFY(!view->chart().isNull());
    }

    void protectedModeAsksForThePassword() {
        m_app->setProtection(true, QStringLiteral("abc"));
        WorkDefinition work;
        work.channels.push_back(namedChannel("a", 0));
        const QString path = QString::fromStdString((m_dir / "protected.awt").string());
        saveWorkTemplate(path.toStdString(), work);
        WorkView* view = open(path);
        view->action(QStringLiteral("startSamplingAction"))->trigger();
        QVERIFY(view->engine().running());
        // The password dialog cancelled: sampling goes on and the toolbar says so.
        m_prompts->dialogHandlers << [](QDialog& dialog) { dialog.reject(); };
        view->action(QStringLiteral("stopSamplingAction"))->trigger();
        QCOMPARE(m_prompts->dialogsRun.last(), QStringLiteral("passwordDialog"));
        QVERIFY(view->engine().running());
        QVERIFY(view->action(QStringLiteral("startSamplingAction"))->isChecked());
        QVERIFY(!view->action(QStringLiteral("stopSamplingAction"))->isChecked());
        m_prompts->dialogHandlers << [](QDialog& dialog) {
            dialog.findChild<QLineEdit*>(QStringLiteral("passwordEdit"))
                ->setText(QStringLiteral("abc"));
            dialog.accept();
        };
        view->action(QStringLiteral("stopSamplingAction"))->trigger();
        QVERIFY(!view->engine().running());
        QVERIFY(view->action(QStringLiteral("stopSamplingAction"))->isChecked());
    }

    // A curve channel's start value is read through the link thread before sampling starts.
    void curveStartValueThroughTheLinkThread() {
        WorkDefinition work;
        ChannelInfo curve = namedChannel("curve", 1);
        curve.downloadFlag = 1;
        curve.setCurvePath((m_dir / "absent.lin").string());
        work.channels.push_back(curve);
        const QString path = QString::fromStdString((m_dir / "curve.awt").string());
        saveWorkTemplate(path.toStdString(), work);
        m_bus->setValue(1, 0, 33.0);
        WorkView* view = open(path);
        view->action(QStringLiteral("startSamplingAction"))->trigger();
        QVERIFY(!view->engine().running());  // the reading is under way
        QVERIFY(waitFor([view] { return view->engine().running(); }));
        QVERIFY(view->action(QStringLiteral("startSamplingAction"))->isChecked());
        QVERIFY(std::abs(view->engine().curveStartValue() - 33.0) < 1.0);
        view->action(QStringLiteral("stopSamplingAction"))->trigger();
    }

    void creationToolbarAndRefusals() {
        WorkDefinition bad;
        const std::string badPath = (m_dir / "bad.awt").string();
        std::vector<uint8_t> bytes = workTemplateBytes(bad);
        bytes[3] ^= 1;
        FILE* f = std::fopen(badPath.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        QCOMPARE(m_frame->openView(WindowKind::Work, QString::fromStdString(badPath)), nullptr);
        QCOMPARE(m_prompts->last(), ScriptedPrompts::notice(QStringLiteral("文件错误！！！")));

        QVERIFY(m_frame->findChild<QAction*>(QStringLiteral("newWorkAction"))->isEnabled());
        QVERIFY(m_frame->findChild<QAction*>(QStringLiteral("openWorkAction"))->isEnabled());
        WorkView* view = open(QString());
        ChildWindow* child = m_frame->activeChild();
        const QStringList texts = {"开始运行", "停止运行", "开始保存", "结束保存",
                                   "曲线图",   "环形图",   "周期图",   "列表显示",
                                   "实时事件", "通道设置", "事件设置", "采样参数",
                                   "显示设置", "保存设置", "放大显示", "缩小显示"};
        const QList<QToolButton*> buttons = child->findChildren<QToolButton*>();
        QStringList found;
        for (QToolButton* button : buttons) {
            if (button->defaultAction() != nullptr && button->iconSize() == QSize(49, 15)) {
                found << button->defaultAction()->text();
                QCOMPARE(button->accessibleName(), button->defaultAction()->text());
            }
        }
        QCOMPARE(found, texts);
        QVERIFY(view->action("stopSamplingAction")->isChecked());
        QVERIFY(!view->action("startSamplingAction")->isChecked());
        QVERIFY(view->action("stopRecordingAction")->isChecked());
        QVERIFY(view->action("curvesModeAction")->isChecked());
        QCOMPARE(view->timeSlider()->value(), 300);
        QCOMPARE(view->valueSlider()->value(), 260);
        QCOMPARE(view->newestLabel()->text(), QStringLiteral("0000:00:00"));
        QCOMPARE(view->cursorLabel()->text(), QStringLiteral("-000:25:00"));  // 300 x 5 s
        QCOMPARE(view->cursorLabel()->geometry(), QRect(294, 583, 72, 17));
        view->timeSlider()->setValue(950);
        QCOMPARE(view->cursorLabel()->x(), 914);

        // No channels: nothing starts; the event settings need a channel.
        view->action("startSamplingAction")->trigger();
        QCOMPARE(m_prompts->last(), ScriptedPrompts::notice(QStringLiteral("无记录项！！！")));
        QVERIFY(view->action("stopSamplingAction")->isChecked());
        view->action("eventSettingsAction")->trigger();
        QCOMPARE(m_prompts->last(),
                 ScriptedPrompts::notice(QStringLiteral("无记录通道，无法修改事件！！！")));

        // Zoom and the arrows.
        view->action("zoomInAction")->trigger();
        QCOMPARE(view->rules().zoom(), 1);
        view->action("zoomOutAction")->trigger();
        view->action("zoomOutAction")->trigger();
        QCOMPARE(view->rules().zoom(), 3);
        QTest::mousePress(view, Qt::LeftButton, {}, QPoint(35, 9));
        QCOMPARE(view->rules().arrow(), 1);
        QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(500, 300));
        QCOMPARE(view->rules().scroll(), 190);
        QTest::mousePress(view, Qt::LeftButton, {}, QPoint(975, 9));
        QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(975, 9));
        QTest::mousePress(view, Qt::LeftButton, {}, QPoint(975, 9));
        QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(975, 9));
        QCOMPARE(view->rules().scroll(), 0);
        view->action("ringModeAction")->trigger();
        QCOMPARE(view->rules().mode(), DisplayMode::Ring);
        QVERIFY(!view->action("curvesModeAction")->isChecked());
    }

    void clockTimeLabels() {
        UtcClock clock;
        clock.seconds = k20040304_153000;
        WorkView::setClock(&clock);
        WorkView* view = open(QString());
        m_prompts->dialogHandlers << [](QDialog& dialog) {
            auto& display = static_cast<DisplayDialog&>(dialog);
            display.show();
            QTest::mouseClick(&display, Qt::LeftButton, {}, QPoint(220, 320));  // 相对时间
            display.accept();
        };
        view->openDisplaySettings();
        QVERIFY(!view->rules().options().relativeTime);
        QCOMPARE(view->newestLabel()->text(), QStringLiteral(" 15:30:00 "));
        QCOMPARE(view->cursorLabel()->text(), QStringLiteral(" 15:05:00 "));
    }

    void channelAndEventDialogs() {
        WorkView* view = open(QString());
        // Channels: "SL" typed on COM2, a bad mnemonic, a too long path, then delete.
        m_prompts->dialogHandlers << [](QDialog& dialog) {
            auto& d = static_cast<ChannelDialog&>(dialog);
            auto* name = d.findChild<QLineEdit*>(QStringLiteral("nameEdit"));
            auto* parameter = d.findChild<PickCombo*>(QStringLiteral("parameterCombo"));
            auto* port = d.findChild<PickCombo*>(QStringLiteral("portCombo"));
            name->setText(QStringLiteral("炉温"));
            parameter->setText(QStringLiteral("SL"));
            port->setSelection(1);
            d.addChannel();
            parameter->setText(QStringLiteral("S"));
            d.addChannel();
            parameter->setSelection(0);
            d.findChild<QCheckBox*>(QStringLiteral("downloadCheck"))->click();
            QVERIFY(!d.findChild<QLineEdit*>(QStringLiteral("curvePathEdit"))->isHidden());
            d.findChild<QLineEdit*>(QStringLiteral("curvePathEdit"))->setText(QString(50, 'p'));
            d.addChannel();
            d.findChild<QLineEdit*>(QStringLiteral("curvePathEdit"))->setText(QString(40, 'p'));
            name->setText(QStringLiteral("曲线"));
            d.addChannel();
            d.findChild<QLineEdit*>(QStringLiteral("addressEdit"))->setText(QStringLiteral("100"));
            d.addChannel();
            d.chooseCurveFile();
            QCOMPARE(d.tree()->topLevelItemCount(), 2);
            QCOMPARE(d.tree()->topLevelItem(0)->child(4)->text(0), QStringLiteral("通信选择  SL"));
        };
        view->action("channelSettingsAction")->trigger();
        QStringList said;
        for (const auto& m : m_prompts->messages) {
            said << m.text;
        }
        QCOMPARE(said, (QStringList{"添加成功！！！", "输入错误！！！", "文件名太长！！！",
                                    "添加成功！！！", "请输入一个在 0 和 99 之间的整数。"}));
        QCOMPARE(view->work().channels.size(), size_t(2));
        const ScriptedPrompts::FileRequest curveFile = m_prompts->fileRequests.last();
        QVERIFY(!curveFile.save);
        QCOMPARE(curveFile.request.filter, QStringLiteral("采集文件(*.lin);;所有文件(*.*)"));
        QCOMPARE(curveFile.request.initialName, QStringLiteral("*.lin"));
        QCOMPARE(curveFile.request.defaultExtension, QStringLiteral("lin"));
        QVERIFY(curveFile.request.mustExist);
        QCOMPARE(view->work().channels[0].parameterCode, 0x4C53);
        QCOMPARE(int(view->work().channels[0].port), 1);

        // Events: one with 数据2 and 数据3 untouched, two with "37.5" typed into 数据2, one
        // with a channel chosen, then the 2nd deleted.
        m_prompts->messages.clear();
        m_prompts->dialogHandlers << [](QDialog& dialog) {
            auto& d = static_cast<EventDialog&>(dialog);
            auto* name = d.findChild<QLineEdit*>(QStringLiteral("nameEdit"));
            auto* data2 = d.findChild<PickCombo*>(QStringLiteral("data2Combo"));
            name->setText(QStringLiteral("e0"));
            d.addEvent();
            for (const char* n : {"e1", "e2"}) {
                name->setText(QString::fromLatin1(n));
                data2->setText(QStringLiteral("37.5"));
                d.addEvent();
            }
            data2->setSelection(1);
            d.addEvent();
            QCOMPARE(d.tree()->topLevelItem(3)->child(3)->text(0),
                     QStringLiteral("数值2     炉温"));
            d.tree()->setCurrentItem(d.tree()->topLevelItem(1));
            d.deleteEvent();
            QCOMPARE(d.tree()->topLevelItemCount(), 3);
        };
        view->action("eventSettingsAction")->trigger();
        QCOMPARE(view->work().events.size(), size_t(3));
        QCOMPARE(view->work().events[0].data2, 255);
        QCOMPARE(view->work().events[0].data3, 255);
        QCOMPARE(view->work().events[0].data2Constant, 0.0);
        QCOMPARE(QString::fromStdString(view->work().events[1].nameGbk()), QStringLiteral("e2"));
        QCOMPARE(view->work().events[1].data2, 255);
        QCOMPARE(view->work().events[1].data2Constant, 37.5);
        QCOMPARE(view->work().events[2].data2, 1);
        QCOMPARE(view->work().events[2].data3, 255);
        QCOMPARE(m_prompts->messages.size(), 2);
        QCOMPARE(m_prompts->messages[0].text,
                 QStringLiteral("是否要删除此记录，这样将同时删除所有“事件记录”！！！"));
        QCOMPARE(m_prompts->messages[0].buttons, PromptButtons::YesNo);
        QCOMPARE(m_prompts->messages[0].icon, PromptIcon::Information);
        QCOMPARE(m_prompts->last(), ScriptedPrompts::notice(QStringLiteral("删除成功！！！")));

        // Deleting a channel deletes every event.
        m_prompts->dialogHandlers << [](QDialog& dialog) {
            auto& d = static_cast<ChannelDialog&>(dialog);
            d.tree()->setCurrentItem(d.tree()->topLevelItem(0)->child(0));
            d.deleteChannel();  // a detail line: nothing
            d.tree()->setCurrentItem(d.tree()->topLevelItem(0));
            d.deleteChannel();
        };
        view->action("channelSettingsAction")->trigger();
        QCOMPARE(view->work().channels.size(), size_t(1));
        QVERIFY(view->work().events.empty());

        // The sampling parameters: 0 refused and the dialog stays open; 1 and 1 accepted.
        m_prompts->messages.clear();
        m_prompts->dialogHandlers << [](QDialog& dialog) {
            auto* sampling = dialog.findChild<QLineEdit*>(QStringLiteral("samplingEdit"));
            auto* display = dialog.findChild<QLineEdit*>(QStringLiteral("displayEdit"));
            sampling->setText(QStringLiteral("0"));
            dialog.accept();
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
            sampling->setText(QStringLiteral("1"));
            display->setText(QStringLiteral("1"));
            dialog.accept();
        };
        view->action("samplingSettingsAction")->trigger();
        QCOMPARE(m_prompts->last(), ScriptedPrompts::notice(QStringLiteral("输入错误！！！")));
        QCOMPARE(view->work().timing.samplingPeriod, 1);
        QCOMPARE(view->work().timing.displayPeriod, 1);
    }

    void displayAndColourDialogs() {
        DisplaySettings settings;
        settings.channelCount = 12;
        settings.colours[0] = 0x0000FF;
        settings.backgroundColour = 0xFFFFD1;
        settings.period = 360;
        DisplayDialog dialog(settings);
        dialog.show();
        QVERIFY(dialog.periodEdit()->isHidden());  // not a period chart
        QVERIFY(dialog.width() > 800);             // rows 8..12 in the second column
        QImage panel = dialog.panel();
        QCOMPARE(panel.pixel(19, 19), qRgb(0, 0, 0));        // swatch border
        QCOMPARE(panel.pixel(20, 20), qRgb(255, 255, 255));  // inner white border
        QCOMPARE(panel.pixel(30, 30), qRgb(255, 0, 0));      // the colour
        QCOMPARE(panel.pixel(230, 30), colourOf(0xFFFFD1).rgb());
        QCOMPARE(panel.pixel(430, 30), qRgb(0, 0, 0));  // row 8's swatch is black
        // A double-click on a swatch picks a colour; Cancel in the panel drops it.
        m_prompts->dialogHandlers << [](QDialog& d) {
            auto& colours = static_cast<ColorDialog&>(d);
            colours.bar(1)->triggerAction(QAbstractSlider::SliderPageStepAdd);
            colours.accept();
        };
        QTest::mouseDClick(&dialog, Qt::LeftButton, {}, QPoint(30, 30));
        QCOMPARE(dialog.settings().colours[0], 0x000AFFu);
        // A number the edits cannot read keeps the dialog open.
        dialog.minimumEdit()->setText(QStringLiteral("abc"));
        dialog.accept();
        QCOMPARE(m_prompts->last(), ScriptedPrompts::notice(QStringLiteral("请输入一个数字。")));
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        dialog.minimumEdit()->setText(QStringLiteral("-5"));
        dialog.widthList(2)->setCurrentIndex(2);
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.settings().minimum, -5.0);
        QCOMPARE(dialog.settings().widths[2], 2);

        ColorDialog colours(colourRefOf(7, 250, 100));
        colours.bar(0)->triggerAction(QAbstractSlider::SliderPageStepSub);
        colours.bar(1)->triggerAction(QAbstractSlider::SliderPageStepAdd);
        colours.bar(2)->triggerAction(QAbstractSlider::SliderSingleStepSub);
        QCOMPARE(colours.part(0), 0);
        QCOMPARE(colours.part(1), 255);
        QCOMPARE(colours.part(2), 99);
        QCOMPARE(colours.bar(1)->value(), 255);
        colours.bar(0)->triggerAction(QAbstractSlider::SliderSingleStepSub);
        QCOMPARE(colours.part(0), 0);
        QCOMPARE(colours.colour(), colourRefOf(0, 255, 99));
    }

    // Twenty channels: every row's swatch, box and name lie clear of the dialog's controls, and
    // clicks on rows 15 to 20 reach those rows.
    void twentyChannelsInTheDisplayDialog() {
        WorkDefinition work;
        for (uint8_t i = 0; i < 20; ++i) {
            work.channels.push_back(
                namedChannel(qPrintable(QStringLiteral("炉温通道%1").arg(i + 1)), i));
        }
        const QString path = QString::fromStdString((m_dir / "twenty.awt").string());
        QCOMPARE(int(saveWorkTemplate(path.toStdString(), work)), int(FileStatus::Ok));
        WorkView* view = open(path);
        QVERIFY(view->rules().visible(16));
        m_prompts->dialogHandlers << [](QDialog& dialog) {
            auto& display = static_cast<DisplayDialog&>(dialog);
            QCOMPARE(display.settings().channelCount, 20);
            for (int row = 0; row < 20; ++row) {
                const PanelPoint swatch = channelSwatchAt(row);
                const PanelPoint box = channelBoxAt(row);
                const PanelPoint name = channelNameAt(row);
                // A name of five characters in the 14-pixel font, and the row's own list beside.
                for (const QPoint at :
                     {QPoint(swatch.x + 25, swatch.y + 12), QPoint(box.x + 6, box.y + 6),
                      QPoint(name.x + 2, name.y + 2), QPoint(name.x + 70, name.y + 10)}) {
                    QVERIFY2(display.childAt(at) == nullptr,
                             qPrintable(QStringLiteral("row %1 covered at %2,%3")
                                            .arg(row + 1)
                                            .arg(at.x())
                                            .arg(at.y())));
                    QVERIFY(display.rect().contains(at));
                }
                QVERIFY(display.rect().contains(display.widthList(row)->geometry()));
            }
            const PanelPoint box = channelBoxAt(16);
            QTest::mouseClick(&display, Qt::LeftButton, {}, QPoint(box.x + 6, box.y + 6));
            QVERIFY(!display.settings().visible[16]);
            const PanelPoint swatch = channelSwatchAt(19);
            QTest::mouseDClick(&display, Qt::LeftButton, {}, QPoint(swatch.x + 25, swatch.y + 12));
            QCOMPARE(display.panel().pixel(swatch.x + 25, swatch.y + 12), qRgb(73, 63, 63));
            display.widthList(18)->setCurrentIndex(2);
            display.accept();
        };
        m_prompts->dialogHandlers << [](QDialog& dialog) {
            auto& colours = static_cast<ColorDialog&>(dialog);
            QCOMPARE(colours.colour(), 0x3F3F3Fu);  // channel 20's own colour
            colours.bar(0)->triggerAction(QAbstractSlider::SliderPageStepAdd);
            colours.accept();
        };
        view->action(QStringLiteral("displaySettingsAction"))->trigger();
        QCOMPARE(m_prompts->dialogsRun.mid(m_prompts->dialogsRun.size() - 2),
                 (QStringList{QStringLiteral("displayDialog"), QStringLiteral("colorDialog")}));
        QVERIFY(!view->rules().visible(16));
        QVERIFY(view->rules().visible(15));
        QCOMPARE(view->work().styles[19].colour, colourRefOf(73, 63, 63));
        QCOMPARE(view->work().styles[18].penWidth, 2);
    }

    // A work on three emulated controllers: run, record, stop, and the record file read back.
    void runRecordAndReadBack() {
        WorkDefinition work;
        work.timing.samplingPeriod = 1;
        for (uint8_t a = 0; a < 3; ++a) {
            work.channels.push_back(namedChannel("t", a));
        }
        const QString templatePath = QString::fromStdString((m_dir / "three.awt").string());
        QCOMPARE(int(saveWorkTemplate(templatePath.toStdString(), work)), int(FileStatus::Ok));
        WorkView* view = open(templatePath);
        QCOMPARE(view->work().channels.size(), size_t(3));

        view->action("startSamplingAction")->trigger();
        QVERIFY(view->engine().running());
        QVERIFY(view->action("startSamplingAction")->isChecked());
        QCOMPARE(view->timer().interval(), 225);
        // The settings dialogs are refused while running.
        view->action("channelSettingsAction")->trigger();
        QCOMPARE(m_prompts->last(),
                 ScriptedPrompts::notice(QStringLiteral("正在记录中，不能修改设置！！！")));
        QVERIFY(waitFor([view] { return view->engine().rows().rows() >= 1; }));
        QVERIFY(m_frame->activeChild()->windowTitle().startsWith(QStringLiteral("采集工作 - 20")));
        QCOMPARE(view->timer().interval(), 125);  // re-armed after each tick

        const QString recordPath = QString::fromStdString((m_dir / "run").string());
        {
            // Another window or process records into the file: the start is refused.
            RecordWriter other((recordPath + QStringLiteral(".alt")).toStdString());
            QVERIFY(other.claim());
            m_prompts->fileAnswers << recordPath;
            view->action("startRecordingAction")->trigger();
            QCOMPARE(m_prompts->last(),
                     ScriptedPrompts::notice(QStringLiteral("记录文件正被另一记录占用：") +
                                             recordPath + QStringLiteral(".alt！！！")));
            QVERIFY(!view->engine().recording());
            QVERIFY(!view->action("startRecordingAction")->isChecked());
        }
        m_prompts->fileAnswers << recordPath;
        view->action("startRecordingAction")->trigger();
        QVERIFY(view->engine().recording());
        const ScriptedPrompts::FileRequest request = m_prompts->fileRequests.last();
        QVERIFY(request.save);
        QCOMPARE(request.request.filter,
                 QStringLiteral("采集文件(*.alt);;工作文件(*.whp);;所有文件(*.*)"));
        QVERIFY(request.request.initialName.startsWith(QLatin1Char('T')));
        QVERIFY(request.request.initialName.endsWith(QStringLiteral(".alt")));
        QCOMPARE(request.request.initialName.size(), 17);
        QVERIFY(waitFor([view] { return view->engine().rows().rows() >= 2; }, 15000));

        // Stopping sampling while recording is refused.
        view->action("stopSamplingAction")->trigger();
        QCOMPARE(m_prompts->last(),
                 ScriptedPrompts::notice(QStringLiteral("此时正在工作中，须先结束保存！！！")));
        QVERIFY(view->action("startSamplingAction")->isChecked());
        // Cancel keeps recording; OK stops it.
        m_prompts->answers << PromptAnswer::Cancel;
        view->action("stopRecordingAction")->trigger();
        QVERIFY(view->engine().recording());
        QVERIFY(view->action("startRecordingAction")->isChecked());
        view->action("stopRecordingAction")->trigger();
        QCOMPARE(m_prompts->messages.last().buttons, PromptButtons::OkCancel);
        QCOMPARE(m_prompts->messages.last().text, QStringLiteral("确实要停止工作？？？"));
        QVERIFY(!view->engine().recording());
        view->action("stopSamplingAction")->trigger();
        QVERIFY(!view->engine().running());
        QVERIFY(!view->timer().isActive());

        Recording recording;
        QCOMPARE(int(readRecording((recordPath + QStringLiteral(".alt")).toStdString(), recording)),
                 int(FileStatus::Ok));
        QCOMPARE(recording.channelCount(), size_t(3));
        QVERIFY(recording.rowCount() >= 2);
        for (size_t r = 0; r < recording.rowCount(); ++r) {
            for (size_t c = 0; c < 3; ++c) {
                QVERIFY(!isNoValue(recording.value(r, c)));
            }
        }
        // Every mode draws the live rows.
        for (const char* mode : {"ringModeAction", "periodModeAction", "listModeAction",
                                 "eventsModeAction", "curvesModeAction"}) {
            view->action(QString::fromLatin1(mode))->trigger();
            QVERIFY(!view->chart().isNull());
        }

        // Save the template and reopen it. The record file's dialog asks before overwriting,
        // the template's does not.
        QVERIFY(request.request.confirmOverwrite);
        const QString saved = QString::fromStdString((m_dir / "saved").string());
        m_prompts->fileAnswers << saved;
        view->action("saveTemplateAction")->trigger();
        QVERIFY(!m_prompts->fileRequests.last().request.confirmOverwrite);
        QFileDialog qtDialog;
        setUpFileDialog(qtDialog, m_prompts->fileRequests.last().request, true);
        QVERIFY(qtDialog.testOption(QFileDialog::DontConfirmOverwrite));
        setUpFileDialog(qtDialog, request.request, true);
        QVERIFY(!qtDialog.testOption(QFileDialog::DontConfirmOverwrite));
        QCOMPARE(m_prompts->last(), ScriptedPrompts::notice(QStringLiteral("保存成功！！！")));
        QCOMPARE(view->templatePath(), saved + QStringLiteral(".awt"));
        WorkView* again = open(saved + QStringLiteral(".awt"));
        QCOMPARE(workTemplateBytes(again->work()), workTemplateBytes(view->work()));
    }

    // A silent controller stretches the ticks but the window keeps answering.
    void silentControllerKeepsTheWindowAlive() {
        WorkDefinition work;
        work.channels.push_back(namedChannel("x", 9));  // no controller at 9
        const QString path = QString::fromStdString((m_dir / "silent.awt").string());
        saveWorkTemplate(path.toStdString(), work);
        WorkView* view = open(path);
        view->action("startSamplingAction")->trigger();
        QVERIFY(waitFor([view] { return view->ticksUnderway() == 1; }));
        // While the exchange is under way the chart still scrolls and answers.
        view->action("zoomOutAction")->trigger();
        QCOMPARE(view->rules().zoom(), 2);
        QVERIFY(!view->timer().isActive());
        QVERIFY(waitFor([view] { return view->engine().rows().rows() >= 1; }, 20000));
        QVERIFY(isNoValue(view->engine().rows().value(0, 0)));
        view->action("stopSamplingAction")->trigger();
    }

    // "网络发布" on: the running work publishes to the broker and serves its metrics page,
    // which closes when it stops.
    void publishesWhileRunning() {
        const int port = freePort();
        PublishChoice choice;
        choice.metricsOn = true;
        choice.metricsAddress = QStringLiteral("127.0.0.1:%1").arg(port);
        const bool haveBroker = QFile::exists(QStringLiteral("/usr/sbin/mosquitto")) &&
                                QFile::exists(QStringLiteral("/usr/bin/mosquitto_sub"));
        int brokerPort = freePort();
        while (brokerPort == port) {
            brokerPort = freePort();  // a port just released may be handed out again
        }
        QProcess broker;
        QProcess sub;
        if (haveBroker) {
            const QString conf = QString::fromStdString((m_dir / "broker.conf").string());
            QFile file(conf);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\n")
                           .arg(brokerPort)
                           .toUtf8());
            file.close();
            broker.start(QStringLiteral("/usr/sbin/mosquitto"), {QStringLiteral("-c"), conf});
            QVERIFY(broker.waitForStarted());
            QTest::qWait(300);
            sub.start(QStringLiteral("/usr/bin/mosquitto_sub"),
                      {QStringLiteral("-p"), QString::number(brokerPort), QStringLiteral("-h"),
                       QStringLiteral("127.0.0.1"), QStringLiteral("-t"),
                       QStringLiteral("tervo/+/pub/u"), QStringLiteral("-C"), QStringLiteral("2"),
                       QStringLiteral("-W"), QStringLiteral("20")});
            QVERIFY(sub.waitForStarted());
            QTest::qWait(300);
            choice.mqttOn = true;
            choice.mqttUrl = QStringLiteral("mqtt://127.0.0.1:%1").arg(brokerPort);
        } else {
            qWarning("mosquitto is not installed: the live view's MQTT publishing is not checked");
        }
        Settings().setPublishChoice(choice);
        WorkDefinition work;
        work.timing.samplingPeriod = 1;
        work.channels.push_back(namedChannel("t", 0));
        work.channels.push_back(namedChannel("u", 1));
        const QString path = QString::fromStdString((m_dir / "pub.awt").string());
        QCOMPARE(int(saveWorkTemplate(path.toStdString(), work)), int(FileStatus::Ok));
        WorkView* view = open(path);
        QVERIFY(metricsPage(port).isEmpty());
        view->action("startSamplingAction")->trigger();
        QVERIFY(waitFor([view] { return view->engine().rows().rows() >= 2; }, 15000));
        const QString page = metricsPage(port);
        QVERIFY2(page.startsWith(QStringLiteral("HTTP/1.1 200 OK\r\n")), qPrintable(page));
        const QString value =
            QStringLiteral("tervo_channel_value{work=\"pub\",channel=\"u\",index=\"1\"} ");
        QVERIFY2(page.contains(value) && !page.contains(value + QStringLiteral("NaN")),
                 qPrintable(page));
        QVERIFY(page.contains(QStringLiteral("tervo_port_exchanges_total{port=\"COM1\"} ")));
        QVERIFY2(page.contains(QStringLiteral("tervo_rows_recorded_total{work=\"pub\"} 0\n")),
                 "a work that only runs writes no rows");
        if (haveBroker) {
            QVERIFY(sub.waitForFinished(20000));
            const QString got = QString::fromUtf8(sub.readAllStandardOutput());
            QCOMPARE(got.count(QStringLiteral("\"channel\":1,\"name\":\"u\",\"value\":")), 2);
            QVERIFY2(!got.contains(QStringLiteral("null")), qPrintable(got));
        }
        view->action("stopSamplingAction")->trigger();
        QVERIFY(!view->engine().running());
        QVERIFY(metricsPage(port).isEmpty());
        Settings().setPublishChoice(PublishChoice{});
        broker.terminate();
        broker.waitForFinished();
    }

    // Stopping a work whose broker acknowledged the connection and nothing since returns at
    // once: the publisher says goodbye on its own thread, and a new start right after works.
    void stoppingNeverWaitsOnTheBroker() {
        tervo::testing::SilentBroker broker;
        PublishChoice choice;
        choice.mqttOn = true;
        choice.mqttUrl = QStringLiteral("mqtt://127.0.0.1:%1").arg(broker.port());
        choice.metricsOn = true;
        const int port = freePort();
        choice.metricsAddress = QStringLiteral("127.0.0.1:%1").arg(port);
        Settings().setPublishChoice(choice);
        WorkDefinition work;
        work.timing.samplingPeriod = 1;
        work.channels.push_back(namedChannel("t", 0));
        const QString path = QString::fromStdString((m_dir / "silent.awt").string());
        QCOMPARE(int(saveWorkTemplate(path.toStdString(), work)), int(FileStatus::Ok));
        WorkView* view = open(path);
        for (int run = 0; run < 2; ++run) {
            view->action("startSamplingAction")->trigger();
            QVERIFY(waitFor([view] { return view->engine().rows().rows() >= 2; }, 15000));
            QVERIFY(waitFor(
                [port] {
                    return metricsPage(port).contains(QStringLiteral("\ntervo_mqtt_connected 1\n"));
                },
                10000));
            QElapsedTimer stopping;
            stopping.start();
            view->action("stopSamplingAction")->trigger();
            QVERIFY2(stopping.elapsed() < kPromptMs,
                     qPrintable(QString::number(stopping.elapsed())));
            QVERIFY(!view->engine().running());
            QVERIFY(metricsPage(port).isEmpty());
        }
        Settings().setPublishChoice(PublishChoice{});
        net::finishStoppedPublishers();
    }

    // A broker nobody answers for: the work runs on and the status bar says why nothing is
    // published, once.
    void anUnreachableBrokerIsSaidInTheStatusBar() {
        PublishChoice choice;
        choice.mqttOn = true;
        const int port = freePort();
        choice.mqttUrl = QStringLiteral("mqtt://127.0.0.1:%1").arg(port);
        Settings().setPublishChoice(choice);
        WorkDefinition work;
        work.timing.samplingPeriod = 1;
        work.channels.push_back(namedChannel("t", 0));
        const QString path = QString::fromStdString((m_dir / "away.awt").string());
        QCOMPARE(int(saveWorkTemplate(path.toStdString(), work)), int(FileStatus::Ok));
        WorkView* view = open(path);
        m_frame->statusBar()->clearMessage();
        view->action("startSamplingAction")->trigger();
        const QString said = QStringLiteral(
                                 "MQTT 无法连接 mqtt://127.0.0.1:%1：Connection "
                                 "refused（记录继续，稍后重试）")
                                 .arg(port);
        QVERIFY(waitFor([&] { return m_frame->statusBar()->currentMessage() == said; }, 10000));
        QVERIFY(waitFor([view] { return view->engine().rows().rows() >= 2; }, 15000));
        QVERIFY(m_prompts->messages.isEmpty());
        view->action("stopSamplingAction")->trigger();
        Settings().setPublishChoice(PublishChoice{});
    }

private:
    WorkView* open(const QString& path) {
        ChildWindow* child = m_frame->openView(WindowKind::Work, path);
        return child != nullptr ? qobject_cast<WorkView*>(child->view()) : nullptr;
    }

    tervo::testing::IsolatedSettings m_settings;
    QTemporaryDir m_tmp;
    std::filesystem::path m_dir;
    std::unique_ptr<emu::PtyBus> m_bus;
    std::unique_ptr<tervo::testing::TestShell> m_shell;
    ScriptedPrompts* m_prompts = nullptr;
    TervoApp* m_app = nullptr;
    MainWindow* m_frame = nullptr;
};

QTEST_MAIN(WorkViewTest)
#include "WorkViewTest.moc"
