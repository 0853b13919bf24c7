#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "core/Clock.h"
#include "core/curves/TickGrid.h"
#include "core/curves/TrackingCurve.h"
#include "core/link/LinkRequest.h"
#include "core/text/Translation.h"
#include "core/tools/TimerAction.h"

namespace tervo {

inline constexpr const char* kCurveInputErrorText = TERVO_TR_NOOP("core", "输入错误！！！");
inline constexpr const char* kNoAddressText = TERVO_TR_NOOP("core", "无有效地址");
inline constexpr const char* kIntervalErrorText = TERVO_TR_NOOP("core", "发送间隔错误！！！");
inline constexpr const char* kTooManyForControllerText =
    TERVO_TR_NOOP("core", "仪表最多8段曲线！！！");
inline constexpr const char* kCurveFullText = TERVO_TR_NOOP("core", "曲线最多100段！！！");
inline constexpr const char* kCurveFileErrorText = TERVO_TR_NOOP("core", "文件错误！！！");
inline constexpr const char* kInstrumentModeText = TERVO_TR_NOOP("core", "进入下位机控制模式！");
inline constexpr const char* kPcModeText = TERVO_TR_NOOP("core", "进入PC机控制模式！");

// The address box: every run of decimal digits in the first 99 characters (GBK bytes) is one
// address, reduced modulo 100; everything else only separates. "1, 2,3" gives 1, 2, 3 and
// "101" gives 1.
std::vector<int> curveAddressList(const std::string& textUtf8);

// A number as the edit boxes convert it: leading blanks, a sign, then a decimal number in the
// first `maxChars` characters; 0 when none begins there (or it lies beyond a double).
double leadingNumber(const std::string& text, size_t maxChars = std::string::npos);
// The leading integer of a text ("10秒" gives 10), 0 when it has none.
int64_t leadingInteger(const std::string& text);

enum class CurveRunState : int { Stopped = 0, Running = 1, Paused = 2 };

// Where a PC-controlled run starts: the first listed controller's PV or SL, or a typed value.
enum class StartChoice : int { ProcessValue = 0, SetValue = 1, Typed = 2 };

// What the view's boxes say when a command reads them.
struct CurveBoxes {
    int port = 0;  // selected position, -1 when the text typed is no entry
    int baud = kDefaultBaudIndex;
    std::string addresses;  // UTF-8
    std::string interval;   // UTF-8, "1秒"
};

// What a command asks of the view besides drawing the state anew (the run buttons, the
// picture): a message to show, the start-point dialog, timer 1. Exchanges are queued in the
// rules and taken one at a time with nextRequest().
struct CurveOutcome {
    std::string message;
    bool askStartPoint = false;  // show the start-point dialog, then call startRun
    TimerAction timer = TimerAction::Keep;
    int intervalMs = 0;  // with TimerAction::Start
};

// The rules of the tracking-curve view: the curve and its editing, the address list, download,
// and the two ways of running a program (PC control: the view writes the program value to "SL"
// of every listed controller each send interval; instrument control: "OS" commands only).
// Every exchange goes out one at a time in the order the commands asked for them: the view
// posts nextRequest() to its port's link thread and hands the result to finishRequest().
//
// PC control ticks on a grid of the send interval from the start (or the resumption after a
// pause), taken from `clock`, so the set values keep the clock's time however long their writes
// take. A tick that comes while the last tick's writes are still under way is skipped, not made
// up, and never overlaps them. The elapsed time is the program's time by the clock: the tick at
// grid point k sends the value of the program at (k - 1) send intervals and, once its writes
// are out, the elapsed time becomes k send intervals; skipped ticks count, so a program lasts
// its own duration on the clock however slow the bus, and only the values in between are
// missed.
class CurveRules {
public:
    explicit CurveRules(TrackingCurve curve = {}, uint8_t port = 0,
                        uint8_t baud = kDefaultBaudIndex, uint8_t firstAddress = 0,
                        Clock& clock = systemClock());

    // Editing. Add refuses a 101st segment; delete and modify act only while a segment is
    // selected; select moves on by one and wraps (-1 with an empty curve).
    CurveOutcome addSegment();
    void deleteSegment();
    void selectNext();
    // The first nine characters of each box as decimal numbers into the selected segment.
    void modifySegment(const std::string& rate, const std::string& level, const std::string& dwell);

    CurveOutcome download(const CurveBoxes& boxes);
    CurveOutcome run(const CurveBoxes& boxes);
    // After the start-point dialog: reads the start value first unless it was typed.
    CurveOutcome startRun(StartChoice choice, double typed);
    // Pause and stop after the operator's password, where the mode asks for one.
    CurveOutcome pause();
    CurveOutcome stop();
    // The "PC控制" button; only while stopped.
    CurveOutcome setPcControl(bool on);
    // Timer 1 under PC control: queues the tick's set values, unless the last tick's are still
    // under way, and arms the timer for the next grid point.
    CurveOutcome tick();

    // The next exchange to carry out, when none is under way.
    std::optional<LinkRequest> nextRequest();
    CurveOutcome finishRequest(const LinkResult& result);
    bool exchangeUnderway() const { return m_inFlight.has_value(); }
    bool idle() const { return !m_inFlight && m_queue.empty(); }

    const TrackingCurve& curve() const { return m_curve; }
    int selected() const { return m_selected; }
    CurveRunState state() const { return m_state; }
    bool pcControl() const { return m_pcControl; }
    uint8_t port() const { return m_port; }
    uint8_t baud() const { return m_baud; }
    uint8_t firstAddress() const { return m_firstAddress; }
    const std::vector<int>& addresses() const { return m_addresses; }
    double startValue() const { return m_start; }
    double currentValue() const { return m_current; }  // the no-value marker before any tick
    int intervalSeconds() const { return m_interval; }
    int64_t elapsedSeconds() const { return m_elapsed; }
    // The PC-controlled program has run past its end: it pauses on the next redraw.
    bool programOver() const;

private:
    enum class Purpose { Download, Command, Tick, StartRead };
    struct Pending {
        LinkRequest request;
        Purpose purpose;
        uint64_t run;     // the run it belongs to
        bool last;        // the last of its command
        int64_t elapsed;  // Tick: the elapsed time once its writes are out
    };

    // Port, baud and address list from the boxes; a message when one is refused.
    std::string checkLink(const CurveBoxes& boxes);
    // The send interval from its box; false when it is no positive number of seconds.
    bool readInterval(const CurveBoxes& boxes);
    void queueCommand(const char* status);
    void queueWrites(Purpose purpose, uint32_t code, const std::vector<std::string>& values,
                     int64_t elapsed = 0);
    void dropQueued(Purpose purpose);
    bool queued(Purpose purpose) const;
    // The end of a PC-controlled program, as the redraw after a tick or a run finds it.
    void endIfOver(CurveOutcome& outcome);
    // The run starts from `start` at elapsed time 0.
    void begin(double start, CurveOutcome& outcome);
    // The grid of ticks starts now, at the elapsed time `base`.
    void startGrid(int64_t base, CurveOutcome& outcome);

    TrackingCurve m_curve;
    int m_selected = -1;
    uint8_t m_port;
    uint8_t m_baud;
    uint8_t m_firstAddress;
    std::vector<int> m_addresses;
    double m_start = 0.0;
    double m_current;
    int m_interval = 0;
    int64_t m_elapsed = 0;
    TickGrid m_grid;
    int64_t m_gridBase = 0;  // the elapsed time at the grid's start
    CurveRunState m_state = CurveRunState::Stopped;
    bool m_pcControl = true;
    bool m_awaitingStart = false;  // run asked for the start point
    uint64_t m_run = 0;  // grows at every start and stop; results of older runs change nothing
    std::deque<Pending> m_queue;
    std::optional<Pending> m_inFlight;
};

}  // namespace tervo
