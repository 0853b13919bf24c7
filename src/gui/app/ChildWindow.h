#pragma once

#include <QMdiSubWindow>

#include "gui/app/ViewTemplate.h"

class QStatusBar;
class QVBoxLayout;

namespace tervo::gui {

class TervoApp;

// The child window around every view. Its size and position come from the window kind and do
// not change (no maximize, minimize or sizing border). Closing asks first: for the entry
// password in protected mode, "确实要退出程序！！！" otherwise.
class ChildWindow : public QMdiSubWindow {
    Q_OBJECT
public:
    ChildWindow(WindowKind kind, TervoApp& app);

    WindowKind kind() const { return m_kind; }
    QWidget* view() const { return m_view; }
    void setView(QWidget* view);

    // Toolbars above and below the view and a status bar at the bottom, as views build them.
    void addTopBar(QWidget* bar);
    void addBottomBar(QWidget* bar);
    void setFrameStatusBar(QStatusBar* bar);

    // The frame title is what the main window's caption shows for this child; the window
    // caption may change on its own (the parameter view shows "通信错误" there).
    const QString& frameTitle() const { return m_frameTitle; }
    void setFrameTitle(const QString& title) { m_frameTitle = title; }

signals:
    void closed(ChildWindow* frame);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    WindowKind m_kind;
    TervoApp& m_app;
    QWidget* m_view = nullptr;
    QString m_frameTitle;
    QVBoxLayout* m_top;
    QVBoxLayout* m_middle;
    QVBoxLayout* m_bottom;
};

}  // namespace tervo::gui
