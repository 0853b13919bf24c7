#pragma once

#include <QMap>
#include <QWidget>

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

    // The button for command `id`, showing image `imageIndex` of the strip. The status text
    // goes to the status bar while the mouse is over the button, the tool tip beside it.
    QToolButton* addButton(int id, int imageIndex, const QString& statusTip = QString(),
                           const QString& toolTip = QString());
    void addSeparator();
    void place(QWidget* child, const QRect& rect);
    QToolButton* button(int id) const { return m_buttons.value(id); }

signals:
    void command(int id);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_resource;
    int m_nextX = 4;
    QMap<int, QToolButton*> m_buttons;
};

}  // namespace tervo::gui
