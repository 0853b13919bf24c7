#pragma once

#include <QDialog>

#include "core/work/WorkDefinition.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace tervo::gui {

class PickCombo;

// "通道设置": the work's channels in a tree, a form to add one and a button to delete the
// selected one. Every add and delete changes the view's work at once; there is no OK or
// Cancel.
class ChannelDialog : public QDialog {
    Q_OBJECT
public:
    ChannelDialog(WorkDefinition& work, QWidget* parent = nullptr);

    void addChannel();
    void deleteChannel();
    void chooseCurveFile();

    QTreeWidget* tree() const { return m_tree; }

private:
    void fillTree();
    void showCurveControls();
    // The form's number checks: false after saying what is wrong.
    bool readNumbers(int& address, double& display, double& offset);

    WorkDefinition& m_work;
    QTreeWidget* m_tree;
    QLineEdit* m_name;
    PickCombo* m_parameter;
    PickCombo* m_port;
    PickCombo* m_baud;
    QLineEdit* m_address;
    QLineEdit* m_display;
    QLineEdit* m_offset;
    QCheckBox* m_download;
    QPushButton* m_chooseFile;
    QLineEdit* m_curvePath;
};

}  // namespace tervo::gui
