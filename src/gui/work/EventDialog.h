#pragma once

#include <QDialog>

#include "core/work/WorkDefinition.h"

class QLineEdit;
class QTreeWidget;

namespace tervo::gui {

class PickCombo;

// "通道事件设置": the work's events in a tree, a form to add one and a button to delete the
// selected one, each taking effect at once.
class EventDialog : public QDialog {
    Q_OBJECT
public:
    EventDialog(WorkDefinition& work, QWidget* parent = nullptr);

    void addEvent();
    void deleteEvent();

    QTreeWidget* tree() const { return m_tree; }

private:
    void fillTree();

    WorkDefinition& m_work;
    QTreeWidget* m_tree;
    QLineEdit* m_name;
    PickCombo* m_type;
    PickCombo* m_compare;
    PickCombo* m_data1;
    PickCombo* m_data2;
    PickCombo* m_data3;
};

}  // namespace tervo::gui
