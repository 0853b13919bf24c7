// The trend window at ten million rows of twenty channels (about 1.6 GB): the time to build
// the min/max summary, the time of every repaint (whole range, zoomed, panned, zoomed onto the
// last minute) of a maximised window, the summary's memory against the rows', and the
// processor share of a live trend of twenty channels at one row a second. With Qt Charts
// present it also times the same columns handed to a QChart, the library we measured against.
// Prints the figures; fails only when a picture is empty.
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>
#include <string>

#include "core/Clock.h"
#include "core/NoValue.h"
#include "core/trend/TrendSummary.h"
#include "gui/trend/TrendPicture.h"

#ifdef TERVO_BENCH_QTCHARTS
#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QGraphicsScene>
#include <QLineSeries>
#include <QValueAxis>
#endif

using namespace tervo;
using namespace tervo::gui;

namespace {

double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

class FixedZone : public Clock {
public:
    uint32_t tickMs() override { return 0; }
    int64_t calendarSeconds() override { return 0; }
};

struct Data {
    std::vector<int32_t> times;
    std::vector<double> values;
    size_t channels = 20;
    TrendRows rows(size_t count) const { return {times.data(), values.data(), count, channels}; }
};

void fill(Data& d, size_t rows) {
    d.times.resize(rows);
    d.values.resize(rows * d.channels);
    std::mt19937 random(3);
    for (size_t r = 0; r < rows; ++r) {
        d.times[r] = static_cast<int32_t>(1'700'000'000 + r);
        for (size_t c = 0; c < d.channels; ++c) {
            // A slow wave with noise, a failed reading now and then.
            d.values[r * d.channels + c] =
                random() % 5000 == 0 ? kNoValue
                                     : 50.0 + 30.0 * std::sin(double(r) / 20000.0 + double(c)) +
                                           double(random() % 100) / 50.0;
        }
    }
}

TrendPictureInput inputOf(const Data& d, size_t rows, const TrendSummary& summary,
                          const WorkDefinition& work, Clock& clock, double first, double last) {
    TrendPictureInput in;
    in.rows = d.rows(rows);
    in.summary = &summary;
    in.definition = &work;
    in.channels = d.channels;
    in.visible.assign(d.channels, true);
    in.firstTime = first;
    in.lastTime = last;
    in.clock = &clock;
    return in;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    size_t rowCount = 10'000'000;
    int width = 1920;
    int height = 1000;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--rows") {
            rowCount = std::stoul(argv[i + 1]);
        }
    }
    Data data;
    fill(data, rowCount);
    WorkDefinition work;
    work.channels.resize(data.channels);
    FixedZone clock;

    QElapsedTimer timer;
    timer.start();
    double cpuStart = cpuMs();
    TrendSummary summary;
    summary.update(data.rows(rowCount));
    const double buildMs = cpuMs() - cpuStart;
    const double buildWallMs = double(timer.nsecsElapsed()) / 1e6;
    const double dataBytes =
        double(data.values.size() * sizeof(double) + data.times.size() * sizeof(int32_t));
    std::printf("rows %zu x %zu channels: %.0f MB of rows\n", rowCount, data.channels,
                dataBytes / 1e6);
    std::printf("summary build: %.0f ms (wall clock %.0f ms)\n", buildMs, buildWallMs);
    std::printf("summary memory %.1f MB = %.2f %% of the rows\n", double(summary.bytes()) / 1e6,
                100.0 * double(summary.bytes()) / dataBytes);

    QImage image(width, height, QImage::Format_RGB32);
    const double t0 = data.times.front();
    const double t1 = data.times.back() + 1.0;
    struct View {
        const char* name;
        double first, last;
    };
    const double span = t1 - t0;
    std::vector<View> views = {
        {"whole range", t0, t1},
        {"a tenth", t0 + span * 0.45, t0 + span * 0.55},
        {"an hour", t0 + span * 0.5, t0 + span * 0.5 + 3600},
        {"the last minute", t1 - 60, t1},
    };
    // A drag across the whole range: 40 steps of 2.5 %.
    for (int step = 0; step < 40; ++step) {
        const double first = t0 + span * 0.3 + span * 0.4 * step / 40.0;
        views.push_back({"pan over a third", first, first + span / 3});
    }
    double worst = 0.0;
    double panTotal = 0.0;
    int pans = 0;
    bool inked = true;
    {
        // The first picture loads the fonts: not a repaint's cost.
        QPainter painter(&image);
        TrendPicture::paint(painter, image.size(),
                            inputOf(data, rowCount, summary, work, clock, t0, t0 + 60));
    }
    // Processor time of this process: on a shared machine it shows what a repaint costs apart
    // from the time other processes take (the wall-clock time is printed beside it).
    for (const View& v : views) {
        timer.restart();
        const double cpuStart = cpuMs();
        QPainter painter(&image);
        TrendPicture::paint(painter, image.size(),
                            inputOf(data, rowCount, summary, work, clock, v.first, v.last));
        painter.end();
        const double ms = cpuMs() - cpuStart;
        const double wallMs = double(timer.nsecsElapsed()) / 1e6;
        worst = std::max(worst, ms);
        if (std::string(v.name) == "pan over a third") {
            panTotal += ms;
            ++pans;
        } else {
            std::printf("repaint %-16s %6.1f ms (wall clock %.1f ms)\n", v.name, ms, wallMs);
            const QRect plot = TrendPicture::plotRect(image.size(), 1);
            inked = inked && image.copy(plot).pixel(plot.width() / 2, 0) != 0u;
        }
    }
    std::printf("repaint while panning (%d steps): %.1f ms on average\n", pans, panTotal / pans);
    std::printf("slowest repaint: %.1f ms\n", worst);

    // Live: a day of rows already, one row a second, the last ten minutes followed; each row
    // updates the summary and repaints the window.
    {
        Data live;
        const size_t before = std::min<size_t>(86'400, rowCount);
        fill(live, before + 600);
        TrendSummary liveSummary;
        liveSummary.update(live.rows(before));
        const double start = cpuMs();
        for (size_t r = before; r < before + 600; ++r) {
            liveSummary.update(live.rows(r + 1));
            const double last = live.times[r] + 1.0;
            QPainter painter(&image);
            TrendPicture::paint(painter, image.size(),
                                inputOf(live, r + 1, liveSummary, work, clock, last - 600, last));
        }
        const double perRow = (cpuMs() - start) / 600.0;
        std::printf("live trend, 20 channels at 1 s: %.2f ms per row = %.2f %% of one core\n",
                    perRow, perRow / 10.0);
    }

#ifdef TERVO_BENCH_QTCHARTS
    // The same columns as Qt Charts series: each channel's lowest and highest value per
    // column, 2 x width points, replaced and rendered.
    {
        QChart chart;
        chart.legend()->hide();
        std::vector<QLineSeries*> series;
        for (size_t c = 0; c < data.channels; ++c) {
            series.push_back(new QLineSeries);
            chart.addSeries(series.back());
        }
        chart.createDefaultAxes();
        QGraphicsScene scene;
        scene.addItem(&chart);
        chart.resize(width, height);
        double worstCharts = 0.0;
        for (const View& v : {views[0], views[1], views[2]}) {
            const double chartsStart = cpuMs();
            const TrendFrame frame =
                buildTrendFrame(data.rows(rowCount), summary, v.first, v.last, size_t(width - 100));
            for (size_t c = 0; c < data.channels; ++c) {
                QList<QPointF> points;
                for (size_t x = 0; x < frame.width; ++x) {
                    if (frame.min(x, c) <= frame.max(x, c)) {
                        points.append(QPointF(double(x), frame.min(x, c)));
                        points.append(QPointF(double(x), frame.max(x, c)));
                    }
                }
                series[c]->replace(points);
            }
            chart.axes(Qt::Horizontal).front()->setRange(0, double(frame.width));
            chart.axes(Qt::Vertical).front()->setRange(0, 100);
            QPainter painter(&image);
            scene.render(&painter);
            painter.end();
            const double ms = cpuMs() - chartsStart;
            worstCharts = std::max(worstCharts, ms);
            std::printf("Qt Charts repaint %-16s %6.1f ms\n", v.name, ms);
        }
        scene.removeItem(&chart);
        std::printf("Qt Charts slowest repaint: %.1f ms\n", worstCharts);
    }
#endif
    if (!inked) {
        std::fprintf(stderr, "a picture was empty\n");
        return 1;
    }
    return 0;
}
