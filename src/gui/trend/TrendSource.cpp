#include "gui/trend/TrendSource.h"

#include <algorithm>

#include "gui/history/HistoryView.h"
#include "gui/work/WorkView.h"

namespace tervo::gui {

size_t TrendSource::shownChannels() const {
    return std::min(rows().channels, definition().channels.size());
}

WorkTrendSource::WorkTrendSource(WorkView* view, QObject* parent)
    : TrendSource(parent), m_view(view) {
    connect(view, &WorkView::rowsCompleted, this, &WorkTrendSource::onRows);
    connect(view, &QObject::destroyed, this, &TrendSource::gone);
    m_seen = rows().rows;
}

void WorkTrendSource::onRows() {
    const size_t now = rows().rows;
    // A new run empties the engine's rows before its first one.
    const bool replaced = now < m_seen;
    m_seen = now;
    if (replaced) {
        emit rowsReplaced();
    } else {
        emit rowsAppended();
    }
}

TrendRows WorkTrendSource::rows() const {
    if (m_view == nullptr) {
        return {};
    }
    const RowStore& store = m_view->engine().rows();
    return {store.times(), store.values(), store.rows(), store.channels()};
}

const WorkDefinition& WorkTrendSource::definition() const {
    return m_view != nullptr ? m_view->work() : m_empty;
}

bool WorkTrendSource::visible(size_t channel) const {
    return m_view != nullptr && m_view->rules().visible(channel);
}

const EventOccurrence* WorkTrendSource::occurrences() const {
    return m_view != nullptr ? m_view->engine().occurrences().data() : nullptr;
}

size_t WorkTrendSource::occurrenceCount() const {
    return m_view != nullptr ? m_view->engine().occurrences().count() : 0;
}

QObject* WorkTrendSource::view() const {
    return m_view;
}

HistoryTrendSource::HistoryTrendSource(HistoryView* view, QObject* parent)
    : TrendSource(parent), m_view(view) {
    connect(view, &HistoryView::rowsDeleted, this, &TrendSource::rowsReplaced);
    connect(view, &QObject::destroyed, this, &TrendSource::gone);
}

TrendRows HistoryTrendSource::rows() const {
    if (m_view == nullptr) {
        return {};
    }
    const Recording& r = m_view->history();
    return {r.times.data(), r.values.data(), r.rowCount(), r.channelCount()};
}

const WorkDefinition& HistoryTrendSource::definition() const {
    return m_view != nullptr ? m_view->history().definition : m_empty;
}

bool HistoryTrendSource::visible(size_t channel) const {
    return m_view != nullptr && channel < size_t(kMaxChannels) && m_view->channelVisible(channel);
}

const EventOccurrence* HistoryTrendSource::occurrences() const {
    return m_view != nullptr ? m_view->history().occurrences.data() : nullptr;
}

size_t HistoryTrendSource::occurrenceCount() const {
    return m_view != nullptr ? m_view->history().occurrences.size() : 0;
}

QObject* HistoryTrendSource::view() const {
    return m_view;
}

}  // namespace tervo::gui
