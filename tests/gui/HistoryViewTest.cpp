#include <QAction>
#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QMdiArea>
#include <QPainter>
#include <QPointer>
#include <QPrinter>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/history/HistoryCsv.h"
#include "core/text/Gbk.h"
#include "core/work/RecordWriter.h"
#include "gui/Views.h"
#include "gui/app/ChildWindow.h"
#include "gui/app/MainWindow.h"
#include "gui/app/Settings.h"
#include "gui/app/TervoApp.h"
#include "gui/history/CsvExportTask.h"
#include "gui/history/HistoryPicture.h"
#include "gui/history/HistoryView.h"
#include "gui/history/LoadingDialog.h"
#include "gui/widgets/ColorDialog.h"
#include "gui/work/WorkChart.h"
#include "guisupport/GuiTest.h"
#include "guisupport/ScriptedPrompts.h"
#include "guisupport/TestShell.h"

using namespace tervo;
using namespace tervo::gui;
using tervo::testing::ScriptedPrompts;

namespace {

Recording makeHistory(size_t rows, size_t channels, double value = 50.0) {
    Recording rec;
    for (size_t c = 0; c < channels; ++c) {
        ChannelInfo info;
        info.setNameGbk(utf8ToGbk("炉温" + std::to_string(c + 1)));
        rec.definition.channels.push_back(info);
    }
    rec.definition.valueMin = 0.0;
    rec.definition.valueMax = 100.0;
    rec.definition.timing.samplingPeriod = 5;
    rec.definition.timing.displayPeriod = 360;
    for (size_t r = 0; r < rows; ++r) {
        rec.times.push_back(static_cast<int32_t>(1'078'414'200 + 5 * r));
        for (size_t c = 0; c < channels; ++c) {
            rec.values.push_back(value + static_cast<double>(r % 7) + static_cast<double>(c));
        }
    }
    return rec;
}

// Runs the wait dialog as its timer would, to the end.
void finishLoading(QDialog& dialog) {
    auto& wait = dynamic_cast<LoadingDialog&>(dialog);
    while (wait.result() == 0) {
        wait.onTick();
    }
}

QRgb rgbOf(uint32_t colourRef) {
    return colourOf(colourRef).rgb();
}

HistoryPictureInput pictureOf(const Recording& rec, HistoryMode mode) {
    HistoryPictureInput in;
    in.history = &rec;
    in.mode = mode;
    in.options.axisOption = true;  // standard coordinates 0..100
    in.options.timeGrid = false;
    in.options.valueGrid = false;
    in.options.timeCursor = false;
    in.options.legend = false;
    in.visible.fill(true);
    return in;
}

// Counts the paint events a widget gets.
class PaintCounter : public QObject {
public:
    PaintCounter(QWidget* widget, int& paints) : m_paints(paints) {
        widget->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        m_paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }

private:
    int& m_paints;
};

}  // namespace

class HistoryViewTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        qputenv("TZ", "UTC");
        if (!m_keepRecentFiles) {
            Settings().setRecentFiles({});
        }
        m_shell = std::make_unique<tervo::testing::TestShell>();
        m_prompts = &m_shell->prompts();
        m_app = &m_shell->app();
        m_frame = &m_shell->frame();
    }

    void cleanup() { m_shell.reset(); }

    void openingRefusesBadFilesAndCancelledWaits() {
        const QString bad = m_dir.filePath(QStringLiteral("bad.alt"));
        Recording rec = makeHistory(3, 2);
        std::vector<uint8_t> bytes =
            recordFileBytes(rec.definition, rec.times.data(), rec.values.data(), 3, nullptr, 0);
        bytes.push_back(0);  // a byte after the occurrences
        std::ofstream(bad.toStdString(), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        QAction* open = m_frame->findChild<QAction*>(QStringLiteral("openHistoryAction"));
        QVERIFY(open->isEnabled());
        m_prompts->fileAnswers << bad;
        open->trigger();
        QCOMPARE(m_prompts->messages.size(), 1);
        QCOMPARE(ScriptedPrompts::describe(m_prompts->messages[0]),
                 ScriptedPrompts::notice(QStringLiteral("文件错误！！！")));
        QCOMPARE(m_frame->mdiArea()->subWindowList().size(), 0);
        QCOMPARE(m_prompts->fileRequests[0].request.filter,
                 QStringLiteral("采集文件(*.alt);;所有文件(*.*)"));
        // A cancelled wait: no window, no message.
        const QString good = save(makeHistory(250, 2), QStringLiteral("good.alt"));
        m_prompts->fileAnswers << good;
        m_prompts->dialogHandlers << [](QDialog& d) { d.reject(); };
        open->trigger();
        QCOMPARE(m_prompts->messages.size(), 1);
        QCOMPARE(m_frame->mdiArea()->subWindowList().size(), 0);
        // A good file opens in the curve mode with the rounded floating range.
        m_prompts->fileAnswers << good;
        m_prompts->dialogHandlers << finishLoading;
        open->trigger();
        QCOMPARE(m_frame->mdiArea()->subWindowList().size(), 1);
        auto* frame = qobject_cast<ChildWindow*>(m_frame->mdiArea()->subWindowList()[0]);
        QCOMPARE(frame->windowTitle(), QStringLiteral("数据分析 --- ") + good);
        auto* view = qobject_cast<HistoryView*>(frame->view());
        QVERIFY(view != nullptr);
        QCOMPARE(view->rules().mode(), HistoryMode::Curve);
        QCOMPARE(view->dataRange().minimum, 49.0);  // 50..57 -> 49 .. 49 + 5 * trunc(9 / 5)
        QCOMPARE(view->dataRange().maximum, 54.0);
        QVERIFY(view->action(QStringLiteral("curveModeAction"))->isChecked());
        QVERIFY(!view->action(QStringLiteral("deleteRowsAction"))->isEnabled());
        QCOMPARE(view->rulerLabel()->text(), QStringLiteral("0000:25:00"));  // 300 * 5 s
        frame->close();
        QCOMPARE(m_frame->mdiArea()->subWindowList().size(), 0);

        // An occurrence block cut short: the rows and the whole occurrences open, and the
        // operator is told once.
        rec.definition.events.resize(1);
        const std::vector<EventOccurrence> occurrences{{1'078'414'200, 0}, {1'078'414'205, 0}};
        bytes = recordFileBytes(rec.definition, rec.times.data(), rec.values.data(), 3,
                                occurrences.data(), 2);
        bytes.resize(bytes.size() - 5);
        const QString cut = m_dir.filePath(QStringLiteral("cut.alt"));
        std::ofstream(cut.toStdString(), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        const qsizetype said = m_prompts->messages.size();
        HistoryView* cutView = openHistory(cut);
        QVERIFY(cutView != nullptr);
        QCOMPARE(cutView->history().rowCount(), size_t(3));
        QCOMPARE(cutView->history().occurrences.size(), size_t(1));
        QCOMPARE(m_prompts->messages.size(), said + 1);
        QCOMPARE(m_prompts->last(),
                 ScriptedPrompts::notice(QStringLiteral("事件记录被截断，已读入完整的部分！！！")));
    }

    void waitDialogBatches() {
        // Fewer than 100 rows are one batch: the bar goes from empty to full, never busy.
        Recording none = makeHistory(0, 2);
        Recording few = makeHistory(99, 2);
        for (const Recording* rows : {&none, &few}) {
            LoadingDialog small(*rows);
            QCOMPARE(small.progressBar()->maximum(), 1);
            QCOMPARE(small.progressBar()->value(), 0);
            small.onTick();
            QCOMPARE(small.progressBar()->value(), 1);
            QCOMPARE(small.result(), int(QDialog::Accepted));
            QCOMPARE(small.loader().rowsDone(), rows->rowCount());
        }
        Recording many = makeHistory(1234, 1);
        LoadingDialog large(many);
        QCOMPARE(large.progressBar()->maximum(), 12);
        QCOMPARE(large.cancelButton()->text(), QStringLiteral("取  消"));
        QCOMPARE(large.windowTitle(), QStringLiteral("等待"));
        finishLoading(large);
        QCOMPARE(large.loader().progress(), 13);
    }

    // The file cut short in place, then replaced by another, while its window is open: the
    // window goes on with what it read (pictures, table, deletion) and its save writes that.
    void aFileChangedOnDiskLeavesTheWindowWithWhatItRead() {
        const Recording rec = makeHistory(300, 3);
        const QString path = save(rec, QStringLiteral("changing.alt"));
        HistoryView* view = openHistory(path);
        QVERIFY(view != nullptr);
        view->action(QStringLiteral("periodChartModeAction"))->trigger();
        const QImage before = view->grabView().copy(30, 19, 951, 521);
        std::filesystem::resize_file(path.toStdString(), 300);
        view->action(QStringLiteral("curveModeAction"))->trigger();
        view->action(QStringLiteral("periodChartModeAction"))->trigger();
        QCOMPARE(view->grabView().copy(30, 19, 951, 521), before);
        save(makeHistory(2, 1, 10.0), QStringLiteral("changing.alt"));
        QCOMPARE(view->grabView().copy(30, 19, 951, 521), before);
        view->action(QStringLiteral("tableModeAction"))->trigger();
        auto* model = view->tableList()->model();
        QCOMPARE(model->rowCount(), 301);
        QCOMPARE(model->index(300, 0).data().toString().left(19),
                 QStringLiteral("2004/03/04 15:54:55"));
        view->tableList()->selectionModel()->select(
            QItemSelection(model->index(1, 0), model->index(100, 0)), QItemSelectionModel::Select);
        m_prompts->answers << PromptAnswer::Yes;
        view->deleteSelectedRows();
        m_prompts->fileAnswers << path;
        view->action(QStringLiteral("saveDataAction"))->trigger();
        Recording back;
        QCOMPARE(readRecording(path.toStdString(), back), FileStatus::Ok);
        QCOMPARE(back.rowCount(), size_t(200));
        QCOMPARE(back.times.front(), rec.times[100]);
        QCOMPARE(back.values, std::vector<double>(rec.values.begin() + 300, rec.values.end()));
    }

    void tablesDeletionAndSave() {
        Recording rec = makeHistory(5, 2);
        rec.definition.events.push_back(EventInfo{});
        rec.occurrences = {{1'078'414'200, 0}, {1'078'414'205, 3}};
        HistoryView* view = openHistory(save(rec, QStringLiteral("t.alt")));
        QVERIFY(view != nullptr);
        view->action(QStringLiteral("periodChartModeAction"))->trigger();
        const QImage allRows = view->grabView().copy(30, 19, 951, 521);
        // Outside the table mode deletion is refused.
        view->deleteSelectedRows();
        QCOMPARE(ScriptedPrompts::describe(m_prompts->messages.last()),
                 ScriptedPrompts::notice(QStringLiteral("“列表显示”形式才可使用！！！")));
        view->action(QStringLiteral("tableModeAction"))->trigger();
        QVERIFY(!view->tableList()->isHidden());
        QVERIFY(view->slider()->isHidden());
        QVERIFY(view->action(QStringLiteral("deleteRowsAction"))->isEnabled());
        auto* model = view->tableList()->model();
        QCOMPARE(model->rowCount(), 6);
        QCOMPARE(model->index(0, 0).data().toString(),
                 QStringLiteral("时间                    炉温1        炉温2        "));
        QCOMPARE(model->index(1, 0).data().toString(),
                 QStringLiteral("2004/03/04 15:30:00     50.00        51.00        "));
        // Rows 2 and 3 and the header selected: history rows 1 and 2 go after a Yes.
        auto* selection = view->tableList()->selectionModel();
        for (int row : {0, 2, 3}) {
            selection->select(model->index(row, 0), QItemSelectionModel::Select);
        }
        m_prompts->answers << PromptAnswer::No;
        view->deleteSelectedRows();
        QCOMPARE(model->rowCount(), 6);
        const auto& asked = m_prompts->messages.last();
        QCOMPARE(asked.text, QStringLiteral("确实要删除所选项！！！"));
        QCOMPARE(asked.buttons, PromptButtons::YesNo);
        for (int row : {0, 2, 3}) {
            selection->select(model->index(row, 0), QItemSelectionModel::Select);
        }
        view->deleteSelectedRows();
        QCOMPARE(model->rowCount(), 4);
        QCOMPARE(view->history().times[1], 1'078'414'215);
        // The period chart shows the rows that remain.
        view->action(QStringLiteral("periodChartModeAction"))->trigger();
        QVERIFY(view->grabView().copy(30, 19, 951, 521) != allRows);
        view->action(QStringLiteral("tableModeAction"))->trigger();
        QCOMPARE(model->index(2, 0).data().toString().left(19),
                 QStringLiteral("2004/03/04 15:30:15"));
        // Save as another file: the reduced rows and every occurrence read back.
        const QString saved = m_dir.filePath(QStringLiteral("saved"));
        m_prompts->fileAnswers << saved;
        view->action(QStringLiteral("saveDataAction"))->trigger();
        Recording back;
        QCOMPARE(readRecording((saved + QStringLiteral(".alt")).toStdString(), back),
                 FileStatus::Ok);
        QCOMPARE(back.rowCount(), size_t(3));
        QCOMPARE(back.occurrences.size(), size_t(2));
        QCOMPARE(view->filePath(), saved + QStringLiteral(".alt"));
        // The event list: header, then occurrences; an unknown index says so.
        view->action(QStringLiteral("eventTableModeAction"))->trigger();
        QVERIFY(!view->eventList()->isHidden());
        QVERIFY(view->tableList()->isHidden());
        auto* events = view->eventList()->model();
        QCOMPARE(events->rowCount(), 3);
        QCOMPARE(events->index(2, 0).data().toString(),
                 QStringLiteral("2004/03/04 15:30:05") + QString(11, QLatin1Char(' ')) +
                     QStringLiteral("（未知事件 3）") + QString(16, QLatin1Char(' ')));
        // Full screen is refused outside the curve mode.
        view->toggleFullScreen();
        QCOMPARE(ScriptedPrompts::describe(m_prompts->messages.last()),
                 ScriptedPrompts::notice(QStringLiteral("“曲线图”方式才可使用！！！")));
    }

    void eventListWithoutOccurrences() {
        HistoryView* view = openHistory(save(makeHistory(2, 1), QStringLiteral("k0.alt")));
        QVERIFY(view != nullptr);
        QCOMPARE(view->eventList()->model()->rowCount(), 1);
        QCOMPARE(view->eventList()->model()->index(0, 0).data().toString(),
                 QStringLiteral("时间") + QString(26, QLatin1Char(' ')) + QStringLiteral("事件") +
                     QString(26, QLatin1Char(' ')));
    }

    void picturesProbe() {
        // S = 1 in full screen: a dot at x = 0, at height 260 of 0..100.
        Recording one = makeHistory(1, 1, 50.0);
        one.values[0] = 50.0;
        HistoryPictureInput in = pictureOf(one, HistoryMode::Curve);
        in.fullScreen = true;
        const QRgb ink = rgbOf(one.definition.styles[0].colour);
        const QRgb paper = rgbOf(one.definition.backgroundColour);
        QImage image = renderHistoryPicture(in);
        QCOMPARE(image.size(), QSize(951, 521));
        QCOMPARE(image.pixel(0, 259), ink);
        QCOMPARE(image.pixel(1, 259), paper);
        QCOMPARE(image.pixel(0, 250), paper);
        // The scrolling curve: a failed reading keeps the last height.
        Recording gaps = makeHistory(3, 1);
        gaps.values = {25.0, kNoValue, kNoValue};
        in = pictureOf(gaps, HistoryMode::Curve);
        image = renderHistoryPicture(in);
        QCOMPARE(image.pixel(2, 520 - 130), ink);
        QCOMPARE(image.pixel(3, 520 - 130), paper);
        // The period curve folds after column 950 with T = 950: row 951 lands on column 1.
        Recording longer = makeHistory(1000, 1);
        std::fill(longer.values.begin(), longer.values.end(), 0.0);
        longer.values[951] = 100.0;
        longer.definition.timing.displayPeriod = 950;
        longer.definition.timing.samplingPeriod = 1;
        in = pictureOf(longer, HistoryMode::PeriodCurve);
        image = renderHistoryPicture(in);
        QCOMPARE(image.pixel(1, 0), ink);  // row 951 at column 1 rises to 100
        QCOMPARE(image.pixel(950, 520), ink);
        // T = 0 and a flat range: nothing divides by zero.
        longer.definition.timing.displayPeriod = 0;
        in.options.axisOption = false;
        in.dataRange = {5.0, 5.0};
        renderHistoryPicture(in);
        in.mode = HistoryMode::PeriodChart;
        image = renderHistoryPicture(in);
        // The polar chart at height 260 of 0..100: row 0 at (475 + 130, 260).
        in = pictureOf(one, HistoryMode::PeriodChart);
        image = renderHistoryPicture(in);
        QCOMPARE(image.pixel(605, 260), ink);
        QCOMPARE(image.pixel(475, 260), paper);
        // Under standard coordinates the period curve's value labels are those of the range
        // its curves are drawn in, as the curve's are: 200, 160 .. 0 here.
        Recording empty = makeHistory(0, 1);
        empty.definition.valueMax = 200.0;
        in = pictureOf(empty, HistoryMode::Curve);
        in.options.valueGrid = true;
        const QImage curveLabels = renderHistoryPicture(in).copy(0, 0, 40, 521);
        in.mode = HistoryMode::PeriodCurve;
        QCOMPARE(renderHistoryPicture(in).copy(0, 0, 40, 521), curveLabels);
        in = pictureOf(one, HistoryMode::ChannelInfo);
        // The channel information page writes on the background.
        image = renderHistoryPicture(in);
        int marks = 0;
        for (int x = 10; x < 200; ++x) {
            marks += image.pixel(x, 60) != paper ? 1 : 0;
        }
        QVERIFY(marks > 0);
    }

    void periodPicturesDrawEveryRowsLine() {
        // Enough rows for the work to be shared out and walked in several chunks, failed
        // readings, coefficients, values beyond the range and a channel hidden: each picture,
        // whole or from layers, with or without the wider vector instructions, equals every
        // row's line drawn one after the other, nothing left out.
        constexpr size_t kRows = 70'000;
        Recording rec = makeHistory(kRows, 4);
        for (size_t r = 0; r < kRows; ++r) {
            for (size_t c = 0; c < 4; ++c) {
                rec.values[r * 4 + c] = 50.0 + 45.0 * std::sin(double(r) / (37.0 + c)) +
                                        double((r * 7 + c * 3) % 11) - 5.0;
            }
            if (r % 97 < 3) {
                rec.values[r * 4 + 1] = kNoValue;
            }
        }
        rec.values[0] = kNoValue;
        rec.values[4 * 10 + 2] = 500.0;
        rec.definition.channels[1].displayCoefficient = 1.5;  // its failed readings too
        rec.definition.channels[1].offsetCoefficient = -30.0;
        rec.definition.channels[2].displayCoefficient = 0.5;
        rec.definition.channels[2].offsetCoefficient = 20.0;
        for (size_t c = 0; c < 4; ++c) {
            rec.definition.styles[c].colour = 0x000000FFu << (8 * (c % 3));
        }
        // The height of row r; a failed reading keeps the height last drawn.
        auto height = [&rec](size_t c, size_t r, int& last) {
            const double v = rec.value(r, c);
            if (!isNoValue(v)) {
                const ChannelInfo& info = rec.definition.channels[c];
                const double held =
                    std::clamp(v * info.displayCoefficient + info.offsetCoefficient, 0.0, 100.0);
                last = static_cast<int>(held / 100.0 * 520);
            }
            return last;
        };
        // A one-pixel line, both ends included.
        auto line = [](QImage& image, QPoint from, QPoint to, QRgb colour) {
            const int dx = std::abs(to.x() - from.x());
            const int dy = -std::abs(to.y() - from.y());
            const int sx = from.x() < to.x() ? 1 : -1;
            const int sy = from.y() < to.y() ? 1 : -1;
            int err = dx + dy;
            for (QPoint p = from;;) {
                image.setPixel(p, colour);
                if (p == to) {
                    return;
                }
                const int e2 = 2 * err;
                if (e2 >= dy) {
                    err += dy;
                    p.rx() += sx;
                }
                if (e2 <= dx) {
                    err += dx;
                    p.ry() += sy;
                }
            }
        };
        const struct {
            HistoryMode mode;
            int32_t period;
            int zoom;
            int64_t offset;
        } cases[] = {{HistoryMode::PeriodChart, 50, 1, 0},
                     {HistoryMode::PeriodChart, 100'000, 1, 0},
                     {HistoryMode::PeriodCurve, 50, 1, 0},
                     {HistoryMode::PeriodCurve, 700, 2, 40},
                     {HistoryMode::PeriodCurve, 2000, 1, 0}};
        for (const auto& k : cases) {
            rec.definition.timing.displayPeriod = k.period;
            HistoryPictureInput in = pictureOf(rec, k.mode);
            in.visible[3] = false;
            in.zoom = k.zoom;
            in.offset = k.offset;
            QImage expected(951, 521, QImage::Format_RGB32);
            expected.fill(colourOf(rec.definition.backgroundColour));
            for (size_t c = 0; c < 3; ++c) {
                const QRgb ink = rgbOf(rec.definition.styles[c].colour);
                int last = 0;
                const int h0 = height(c, 0, last);
                if (k.mode == HistoryMode::PeriodChart) {
                    QPoint at(475 + h0 / 2, 260);
                    for (size_t r = 0; r < kRows; ++r) {
                        const double a = double(r) / k.period * 2.0 * 3.1416;
                        const int h = height(c, r, last);
                        const QPoint next(int(h * std::cos(a) / 2.0 + 475.0),
                                          int(h * std::sin(a) / 2.0 + 260.0));
                        line(expected, at, next, ink);
                        at = next;
                    }
                } else {
                    QPoint at(0, 520 - h0);
                    int x = 0;
                    for (size_t r = size_t(k.offset / 5); r < kRows && x <= 950; r += k.zoom) {
                        const QPoint next(x, 520 - height(c, r, last));
                        line(expected, at, next, ink);
                        at = next;
                        if (++x > k.period) {
                            x = 1;
                            at.setX(1);
                        }
                    }
                }
            }
            // Whole and from layers, on the baseline instruction set as on the wider one.
            const auto wideAgain = qScopeGuard([] { allowWideVectorWalks(true); });
            for (const bool wide : {true, false}) {
                allowWideVectorWalks(wide);
                QCOMPARE(renderHistoryPicture(in), expected);
                PictureLayers layers;
                QCOMPARE(layers.compose(in), expected);
            }
        }
    }

    void periodPicturesKeepTheChannelOrder() {
        // The period curve over 951 columns: channel 1 at y = 30, channel 0 at y = 60, channel
        // 2 at y = 300 but at y = 60 from column 500 to 809. Drawn by the painter (channel 1
        // with a three-pixel pen) and through the map (one-pixel pens), and the curve through
        // the same columns: each channel after its legend entry, in channel order.
        Recording rec = makeHistory(951, 3);
        for (size_t r = 0; r < 951; ++r) {
            rec.values[r * 3 + 0] = 88.5;
            rec.values[r * 3 + 1] = 94.3;
            rec.values[r * 3 + 2] = r >= 500 && r < 810 ? 88.5 : 50.0;
        }
        rec.definition.timing.displayPeriod = 950;
        rec.definition.styles[0].colour = 0x0000FF;
        rec.definition.styles[1].colour = 0x00FF00;
        rec.definition.styles[2].colour = 0xFF0000;
        const QRgb ink[] = {rgbOf(0x0000FF), rgbOf(0x00FF00), rgbOf(0xFF0000)};
        const QRgb background = rgbOf(rec.definition.backgroundColour);
        for (const auto& [penWidth, mode] :
             {std::pair{2, HistoryMode::PeriodCurve}, std::pair{0, HistoryMode::PeriodCurve},
              std::pair{0, HistoryMode::Curve}}) {
            rec.definition.styles[1].penWidth = penWidth;
            HistoryPictureInput in = pictureOf(rec, mode);
            in.options.legend = true;
            const QImage image = renderHistoryPicture(in);
            QCOMPARE(image.pixel(100, 60), ink[0]);
            QCOMPARE(image.pixel(100, 30), ink[1]);
            QCOMPARE(image.pixel(100, 260), ink[2]);
            QCOMPARE(image.pixel(100, 61), background);
            QCOMPARE(image.pixel(100, 32), background);
            QCOMPARE(image.pixel(100, 31), penWidth == 0 ? background : ink[1]);
            // A later channel over an earlier one; legend entry 1 (its swatch at y 50..69,
            // x 800..849) over channel 0 but under channel 2; channel 1 over legend entry 0
            // (its swatch at y 20..39).
            QCOMPARE(image.pixel(700, 60), ink[2]);
            QCOMPARE(image.pixel(805, 60), ink[2]);
            QCOMPARE(image.pixel(820, 60), ink[1]);
            QCOMPARE(image.pixel(820, 30), ink[1]);
            QCOMPARE(image.pixel(820, 25), ink[0]);
            // Channel 0 hidden: its legend entry stays, channel 2 still crosses entry 1.
            in.visible[0] = false;
            const QImage hidden = renderHistoryPicture(in);
            QCOMPARE(hidden.pixel(100, 60), background);
            QCOMPARE(hidden.pixel(820, 25), ink[0]);
            QCOMPARE(hidden.pixel(805, 60), ink[2]);
            QCOMPARE(hidden.pixel(820, 60), ink[1]);
        }
    }

    void legendTogglesChannels() {
        HistoryView* view = openHistory(save(makeHistory(10, 2), QStringLiteral("l.alt")));
        QVERIFY(view != nullptr);
        QVERIFY(view->channelVisible(1));
        QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(820, 39 + 30 + 10));
        QVERIFY(!view->channelVisible(1));
        QVERIFY(view->channelVisible(0));
        // The left arrow scrolls 190 rows on; the right one back to 0.
        QTest::mousePress(view, Qt::LeftButton, {}, QPoint(35, 10));
        QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(500, 300));
        QCOMPARE(view->rules().offset(), int64_t(190));
        QCOMPARE(view->rulerLabel()->text(), QStringLiteral("0000:40:50"));  // (190 + 300) * 5
        QTest::mousePress(view, Qt::LeftButton, {}, QPoint(975, 10));
        QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(975, 10));
        QCOMPARE(view->rules().offset(), int64_t(0));
        view->slider()->setValue(10);
        QCOMPARE(view->rulerLabel()->pos(), QPoint(84, 583));
    }

    void printsPagesOfSixtyRows() {
        HistoryView* view = openHistory(save(makeHistory(61, 2), QStringLiteral("p.alt")));
        QVERIFY(view != nullptr);
        view->setMode(HistoryMode::Table);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        const QString pdf = m_dir.filePath(QStringLiteral("report.pdf"));
        printer.setOutputFileName(pdf);
        view->printReport(printer);
        QFile file(pdf);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") +
                     bytes.count("/Type /Page>") + bytes.count("/Type /Page "),
                 2);
    }

    void recentFilesAreKeptAndPruned() {
        const QString first = save(makeHistory(3, 1), QStringLiteral("r1.alt"));
        const QString second = save(makeHistory(3, 1), QStringLiteral("r2.alt"));
        QVERIFY(openHistory(first) != nullptr);
        QVERIFY(openHistory(second) != nullptr);
        QVERIFY(openHistory(first) != nullptr);
        QAction* top = m_frame->recentFileAction(0);
        QVERIFY(top->isVisible());
        QCOMPARE(top->text(), QStringLiteral("&1 ") + first);
        QCOMPARE(m_frame->recentFileAction(1)->text(), QStringLiteral("&2 ") + second);
        QVERIFY(!m_frame->recentFileAction(2)->isVisible());
        // The next run reads the list back from the settings.
        cleanup();
        m_keepRecentFiles = true;
        init();
        m_keepRecentFiles = false;
        QCOMPARE(m_frame->recentFileAction(1)->text(), QStringLiteral("&2 ") + second);
        // An entry whose file has gone says so and leaves the list.
        QFile::remove(second);
        m_frame->recentFileAction(1)->trigger();
        QCOMPARE(ScriptedPrompts::describe(m_prompts->messages.last()),
                 ScriptedPrompts::notice(QStringLiteral("文件错误！！！")));
        QVERIFY(!m_frame->recentFileAction(1)->isVisible());
        QCOMPARE(m_frame->mdiArea()->subWindowList().size(), 0);
        // An entry that is there opens its history.
        m_prompts->dialogHandlers << finishLoading;
        m_frame->recentFileAction(0)->trigger();
        QCOMPARE(m_frame->mdiArea()->subWindowList().size(), 1);
    }

    // A file whose recorder died with its last cycles in the journal opens with them (laid
    // over the file); the journal goes into the file behind the window, and the application
    // waits for that at exit.
    void aCrashsJournalIsReplayedBehindTheOpenWindow() {
        const QString path = m_dir.filePath(QStringLiteral("crash.alt"));
        const Recording rec = makeHistory(300, 2);
        const auto write = [&](RecordWriter& writer, size_t rows) {
            return writer.write(rec.definition, rec.times.data(), rec.values.data(), rows, nullptr,
                                0);
        };
        {
            RecordWriter writer(path.toStdString());
            QCOMPARE(write(writer, 200), FileStatus::Ok);
            QCOMPARE(write(writer, 250), FileStatus::Ok);
            writer.stopAfterStep(2);  // the process dies with the last cycle in the journal
            QCOMPARE(write(writer, 300), FileStatus::CannotWrite);
        }
        const std::string journal = recordJournalPath(path.toStdString());
        QVERIFY(std::filesystem::exists(journal));
        HistoryView* view = openHistory(path);
        QVERIFY(view != nullptr);
        QCOMPARE(view->history().rowCount(), size_t(300));
        recordRecovery().waitAll();
        QVERIFY(!std::filesystem::exists(journal));
        Recording back;
        QCOMPARE(readRecording(path.toStdString(), back), FileStatus::Ok);
        QCOMPARE(back.rowCount(), size_t(300));
        QVERIFY(!back.journalLeft);
    }

    void colourEditWritesBackAndListsFollowResize() {
        const QString path = save(makeHistory(4, 2), QStringLiteral("colour.alt"));
        // Opened as a file named on the command line is.
        QVERIFY(m_frame->openRecordFile(path) == false);  // no wait run scripted: cancelled
        m_prompts->dialogHandlers << finishLoading;
        QVERIFY(m_frame->openRecordFile(path));
        auto* view = qobject_cast<HistoryView*>(
            qobject_cast<ChildWindow*>(m_frame->mdiArea()->subWindowList().last())->view());
        QVERIFY(view != nullptr);
        // A double click on the second swatch edits its colour; OK stores it in the file.
        m_prompts->dialogHandlers << [](QDialog& d) {
            auto& colour = dynamic_cast<ColorDialog&>(d);
            colour.bar(0)->triggerAction(QAbstractSlider::SliderPageStepAdd);    // red 0 -> 10
            colour.bar(1)->triggerAction(QAbstractSlider::SliderPageStepSub);    // 255 -> 245
            colour.bar(2)->triggerAction(QAbstractSlider::SliderSingleStepAdd);  // 0 -> 1
            d.accept();
        };
        // The second curve starts at 51 of 0..100: window (30, 19 + 520 - 265).
        QCOMPARE(view->grabView().pixel(30, 274),
                 rgbOf(view->history().definition.styles[1].colour));
        QTest::mouseDClick(view, Qt::LeftButton, {}, QPoint(850, 39 + 30 + 5));
        QCOMPARE(view->grabView().pixel(30, 274), rgbOf(0x01F50A));
        Recording back;
        QCOMPARE(readRecording(path.toStdString(), back), FileStatus::Ok);
        QCOMPARE(back.definition.styles[1].colour, uint32_t(0x01F50A));
        // The lists are centred in the view in the list modes.
        view->resize(1200, 700);
        view->setMode(HistoryMode::Table);
        QCOMPARE(view->tableList()->geometry(), QRect(106, 84, 988, 532));
        view->resize(900, 500);
        view->setMode(HistoryMode::EventTable);
        QCOMPARE(view->eventList()->geometry(), QRect(0, 0, 988, 532));
    }

    void csvExportRunsBesideTheWindowAndWritesTheCliFiles() {
        Recording rec = makeHistory(30'000, 20);
        rec.values[1] = kNoValue;
        rec.definition.events.push_back(EventInfo{});
        rec.occurrences = {{1'078'414'200, 0}, {1'078'414'205, 3}};
        HistoryView* view = openHistory(save(rec, QStringLiteral("c.alt")));
        QVERIFY(view != nullptr);
        // What `tervo-cli export` writes for the same history.
        QTemporaryDir cliDir;
        const std::string cliCsv = cliDir.filePath(QStringLiteral("cli.csv")).toStdString();
        QCOMPARE(exportHistoryCsv(cliCsv, rec).status, CsvExportStatus::Written);

        QTemporaryDir out;
        const QString csv = out.filePath(QStringLiteral("out.csv"));
        m_prompts->fileAnswers << csv;
        view->action(QStringLiteral("exportCsvAction"))->trigger();
        // The command returns at once; the dialog waits half a second before it shows.
        QPointer<QProgressDialog> dialog =
            view->findChild<QProgressDialog*>(QStringLiteral("csvExportDialog"));
        QVERIFY(dialog != nullptr);
        QVERIFY(!dialog->isVisible());
        QVERIFY(!QFile::exists(csv));
        QCOMPARE(dialog->windowTitle(), QStringLiteral("导出CSV"));
        QCOMPARE(dialog->labelText(), QStringLiteral("正在导出CSV……"));
        QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
        QCOMPARE(dialog->findChild<QPushButton*>(QStringLiteral("cancelButton"))->text(),
                 QStringLiteral("取消"));
        auto* bar = dialog->findChild<QProgressBar*>(QStringLiteral("progressBar"));
        QCOMPARE(bar->maximum(), 30'000);
        QList<int> shown;
        connect(bar, &QProgressBar::valueChanged, this, [&](int rows) { shown << rows; });

        // Meanwhile the window goes on: its timers fire and it paints, and what would change
        // the history or write it does nothing.
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&] {
            if (dialog != nullptr) {
                ++ticks;
            }
        });
        timer.start(0);
        QVERIFY(!view->grabView().isNull());
        view->setMode(HistoryMode::Table);
        view->tableList()->selectionModel()->select(view->tableList()->model()->index(1, 0),
                                                    QItemSelectionModel::Select);
        view->action(QStringLiteral("deleteRowsAction"))->trigger();
        view->action(QStringLiteral("saveDataAction"))->trigger();
        m_prompts->fileAnswers << out.filePath(QStringLiteral("second.csv"));
        view->action(QStringLiteral("exportCsvAction"))->trigger();
        QCOMPARE(m_prompts->messages.size(), 0);
        QCOMPARE(m_prompts->fileRequests.size(), 2);  // the open and the first export
        m_prompts->fileAnswers.clear();               // the second export's, never asked for
        QVERIFY(tervo::testing::waitFor([&] { return dialog == nullptr; }));
        QVERIFY(ticks > 0);
        QCOMPARE(view->history().rowCount(), size_t(30'000));
        QVERIFY(!shown.isEmpty());
        QCOMPARE(shown.first(), 4096);
        QCOMPARE(shown.last(), 30'000);

        // The same bytes as the command line's, and nothing else beside them.
        QCOMPARE(fileBytes(csv), fileBytes(cliDir.filePath(QStringLiteral("cli.csv"))));
        QCOMPARE(fileBytes(out.filePath(QStringLiteral("out_events.csv"))),
                 fileBytes(cliDir.filePath(QStringLiteral("cli_events.csv"))));
        QCOMPARE(fileBytes(csv).left(3), QByteArray("\xEF\xBB\xBF"));
        QCOMPARE(QDir(out.path()).entryList(QDir::Files),
                 QStringList({"out.csv", "out_events.csv"}));
        QCOMPARE(m_prompts->messages.size(), 0);

        // A short export is over before its dialog would show.
        HistoryView* small = openHistory(save(makeHistory(3, 2), QStringLiteral("s.alt")));
        m_prompts->fileAnswers << out.filePath(QStringLiteral("small.csv"));
        small->action(QStringLiteral("exportCsvAction"))->trigger();
        dialog = small->findChild<QProgressDialog*>(QStringLiteral("csvExportDialog"));
        bool visibleAtEnd = true;
        connect(dialog->findChild<QProgressBar*>(QStringLiteral("progressBar")),
                &QProgressBar::valueChanged, this,
                [&, d = dialog.data()] { visibleAtEnd = d->isVisible(); });
        QVERIFY(tervo::testing::waitFor([&] { return dialog == nullptr; }));
        QVERIFY(!visibleAtEnd);
        QVERIFY(QFile::exists(out.filePath(QStringLiteral("small_events.csv"))));
    }

    void csvExportCancelledFailedOrCutShortLeavesNoFile() {
        HistoryView* view = openHistory(save(makeHistory(30'000, 20), QStringLiteral("c.alt")));
        QVERIFY(view != nullptr);
        QTemporaryDir out;
        const QString csv = out.filePath(QStringLiteral("out.csv"));
        const auto left = [&] {
            return QDir(out.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
        };
        // "取消" pressed when the first rows are written: no file, no temporary, no word.
        m_prompts->fileAnswers << csv;
        view->action(QStringLiteral("exportCsvAction"))->trigger();
        QPointer<QProgressDialog> dialog =
            view->findChild<QProgressDialog*>(QStringLiteral("csvExportDialog"));
        QVERIFY(dialog != nullptr);
        auto* bar = dialog->findChild<QProgressBar*>(QStringLiteral("progressBar"));
        int cancelledAt = -1;
        connect(bar, &QProgressBar::valueChanged, this, [&, d = dialog.data()](int rows) {
            if (cancelledAt < 0) {
                cancelledAt = rows;
                d->findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
            }
        });
        QVERIFY(tervo::testing::waitFor([&] { return dialog == nullptr; }));
        QCOMPARE(cancelledAt, 4096);
        QCOMPARE(left(), QStringList());
        QCOMPARE(m_prompts->messages.size(), 0);

        // The events file cannot be written: "保存失败！！！" and still no file.
        QVERIFY(QDir(out.path()).mkdir(QStringLiteral("out_events.csv")));
        m_prompts->fileAnswers << csv;
        view->action(QStringLiteral("exportCsvAction"))->trigger();
        QVERIFY(tervo::testing::waitFor([&] { return !m_prompts->messages.isEmpty(); }));
        QCOMPARE(m_prompts->messages.size(), 1);
        QCOMPARE(m_prompts->last(), ScriptedPrompts::notice(QStringLiteral("保存失败！！！")));
        QCOMPARE(left(), QStringList({"out_events.csv"}));  // the folder in its way alone
        QVERIFY(view->findChild<QProgressDialog*>() == nullptr);

        // A task destroyed while it runs stops, waits for its thread and calls nothing: the
        // outcome its thread sent on the way out is dropped.
        QVERIFY(QDir(out.path()).rmdir(QStringLiteral("out_events.csv")));
        bool called = false;
        auto task = std::make_unique<CsvExportTask>(
            csv, view->history(), view, [&](const CsvExportOutcome&) { called = true; });
        task.reset();
        QCoreApplication::sendPostedEvents();
        QVERIFY(!called);
        QCOMPARE(left(), QStringList());

        // The application quits during an export: the view stops it before its history goes,
        // and nothing is left behind.
        m_prompts->fileAnswers << csv;
        view->action(QStringLiteral("exportCsvAction"))->trigger();
        QVERIFY(view->findChild<QProgressDialog*>() != nullptr);
        m_shell.reset();
        QTest::qWait(50);
        QCOMPARE(left(), QStringList());
    }

    void layeredPicturesEqualWholeOnes() {
        // Curves that cross the legend and each other, failed readings, a coefficient, a wide
        // pen and enough rows for the walk to be shared out: in every picture mode the picture
        // built from kept layers equals the whole picture, after a channel is shown, hidden,
        // recoloured or widened, and only a channel whose curve changed is drawn again.
        constexpr size_t kRows = 60'000;
        constexpr size_t kChannels = 4;
        Recording rec = makeHistory(kRows, kChannels);
        for (size_t r = 0; r < kRows; ++r) {
            for (size_t c = 0; c < kChannels; ++c) {
                rec.values[r * kChannels + c] =
                    50.0 + 49.0 * std::sin(double(r) / (23.0 + 7.0 * double(c)) + double(c));
            }
            if (r % 89 < 2) {
                rec.values[r * kChannels + 1] = kNoValue;
            }
        }
        rec.definition.channels[2].displayCoefficient = 0.8;
        rec.definition.channels[2].offsetCoefficient = 15.0;
        rec.definition.styles[3].penWidth = 1;  // two pixels wide
        for (size_t c = 0; c < kChannels; ++c) {
            rec.definition.styles[c].colour = 0x00302010u * uint32_t(c + 1) + 0x40;
        }
        const struct {
            HistoryMode mode;
            bool fullScreen;
            int zoom;
            int64_t offset;
        } cases[] = {{HistoryMode::Curve, false, 3, 500},
                     {HistoryMode::Curve, true, 1, 0},
                     {HistoryMode::PeriodChart, false, 1, 0},
                     {HistoryMode::PeriodCurve, false, 2, 400}};
        for (const auto& k : cases) {
            HistoryPictureInput in = pictureOf(rec, k.mode);
            in.options.legend = true;
            in.options.timeGrid = true;
            in.options.valueGrid = true;
            in.fullScreen = k.fullScreen;
            in.zoom = k.zoom;
            in.offset = k.offset;
            in.visible[2] = false;
            PictureLayers layers;
            const auto drawn = [&] { return layers.missing(in).channels; };
            QCOMPARE(drawn(), (std::vector<size_t>{0, 1, 3}));
            QCOMPARE(layers.compose(in), renderHistoryPicture(in));
            in.visible[2] = true;  // never drawn yet: its curve alone
            QCOMPARE(drawn(), std::vector<size_t>{2});
            QCOMPARE(layers.compose(in), renderHistoryPicture(in));
            in.visible[1] = false;
            QCOMPARE(drawn(), std::vector<size_t>{});
            QCOMPARE(layers.compose(in), renderHistoryPicture(in));
            in.visible[1] = true;
            rec.definition.styles[0].colour = 0x0000FF;
            rec.definition.styles[3].colour = 0x00FF00;
            QCOMPARE(drawn(), std::vector<size_t>{});
            QCOMPARE(layers.compose(in), renderHistoryPicture(in));
            rec.definition.styles[0].penWidth = 2;
            rec.definition.styles[3].penWidth = 0;
            QCOMPARE(drawn(), (std::vector<size_t>{0, 3}));
            QCOMPARE(layers.compose(in), renderHistoryPicture(in));
            rec.definition.styles[0].penWidth = 0;
            rec.definition.styles[3].penWidth = 1;
            // The rows changed: every curve is drawn again.
            layers.forget();
            QCOMPARE(drawn(), (std::vector<size_t>{0, 1, 2, 3}));
            QCOMPARE(layers.compose(in), renderHistoryPicture(in));
        }
        // Each mode keeps its curves: back in a mode, none is drawn again.
        PictureLayers layers;
        const HistoryPictureInput chart = pictureOf(rec, HistoryMode::PeriodChart);
        layers.compose(chart);
        layers.compose(pictureOf(rec, HistoryMode::Curve));
        QCOMPARE(layers.missing(chart).channels, std::vector<size_t>{});
        QCOMPARE(layers.compose(chart), renderHistoryPicture(chart));
    }

    void longCurvesDrawBesideTheWindow() {
        // Every curve is drawn on its thread here: the window shows the picture it kept at
        // once, and the new one when its curves are there.
        HistoryView::setLayerWorkLimit(0);
        HistoryView* view = openHistory(save(makeHistory(3000, 3), QStringLiteral("k.alt")));
        QVERIFY(view != nullptr);
        m_frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_frame));
        const auto shown = [view] { return view->grabView().copy(30, 19, 951, 521); };
        const auto wanted = [view] { return renderHistoryPicture(view->pictureInput()); };
        int paints = 0;
        PaintCounter counter(view, paints);
        QTRY_COMPARE(shown(), wanted());
        const QImage first = shown();
        view->zoomOut();
        QCOMPARE(shown(), first);  // kept, not drawn in the window's thread
        QVERIFY(shown() != wanted());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);  // the zoom's own
        paints = 0;
        QTRY_VERIFY(paints > 0);  // the window repaints by itself when the curves are there
        QTRY_COMPARE(shown(), wanted());
        // A change while the curves are drawn: the picture of the last one wins.
        view->setMode(HistoryMode::PeriodCurve);
        shown();
        view->zoomOut();
        shown();
        view->zoomIn();
        QTRY_COMPARE(shown(), wanted());
        QCOMPARE(view->rules().zoom(), 2);
        // Hiding a channel draws no curve: the new picture at once.
        QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(820, 39 + 30 + 10));
        QCOMPARE(shown(), wanted());
        // The window closes while curves are drawn: their thread stops before the rows go.
        view->zoomOut();
        shown();
        m_frame->mdiArea()->closeAllSubWindows();
        QTest::qWait(20);
        HistoryView::setLayerWorkLimit(2'000'000);
    }

private:
    static QByteArray fileBytes(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QString save(const Recording& rec, const QString& name) {
        const QString path = m_dir.filePath(name);
        writeRecording(path.toStdString(), rec);
        return path;
    }

    HistoryView* openHistory(const QString& path) {
        m_prompts->fileAnswers << path;
        m_prompts->dialogHandlers << finishLoading;
        m_frame->findChild<QAction*>(QStringLiteral("openHistoryAction"))->trigger();
        const auto windows = m_frame->mdiArea()->subWindowList();
        if (windows.isEmpty()) {
            return nullptr;
        }
        return qobject_cast<HistoryView*>(qobject_cast<ChildWindow*>(windows.last())->view());
    }

    tervo::testing::IsolatedSettings m_settings;
    bool m_keepRecentFiles = false;
    QTemporaryDir m_dir;
    std::unique_ptr<tervo::testing::TestShell> m_shell;
    ScriptedPrompts* m_prompts = nullptr;
    TervoApp* m_app = nullptr;
    MainWindow* m_frame = nullptr;
};

QTEST_MAIN(HistoryViewTest)
#include "HistoryViewTest.moc"
