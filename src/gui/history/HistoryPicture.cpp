#include "gui/history/HistoryPicture.h"

#include <QMetaObject>
#include <QPaintDevice>
#include <QPainter>
#include <QPolygon>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <system_error>
#include <thread>

#include "core/link/ParameterTable.h"
#include "gui/widgets/ChartFrame.h"
#include "gui/widgets/Fonts.h"
#include "gui/widgets/Translate.h"

namespace tervo::gui {

namespace {

QString text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

const WorkDefinition& work(const HistoryPictureInput& in) {
    return in.history->definition;
}

size_t channelCount(const HistoryPictureInput& in) {
    return std::min(work(in).channels.size(), size_t(kMaxChannels));
}

int64_t firstRowTime(const HistoryPictureInput& in) {
    return in.history->rowCount() > 0 ? in.history->times[0] : 0;
}

// The pixels of a one-pixel line, both ends included, as Qt's cosmetic pen draws it.
template <class Mark>
void bresenham(int x0, int y0, int x1, int y1, Mark&& mark) {
    const int dx = std::abs(x1 - x0);
    const int dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1;
    const int sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        mark(x0, y0);
        if (x0 == x1 && y0 == y1) {
            return;
        }
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

// A one-pixel line straight into the picture's pixels; pixels outside it are left alone.
void plotLine(QImage& image, int x0, int y0, int x1, int y1, QRgb colour) {
    const int w = image.width();
    const int h = image.height();
    auto* bits = reinterpret_cast<QRgb*>(image.bits());
    const qsizetype stride = image.bytesPerLine() / 4;
    bresenham(x0, y0, x1, y1, [&](int x, int y) {
        if (x >= 0 && x < w && y >= 0 && y < h) {
            bits[y * stride + x] = colour;
        }
    });
}

// The million-row period pictures would spend seconds in the general stroker: a one-pixel pen
// on the picture's own image is drawn straight into its pixels instead.
QImage* directImage(QPainter& p) {
    if (p.device() == nullptr || p.device()->devType() != QInternal::Image ||
        !p.transform().isIdentity()) {
        return nullptr;
    }
    auto* image = static_cast<QImage*>(p.device());
    const bool whole = image->width() > kChartLastX && image->height() > kChartLastY;
    return whole && image->format() == QImage::Format_RGB32 ? image : nullptr;
}

QImage* directTarget(QPainter& p) {
    return p.pen().width() > 1 ? nullptr : directImage(p);
}

void drawPath(QPainter& p, const Path& path) {
    if (QImage* image = directTarget(p)) {
        const QRgb colour = p.pen().color().rgb();
        for (size_t i = 1; i < path.size(); ++i) {
            if (path[i].line) {
                plotLine(*image, path[i - 1].x, path[i - 1].y, path[i].x, path[i].y, colour);
            }
        }
        return;
    }
    QPolygon run;
    auto flush = [&] {
        if (run.size() == 2 && run[0] == run[1]) {
            // A line that starts where it ends still marks its pixel, as a dot.
            p.drawPoint(run[0]);
        } else if (run.size() > 1) {
            p.drawPolyline(run);
        }
        run.clear();
    };
    for (const PathStep& step : path) {
        if (!step.line) {
            flush();
        }
        run.append(QPoint(step.x, step.y));
    }
    flush();
}

// The one-pixel curves of a period picture in one map holding, per pixel, the last channel
// that draws there (slot + 1, 0 for none). All lines of a channel have its colour, so the last
// channel on a pixel is the colour it ends with, whatever order the lines are drawn in: the
// rows are walked once for all channels, in parts on several processors, and no path is kept.
// The map is the walk's sink.
//
// With one plane per channel each channel marks its own plane with 1
// instead: the pixels each one draws, apart, for the picture's layers.
class TopChannelMap {
public:
    static constexpr size_t kPixels = size_t(kChartWidth) * kChartHeight;

    static constexpr size_t kPlaneBytes = (kPixels + 7) / 8;

    // `planes`: 0 for the one map of the last channels, else the number of channels apart.
    explicit TopChannelMap(size_t planes = 0)
        : m_top(planes > 0 ? planes * kPlaneBytes : kPixels, 0),
          m_perChannel(planes > 0),
          m_short(shortLines()) {}

    // The pixels channel `slot` draws with one plane per channel, a bit each (pixel i at bit
    // i % 8 of byte i / 8): a plane is small enough for twenty of them to stay in the cache.
    const uint8_t* plane(size_t slot) const { return m_top.data() + slot * kPlaneBytes; }

    void move(size_t slot, int x, int y) {
        m_x[slot] = x;
        m_y[slot] = y;
        m_afterLine[slot] = false;
    }

    // Nearly every line of a period picture is a few pixels long and inside it: those go
    // through the table of short lines. Their places in it are worked out for the whole block
    // first, in a loop the compiler makes vector instructions of. A line starts on the pixel
    // the channel's previous line ended on, which is marked already.
    void lines(size_t slot, const int* xs, const int* ys, size_t n) {
        if (n == 0) {
            return;
        }
        const auto mark = static_cast<uint8_t>(m_perChannel ? 1 : slot + 1);
        m_pointX[0] = m_x[slot];
        m_pointY[0] = m_y[slot];
        std::copy(xs, xs + n, m_pointX.begin() + 1);
        std::copy(ys, ys + n, m_pointY.begin() + 1);
        for (size_t i = 0; i < kBlock; ++i) {  // the whole block: no remainder loop
            const int x0 = m_pointX[i];
            const int y0 = m_pointY[i];
            const int dx = m_pointX[i + 1] - x0;
            const int dy = m_pointY[i + 1] - y0;
            const bool fits =
                (unsigned(dx + kShort) <= 2 * kShort) & (unsigned(dy + kShort) <= 2 * kShort) &
                (unsigned(x0) <= kChartLastX) & (unsigned(y0) <= kChartLastY) &
                (unsigned(x0 + dx) <= kChartLastX) & (unsigned(y0 + dy) <= kChartLastY);
            m_index[i] = fits ? ((dy + kShort) * kSide + dx + kShort) * kShortPixels : -1;
            // A line has one pixel more than its longer side; the start's is marked already.
            const int ax = dx < 0 ? -dx : dx;
            const int ay = dy < 0 ? -dy : dy;
            m_count[i] = ax > ay ? ax : ay;
            m_start[i] = y0 * kWidth + x0;
        }
        if (!m_afterLine[slot] && m_index[0] >= 0) {
            ++m_count[0];
        }
        if (m_perChannel) {
            markBits(m_top.data() + slot * kPlaneBytes, xs, n);
        } else {
            markTop(mark, xs, n);
        }
        m_x[slot] = xs[n - 1];
        m_y[slot] = ys[n - 1];
        m_afterLine[slot] = true;
    }

private:
    void markTop(uint8_t mark, const int* xs, size_t n) {
        uint8_t* top = m_top.data();
        for (size_t i = 0; i < n; ++i) {
            if (m_index[i] >= 0) [[likely]] {
                const int* offsets = m_short.data() + m_index[i];
                const int count = m_count[i];
                uint8_t* at = top + m_start[i];
                auto markAt = [at, mark](int offset) {
                    uint8_t& pixel = at[offset];
                    pixel = std::max(pixel, mark);
                };
                markAt(offsets[0]);
                if (count > 1) {
                    markAt(offsets[1]);
                    for (int k = 2; k < count; ++k) {
                        markAt(offsets[k]);
                    }
                }
            } else {
                bresenham(m_pointX[i], m_pointY[i], xs[i], m_pointY[i + 1], [&](int x, int y) {
                    if (inside(x, y)) {
                        uint8_t& pixel = top[size_t(y) * kWidth + x];
                        pixel = std::max(pixel, mark);
                    }
                });
            }
        }
    }

    void markBits(uint8_t* bits, const int* xs, size_t n) {
        for (size_t i = 0; i < n; ++i) {
            if (m_index[i] >= 0) [[likely]] {
                const int* offsets = m_short.data() + m_index[i];
                const int count = m_count[i];
                const int start = m_start[i];
                auto markAt = [bits, start](int offset) {
                    const auto at = static_cast<unsigned>(start + offset);
                    bits[at >> 3] |= static_cast<uint8_t>(1u << (at & 7));
                };
                markAt(offsets[0]);
                if (count > 1) {
                    markAt(offsets[1]);
                    for (int k = 2; k < count; ++k) {
                        markAt(offsets[k]);
                    }
                }
            } else {
                bresenham(m_pointX[i], m_pointY[i], xs[i], m_pointY[i + 1], [&](int x, int y) {
                    if (inside(x, y)) {
                        const auto at = static_cast<unsigned>(y * kWidth + x);
                        bits[at >> 3] |= static_cast<uint8_t>(1u << (at & 7));
                    }
                });
            }
        }
    }

public:
    // Takes the other map's channels where they are the later ones.
    void merge(const TopChannelMap& other) {
        for (size_t i = 0; i < m_top.size(); ++i) {
            m_top[i] =
                m_perChannel ? m_top[i] | other.m_top[i] : std::max(m_top[i], other.m_top[i]);
        }
    }

    // Colours the pixels within `area` that the channels from `firstSlot` on end on, each with
    // its colour (colours[slot]).
    void paint(QImage& image, const std::array<QRgb, kMaxChannels>& colours, const QRect& area,
               size_t firstSlot) const {
        const QRect within = area & QRect(0, 0, kWidth, kChartHeight);
        const auto first = static_cast<uint8_t>(firstSlot + 1);
        auto* bits = reinterpret_cast<QRgb*>(image.bits());
        const qsizetype stride = image.bytesPerLine() / 4;
        for (int y = within.top(); y <= within.bottom(); ++y) {
            const uint8_t* top = m_top.data() + size_t(y) * kWidth;
            QRgb* pixel = bits + y * stride;
            for (int x = within.left(); x <= within.right(); ++x) {
                if (top[x] >= first) {
                    pixel[x] = colours[top[x] - 1];
                }
            }
        }
    }

private:
    static constexpr int kWidth = kChartWidth;
    static constexpr size_t kBlock = detail::kWalkBlock;
    // The short lines, as offsets in the map from their start pixel, which comes last. A
    // line's first pixel and its second, if any, are marked before any loop: nearly every line
    // has no more, and its length then costs no guess of the loop's end. A line without length
    // marks its start, which is marked already, once more.
    static constexpr int kShort = 7;
    static constexpr int kSide = 2 * kShort + 1;
    static constexpr int kShortPixels = kShort + 1;
    using ShortLines = std::array<int, size_t(kSide) * kSide * kShortPixels>;

    static const ShortLines& shortLines() {
        static const ShortLines lines = [] {
            ShortLines table{};
            for (int dy = -kShort; dy <= kShort; ++dy) {
                for (int dx = -kShort; dx <= kShort; ++dx) {
                    int* offsets =
                        table.data() + ((dy + kShort) * kSide + dx + kShort) * kShortPixels;
                    int count = 0;
                    bresenham(0, 0, dx, dy,
                              [&](int x, int y) { offsets[count++] = y * kWidth + x; });
                    std::rotate(offsets, offsets + 1, offsets + count);
                }
            }
            return table;
        }();
        return lines;
    }

    static bool inside(int x, int y) {
        return x >= 0 && x <= kChartLastX && y >= 0 && y <= kChartLastY;
    }

    std::vector<uint8_t> m_top;
    bool m_perChannel;
    const ShortLines& m_short;
    std::array<int, kMaxChannels> m_x{};
    std::array<int, kMaxChannels> m_y{};
    std::array<bool, kMaxChannels> m_afterLine{};
    // The block's points after the pen's, their lines' places in the table and start pixels.
    std::array<int, kBlock + 1> m_pointX{};
    std::array<int, kBlock + 1> m_pointY{};
    std::array<int, kBlock> m_index{};
    std::array<int, kBlock> m_count{};
    std::array<int, kBlock> m_start{};
};

// The time grid and labels of the curve (and of the period curve, never full screen): line k
// stands (190 k x zoom + offset) sampling periods into the recording, or k fifths of it in full
// screen.
void drawTimeAxis(ChartFrame& frame, const HistoryPictureInput& in, bool fullScreen) {
    const int64_t period = work(in).timing.samplingPeriod;
    const int64_t rows = static_cast<int64_t>(in.history->rowCount());
    GridLabels labels;
    for (int k = 0; k <= kGridDivisions; ++k) {
        const int64_t x = static_cast<int64_t>(kTimeGridStep) * k;
        const int64_t seconds =
            fullScreen ? rows * k / kGridDivisions * period : (x * in.zoom + in.offset) * period;
        labels[static_cast<size_t>(k)] =
            gridLabel(in.options, in.clock, seconds, firstRowTime(in) + seconds);
    }
    frame.timeGrid(labels);
}

// The value grid, labelled from the range the curves are drawn in: the standard range with
// standard coordinates, else the data range.
void drawValueAxis(ChartFrame& frame, const HistoryPictureInput& in) {
    frame.valueGrid(pictureLow(in), pictureHigh(in));
}

// The legend's names in the font the picture writes its channels' texts in.
void drawLegendEntry(ChartFrame& frame, const HistoryPictureInput& in, size_t c,
                     const QFont& font) {
    if (!in.options.legend || in.printing) {
        return;
    }
    frame.legendEntry(c, in.visible[c], false, LegendLook{font, 0});
}

QPen channelPen(const HistoryPictureInput& in, size_t c) {
    const ChannelStyle& style = work(in).styles[c];
    return QPen(colourOf(style.colour), penWidthOf(style.penWidth) + 1);
}

PathInput pathInput(const HistoryPictureInput& in, size_t c) {
    PathInput path;
    path.recording = in.history;
    path.channel = c;
    path.lo = pictureLow(in);
    path.hi = pictureHigh(in);
    path.zoom = in.zoom;
    path.offset = in.offset;
    path.period = static_cast<uint32_t>(work(in).timing.displayPeriod);
    return path;
}

// A part of a period picture's walk into its map (`chart`: the polar chart, else the period
// curve).
inline void walkPartOf(const PeriodWalk& walk, bool chart, TopChannelMap& map, size_t begin,
                       size_t end) {
    if (chart) {
        walkPeriodChart(walk, map, begin, end);
    } else {
        walkPeriodCurve(walk, map, begin, end);
    }
}

// The walk with everything it calls built in, on the baseline instruction set.
[[gnu::flatten]] void walkPartBaseline(const PeriodWalk& walk, bool chart, TopChannelMap& map,
                                       size_t begin, size_t end) {
    walkPartOf(walk, chart, map, begin, end);
}

#if defined(__x86_64__)
// The same for processors with the wider vector instructions (nearly all of the last ten
// years): the heights and the lines' places four and eight at a time, for a third less
// time. These instructions give each result to the bit as the baseline ones do; the fused
// multiply-add, which would not, is not among them.
[[gnu::flatten, gnu::target("avx2")]] void walkPartWide(const PeriodWalk& walk, bool chart,
                                                        TopChannelMap& map, size_t begin,
                                                        size_t end) {
    walkPartOf(walk, chart, map, begin, end);
}
#endif

std::atomic<bool> g_wideWalks{true};

void walkPart(const PeriodWalk& walk, bool chart, TopChannelMap& map, size_t begin, size_t end) {
#if defined(__x86_64__)
    static const bool wide = __builtin_cpu_supports("avx2");
    if (wide && g_wideWalks.load(std::memory_order_relaxed)) {
        walkPartWide(walk, chart, map, begin, end);
        return;
    }
#endif
    walkPartBaseline(walk, chart, map, begin, end);
}

// The map of a period picture's channels. A million rows of twenty channels are a few hundred
// milliseconds of work for one processor: the rows (the period curve's steps) are shared out
// among the processors, each walking its part for all channels into a map of its own, and the
// maps are merged.
std::unique_ptr<TopChannelMap> walkChannels(const PeriodWalk& walk, bool chart, size_t planes = 0) {
    const size_t total = chart ? walk.recording->rowCount() : periodCurveSteps(walk);
    auto walkInto = [&walk, chart](TopChannelMap& map, size_t begin, size_t end) {
        walkPart(walk, chart, map, begin, end);
    };
    constexpr size_t kWorthSharing = 200'000;  // rows x channels
    const size_t parts =
        total * walk.channels.size() < kWorthSharing
            ? 1
            : std::min<size_t>(std::max(1u, std::thread::hardware_concurrency()), 4);
    std::vector<std::unique_ptr<TopChannelMap>> maps;
    for (size_t i = 0; i < parts; ++i) {
        maps.push_back(std::make_unique<TopChannelMap>(planes));
    }
    {
        std::vector<std::jthread> helpers;
        for (size_t i = 1; i < parts; ++i) {
            const size_t begin = total * i / parts;
            const size_t end = total * (i + 1) / parts;
            try {
                helpers.emplace_back([&, i, begin, end] { walkInto(*maps[i], begin, end); });
            } catch (const std::system_error&) {
                walkInto(*maps[i], begin, end);  // no thread to be had: this one does it
            }
        }
        walkInto(*maps[0], 0, total / parts);
    }
    for (size_t i = 1; i < parts; ++i) {
        maps[0]->merge(*maps[i]);
    }
    return std::move(maps[0]);
}

// The pixels a legend entry may cover: its colour box, check box and name, with room to spare.
QRect legendArea(size_t c) {
    const int left = kLegendBoxLeft - 7;
    return QRect(left, legendTop(static_cast<int>(c)) - 10, kChartWidth - left, 2 * kLegendStep);
}

// The channels of a period picture (`chart`: the polar chart, else the period curve), each
// after its legend entry. One-pixel pens on the picture's own image go through one map with
// every row walked once for all of them; any other pen or target is drawn by the painter,
// channel by channel.
void drawPeriodChannels(QPainter& p, ChartFrame& frame, const HistoryPictureInput& in, bool chart,
                        const QFont& legendFont) {
    const size_t rows = in.history->rowCount();
    QImage* image = directImage(p);
    PeriodWalk walk;
    walk.recording = in.history;
    walk.lo = pictureLow(in);
    walk.hi = pictureHigh(in);
    walk.period = static_cast<uint32_t>(work(in).timing.displayPeriod);
    walk.zoom = in.zoom;
    walk.offset = in.offset;
    walk.samplingPeriod = work(in).timing.samplingPeriod;
    std::array<int, kMaxChannels> slot{};
    slot.fill(-1);
    std::array<QRgb, kMaxChannels> colours{};
    bool allMapped = true;
    for (size_t c = 0; c < channelCount(in); ++c) {
        if (!in.visible[c] || rows == 0) {
            continue;
        }
        if (image != nullptr && channelPen(in, c).width() <= 1) {
            slot[c] = static_cast<int>(walk.channels.size());
            colours[walk.channels.size()] = channelPen(in, c).color().rgb();
            walk.channels.push_back(c);
        } else {
            allMapped = false;
        }
    }
    std::unique_ptr<TopChannelMap> map;
    if (!walk.channels.empty()) {
        map = walkChannels(walk, chart);
    }
    if (map && allMapped) {
        // All channels in one pass; then each legend entry, with the channels drawn after it
        // coloured again where it may have covered them.
        map->paint(*image, colours, QRect(0, 0, kChartWidth, kChartHeight), 0);
        size_t laterSlot = 0;  // the first slot of a channel from c on
        for (size_t c = 0; c < channelCount(in); ++c) {
            drawLegendEntry(frame, in, c, legendFont);
            while (laterSlot < walk.channels.size() && walk.channels[laterSlot] < c) {
                ++laterSlot;
            }
            if (in.options.legend && !in.printing && laterSlot < walk.channels.size()) {
                map->paint(*image, colours, legendArea(c), laterSlot);
            }
        }
        return;
    }
    for (size_t c = 0; c < channelCount(in); ++c) {
        drawLegendEntry(frame, in, c, legendFont);
        if (!in.visible[c] || rows == 0) {
            continue;
        }
        if (slot[c] >= 0) {
            // The later channels in the map are coloured again at their own turn.
            map->paint(*image, colours, QRect(0, 0, kChartWidth, kChartHeight),
                       static_cast<size_t>(slot[c]));
            continue;
        }
        p.setPen(channelPen(in, c));
        drawPath(p, chart ? periodChartPath(pathInput(in, c))
                          : periodCurvePath(pathInput(in, c), walk.samplingPeriod));
    }
}

void drawCurve(QPainter& p, ChartFrame& frame, const HistoryPictureInput& in) {
    if (in.options.timeGrid) {
        drawTimeAxis(frame, in, in.fullScreen);
    }
    if (in.options.timeCursor) {
        frame.timeRuler(in.ruler);
    }
    if (in.options.valueGrid) {
        drawValueAxis(frame, in);
    }
    const QFont legendFont = songFont(20, 10);
    for (size_t c = 0; c < channelCount(in); ++c) {
        drawLegendEntry(frame, in, c, legendFont);
        if (in.visible[c]) {
            p.setPen(channelPen(in, c));
            drawPath(p, in.fullScreen ? fullScreenCurvePath(pathInput(in, c))
                                      : scrollingCurvePath(pathInput(in, c)));
        }
    }
}

// The display period under the legend, in the grid labels' font.
void drawPeriodTexts(QPainter& p, const HistoryPictureInput& in) {
    p.setPen(Qt::black);
    textAt(p, 800, 470, trc("HistoryPicture", "展开周期："));
    textAt(p, 800, 490,
           trc("HistoryPicture", "%1秒").arg(static_cast<uint32_t>(work(in).timing.displayPeriod)));
}

void drawPeriodChart(QPainter& p, ChartFrame& frame, const HistoryPictureInput& in) {
    const WorkDefinition& w = work(in);
    const QFont labelFont = songFont(12, 6);
    p.setFont(labelFont);
    if (in.options.timeGrid) {
        const int64_t period = w.timing.samplingPeriod;
        const int64_t turn = static_cast<uint32_t>(w.timing.displayPeriod);
        // Spoke k at k x 1.25664 radians, its end truncated to the pixel; its label the time
        // of k fifths of a turn, or the clock time k sampling periods back.
        int k = 0;
        for (double a = 0; a < 6.2832 && k < kGridDivisions; a += 1.25664, ++k) {
            p.setPen(QPen(colourOf(w.timeAxisColour), 0));
            p.drawLine(kPolarCentreX, kPolarCentreY,
                       static_cast<int>(std::trunc(std::cos(a) * kPolarRadius + kPolarCentreX)),
                       static_cast<int>(std::trunc(std::sin(a) * kPolarRadius + kPolarCentreY)));
            frame.spokeLabel(k, gridLabel(in.options, in.clock, k * period * turn / kGridDivisions,
                                          in.now - k * period));
        }
        drawPeriodTexts(p, in);
    }
    if (in.options.valueGrid) {
        for (int j = 0; j <= kGridDivisions; ++j) {
            frame.ring(j);
            frame.ringLabel(j, w.valueMin, w.valueMax);
        }
    }
    drawPeriodChannels(p, frame, in, true, labelFont);
}

void drawPeriodCurve(QPainter& p, ChartFrame& frame, const HistoryPictureInput& in) {
    const WorkDefinition& w = work(in);
    if (in.options.timeGrid) {
        drawTimeAxis(frame, in, false);
        const int t = static_cast<int>(
            std::min<uint32_t>(static_cast<uint32_t>(w.timing.displayPeriod), 100000u));
        p.setPen(QPen(colourOf(w.timeAxisColour), 0));
        p.drawLine(t, 0, t, kChartLastY);
        drawPeriodTexts(p, in);
    }
    if (in.options.valueGrid) {
        drawValueAxis(frame, in);
    }
    drawPeriodChannels(p, frame, in, false, songFont(20, 10));
}

void drawChannelInformation(QPainter& p, const HistoryPictureInput& in) {
    const WorkDefinition& w = work(in);
    p.setFont(songFont(18, 9));
    p.setPen(Qt::black);
    textAt(p, 10, 10, trc("HistoryPicture", "采样周期：%1秒").arg(w.timing.samplingPeriod));
    for (size_t c = 0; c < w.channels.size(); ++c) {
        const ChannelInfo& ch = w.channels[c];
        const int y1 = 50 * static_cast<int>(c) + 50;
        const int y2 = y1 + 20;
        textAt(p, 10, y1, gbkText(ch.nameGbk()));
        textAt(p, 160, y1, gbkText(parameterText(ch.parameterCode)));
        textAt(p, 160, y2, trc("HistoryPicture", "串口号："));
        textAt(p, 280, y2, text(portText(ch.port)));
        textAt(p, 410, y1, trc("HistoryPicture", "显示系数："));
        textAt(p, 410, y2, trc("HistoryPicture", "波特率："));
        textAt(p, 530, y1, QString::asprintf("%0.2f", ch.displayCoefficient));
        textAt(p, 530, y2, text(baudIndexText(ch.baud)));
        textAt(p, 660, y1, trc("HistoryPicture", "平移系数："));
        textAt(p, 660, y2, trc("HistoryPicture", "仪表地址："));
        textAt(p, 780, y1, QString::asprintf("%0.2f", ch.offsetCoefficient));
        textAt(p, 780, y2, text(addressText(ch.address)));
    }
}

}  // namespace

double pictureLow(const HistoryPictureInput& in) {
    return in.options.axisOption ? work(in).valueMin : in.dataRange.minimum;
}

double pictureHigh(const HistoryPictureInput& in) {
    return in.options.axisOption ? work(in).valueMax : in.dataRange.maximum;
}

void paintHistoryPicture(QPainter& p, const HistoryPictureInput& in) {
    p.save();
    p.setClipRect(0, 0, kChartWidth, kChartHeight);
    p.fillRect(0, 0, kChartWidth, kChartHeight, colourOf(work(in).backgroundColour));
    ChartFrame frame(p, work(in), in.options);
    switch (in.mode) {
        case HistoryMode::Curve:
            drawCurve(p, frame, in);
            break;
        case HistoryMode::PeriodChart:
            drawPeriodChart(p, frame, in);
            break;
        case HistoryMode::PeriodCurve:
            drawPeriodCurve(p, frame, in);
            break;
        case HistoryMode::ChannelInfo:
            drawChannelInformation(p, in);
            break;
        case HistoryMode::Table:
        case HistoryMode::EventTable:
            break;
    }
    p.restore();
}

bool drawsTheSame(const HistoryPictureInput& a, const HistoryPictureInput& b) {
    const DisplayOptions& o = a.options;
    const DisplayOptions& p = b.options;
    const bool sameOptions = o.timeMinorGrid == p.timeMinorGrid &&
                             o.valueMinorGrid == p.valueMinorGrid && o.timeGrid == p.timeGrid &&
                             o.timeCursor == p.timeCursor && o.valueGrid == p.valueGrid &&
                             o.valueCursor == p.valueCursor && o.legend == p.legend &&
                             o.relativeTime == p.relativeTime && o.axisOption == p.axisOption;
    if (a.history != b.history || a.mode != b.mode || !sameOptions || a.visible != b.visible ||
        a.printing != b.printing || a.dataRange.minimum != b.dataRange.minimum ||
        a.dataRange.maximum != b.dataRange.maximum || a.clock != b.clock) {
        return false;
    }
    switch (a.mode) {
        case HistoryMode::Curve:
            return a.zoom == b.zoom && a.offset == b.offset && a.ruler == b.ruler &&
                   a.fullScreen == b.fullScreen;
        case HistoryMode::PeriodChart:
            return o.relativeTime || !o.timeGrid || a.now == b.now;
        case HistoryMode::PeriodCurve:
            return a.zoom == b.zoom && a.offset == b.offset;
        case HistoryMode::ChannelInfo:
        case HistoryMode::Table:
        case HistoryMode::EventTable:
            return true;
    }
    return false;
}

void allowWideVectorWalks(bool allowed) {
    g_wideWalks = allowed;
}

QImage renderHistoryPicture(const HistoryPictureInput& input) {
    QImage image(kChartWidth, kChartHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    paintHistoryPicture(painter, input);
    return image;
}

namespace {

constexpr size_t kLayerBytes = TopChannelMap::kPlaneBytes;

void markPixel(std::vector<uint8_t>& bits, int x, int y) {
    const auto at = static_cast<size_t>(y) * kChartWidth + static_cast<size_t>(x);
    bits[at >> 3] |= static_cast<uint8_t>(1u << (at & 7));
}

bool isPeriodMode(HistoryMode mode) {
    return mode == HistoryMode::PeriodChart || mode == HistoryMode::PeriodCurve;
}

bool hasLayers(HistoryMode mode) {
    return mode == HistoryMode::Curve || isPeriodMode(mode);
}

PathInput pathInputOf(const Recording& history, size_t c, const LayerKey& key) {
    PathInput path;
    path.recording = &history;
    path.channel = c;
    path.lo = key.lo;
    path.hi = key.hi;
    path.zoom = key.zoom;
    path.offset = key.offset;
    path.period = key.period;
    return path;
}

Path layerPath(const Recording& history, size_t c, const LayerKey& key) {
    switch (key.mode) {
        case HistoryMode::Curve:
            return key.fullScreen ? fullScreenCurvePath(pathInputOf(history, c, key))
                                  : scrollingCurvePath(pathInputOf(history, c, key));
        case HistoryMode::PeriodChart:
            return periodChartPath(pathInputOf(history, c, key));
        case HistoryMode::PeriodCurve:
            return periodCurvePath(pathInputOf(history, c, key), key.samplingPeriod);
        default:
            return {};
    }
}

// A path's pixels as the picture's painter draws them: one-pixel lines straight, any wider
// pen by the painter on a layer of its own, opaque, without antialiasing.
std::vector<uint8_t> pathPixels(const Path& path, int penWidth) {
    std::vector<uint8_t> pixels;
    if (path.size() < 2) {
        return pixels;
    }
    pixels.assign(kLayerBytes, 0);
    if (penWidth <= 1) {
        for (size_t i = 1; i < path.size(); ++i) {
            if (path[i].line) {
                bresenham(path[i - 1].x, path[i - 1].y, path[i].x, path[i].y, [&](int x, int y) {
                    if (x >= 0 && x <= kChartLastX && y >= 0 && y <= kChartLastY) {
                        markPixel(pixels, x, y);
                    }
                });
            }
        }
        return pixels;
    }
    QImage layer(kChartWidth, kChartHeight, QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    {
        QPainter p(&layer);
        p.setClipRect(0, 0, kChartWidth, kChartHeight);
        p.setPen(QPen(Qt::black, penWidth));
        drawPath(p, path);
    }
    for (int y = 0; y < kChartHeight; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(layer.constScanLine(y));
        for (int x = 0; x < kChartWidth; ++x) {
            if (qAlpha(line[x]) != 0) {
                markPixel(pixels, x, y);
            }
        }
    }
    return pixels;
}

// Colours the pixels a layer marks.
void paintLayer(QImage& image, const std::vector<uint8_t>& pixels, QRgb colour) {
    if (pixels.empty()) {
        return;
    }
    const qsizetype stride = image.bytesPerLine() / 4;
    auto* out = reinterpret_cast<QRgb*>(image.bits());
    // Eight bytes of the layer at a time: most of a picture is empty.
    for (size_t word = 0; word * 8 < pixels.size(); ++word) {
        uint64_t marks = 0;
        std::memcpy(&marks, pixels.data() + word * 8,
                    std::min<size_t>(8, pixels.size() - word * 8));
        while (marks != 0) {
            const size_t at = word * 64 + static_cast<size_t>(std::countr_zero(marks));
            marks &= marks - 1;
            const size_t y = at / kChartWidth;
            out[qsizetype(y) * stride + qsizetype(at - y * kChartWidth)] = colour;
        }
    }
}

}  // namespace

size_t LayerJob::rowsToWalk() const {
    if (history == nullptr || channels.empty()) {
        return 0;
    }
    const LayerKey& key = keys.front();
    size_t rows = kChartWidth;
    if (key.mode == HistoryMode::PeriodChart) {
        rows = history->rowCount();
    } else if (key.mode == HistoryMode::PeriodCurve) {
        PeriodWalk walk;
        walk.recording = history;
        walk.period = key.period;
        walk.zoom = key.zoom;
        walk.offset = key.offset;
        walk.samplingPeriod = key.samplingPeriod;
        rows = periodCurveSteps(walk);
    }
    return rows * channels.size();
}

std::vector<ChannelLayer> drawLayers(const LayerJob& job, const std::atomic<bool>* stop) {
    std::vector<ChannelLayer> layers;
    if (job.history == nullptr) {
        return layers;
    }
    // The one-pixel curves of a period picture: every row walked once for all of them.
    PeriodWalk walk;
    walk.recording = job.history;
    walk.stop = stop;
    std::vector<size_t> walked;
    for (size_t i = 0; i < job.channels.size(); ++i) {
        const LayerKey& key = job.keys[i];
        ChannelLayer layer{job.channels[i], key, {}};
        if (isPeriodMode(key.mode) && key.penWidth <= 1 && job.history->rowCount() > 0) {
            walk.lo = key.lo;
            walk.hi = key.hi;
            walk.period = key.period;
            walk.zoom = key.zoom;
            walk.offset = key.offset;
            walk.samplingPeriod = key.samplingPeriod;
            walk.channels.push_back(job.channels[i]);
            walked.push_back(layers.size());
        } else if (stop == nullptr || !stop->load()) {
            layer.pixels = pathPixels(layerPath(*job.history, job.channels[i], key), key.penWidth);
        }
        layers.push_back(std::move(layer));
    }
    if (!walk.channels.empty()) {
        const auto map = walkChannels(walk, job.keys.front().mode == HistoryMode::PeriodChart,
                                      walk.channels.size());
        for (size_t slot = 0; slot < walked.size(); ++slot) {
            const uint8_t* plane = map->plane(slot);
            layers[walked[slot]].pixels.assign(plane, plane + kLayerBytes);
        }
    }
    return layers;
}

LayerKey PictureLayers::keyOf(const HistoryPictureInput& in, size_t c) const {
    LayerKey key;
    key.history = in.history;
    key.generation = m_generation;
    key.mode = in.mode;
    key.lo = pictureLow(in);
    key.hi = pictureHigh(in);
    key.penWidth = channelPen(in, c).width();
    const uint32_t period = static_cast<uint32_t>(work(in).timing.displayPeriod);
    switch (in.mode) {
        case HistoryMode::Curve:
            key.fullScreen = in.fullScreen;
            if (!in.fullScreen) {
                key.zoom = in.zoom;
                key.offset = in.offset;
            }
            break;
        case HistoryMode::PeriodChart:
            key.period = period;
            break;
        case HistoryMode::PeriodCurve:
            key.period = period;
            key.zoom = in.zoom;
            key.offset = in.offset;
            key.samplingPeriod = work(in).timing.samplingPeriod;
            break;
        default:
            break;
    }
    return key;
}

LayerJob PictureLayers::missing(const HistoryPictureInput& in) const {
    LayerJob job;
    job.history = in.history;
    if (in.history == nullptr || !hasLayers(in.mode) || in.history->rowCount() == 0) {
        return job;
    }
    for (size_t c = 0; c < channelCount(in); ++c) {
        const LayerKey key = keyOf(in, c);
        if (in.visible[c] && held(c, key) == nullptr) {
            job.channels.push_back(c);
            job.keys.push_back(key);
        }
    }
    return job;
}

void PictureLayers::keep(std::vector<ChannelLayer> layers) {
    for (ChannelLayer& layer : layers) {
        if (layer.channel < kMaxChannels && layer.key.generation == m_generation) {
            const size_t kind = kindOf(layer.key);
            m_held[kind][layer.channel] = true;
            m_layers[kind][layer.channel] = std::move(layer);
        }
    }
}

size_t PictureLayers::kindOf(const LayerKey& key) {
    switch (key.mode) {
        case HistoryMode::PeriodChart:
            return 2;
        case HistoryMode::PeriodCurve:
            return 3;
        default:
            return key.fullScreen ? 1 : 0;
    }
}

const ChannelLayer* PictureLayers::held(size_t channel, const LayerKey& key) const {
    const size_t kind = kindOf(key);
    return m_held[kind][channel] && m_layers[kind][channel].key == key ? &m_layers[kind][channel]
                                                                       : nullptr;
}

void PictureLayers::forget() {
    ++m_generation;
    for (size_t kind = 0; kind < kKinds; ++kind) {
        m_held[kind].fill(false);
        m_layers[kind].fill(ChannelLayer{});
    }
}

QImage PictureLayers::compose(const HistoryPictureInput& in, bool drawMissing) {
    if (in.history == nullptr || !hasLayers(in.mode)) {
        return renderHistoryPicture(in);
    }
    if (drawMissing) {
        const LayerJob job = missing(in);
        if (!job.channels.empty()) {
            keep(drawLayers(job));
        }
    }
    // The frame: what the picture draws before the first legend entry.
    HistoryPictureInput frameOnly = in;
    frameOnly.visible.fill(false);
    frameOnly.options.legend = false;
    QImage image = renderHistoryPicture(frameOnly);
    QPainter p(&image);
    p.setClipRect(0, 0, kChartWidth, kChartHeight);
    ChartFrame frame(p, work(in), in.options);
    const QFont legendFont =
        in.mode == HistoryMode::PeriodChart ? songFont(12, 6) : songFont(20, 10);
    for (size_t c = 0; c < channelCount(in); ++c) {
        drawLegendEntry(frame, in, c, legendFont);
        const ChannelLayer* layer = in.visible[c] ? held(c, keyOf(in, c)) : nullptr;
        if (layer != nullptr) {
            paintLayer(image, layer->pixels, channelPen(in, c).color().rgb());
        }
    }
    return image;
}

LayerTask::LayerTask(LayerJob job, QObject* receiver,
                     std::function<void(std::vector<ChannelLayer>)> done)
    : m_job(std::move(job)) {
    auto run = [this, receiver, done = std::move(done)] {
        auto layers = std::make_shared<std::vector<ChannelLayer>>(drawLayers(m_job, &m_stop));
        if (!m_stop) {
            // Queued to the receiver's thread, which drops it if the receiver is gone by then.
            QMetaObject::invokeMethod(
                receiver, [done, layers] { done(std::move(*layers)); }, Qt::QueuedConnection);
        }
    };
    try {
        m_thread = std::thread(run);
    } catch (const std::system_error&) {
        run();  // no thread to be had: drawn here, delivered all the same
    }
}

LayerTask::~LayerTask() {
    m_stop = true;
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

}  // namespace tervo::gui
