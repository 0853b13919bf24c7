#pragma once

#include <QDialog>

namespace tervo::gui {

// "关于 Tervo": the application icon, the version line and the button "确定".
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace tervo::gui
