#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <vector>

#include "core/trend/TrendSummary.h"
#include "core/work/WorkFileLayout.h"

namespace tervo::gui {

class HistoryView;
class WorkView;

// The rows a trend window shows and where they come from: a running work's or a history's.
// It says when rows were appended, when they changed in place (deleted, or a new run started
// them over) and when the source goes away; after that it has no rows.
class TrendSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual TrendRows rows() const = 0;
    virtual const WorkDefinition& definition() const = 0;
    // The channels the source shows.
    virtual bool visible(size_t channel) const = 0;
    virtual const EventOccurrence* occurrences() const = 0;
    virtual size_t occurrenceCount() const = 0;
    // A running work's rows grow: "跟随最新" applies.
    virtual bool live() const = 0;
    // The view whose rows these are (one trend per view); nullptr once it is gone.
    virtual QObject* view() const = 0;
    // The channels the trend can name: those both the rows and the definition have.
    size_t shownChannels() const;

signals:
    void rowsAppended();
    void rowsReplaced();
    void gone();
};

// The rows of a work window's sampling engine.
class WorkTrendSource : public TrendSource {
    Q_OBJECT
public:
    explicit WorkTrendSource(WorkView* view, QObject* parent = nullptr);
    TrendRows rows() const override;
    const WorkDefinition& definition() const override;
    bool visible(size_t channel) const override;
    const EventOccurrence* occurrences() const override;
    size_t occurrenceCount() const override;
    bool live() const override { return true; }
    QObject* view() const override;

private:
    void onRows();

    QPointer<WorkView> m_view;
    WorkDefinition m_empty;
    size_t m_seen = 0;
};

// The rows of a history window's recording.
class HistoryTrendSource : public TrendSource {
    Q_OBJECT
public:
    explicit HistoryTrendSource(HistoryView* view, QObject* parent = nullptr);
    TrendRows rows() const override;
    const WorkDefinition& definition() const override;
    bool visible(size_t channel) const override;
    const EventOccurrence* occurrences() const override;
    size_t occurrenceCount() const override;
    bool live() const override { return false; }
    QObject* view() const override;

private:
    QPointer<HistoryView> m_view;
    WorkDefinition m_empty;
};

}  // namespace tervo::gui
