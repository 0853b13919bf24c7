#pragma once

#include <QFont>
#include <QImage>
#include <QTimer>
#include <QWidget>

#include "core/sim/PanelRules.h"
#include "gui/app/ViewTemplate.h"

class QAction;

namespace tervo::gui {

class LinkClient;

// Draws the whole canvas: white, every panel in template order with its address and both
// displays, the current panel again on top, then the hovered or held key of the active panel.
// The screen and the tests call it.
void paintPanelCanvas(QPainter& painter, const PanelRules& rules, const QFont& addressFont);
// "Terminal", 16 high, 12 wide.
QFont panelAddressFont();

// "仪表模拟": an instrument template as a wall of controller front panels. Each panel's "PV"
// and "SP" are polled in turn on the port's link thread, one poll per 200 ms tick, the next
// tick armed when the poll is back. The up and down keys step the set value while held (timer
// 2, 100 ms) and write it to "SL" on release over the same key; "通信" edits a panel's link
// settings, "参数" opens the parameter view for its controller.
class PanelView : public QWidget, public ViewCommands {
    Q_OBJECT
public:
    static constexpr int kCanvasWidth = 1024;
    static constexpr int kCanvasHeight = 768;

    // The view for the context's template file (empty: a new template), or nullptr after
    // "文件错误！！！" when the file cannot be read.
    static PanelView* create(const ViewContext& context);
    PanelView(const ViewContext& context, SimTemplate simTemplate, QWidget* parent = nullptr);

    // Timer 1: polls the next display.
    void onPollTimer();
    // Timer 2: one step of the held up or down key.
    void onRepeatTimer();
    // The toolbar's commands.
    void addPanel();
    void removePanel();
    void rearrange();
    void autoSearch();
    // "保存仪表模板".
    void saveTemplate();

    const PanelRules& rules() const { return m_rules; }
    const QTimer& pollTimer() const { return m_pollTimer; }
    const QTimer& repeatTimer() const { return m_repeatTimer; }
    bool pollUnderway() const { return m_rules.pollBusy(); }
    QAction* addAction() const { return m_addAction; }
    QAction* removeAction() const { return m_removeAction; }
    QAction* rearrangeAction() const { return m_rearrangeAction; }
    QAction* searchAction() const { return m_searchAction; }
    QImage canvas() const;

    bool isCommandEnabled(ViewCommand command) const override;
    void onViewCommand(ViewCommand command) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void finishPoll(const LinkResult& result);
    void runKeyAction(const ReleaseOutcome& outcome);
    void redraw(const std::optional<CanvasRect>& rect, bool all);
    void armPolling();

    ViewContext m_context;
    PanelRules m_rules;
    QFont m_addressFont;
    QTimer m_pollTimer;
    QTimer m_repeatTimer;
    LinkClient* m_polls;
    LinkClient* m_writes;
    bool m_searchOpen = false;
    QAction* m_addAction;
    QAction* m_removeAction;
    QAction* m_rearrangeAction;
    QAction* m_searchAction;
};

}  // namespace tervo::gui
