// How long the user-interface thread goes without running while windows talk to controllers:
// a 10 ms heartbeat timer runs on it while a parameter window reads a silent controller (five
// attempts per read) and the serial test window auto-sends to a live one every 100 ms. The
// longest gap between two beats is what an operator would feel as a frozen window.
//   gui_heartbeat_bench [--seconds S]
#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "Views.h"
#include "app/ChildWindow.h"
#include "app/MainWindow.h"
#include "app/TervoApp.h"
#include "emu/PtyBus.h"
#include "link/PortMap.h"
#include "support/GuiTest.h"
#include "support/RawPty.h"
#include "support/ScriptedPrompts.h"
#include "tools/ParameterView.h"
#include "tools/SerialTestView.h"
#include "widgets/PickCombo.h"

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
    if (!startBus(silent) || !startBus(live)) {
        return 1;
    }
    setPortPath(0, silentOptions.linkPath);
    setPortPath(1, liveOptions.linkPath);

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
    QTimer::singleShot(static_cast<int>(seconds * 1000), &application, &QApplication::quit);
    application.exec();
    heartbeat.stop();

    const uint64_t sends = live.framesHeard(0);
    const uint64_t silentFrames = silent.framesHeard(1) + silent.framesHeard(2);
    app.setClosingAll(true);
    window.close();

    std::printf("heartbeat: longest gap %.1f ms over %lld beats of 10 ms (target <= 30 ms)\n",
                static_cast<double>(longestGap) / 1e6, static_cast<long long>(beats));
    std::printf(
        "parameter window: %d reads of a silent controller (%llu frames), the longest "
        "under way %.0f ms\n",
        silentReads, static_cast<unsigned long long>(silentFrames),
        static_cast<double>(longestRead) / 1e6);
    std::printf("serial test window: %llu polls answered by the live controller\n",
                static_cast<unsigned long long>(sends));
    if (beats < 10 || silentReads == 0 || silentFrames == 0 || sends == 0) {
        std::fprintf(stderr, "gui_heartbeat_bench: nothing to measure\n");
        return 1;
    }
    return 0;
}
