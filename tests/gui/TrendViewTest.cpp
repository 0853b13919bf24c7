#include <QAction>
#include <QFile>
#include <QImage>
#include <QItemSelectionModel>
#include <QListView>
#include <QMdiArea>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "core/link/PortMap.h"
#include "core/text/Gbk.h"
#include "core/work/WorkFiles.h"
#include "emu/PtyBus.h"
#include "gui/app/ChildWindow.h"
#include "gui/app/MainWindow.h"
#include "gui/app/TervoApp.h"
#include "gui/history/HistoryView.h"
#include "gui/history/LoadingDialog.h"
#include "gui/trend/TrendView.h"
#include "gui/widgets/ChartFrame.h"
#include "gui/work/WorkView.h"
#include "guisupport/GuiTest.h"
#include "guisupport/ScriptedPrompts.h"
#include "guisupport/TestShell.h"

using namespace tervo;
using namespace tervo::gui;
using tervo::testing::namedChannel;
using tervo::testing::ScriptedPrompts;
using tervo::testing::waitFor;

namespace {

// Rows five seconds apart from 2004/03/04 15:30:00: channel 0 at 50, channel 1 at 20 but
// failed in rows 40..59 (a silent controller), row 30 of channel 0 a spike of 900.
Recording makeHistory(size_t rows) {
    Recording rec;
    rec.definition.channels = {namedChannel("炉温1", 1), namedChannel("炉温2", 2)};
    rec.definition.events.resize(1);
    rec.definition.events[0].setNameGbk(utf8ToGbk("超温"));
    for (size_t r = 0; r < rows; ++r) {
        rec.times.push_back(static_cast<int32_t>(1'078'414'200 + 5 * r));
        rec.values.push_back(r == 30 ? 900.0 : 50.0);
        rec.values.push_back(r >= 40 && r < 60 ? kNoValue : 20.0);
    }
    rec.occurrences = {{1'078'414'200 + 5 * 10, 0}};
    return rec;
}

void finishLoading(QDialog& dialog) {
    auto& wait = dynamic_cast<LoadingDialog&>(dialog);
    while (wait.result() == 0) {
        wait.onTick();
    }
}

// Pixels of `colour` in column x of the plot.
int inkInColumn(const QImage& image, const QRect& plot, int x, QRgb colour) {
    int count = 0;
    for (int y = plot.top() + 1; y < plot.bottom(); ++y) {
        count += image.pixel(x, y) == colour ? 1 : 0;
    }
    return count;
}

QList<TrendWindow*> trendWindows(MainWindow& frame) {
    QList<TrendWindow*> out;
    for (QMdiSubWindow* w : frame.mdiArea()->subWindowList()) {
        if (auto* t = qobject_cast<TrendWindow*>(w)) {
            out << t;
        }
    }
    return out;
}

}  // namespace

class TrendViewTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        tervo::testing::clearPortEnvironment();
        m_dir = std::filesystem::path(m_tmp.path().toStdString());
        emu::BusOptions options;
        options.linkPath = (m_dir / "com1").string();
        options.addresses = {1, 2};
        m_bus = std::make_unique<emu::PtyBus>(options);
        std::string error;
        QVERIFY2(m_bus->start(&error), error.c_str());
        setPortPath(0, options.linkPath);
    }

    void init() {
        m_shell = std::make_unique<tervo::testing::TestShell>();
        m_prompts = &m_shell->prompts();
        m_frame = &m_shell->frame();
    }

    void cleanup() { m_shell.reset(); }

    // "趋势图" beside a running work on two emulated controllers: one trend per work, its rows
    // follow the work's as they complete, and closing the work closes it.
    void liveTrendFollowsARunningWork() {
        WorkDefinition work;
        work.timing.samplingPeriod = 1;
        work.channels = {namedChannel("t1", 1), namedChannel("t2", 2)};
        const QString path = QString::fromStdString((m_dir / "live.awt").string());
        QCOMPARE(int(saveWorkTemplate(path.toStdString(), work)), int(FileStatus::Ok));
        QAction* trend = m_frame->actions().trend;
        QVERIFY(!trend->isEnabled());
        ChildWindow* workFrame = m_frame->openView(WindowKind::Work, path);
        auto* view = qobject_cast<WorkView*>(workFrame->view());
        QVERIFY(trend->isEnabled());
        view->action(QStringLiteral("startSamplingAction"))->trigger();
        trend->trigger();
        QCOMPARE(trendWindows(*m_frame).size(), 1);
        TrendWindow* window = trendWindows(*m_frame).front();
        QCOMPARE(window->windowTitle(), QStringLiteral("趋势图 - ") + workFrame->windowTitle());
        // A second command on the work brings the same trend forward.
        m_frame->mdiArea()->setActiveSubWindow(workFrame);
        trend->trigger();
        QCOMPARE(trendWindows(*m_frame).size(), 1);
        QCOMPARE(m_frame->mdiArea()->activeSubWindow(), window);

        TrendView* trendView = window->view();
        QVERIFY(trendView->action(QStringLiteral("trendFollowAction"))->isChecked());
        QVERIFY(waitFor([view] { return view->engine().rows().rows() >= 3; }, 20000));
        const RowStore& rows = view->engine().rows();
        QCOMPARE(trendView->summary().rowsSummarised(), rows.rows());
        QCOMPARE(trendView->viewport().lastTime(), rows.times()[rows.rows() - 1] + 1.0);
        // Zoomed by the wheel onto the newest rows it still follows them.
        trendView->viewport().zoomTime(0.01, 0.3);
        const size_t seen = rows.rows();
        QVERIFY(waitFor([&] { return rows.rows() > seen; }, 20000));
        QCOMPARE(trendView->viewport().lastTime(), rows.times()[rows.rows() - 1] + 1.0);
        QCOMPARE(trendView->viewport().span(), TrendViewport::kShortestSpan);
        // Both channels drawn in their colours.
        trendView->resize(800, 400);
        const QImage image = trendView->render();
        const QRect plot = TrendPicture::plotRect(image.size(), 1);
        for (size_t c = 0; c < 2; ++c) {
            const QRgb ink = colourOf(work.styles[c].colour).rgb();
            int total = 0;
            for (int x = plot.left() + 1; x < plot.right(); ++x) {
                total += inkInColumn(image, plot, x, ink);
            }
            QVERIFY2(total > 0, qPrintable(QString::number(c)));
        }
        // Panning stops following.
        trendView->viewport().pan(-0.5);
        trendView->setFollowing(false);
        QVERIFY(!trendView->action(QStringLiteral("trendFollowAction"))->isChecked());

        view->action(QStringLiteral("stopSamplingAction"))->trigger();
        QPointer<TrendWindow> watched(window);
        workFrame->close();
        QVERIFY(waitFor([&] { return watched.isNull(); }, 5000));
    }

    // A history's trend: the silent controller's rows are a gap, deleted rows leave it, and
    // the visible range goes out as PNG, SVG and CSV.
    void historyTrendDeletionAndExports() {
        const Recording rec = makeHistory(100);
        const QString path = QString::fromStdString((m_dir / "h.alt").string());
        QCOMPARE(int(writeRecording(path.toStdString(), rec)), int(FileStatus::Ok));
        m_prompts->fileAnswers << path;
        m_prompts->dialogHandlers << finishLoading;
        m_frame->actions().openHistory->trigger();
        auto* frame = qobject_cast<ChildWindow*>(m_frame->mdiArea()->subWindowList().last());
        auto* history = qobject_cast<HistoryView*>(frame->view());
        QVERIFY(history != nullptr);
        m_frame->actions().trend->trigger();
        QCOMPARE(trendWindows(*m_frame).size(), 1);
        TrendView* trend = trendWindows(*m_frame).front()->view();
        QVERIFY(!trend->action(QStringLiteral("trendFollowAction"))->isVisible());
        trend->resize(700 + TrendPicture::kAxisWidth + TrendPicture::kLegendWidth, 400);

        // All 100 rows (500 s) over 700 columns: rows 40..59 of channel 1 failed, a gap.
        QImage image = trend->render();
        const QRect plot = TrendPicture::plotRect(image.size(), 1);
        QCOMPARE(plot.width(), 700);
        const QRgb ink1 = colourOf(rec.definition.styles[1].colour).rgb();
        const auto columnOfRow = [&](double row) {
            return plot.left() + int((5 * row) / trend->viewport().span() * plot.width());
        };
        QVERIFY(inkInColumn(image, plot, columnOfRow(20), ink1) > 0);
        QVERIFY(inkInColumn(image, plot, columnOfRow(45), ink1) == 0);
        QVERIFY(inkInColumn(image, plot, columnOfRow(55), ink1) == 0);
        QVERIFY(inkInColumn(image, plot, columnOfRow(70), ink1) > 0);
        // The auto-range reaches up to the spike of row 30.
        const auto highest = [trend] {
            const TrendFrame frame =
                buildTrendFrame(trend->pictureInput().rows, trend->summary(),
                                trend->viewport().firstTime(), trend->viewport().lastTime(), 50);
            double low = 0;
            double high = 0;
            return frameRange(frame, {0}, low, high) ? high : -1.0;
        };
        QCOMPARE(highest(), 900.0);

        // The cursor between rows 10 and 11 reads row 10; the legend shows its time.
        trend->viewport().setCursor(0, 1'078'414'200 + 51.0);
        const CursorReading reading =
            readAt(trend->pictureInput().rows, *trend->viewport().cursor(0));
        QCOMPARE(reading.row, size_t(10));

        // Rows 25..35 deleted in the history's table: the spike goes from the trend too.
        history->action(QStringLiteral("tableModeAction"))->trigger();
        auto* model = history->tableList()->model();
        auto* selection = history->tableList()->selectionModel();
        for (int row = 26; row <= 36; ++row) {
            selection->select(model->index(row, 0), QItemSelectionModel::Select);
        }
        m_prompts->answers << PromptAnswer::Yes;
        history->deleteSelectedRows();
        QCOMPARE(history->history().rowCount(), size_t(89));
        QCOMPARE(trend->summary().rowsSummarised(), size_t(89));
        QCOMPARE(highest(), 50.0);

        // Rows 10..19 visible: the CSV holds exactly them and the event at row 10.
        trend->viewport().setTimeRange(1'078'414'200 + 50.0, 1'078'414'200 + 100.0);
        const QString csv = QString::fromStdString((m_dir / "range.csv").string());
        QSignalSpy done(trend, &TrendView::csvExportFinished);
        trend->startCsvExport(csv);
        QVERIFY(waitFor([&] { return done.count() == 1; }));
        QCOMPARE(done.first().first().toBool(), true);
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines =
            QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 11);
        QCOMPARE(lines[0], QStringLiteral("时间,炉温1,炉温2"));
        QCOMPARE(lines[1], QStringLiteral("2004/03/04 15:30:50,50,20"));
        QCOMPARE(lines[10], QStringLiteral("2004/03/04 15:31:35,50,20"));
        QFile events(QString::fromStdString((m_dir / "range_events.csv").string()));
        QVERIFY(events.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(events.readAll()).contains(QStringLiteral("超温")));

        // PNG of the range: the window's picture; SVG: a drawing with the channel names.
        const QString png = QString::fromStdString((m_dir / "range.png").string());
        QVERIFY(trend->saveImage(png));
        const QImage saved(png);
        QCOMPARE(saved.size(), trend->size());
        QCOMPARE(saved, trend->render());
        const QString svg = QString::fromStdString((m_dir / "range.svg").string());
        QVERIFY(trend->saveImage(svg));
        QFile svgFile(svg);
        QVERIFY(svgFile.open(QIODevice::ReadOnly));
        const QString drawing = QString::fromUtf8(svgFile.readAll());
        QVERIFY(drawing.contains(QStringLiteral("<svg")));
        // Texts stay texts (split into runs by script): the names and the read-out.
        QVERIFY(drawing.contains(QStringLiteral(">炉温</text>")));
        QVERIFY(drawing.contains(QStringLiteral(">50.00</text>")));
    }

private:
    tervo::testing::IsolatedSettings m_settings;
    QTemporaryDir m_tmp;
    std::filesystem::path m_dir;
    std::unique_ptr<emu::PtyBus> m_bus;
    std::unique_ptr<tervo::testing::TestShell> m_shell;
    ScriptedPrompts* m_prompts = nullptr;
    MainWindow* m_frame = nullptr;
};

QTEST_MAIN(TrendViewTest)
#include "TrendViewTest.moc"
