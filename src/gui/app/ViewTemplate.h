#pragma once

#include <QPoint>
#include <QSize>
#include <QString>
#include <cstdint>
#include <functional>

#include "core/link/SerialLink.h"

class QPrinter;
class QWidget;

namespace tervo::gui {

class AlarmCenter;
class ChildWindow;
class LinkThreads;
struct PublishChoice;

// Which view a new child window holds. The numbers are the application's window kind 0..5.
enum class WindowKind : int {
    Work = 0,        // 采集工作
    History = 1,     // 数据分析
    SerialTest = 2,  // 通信测试
    Simulation = 3,  // 仪表模拟
    Parameters = 4,  // 仪表参数修改
    Curves = 5,      // 跟踪曲线设置
};
constexpr int kWindowKindCount = 6;

// Port index, baud index and station address of one controller, as the views hand them on.
struct LinkSettings {
    uint8_t port = 0;
    uint8_t baud = kDefaultBaudIndex;
    uint8_t address = 0;
};

// What the application does for its views. The shell hands every view one; tests hand views
// fakes. The views keep it for their lifetime.
class ViewServices {
public:
    virtual ~ViewServices() = default;
    // The link threads that carry out every exchange a view makes.
    virtual LinkThreads& links() = 0;
    // The printer every print and preview shares, with the set-up the operator chose.
    virtual QPrinter& printer() = 0;
    // "网络发布": whether and where a live work publishes.
    virtual PublishChoice publishChoice() const = 0;
    // Protected mode: stopping a run asks for the entry password.
    virtual bool protectedMode() const = 0;
    // The entry password asked over `parent`; true when it was given.
    virtual bool checkPassword(QWidget* parent) = 0;
    // A parameter view for the controller at `link`, which becomes the current link.
    virtual void openParameters(const LinkSettings& link) = 0;
    // A record file saved goes to the top of the recent-file list.
    virtual void noteRecentFile(const QString& path) = 0;
    // What a view's dialogs stand over while its own window does not exist yet.
    virtual QWidget* dialogParent() = 0;
    // The alarms of every work: the list window, the status bar's line, the notifications.
    virtual AlarmCenter& alarms() = 0;
};

// What a view learns when it is created: its window kind, the current file path (empty for
// "new"), the current instrument link settings, the child window that holds it (for its
// toolbars, status bar and caption; none when a test shows the view alone), and the services
// it uses, which outlive it.
struct ViewContext {
    WindowKind kind = WindowKind::Work;
    QString filePath;
    LinkSettings link;
    ChildWindow* frame = nullptr;
    ViewServices* services = nullptr;
};

// Creates the view of one window kind, or returns nullptr when it refuses (a bad file, say);
// then no window opens.
using ViewTemplate = std::function<QWidget*(const ViewContext&)>;

// Commands the shell carries on its menus and toolbar but the active view handles.
enum class ViewCommand { Save, Print, PrintPreview, SaveTemplate, SaveCurve, AlarmSettings };

// A view that handles any of the view commands implements this next to QWidget.
class ViewCommands {
public:
    virtual ~ViewCommands() = default;
    virtual bool isCommandEnabled(ViewCommand command) const = 0;
    virtual void onViewCommand(ViewCommand command) = 0;
};

// Every child window of a kind has the same fixed size and position in the main window.
struct ChildPlacement {
    QSize size;
    QPoint position;
};
ChildPlacement childPlacement(WindowKind kind);
// The title of a new child window of `kind`; the file-based kinds name their file.
QString childTitle(WindowKind kind, const QString& filePath);

}  // namespace tervo::gui
