#pragma once

#include <QImage>
#include <array>
#include <atomic>
#include <bit>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

#include "core/Clock.h"
#include "core/history/HistoryChart.h"
#include "core/history/HistoryRules.h"
#include "core/history/HistoryViewRules.h"
#include "core/work/LiveViewRules.h"

class QPainter;

namespace tervo::gui {

// Everything one picture of the history view shows. The screen, the printer and the tests
// draw from it. `options.axisOption` is the standard-coordinates flag.
struct HistoryPictureInput {
    const Recording* history = nullptr;
    HistoryMode mode = HistoryMode::Curve;
    DataRange dataRange;
    DisplayOptions options;
    std::array<bool, kMaxChannels> visible{};
    int zoom = 1;
    int64_t offset = 0;
    int ruler = 300;
    bool fullScreen = false;
    bool printing = false;  // no legend
    int64_t now = 0;        // calendar seconds, for the period chart's clock labels
    Clock* clock = nullptr;
};

// The range the heights divide: the standard range with standard coordinates, else the data
// range.
double pictureLow(const HistoryPictureInput& input);
double pictureHigh(const HistoryPictureInput& input);

// Draws the picture of the input's mode (curve, period chart, period curve or channel
// information) on a 951 x 521 surface at (0, 0). The list modes draw nothing.
void paintHistoryPicture(QPainter& painter, const HistoryPictureInput& input);
QImage renderHistoryPicture(const HistoryPictureInput& input);

// The period pictures' walks use the processor's wider vector instructions where it has them
// (the default); false keeps them to the baseline ones. Both draw the same pixels: the tests
// draw with each.
void allowWideVectorWalks(bool allowed);

// True when two inputs of the same history draw the same picture: what the mode reads is the
// same (the ruler only in the curve, the clock only in the period chart's clock labels, zoom
// and offset not in the period chart). The history's own content is not compared.
bool drawsTheSame(const HistoryPictureInput& a, const HistoryPictureInput& b);

// What the pixels of one channel's curve depend on; the same key draws the same pixels.
struct LayerKey {
    const Recording* history = nullptr;
    uint64_t generation = 0;  // of the history's rows, as PictureLayers counts them
    HistoryMode mode = HistoryMode::Curve;
    bool fullScreen = false;
    int zoom = 1;
    int64_t offset = 0;
    double lo = 0.0;
    double hi = 0.0;
    uint32_t period = 0;         // T
    int32_t samplingPeriod = 0;  // p
    int penWidth = 1;            // pixels
    // The range compares by its bits: a range read as NaN still equals itself, so its layers
    // are kept and not drawn again on every paint.
    bool operator==(const LayerKey& other) const {
        return history == other.history && generation == other.generation && mode == other.mode &&
               fullScreen == other.fullScreen && zoom == other.zoom && offset == other.offset &&
               std::bit_cast<uint64_t>(lo) == std::bit_cast<uint64_t>(other.lo) &&
               std::bit_cast<uint64_t>(hi) == std::bit_cast<uint64_t>(other.hi) &&
               period == other.period && samplingPeriod == other.samplingPeriod &&
               penWidth == other.penWidth;
    }
};

// One channel's curve apart from the others: a bit set on each pixel it draws, pixel
// (x, y) at bit i % 8 of byte i / 8 with i = 951 y + x (empty when it draws none).
struct ChannelLayer {
    size_t channel = 0;
    LayerKey key;
    std::vector<uint8_t> pixels;
};

// The channels' curves to draw and the keys they are drawn for: all the work of a picture
// that grows with the rows, apart from the window. Any thread may draw it while the
// history's rows stay as they are.
struct LayerJob {
    const Recording* history = nullptr;
    std::vector<size_t> channels;
    std::vector<LayerKey> keys;  // one per channel
    size_t rowsToWalk() const;   // rows read, all channels together
};

// Draws the job's layers. With `stop` set before the end it returns what it has, which the
// caller throws away.
std::vector<ChannelLayer> drawLayers(const LayerJob& job, const std::atomic<bool>* stop = nullptr);

// The picture built from layers kept between repaints: the frame (background, grid, labels)
// is drawn each time, then each channel's legend entry and its kept curve in its colour, in
// channel order. A change of visibility or colour draws no curve again; a change of what a
// curve depends on draws that channel's only; each mode keeps its own. The pixels are those
// renderHistoryPicture gives.
class PictureLayers {
public:
    // The visible channels whose kept layer does not fit the input.
    LayerJob missing(const HistoryPictureInput& input) const;
    void keep(std::vector<ChannelLayer> layers);
    // The picture from the layers kept; a visible channel without one is drawn here first
    // (`drawMissing`) or left out.
    QImage compose(const HistoryPictureInput& input, bool drawMissing = true);
    // The history's rows changed: every layer is stale.
    void forget();
    LayerKey keyOf(const HistoryPictureInput& input, size_t channel) const;

private:
    // The layer kept for a channel in a kind of picture (scrolling curve, full-screen curve,
    // period chart, period curve), so going back to a mode draws nothing again.
    static constexpr size_t kKinds = 4;
    static size_t kindOf(const LayerKey& key);
    const ChannelLayer* held(size_t channel, const LayerKey& key) const;

    uint64_t m_generation = 0;
    std::array<std::array<ChannelLayer, kMaxChannels>, kKinds> m_layers{};
    std::array<std::array<bool, kMaxChannels>, kKinds> m_held{};
};

// A job's layers drawn on a thread of their own: `done` gets them on the thread of
// `receiver` (which outlives the task), unless the task was cancelled first. Destroying the task
// stops the walk at its next block and waits for the thread, so the history's rows are not read
// once it is gone.
class LayerTask {
public:
    LayerTask(LayerJob job, QObject* receiver, std::function<void(std::vector<ChannelLayer>)> done);
    ~LayerTask();
    LayerTask(const LayerTask&) = delete;
    LayerTask& operator=(const LayerTask&) = delete;

    const LayerJob& job() const { return m_job; }
    void cancel() { m_stop = true; }

private:
    const LayerJob m_job;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;  // last: started once everything it uses is in place
};

}  // namespace tervo::gui
