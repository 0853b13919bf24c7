// How long the user-interface thread goes without running while windows talk to controllers:
// a 10 ms heartbeat timer runs on it while a parameter window reads a silent controller (five
// attempts per read), the serial test window auto-sends to a live one every 100 ms, and a work
// window records 20 channels onto a disk whose every sync takes 200 ms. The longest gap
// between two beats is what an operator would feel as a frozen window. It runs S seconds, and
// longer until the work window has recorded three cycles (at most a minute).
//   gui_heartbeat_bench [--seconds S]
#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/link/PortMap.h"
#include "core/work/WorkFiles.h"
#include "emu/PtyBus.h"
#include "gui/Views.h"
#include "gui/app/ChildWindow.h"
#include "gui/app/MainWindow.h"
#include "gui/app/TervoApp.h"
#include "gui/tools/ParameterView.h"
#include "gui/tools/SerialTestView.h"
#include "gui/widgets/PickCombo.h"
#include "gui/work/WorkView.h"
#include "guisupport/GuiTest.h"
#include "guisupport/ScriptedPrompts.h"
#include "support/RawPty.h"
#include "support/TestDisk.h"

using namespace tervo;
using namespace tervo::gui;

namespace {

bool startBus(emu::PtyBus& bus) {
    std::string error;
    if (!bus.start(&error)) {
        std::fprintf(stderr, "gui_heartbeat_bench: cannot start the emulator: %s\n", error.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    double seconds = 3.0;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0) {
            seconds = std::max(1.0, std::atof(argv[i + 1]));
        }
    }
    tervo::testing::IsolatedSettings settings;
    tervo::testing::ScriptedPrompts prompts;
    tervo::testing::clearPortEnvironment();

    // COM1: a controller at address 1 that never answers (and one at 2, for the address to
    // change to); COM2: a live controller at address 0.
    tervo::testing::TempDir dir;
    emu::BusOptions silentOptions;
    silentOptions.linkPath = dir / "com1";
    silentOptions.addresses = {1, 2};
    silentOptions.faults[1] = emu::Faults{true};
    silentOptions.faults[2] = emu::Faults{true};
    emu::PtyBus silent(silentOptions);
    emu::BusOptions liveOptions;
    liveOptions.linkPath = dir / "com2";
    liveOptions.addresses = {0};
    emu::PtyBus live(liveOptions);
    // COM3: the 20 controllers of the recorded work, at addresses 0..19.
    emu::BusOptions workOptions;
    workOptions.linkPath = dir / "com3";
    for (int a = 0; a < 20; ++a) {
        workOptions.addresses.push_back(a);
    }
    emu::PtyBus workBus(workOptions);
    if (!startBus(silent) || !startBus(live) || !startBus(workBus)) {
        return 1;
    }
    setPortPath(0, silentOptions.linkPath);
    setPortPath(1, liveOptions.linkPath);
    setPortPath(2, workOptions.linkPath);
    WorkDefinition work;
    work.timing.samplingPeriod = 1;
    for (uint8_t a = 0; a < 20; ++a) {
        ChannelInfo channel;
        channel.port = 2;
        channel.address = a;
        work.channels.push_back(channel);
    }
    const std::string templatePath = dir / "twenty.awt";
    const std::string recordPath = dir / "twenty.alt";
    if (saveWorkTemplate(templatePath, work) != FileStatus::Ok) {
        std::fprintf(stderr, "gui_heartbeat_bench: cannot write %s\n", templatePath.c_str());
        return 1;
    }
    tervo::testing::TestDisk slowDisk;
    slowDisk.delayMs = 200;
    WorkView::setRecordDisk(&slowDisk);

    TervoApp app;
    registerViews(app);
    MainWindow& window = app.createMainWindow();
    window.resize(1280, 800);
    window.show();

    auto* parameters = qobject_cast<ParameterView*>(
        window.openParametersFor(LinkSettings{0, kDefaultBaudIndex, 1})->view());
    window.actions().serialTest->trigger();
    auto* serialTest = qobject_cast<SerialTestView*>(window.activeChild()->view());
    serialTest->portCombo()->setSelection(1);
    serialTest->intervalCombo()->setSelection(0);
    serialTest->autoSendButton()->click();
    auto* workView = qobject_cast<WorkView*>(
        window.openView(WindowKind::Work, QString::fromStdString(templatePath))->view());
    workView->startSampling();
    prompts.fileAnswers << QString::fromStdString(recordPath);
    workView->startRecording();
    if (!workView->engine().recording()) {
        std::fprintf(stderr, "gui_heartbeat_bench: the work window does not record\n");
        return 1;
    }
    // The beats are counted from when the windows are on screen, their first pictures drawn.
    QTest::qWait(200);

    QElapsedTimer clock;
    clock.start();
    qint64 lastBeat = clock.nsecsElapsed();
    qint64 longestGap = 0;
    qint64 beats = 0;
    int silentReads = 0;
    qint64 readStarted = -1;
    qint64 longestRead = 0;
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longestGap = std::max(longestGap, now - lastBeat);
        lastBeat = now;
        ++beats;
        // A read under way is the line time a window used to wait for.
        if (parameters->tickUnderway() && readStarted < 0) {
            readStarted = now;
        } else if (!parameters->tickUnderway() && readStarted >= 0) {
            longestRead = std::max(longestRead, now - readStarted);
            readStarted = -1;
            ++silentReads;
        }
        // After a failed read the window stops reading until the address changes: change it,
        // so the window goes on reading a silent controller.
        if (parameters->communicationError() && !parameters->tickUnderway()) {
            parameters->addressCombo()->setText(parameters->addressCombo()->value() == 1
                                                    ? QStringLiteral("02")
                                                    : QStringLiteral("01"));
        }
    });
    heartbeat.start(10);
    size_t rows = 0;
    qint64 stoppingNs = 0;
    QTimer enough;
    QObject::connect(&enough, &QTimer::timeout, [&] {
        const double elapsed = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        rows = workView->engine().rows().rows();
        if (elapsed < 60.0 && (elapsed < seconds || rows < 3)) {
            return;
        }
        heartbeat.stop();
        // Stopping the recording waits for what is still on its way to the disk.
        QElapsedTimer stopping;
        stopping.start();
        workView->stopRecording();
        stoppingNs = stopping.nsecsElapsed();
        app.setClosingAll(true);
        application.quit();
    });
    enough.start(100);
    application.exec();  // closes the windows as it ends
    enough.stop();

    const uint64_t sends = live.framesHeard(0);
    const uint64_t silentFrames = silent.framesHeard(1) + silent.framesHeard(2);
    const int syncs = slowDisk.calls;
    WorkView::setRecordDisk(nullptr);
    Recording recorded;
    const size_t kept =
        readRecording(recordPath, recorded) == FileStatus::Ok ? recorded.rowCount() : 0;

    std::printf("heartbeat: longest gap %.1f ms over %lld beats of 10 ms (target <= 30 ms)\n",
                static_cast<double>(longestGap) / 1e6, static_cast<long long>(beats));
    std::printf(
        "parameter window: %d reads of a silent controller (%llu frames), the longest "
        "under way %.0f ms\n",
        silentReads, static_cast<unsigned long long>(silentFrames),
        static_cast<double>(longestRead) / 1e6);
    std::printf("serial test window: %llu polls answered by the live controller\n",
                static_cast<unsigned long long>(sends));
    std::printf(
        "work window: %zu cycles of 20 channels recorded, %d syncs and replaces of 200 ms on "
        "its writer thread; the file holds %zu rows; stopping waited %.0f ms for the last "
        "writes\n",
        rows, syncs, kept, static_cast<double>(stoppingNs) / 1e6);
    if (beats < 10 || silentReads == 0 || silentFrames == 0 || sends == 0 || rows == 0 ||
        syncs == 0) {
        std::fprintf(stderr, "gui_heartbeat_bench: nothing to measure\n");
        return 1;
    }
    if (kept != rows) {
        std::fprintf(stderr, "gui_heartbeat_bench: the record file lacks rows\n");
        return 1;
    }
    return 0;
}
