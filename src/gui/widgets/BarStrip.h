#pragma once

#include <QWidget>

class QAction;
class QToolButton;

namespace tervo::gui {

// A toolbar in a child window as the views build it: 23 x 22 buttons with 16 x 15 images from
// a drawn strip, laid out from the left edge with 8-pixel separators, and other controls
// placed at fixed toolbar coordinates.
class BarStrip : public QWidget {
    Q_OBJECT
public:
    static constexpr int kButtonWidth = 23;
    static constexpr int kButtonHeight = 22;

    BarStrip(int resource, int height, QWidget* parent = nullptr);

    // The next button: it carries out `action` and shows image `imageIndex` of the strip.
    // Its prompt goes to the status bar while the mouse is over it; a tip shows only when the
    // action was given one.
    QToolButton* addButton(QAction* action, int imageIndex, const QString& buttonName);
    void addSeparator();
    void place(QWidget* child, const QRect& rect);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_resource;
    int m_nextX = 4;
};

}  // namespace tervo::gui
