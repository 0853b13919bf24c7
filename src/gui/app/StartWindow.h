#pragma once

#include <QDialog>
#include <QRect>

namespace tervo::gui {

// The start window: the 1024 x 768 picture, the start title and "QT570控制系统", and two areas
// to click: the entry area enters plainly, the password-entry area asks for the entry password
// and enters in protected mode. Enter and Esc enter plainly.
class StartWindow : public QDialog {
    Q_OBJECT
public:
    enum Hover : int {
        kHoverNone = 0,
        kHoverEntry = 1,
        kPressEntry = 2,
        kHoverPassword = 3,
        kPressPassword = 4,
    };

    explicit StartWindow(QWidget* parent = nullptr);

    static bool inEntryArea(QPoint point);
    static bool inPasswordArea(QPoint point);
    // Where the lit and pressed pictures go, and the rectangles repainted when the hover
    // state changes.
    static const QRect kEntryPicture;
    static const QRect kPasswordPicture;
    static const QRect kEntryRepaint;
    static const QRect kPasswordRepaint;

    const QString& title() const { return m_title; }
    int hoverState() const { return m_hover; }
    bool protectedMode() const { return m_protected; }
    const QString& entryPassword() const { return m_password; }

    void reject() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void setHover(int state);
    void enterPlainly();

    QString m_title;
    int m_hover = kHoverNone;
    bool m_protected = false;
    QString m_password;
};

}  // namespace tervo::gui
