// Opening, repainting, exporting and editing a large history (`--rows N`, 20 channels;
// `--pictures-only` stops after the pictures): the time until the window is usable and the
// memory that took against the file's size, the time of one picture per mode, the CSV
// export's throughput and peak memory, and the time of a deletion and a save. Prints the
// figures; fails when the file does not open or when the export holds its text in memory.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>

#include "core/history/HistoryCsv.h"
#include "core/history/HistoryRules.h"
#include "core/work/WorkFiles.h"
#include "gui/history/HistoryPicture.h"
#include "gui/history/HistoryView.h"
#include "guisupport/FakeServices.h"
#include "support/ProcStatus.h"

using namespace tervo;
using namespace tervo::gui;

namespace {

// A reading as the controller's value field gives it, one decimal: whole digits, then d x 0.1.
double reading(double v) {
    const double tenths = std::round(std::fabs(v) * 10);
    const double r = std::floor(tenths / 10) + std::fmod(tenths, 10) * 0.1;
    return v < 0 ? -r : r;
}

// Processor time of this process (all its threads) in milliseconds: on a busy machine it
// shows the work a repaint costs apart from the time other processes take.
double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Opens the file as the open command does and prints how long until the window is usable
// (the view made, shown and its first picture drawn) and the memory that took, against the
// file's size. The peak counts everything resident at once, the copy of the rows included.
std::unique_ptr<HistoryView> measureOpen(tervo::testing::FakeServices& services,
                                         const QString& path, long fileKb) {
    std::ofstream("/proc/self/clear_refs") << "5";  // the peak of the open starts here
    const long before = tervo::testing::statusKb("VmRSS:");
    QElapsedTimer timer;
    timer.start();
    const double cpu = cpuMs();
    std::unique_ptr<HistoryView> view(
        HistoryView::create(services.context(WindowKind::History, path)));
    const qint64 createMs = timer.elapsed();
    const double createCpu = cpuMs() - cpu;
    if (!view) {
        return view;
    }
    view->show();
    view->grabView();  // the first picture
    const qint64 usableMs = timer.elapsed();
    const long residentRise = tervo::testing::statusKb("VmRSS:") - before;
    const long peakRise = tervo::testing::statusKb("VmHWM:") - before;
    std::printf(
        "open: file read and wait dialog done %lld ms (cpu %.0f ms); window shown with "
        "its first picture %lld ms\n",
        static_cast<long long>(createMs), createCpu, static_cast<long long>(usableMs));
    std::printf("open memory: resident +%ld kB (%.2f x file); peak +%ld kB (%.2f x file)\n",
                residentRise, double(residentRise) / double(fileKb), peakRise,
                double(peakRise) / double(fileKb));
    return view;
}

// Exports the history as the export command does, into the bench's folder (a folder on a
// slow disk bounds this by the disk: set TMPDIR to a memory file system to see the export
// alone), and the text alone into nothing. False when the export failed or held its text in
// memory.
bool measureExport(const HistoryView& view, const QString& csv) {
    struct Discard : std::streambuf {
        int_type overflow(int_type ch) override {
            ++bytes;
            return traits_type::not_eof(ch);
        }
        std::streamsize xsputn(const char*, std::streamsize n) override {
            bytes += n;
            return n;
        }
        std::streamsize bytes = 0;
    } discard;
    std::ostream nowhere(&discard);
    QElapsedTimer timer;
    timer.start();
    const double cpu = cpuMs();
    writeRowsCsv(nowhere, view.history());
    const double textCpu = cpuMs() - cpu;
    const qint64 textMs = std::max<qint64>(1, timer.elapsed());
    // The same rows with values of every digit (a program's set values, say), a million at most.
    Recording exact;
    exact.definition = view.history().definition;
    exact.times.assign(view.history().times.begin(),
                       view.history().times.begin() + static_cast<ptrdiff_t>(std::min<size_t>(
                                                          view.history().rowCount(), 1'000'000)));
    const size_t channels = exact.channelCount();
    exact.values.resize(exact.rowCount() * channels);
    for (size_t i = 0; i < exact.values.size(); ++i) {
        exact.values[i] =
            50.0 + 30.0 * std::sin(double(i / channels) / 500.0 + double(i % channels));
    }
    discard.bytes = 0;
    timer.restart();
    writeRowsCsv(nowhere, exact);
    const qint64 exactMs = std::max<qint64>(1, timer.elapsed());

    std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from here
    const long resident = tervo::testing::statusKb("VmRSS:");
    timer.restart();
    if (exportHistoryCsv(csv.toStdString(), view.history()).status != CsvExportStatus::Written) {
        std::fprintf(stderr, "the export failed\n");
        return false;
    }
    const qint64 ms = std::max<qint64>(1, timer.elapsed());
    const long csvKb = static_cast<long>(QFileInfo(csv).size() / 1024);
    const long rise = tervo::testing::statusKb("VmHWM:") - resident;
    const double mb = double(QFileInfo(csv).size()) / 1e6;
    std::printf(
        "export CSV text alone, one thread: %lld ms (cpu %.0f ms), %.0f MB/s; values of "
        "every digit: %.0f MB/s\n",
        static_cast<long long>(textMs), textCpu, mb / (double(textMs) / 1e3),
        double(discard.bytes) / 1e6 / (double(exactMs) / 1e3));
    std::printf("export CSV to %s: %lld ms, %ld kB written, %.0f MB/s, peak +%ld kB\n",
                qPrintable(QFileInfo(csv).absolutePath()), static_cast<long long>(ms), csvKb,
                mb / (double(ms) / 1e3), rise);
    QFile::remove(csv);
#ifdef __SANITIZE_ADDRESS__
    // AddressSanitizer keeps freed blocks aside for a while, so the peak grows with everything
    // the export ever allocated, not with what it holds at once: nothing to check here.
    const bool peakSaysWhatIsHeld = false;
#else
    const bool peakSaysWhatIsHeld = true;
#endif
    if (peakSaysWhatIsHeld && rise > csvKb / 2) {
        std::fprintf(stderr, "the export held its text in memory\n");
        return false;
    }
    return true;
}

// Deletes every tenth row from a copy of the history and saves it, as the table's commands do.
void measureDeleteAndSave(const HistoryView& view, const QString& saved) {
    Recording copy = view.history();
    std::vector<ListRowSpan> doomed;
    for (size_t row = 0; row < copy.rowCount(); row += 10) {
        doomed.push_back({static_cast<int>(row + 1), static_cast<int>(row + 1)});
    }
    QElapsedTimer timer;
    timer.start();
    const size_t removed = deleteListRowSpans(copy, doomed);
    const qint64 deleteMs = timer.elapsed();
    timer.restart();
    const FileStatus status = writeRecording(saved.toStdString(), copy);
    std::printf("delete %zu rows: %lld ms; save %s: %lld ms\n", removed,
                static_cast<long long>(deleteMs), status == FileStatus::Ok ? "done" : "FAILED",
                static_cast<long long>(timer.elapsed()));
    QFile::remove(saved);
}

// The best of three runs of `draw`, in wall and processor milliseconds: other processes on
// the machine only ever add time.
template <class Draw>
std::pair<double, double> bestOfThree(Draw&& draw) {
    double best = -1.0;
    double bestCpu = 0.0;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer timer;
        timer.start();
        const double cpu = cpuMs();
        draw(run);
        const double wall = double(timer.nsecsElapsed()) / 1e6;
        if (best < 0 || wall < best) {
            best = wall;
            bestCpu = cpuMs() - cpu;
        }
    }
    return {best, bestCpu};
}

// The repaints of every picture mode through the kept layers: the first picture (every
// channel's curve drawn), a repaint that changes nothing, a channel hidden and shown again,
// a channel's colour changed, the zoom changed. Fails when a layered picture differs from
// the whole picture drawn at once.
bool benchLayeredRepaints(HistoryView& view) {
    Recording& history = const_cast<Recording&>(view.history());
    HistoryPictureInput in = view.pictureInput();
    const struct {
        const char* name;
        HistoryMode mode;
        bool full;
        int zoom;
    } modes[] = {{"curve", HistoryMode::Curve, false, 1},
                 {"curve zoom 60", HistoryMode::Curve, false, 60},
                 {"full-screen curve", HistoryMode::Curve, true, 1},
                 {"period chart", HistoryMode::PeriodChart, false, 1},
                 {"period curve", HistoryMode::PeriodCurve, false, 1},
                 {"period curve zoom 20", HistoryMode::PeriodCurve, false, 20}};
    bool same = true;
    for (const auto& m : modes) {
        in.mode = m.mode;
        in.fullScreen = m.full;
        in.zoom = m.zoom;
        in.visible.fill(true);
        const auto whole = bestOfThree([&](int) { renderHistoryPicture(in); });
        PictureLayers layers;
        const auto first = bestOfThree([&](int) {
            layers.forget();
            layers.compose(in);
        });
        const auto again = bestOfThree([&](int) { layers.compose(in); });
        // A channel shown whose curve was not kept: its layer alone drawn, then the picture.
        LayerJob one;
        one.history = &history;
        one.channels = {5};
        one.keys = {layers.keyOf(in, 5)};
        const auto toggle = bestOfThree([&](int) {
            layers.keep(drawLayers(one));
            layers.compose(in);
        });
        const auto hide = bestOfThree([&](int run) {
            in.visible[5] = run % 2 != 0;
            layers.compose(in);
        });
        in.visible[5] = true;
        uint32_t& colour = history.definition.styles[7].colour;
        const uint32_t kept = colour;
        const auto recolour = bestOfThree([&](int run) {
            colour = 0x102030u * uint32_t(run + 1);
            layers.compose(in);
        });
        same = same && layers.compose(in) == renderHistoryPicture(in);
        colour = kept;
        std::printf(
            "repaint %s: whole %.0f ms (cpu %.0f); layered: first %.0f ms (cpu %.0f), same "
            "%.1f ms, channel hidden %.1f ms, channel shown %.1f ms (cpu %.1f), colour %.1f "
            "ms\n",
            m.name, whole.first, whole.second, first.first, first.second, again.first, hide.first,
            toggle.first, toggle.second, recolour.first);
    }
    if (!same) {
        std::fprintf(stderr, "a layered picture differs from the whole picture\n");
    }
    return same;
}

// The window's own repaints: how long the window's thread is held, and how long until the
// new picture is there when its curves are drawn on their thread.
void benchViewRepaints(HistoryView& view) {
    const struct {
        const char* name;
        std::function<void()> change;
    } changes[] = {
        {"period chart shown", [&] { view.setMode(HistoryMode::PeriodChart); }},
        {"period curve shown", [&] { view.setMode(HistoryMode::PeriodCurve); }},
        {"period curve zoomed out", [&] { view.zoomOut(); }},
        {"period curve zoomed in", [&] { view.zoomIn(); }},
        {"period chart shown again", [&] { view.setMode(HistoryMode::PeriodChart); }},
        {"curve shown", [&] { view.setMode(HistoryMode::Curve); }},
        {"full-screen curve", [&] { view.toggleFullScreen(); }},
    };
    for (const auto& change : changes) {
        QElapsedTimer timer;
        timer.start();
        change.change();
        view.grabView();
        const double held = double(timer.nsecsElapsed()) / 1e6;
        // Waits in an event loop as the window's own does: processEvents with a time returns
        // at once when there is nothing to do, and a loop of it would keep a processor busy
        // that the curves' threads want.
        while (view.drawingCurves()) {
            QEventLoop wait;
            QTimer::singleShot(1, &wait, &QEventLoop::quit);
            wait.exec();
        }
        view.grabView();
        std::printf("window: %s: window held %.1f ms, new picture after %.0f ms\n", change.name,
                    held, double(timer.nsecsElapsed()) / 1e6);
    }
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    size_t rows = 1'000'000;
    bool picturesOnly = false;  // --pictures-only: no export, deletion or save
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--rows" && i + 1 < argc) {
            rows = std::stoul(argv[i + 1]);
        }
        picturesOnly = picturesOnly || std::string(argv[i]) == "--pictures-only";
    }
    constexpr size_t kChannels = 20;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.alt"));
    {
        Recording rec;
        rec.definition.channels.resize(kChannels);
        rec.times.resize(rows);
        rec.values.resize(rows * kChannels);
        for (size_t r = 0; r < rows; ++r) {
            rec.times[r] = static_cast<int32_t>(1'700'000'000 + 5 * r);
            for (size_t c = 0; c < kChannels; ++c) {
                rec.values[r * kChannels + c] = reading(50.0 + 30.0 * std::sin(r / 500.0 + c));
            }
        }
        if (writeRecording(path.toStdString(), rec) != FileStatus::Ok) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    const long fileKb = static_cast<long>(QFileInfo(path).size() / 1024);
    std::printf("rows %zu x %zu channels, file %ld kB\n", rows, kChannels, fileKb);
    tervo::testing::FakeServices services;
    std::unique_ptr<HistoryView> view = measureOpen(services, path, fileKb);
    if (!view) {
        std::fprintf(stderr, "the history did not open\n");
        return 1;
    }
    QElapsedTimer timer;
    HistoryPictureInput in = view->pictureInput();
    const struct {
        const char* name;
        HistoryMode mode;
        bool full;
    } modes[] = {{"curve", HistoryMode::Curve, false},
                 {"full-screen curve", HistoryMode::Curve, true},
                 {"period chart", HistoryMode::PeriodChart, false},
                 {"period curve", HistoryMode::PeriodCurve, false},
                 {"channel information", HistoryMode::ChannelInfo, false}};
    for (const auto& m : modes) {
        in.mode = m.mode;
        in.fullScreen = m.full;
        // The best of three: other processes on the machine only ever add time.
        qint64 best = -1;
        double bestCpu = 0.0;
        for (int run = 0; run < 3; ++run) {
            timer.restart();
            const double cpu = cpuMs();
            renderHistoryPicture(in);
            if (best < 0 || timer.elapsed() < best) {
                best = timer.elapsed();
                bestCpu = cpuMs() - cpu;
            }
        }
        std::printf("repaint %s: %lld ms (cpu %.0f ms)\n", m.name, static_cast<long long>(best),
                    bestCpu);
    }
    if (!benchLayeredRepaints(*view)) {
        return 1;
    }
    benchViewRepaints(*view);
    // The view repaints a picture it would draw the same from the one it kept.
    view->setMode(HistoryMode::PeriodChart);
    view->grabView();
    timer.restart();
    view->grabView();
    std::printf("repaint the whole view again in the period chart: %lld ms\n",
                static_cast<long long>(timer.elapsed()));

    if (picturesOnly) {
        return 0;
    }
    if (!measureExport(*view, dir.filePath(QStringLiteral("big.csv")))) {
        return 1;
    }
    measureDeleteAndSave(*view, dir.filePath(QStringLiteral("saved.alt")));
    return 0;
}
