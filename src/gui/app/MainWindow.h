#pragma once

#include <QList>
#include <QMainWindow>
#include <array>
#include <optional>

#include "core/link/BusMonitor.h"
#include "gui/app/ViewTemplate.h"

#include <QPointer>

class QAction;
class QLabel;
class QLineEdit;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;
class QToolButton;

namespace tervo::gui {

class AlarmListView;
class BusMonitorView;
class ChildWindow;
class TervoApp;
class LockIndicators;

// The main window's commands. The menus, the main toolbar and the keyboard share them; each
// is connected to its slot, and its enabled and checked states live on it.
struct MainActions {
    // 系统服务
    QAction* startTitle;
    QAction* portMap;
    QAction* publish;
    QAction* busMonitor;
    QAction* language;  // "语言 / Language", a submenu
    QAction* print;
    QAction* printPreview;
    QAction* printSetup;
    QAction* exit;
    // 通信测试
    QAction* serialTest;
    QAction* newTemplate;
    QAction* openTemplate;
    QAction* saveTemplate;
    QAction* parameters;
    // 实时记录
    QAction* newWork;
    QAction* openWork;
    QAction* curves;
    QAction* saveCurve;
    QAction* alarmList;
    QAction* alarmSettings;  // the active work's
    // 历史记录分析
    QAction* openHistory;
    // At the end of 实时记录 and 历史记录分析: the active work's or history's trend
    QAction* trend;
    // 查看(&V) while no child window is open, 界面切换 while one is
    QAction* toolBar;
    QAction* statusBar;
    QAction* arrangeIcons;
    QAction* cascade;
    QAction* tile;
    // 帮助
    QAction* about;
    QAction* help;
    // Toolbar and keyboard only
    QAction* nextWindow;
    QAction* fileNew;
    QAction* fileOpen;
    QAction* save;
    QAction* undo;
    QAction* cut;
    QAction* copy;
    QAction* paste;
    QAction* nextPane;
    QAction* previousPane;
};

// The main window: the menus shown while no child window is open and while one is, the main
// toolbar, the status bar and the area in which every view runs in its own child window.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(TervoApp& app, const QString& statusNote = QString());
    ~MainWindow() override;

    const MainActions& actions() const { return m_actions; }
    QMdiArea* mdiArea() const { return m_mdi; }
    QToolBar* mainToolBar() const { return m_toolBar; }
    // True while some child window is open: the menu bar shows the menus for that case.
    bool showsChildMenus() const { return m_childMenus; }
    // The open child windows in the order they were opened.
    const QList<ChildWindow*>& children() const { return m_children; }
    ChildWindow* activeChild() const;

    // Opens a child window of `kind` with a view from its template; nullptr when the kind has
    // no view yet or the view refused. `filePath` is what the view is given instead of the
    // current file path (a file opened with "打开" or named on the command line).
    ChildWindow* openView(WindowKind kind, std::optional<QString> filePath = std::nullopt);
    // The parameter view for the controller at `link` (the simulation's "参数" key); `link`
    // stays the current link for later parameter views.
    ChildWindow* openParametersFor(const LinkSettings& link);
    // A file opened with "打开", from the recent-file list or named on the command line: opened
    // by the history template when there is one.
    bool openRecordFile(const QString& path);
    // A record file opened or saved goes to the top of the recent-file list (four entries,
    // kept in the settings).
    void noteRecentFile(const QString& path);
    QAction* recentFileAction(int index) const { return m_recentActions[index]; }
    // Opens entry `index` of the recent-file list; a file that has gone says "文件错误！！！"
    // and leaves the list.
    void openRecentFile(int index);

    // The shell's state: the kind of the window opened last, the file the file commands chose
    // last, the link a new view starts with, the open child windows and the one "切换窗口"
    // activated last.
    WindowKind windowKind() const { return m_windowKind; }
    const QString& currentFilePath() const { return m_currentFilePath; }
    const LinkSettings& currentLink() const { return m_currentLink; }
    int openChildCount() const { return m_openChildCount; }
    int cycleIndex() const { return m_cycleIndex; }

public slots:
    void newWork();
    void openWork();
    void openHistory();
    void openSerialTest();
    void newTemplate();
    void openTemplate();
    void openParameters();
    void openCurves();
    // The trend of the active work or history window; the one already open comes forward.
    void openTrend();
    void showHelp();
    void setStartTitle();
    void mapPorts();
    void setUpPublishing();
    void openBusMonitor();
    // "报警": the alarm list window, one for the application.
    void openAlarmList();
    void nextWindow();
    void showAbout();
    void fileNew();
    void fileOpen();
    void printSetup();
    void arrangeIcons();

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
    void openFile(WindowKind kind, const QString& filter, const QString& extension);
    void runViewCommand(ViewCommand command);
    void refreshRecentFiles();
    ViewCommands* activeViewCommands() const;
    // The line edit with the focus (also the edit of a combo box), for the edit commands.
    static QLineEdit* focusedEdit();

    TervoApp& m_app;
    WindowKind m_windowKind = WindowKind::Work;
    QString m_currentFilePath;
    LinkSettings m_currentLink;
    int m_openChildCount = 0;
    int m_cycleIndex = 0;
    QMdiArea* m_mdi;
    QToolBar* m_toolBar = nullptr;
    MainActions m_actions{};
    QList<QPair<QAction*, WindowKind>> m_kindActions;
    QList<QPair<QAction*, ViewCommand>> m_viewActions;
    QList<QMenu*> m_menusWithoutChild;
    QList<QMenu*> m_menusWithChild;
    bool m_childMenus = false;
    bool m_menusBuilt = false;
    QList<ChildWindow*> m_children;
    LockIndicators* m_locks = nullptr;
    // The latest link failure not yet answered well since, beside the lock indicators.
    QLabel* m_linkFailure = nullptr;
    FailureLine m_failureLine;
    QPointer<BusMonitorView> m_busMonitor;
    // While any alarm waits for "确认": its line, which opens the alarm list.
    QToolButton* m_alarmLine = nullptr;
    QPointer<AlarmListView> m_alarmList;
    QAction* m_recentSeparator = nullptr;
    std::array<QAction*, 4> m_recentActions{};
    QStringList m_recentFiles;
};

}  // namespace tervo::gui
