#pragma once

#include <QDialog>

namespace tervo::gui {

// "关于 Tervo": the application icon, the version line and the button "确定".
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace tervo::gui
