#include "core/curves/CurveRules.h"

#include <charconv>
#include <climits>

#include "core/NoValue.h"
#include "core/link/ParameterTable.h"
#include "core/text/Gbk.h"
#include "core/text/ValueText.h"
#include "core/tools/ParameterRules.h"

namespace tervo {

namespace {

constexpr size_t kAddressBoxChars = 99;
constexpr size_t kEditBoxChars = 9;
constexpr int64_t kLongestIntervalSeconds = INT_MAX / 1000;  // the timer counts int ms

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

uint32_t segmentCode(int segment, int field) {
    return static_cast<uint32_t>(25 + 3 * segment + field);
}

}  // namespace

std::vector<int> curveAddressList(const std::string& textUtf8) {
    const std::string text = utf8ToGbk(textUtf8).substr(0, kAddressBoxChars);
    std::vector<int> addresses;
    int value = 0;
    bool inNumber = false;
    for (char c : text) {
        if (isDigit(c)) {
            value = (value * 10 + (c - '0')) % 100;
            inNumber = true;
        } else if (inNumber) {
            addresses.push_back(value);
            value = 0;
            inNumber = false;
        }
    }
    if (inNumber) {
        addresses.push_back(value);
    }
    return addresses;
}

double leadingNumber(const std::string& text, size_t maxChars) {
    const std::string s = text.substr(0, maxChars);
    size_t i = 0;
    while (i < s.size() && isBlank(s[i])) {
        ++i;
    }
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    // Only a decimal number counts: no "inf", "nan" or hexadecimal forms.
    if (i >= s.size() || !(isDigit(s[i]) || s[i] == '.')) {
        return 0.0;
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(s.data() + i, s.data() + s.size(), value);
    if (error != std::errc() || end == s.data() + i) {
        return 0.0;
    }
    return negative ? -value : value;
}

int64_t leadingInteger(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && isBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t value = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        value = std::min<int64_t>(value * 10 + (text[i] - '0'), INT64_MAX / 10);
    }
    return negative ? -value : value;
}

CurveRules::CurveRules(TrackingCurve curve, uint8_t port, uint8_t baud, uint8_t firstAddress,
                       Clock& clock)
    : m_curve(std::move(curve)),
      m_port(port),
      m_baud(baud),
      m_firstAddress(firstAddress),
      m_addresses{firstAddress},
      m_current(kNoValue),
      m_grid(clock) {}

CurveOutcome CurveRules::addSegment() {
    if (m_state != CurveRunState::Stopped) {
        return {};
    }
    CurveOutcome outcome;
    if (m_curve.addSegment() == CurveStatus::Full) {
        outcome.message = kCurveFullText;
    }
    return outcome;
}

void CurveRules::deleteSegment() {
    if (m_state != CurveRunState::Stopped || m_selected < 0 || m_curve.count() == 0) {
        return;
    }
    m_curve.deleteSegment(m_selected);
    m_selected = 0;
}

void CurveRules::selectNext() {
    if (m_curve.count() == 0) {
        m_selected = -1;
        return;
    }
    m_selected = m_selected + 1 >= m_curve.count() ? 0 : m_selected + 1;
}

void CurveRules::modifySegment(const std::string& rate, const std::string& level,
                               const std::string& dwell) {
    if (m_state != CurveRunState::Stopped || m_selected < 0) {
        return;
    }
    m_curve.setSegment(m_selected, leadingNumber(utf8ToGbk(rate), kEditBoxChars),
                       leadingNumber(utf8ToGbk(level), kEditBoxChars),
                       leadingNumber(utf8ToGbk(dwell), kEditBoxChars));
}

std::string CurveRules::checkLink(const CurveBoxes& boxes) {
    if (boxes.port < 0 || boxes.port >= 6 || boxes.baud < 0 || boxes.baud >= kBaudCount) {
        return kCurveInputErrorText;
    }
    std::vector<int> addresses = curveAddressList(boxes.addresses);
    if (addresses.empty()) {
        return kNoAddressText;
    }
    m_port = static_cast<uint8_t>(boxes.port);
    m_baud = static_cast<uint8_t>(boxes.baud);
    m_addresses = std::move(addresses);
    return {};
}

bool CurveRules::readInterval(const CurveBoxes& boxes) {
    const int64_t seconds = leadingInteger(utf8ToGbk(boxes.interval));
    if (seconds <= 0 || seconds > kLongestIntervalSeconds) {
        return false;
    }
    m_interval = static_cast<int>(seconds);
    return true;
}

void CurveRules::queueWrites(Purpose purpose, uint32_t code, const std::vector<std::string>& values,
                             int64_t elapsed) {
    for (int address : m_addresses) {
        for (const std::string& value : values) {
            m_queue.push_back({LinkRequest::write(m_port, m_baud, static_cast<uint8_t>(address),
                                                  code, padValueText(value)),
                               purpose, m_run, false, elapsed});
        }
    }
    if (!m_queue.empty() && m_queue.back().purpose == purpose) {
        m_queue.back().last = true;
    }
}

void CurveRules::queueCommand(const char* status) {
    queueWrites(Purpose::Command, kOS, {status});
}

bool CurveRules::queued(Purpose purpose) const {
    if (m_inFlight && m_inFlight->purpose == purpose) {
        return true;
    }
    for (const Pending& p : m_queue) {
        if (p.purpose == purpose) {
            return true;
        }
    }
    return false;
}

void CurveRules::dropQueued(Purpose purpose) {
    std::erase_if(m_queue, [purpose](const Pending& p) { return p.purpose == purpose; });
}

CurveOutcome CurveRules::download(const CurveBoxes& boxes) {
    if (m_state != CurveRunState::Stopped || queued(Purpose::Download)) {
        return {};
    }
    CurveOutcome outcome;
    outcome.message = checkLink(boxes);
    if (!outcome.message.empty()) {
        return outcome;
    }
    if (m_curve.count() > TrackingCurve::kControllerSegments) {
        outcome.message = kTooManyForControllerText;
        return outcome;
    }
    if (m_curve.count() == 0) {
        outcome.message = kWriteDoneText;
        return outcome;
    }
    // Address by address, segment by segment: r, L, t.
    for (int address : m_addresses) {
        for (int k = 0; k < m_curve.count(); ++k) {
            const CurveSegment& s = m_curve.segments()[static_cast<size_t>(k)];
            const double fields[3] = {s.rate, s.level, s.dwell};
            for (int field = 0; field < 3; ++field) {
                m_queue.push_back(
                    {LinkRequest::write(m_port, m_baud, static_cast<uint8_t>(address),
                                        segmentCode(k, field),
                                        padValueText(formatDouble("%0.2f", fields[field]))),
                     Purpose::Download, m_run, false, 0});
            }
        }
    }
    m_queue.back().last = true;
    return outcome;
}

CurveOutcome CurveRules::run(const CurveBoxes& boxes) {
    CurveOutcome outcome;
    if (m_state == CurveRunState::Running) {
        return outcome;
    }
    if (m_state == CurveRunState::Paused) {
        if (!readInterval(boxes)) {
            outcome.message = kIntervalErrorText;
            return outcome;
        }
        m_state = CurveRunState::Running;
        // A tick still under way goes on from where it takes the program.
        int64_t base = m_elapsed;
        if (m_inFlight && m_inFlight->purpose == Purpose::Tick) {
            base = m_inFlight->elapsed;
        }
        for (const Pending& p : m_queue) {
            if (p.purpose == Purpose::Tick) {
                base = p.elapsed;
            }
        }
        startGrid(base, outcome);
        return outcome;
    }
    if (queued(Purpose::StartRead) || queued(Purpose::Download) || m_awaitingStart) {
        return outcome;
    }
    outcome.message = checkLink(boxes);
    if (!outcome.message.empty()) {
        return outcome;
    }
    if (!m_pcControl) {
        queueCommand(">0002");
        m_state = CurveRunState::Running;
        return outcome;
    }
    if (!readInterval(boxes)) {
        outcome.message = kIntervalErrorText;
        return outcome;
    }
    m_awaitingStart = true;
    outcome.askStartPoint = true;
    return outcome;
}

CurveOutcome CurveRules::startRun(StartChoice choice, double typed) {
    CurveOutcome outcome;
    if (!m_awaitingStart || m_state != CurveRunState::Stopped) {
        return outcome;
    }
    m_awaitingStart = false;
    ++m_run;
    m_firstAddress = static_cast<uint8_t>(m_addresses.front());
    if (choice == StartChoice::Typed) {
        begin(typed, outcome);
        return outcome;
    }
    const uint32_t code = choice == StartChoice::ProcessValue ? kPV : kSL;
    m_queue.push_back({LinkRequest::read(ReadRequest{code, m_port, m_baud, m_firstAddress}),
                       Purpose::StartRead, m_run, true, 0});
    return outcome;
}

void CurveRules::begin(double start, CurveOutcome& outcome) {
    m_start = start;
    m_elapsed = 0;
    m_state = CurveRunState::Running;
    startGrid(0, outcome);
}

void CurveRules::startGrid(int64_t base, CurveOutcome& outcome) {
    m_gridBase = base;
    outcome.timer = TimerAction::Start;
    outcome.intervalMs = m_grid.start(int64_t{m_interval} * 1000);
    endIfOver(outcome);
}

CurveOutcome CurveRules::pause() {
    CurveOutcome outcome;
    if (m_state != CurveRunState::Running) {
        return outcome;
    }
    if (!m_pcControl) {
        queueCommand(">0003");
        return outcome;
    }
    m_state = CurveRunState::Paused;
    outcome.timer = TimerAction::Stop;
    return outcome;
}

CurveOutcome CurveRules::stop() {
    CurveOutcome outcome;
    if (!m_pcControl) {
        queueCommand(">0000");
    } else {
        outcome.timer = TimerAction::Stop;
    }
    m_state = CurveRunState::Stopped;
    m_awaitingStart = false;
    dropQueued(Purpose::StartRead);
    ++m_run;
    return outcome;
}

CurveOutcome CurveRules::setPcControl(bool on) {
    CurveOutcome outcome;
    if (m_state != CurveRunState::Stopped) {
        return outcome;
    }
    m_pcControl = on;
    outcome.message = on ? kPcModeText : kInstrumentModeText;
    return outcome;
}

CurveOutcome CurveRules::tick() {
    CurveOutcome outcome;
    if (m_state != CurveRunState::Running || !m_pcControl) {
        return outcome;
    }
    m_grid.advance();
    outcome.timer = TimerAction::Start;
    outcome.intervalMs = m_grid.untilNext();
    if (queued(Purpose::Tick)) {
        return outcome;  // skipped: the last tick's set values are still going out
    }
    const int64_t elapsed = m_gridBase + m_grid.index() * m_interval;
    m_current = m_curve.valueAt(m_start, elapsed - m_interval);
    queueWrites(Purpose::Tick, kSL, {formatDouble("%f", m_current)}, elapsed);
    return outcome;
}

std::optional<LinkRequest> CurveRules::nextRequest() {
    if (m_inFlight || m_queue.empty()) {
        return std::nullopt;
    }
    m_inFlight = std::move(m_queue.front());
    m_queue.pop_front();
    return m_inFlight->request;
}

CurveOutcome CurveRules::finishRequest(const LinkResult& result) {
    CurveOutcome outcome;
    if (!m_inFlight) {
        return outcome;
    }
    const Pending done = std::move(*m_inFlight);
    m_inFlight.reset();
    switch (done.purpose) {
        case Purpose::Download:
            if (result.writeReply != kACK) {
                outcome.message = result.writeReply == kNAK ? kWriteRefusedText : kLinkErrorText;
                dropQueued(Purpose::Download);
            } else if (done.last) {
                outcome.message = kWriteDoneText;
            }
            break;
        case Purpose::Command:
            break;  // the controllers' answers to commands are not examined
        case Purpose::StartRead:
            if (done.run == m_run && m_state == CurveRunState::Stopped) {
                begin(result.value.value_or(0.0), outcome);
            }
            break;
        case Purpose::Tick:
            if (done.last && done.run == m_run) {
                m_elapsed = done.elapsed;
                endIfOver(outcome);
            }
            break;
    }
    return outcome;
}

bool CurveRules::programOver() const {
    const auto& segments = m_curve.segments();
    const bool drawsSegments = !segments.empty() && segments.front().rate >= 0;
    return drawsSegments && static_cast<double>(m_elapsed) > m_curve.totalMinutes(m_start) * 60.0;
}

void CurveRules::endIfOver(CurveOutcome& outcome) {
    if (m_pcControl && m_state == CurveRunState::Running && programOver()) {
        m_state = CurveRunState::Paused;
        outcome.timer = TimerAction::Stop;
    }
}

}  // namespace tervo
