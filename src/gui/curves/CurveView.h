#pragma once

#include <initializer_list>

#include <QTimer>
#include <QWidget>

#include "core/curves/CurveRules.h"
#include "gui/app/ViewTemplate.h"

class QAction;
class QLabel;
class QLineEdit;
class QPainter;

namespace tervo::gui {

class BarStrip;
class LinkClient;
class PickCombo;

// The picture of the curve view: plot area, value and time texts, scales, grid and the
// program line in its run and not-run pens. The screen and the tests both draw with it.
void paintCurveView(QPainter& painter, const CurveRules& rules);

// "跟踪曲线设置": one tracking curve, drawn as a time/temperature graph, edited segment by
// segment, saved, downloaded to the listed controllers and run from the PC ("SL" written every
// send interval) or by the controllers themselves ("OS" commands). Every exchange goes out on
// the port's link thread, one at a time; timer 1 is armed at each tick for the next point of
// the send interval's grid, so a run keeps the clock's time.
class CurveView : public QWidget, public ViewCommands {
    Q_OBJECT
public:
    // Asks how to get the curve (file, new, from a controller) and builds the view; nullptr
    // when the operator cancels, the file is refused or the upload fails.
    static CurveView* create(const ViewContext& context);

    CurveView(const ViewContext& context, TrackingCurve curve, const LinkSettings& link);

    // Commands of the two toolbars.
    void addSegment();
    void deleteSegment();
    void save();
    void download();
    void selectNext();
    void modifySegment();
    void run();
    void pause();
    void stop();
    // "PC控制": the button has toggled itself; the mode follows it while stopped.
    void togglePcControl();
    // Timer 1 under PC control.
    void onTimer();

    bool isCommandEnabled(ViewCommand command) const override;
    void onViewCommand(ViewCommand command) override;

    const CurveRules& rules() const { return m_rules; }
    const QTimer& timer() const { return m_timer; }
    QAction* action(const QString& name) const;
    QLineEdit* rateEdit() const { return m_rateEdit; }
    QLineEdit* levelEdit() const { return m_levelEdit; }
    QLineEdit* dwellEdit() const { return m_dwellEdit; }
    QLabel* rateLabel() const { return m_rateLabel; }
    QLabel* levelLabel() const { return m_levelLabel; }
    QLabel* dwellLabel() const { return m_dwellLabel; }
    PickCombo* intervalCombo() const { return m_interval; }
    PickCombo* portCombo() const { return m_port; }
    PickCombo* baudCombo() const { return m_baud; }
    PickCombo* addressCombo() const { return m_address; }
    BarStrip* curveBar() const { return m_curveBar; }
    BarStrip* runBar() const { return m_runBar; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // A strip's buttons from the left, 8 pixels between groups (an entry with no name).
    struct BarButton {
        const char* name = nullptr;
        const char* caption = nullptr;
        void (CurveView::*slot)() = nullptr;
    };
    void placeButtons(BarStrip* bar, std::initializer_list<BarButton> buttons, int top, int width,
                      bool checkable);
    void buildCurveBar();
    void buildRunBar();
    QAction* command(const QString& name, const QString& caption, void (CurveView::*slot)());
    CurveBoxes boxes() const;
    // Shows what an outcome asks, draws the state anew and sends the next queued exchange.
    void apply(const CurveOutcome& outcome);
    void sendNext();
    void finishRequest(const LinkResult& result);
    void refresh();

    ViewContext m_context;
    CurveRules m_rules;
    QFont m_font;
    BarStrip* m_curveBar;
    BarStrip* m_runBar;
    QList<QAction*> m_actions;
    QLabel* m_rateLabel;
    QLabel* m_levelLabel;
    QLabel* m_dwellLabel;
    QLineEdit* m_rateEdit;
    QLineEdit* m_levelEdit;
    QLineEdit* m_dwellEdit;
    PickCombo* m_interval;
    PickCombo* m_port;
    PickCombo* m_baud;
    PickCombo* m_address;
    QTimer m_timer;
    LinkClient* m_link;
};

}  // namespace tervo::gui
