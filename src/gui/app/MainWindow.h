#pragma once

#include <QList>
#include <QMainWindow>
#include <QMap>
#include <optional>

class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;

namespace tervo::gui {

class ChildWindow;
class TervoApp;
class LockIndicators;

// The main window: menus 128 (no child window open) and 129 (one or more open), the main
// toolbar, the status bar and the area in which every view runs in its own child window.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(TervoApp& app, const QString& statusNote = QString());
    ~MainWindow() override;

    QAction* action(int id) const { return m_actions.value(id); }
    QMdiArea* mdiArea() const { return m_mdi; }
    QToolBar* mainToolBar() const { return m_toolBar; }
    // 128 or 129: which menu the menu bar shows.
    int menuResource() const { return m_menuResource; }
    // The open child windows in the order they were opened.
    const QList<ChildWindow*>& children() const { return m_children; }
    ChildWindow* activeChild() const;

    // Carries out a menu, toolbar or accelerator command.
    void command(int id);
    // Opens a child window of `kind` with a view from its template; nullptr when the kind has
    // no view yet or the view refused. `filePath` is what the view is given instead of the
    // current file path (a file opened by the framework's own commands).
    ChildWindow* openView(int kind, std::optional<QString> filePath = std::nullopt);
    // A file named on the command line: opened by the history template when there is one.
    bool openFrameworkFile(const QString& path);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createActions();
    void createMenus();
    void createToolBar();
    void createStatusBar(const QString& statusNote);
    void switchMenus();
    void updateCaption(QMdiSubWindow* activated);
    void updateCommandStates();
    void onChildClosed(ChildWindow* frame);
    void openFile(int kind, const QString& filter, const QString& extension);
    void nextWindow();
    void arrangeIcons();
    void printSetup();
    void forwardEdit(int id);

    TervoApp& m_app;
    QMdiArea* m_mdi;
    QToolBar* m_toolBar = nullptr;
    QMap<int, QAction*> m_actions;
    QList<QMenu*> m_menus128;
    QList<QMenu*> m_menus129;
    int m_menuResource = 0;
    QList<ChildWindow*> m_children;
    LockIndicators* m_locks = nullptr;
};

}  // namespace tervo::gui
