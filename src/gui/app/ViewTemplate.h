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

// Port index, baud index and station address of one controller, as the views hand them on.
struct LinkSettings {
    uint8_t port = 0;
    uint8_t baud = kDefaultBaudIndex;
    uint8_t address = 0;
};

// What a view learns when it is created: its window kind, the current file path (empty for
// "new"), the current instrument link settings, and the child window that holds it (for its
// toolbars, status bar and caption).
struct ViewContext {
    int kind = 0;
    QString filePath;
    LinkSettings link;
    ChildWindow* frame = nullptr;
};

// Creates the view of one window kind, or returns nullptr when it refuses (a bad file, say);
// then no window opens.
using ViewTemplate = std::function<QWidget*(const ViewContext&)>;

// Commands the shell carries on its menus and toolbar but the active view handles (save,
// print, print preview, save template, save curve). A view that handles any of them implements
// this next to QWidget.
class ViewCommands {
public:
    virtual ~ViewCommands() = default;
    virtual bool isCommandEnabled(int id) const = 0;
    virtual void onViewCommand(int id) = 0;
};

// Every child window of a kind has the same fixed size and position in the main window.
struct ChildPlacement {
    QSize size;
    QPoint position;
};
ChildPlacement childPlacement(int kind);
// The title of a new child window of `kind`; the file-based kinds name their file.
QString childTitle(int kind, const QString& filePath);

}  // namespace tervo::gui
