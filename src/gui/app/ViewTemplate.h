#pragma once

#include <QPoint>
#include <QSize>
#include <QString>
#include <cstdint>
#include <functional>

#include "link/SerialLink.h"

class QWidget;

namespace tervo::gui {

class ChildWindow;
class LinkThreads;

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

// What a view learns when it is created: its window kind, the current file path (empty for
// "new"), the current instrument link settings, the child window that holds it (for its
// toolbars, status bar and caption), and the application's link threads, which carry out
// every exchange the view makes.
struct ViewContext {
    WindowKind kind = WindowKind::Work;
    QString filePath;
    LinkSettings link;
    ChildWindow* frame = nullptr;
    LinkThreads* links = nullptr;
};

// Creates the view of one window kind, or returns nullptr when it refuses (a bad file, say);
// then no window opens.
using ViewTemplate = std::function<QWidget*(const ViewContext&)>;

// Commands the shell carries on its menus and toolbar but the active view handles.
enum class ViewCommand { Save, Print, PrintPreview, SaveTemplate, SaveCurve };

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
