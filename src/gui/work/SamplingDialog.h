#pragma once

#include <QDialog>

#include "core/work/WorkDefinition.h"

class QLineEdit;

namespace tervo::gui {

// "采样参数设置": the sampling and display periods, taken back by the caller only on OK.
class SamplingDialog : public QDialog {
    Q_OBJECT
public:
    SamplingDialog(const WorkTiming& timing, QWidget* parent = nullptr);

    const WorkTiming& timing() const { return m_timing; }
    void accept() override;

private:
    WorkTiming m_timing;
    QLineEdit* m_sampling;
    QLineEdit* m_display;
};

}  // namespace tervo::gui
