#pragma once

#include <QDialog>

class QLineEdit;
class QRadioButton;

namespace tervo::gui {

// "曲线打开选择": how a new curve window gets its curve: 0 "打开文件", 1 "建立新曲线",
// 2 "从仪表下载".
class CurveOpenDialog : public QDialog {
    Q_OBJECT
public:
    enum Choice { OpenFile = 0, NewCurve = 1, FromInstrument = 2 };

    explicit CurveOpenDialog(int choice = OpenFile, QWidget* parent = nullptr);
    int choice() const { return m_choice; }
    QRadioButton* radio(int choice) const { return m_radios[choice]; }

    void accept() override;

private:
    int m_choice;
    QRadioButton* m_radios[3];
};

// "起始点选择": where a PC-controlled run starts: 0 the first controller's PV, 1 its SV, 2 the
// typed value. Only OK stores the choice and the value; the caller goes on with whatever the
// dialog holds, however it was closed.
class StartPointDialog : public QDialog {
    Q_OBJECT
public:
    StartPointDialog(int choice, double value, QWidget* parent = nullptr);
    int choice() const { return m_choice; }
    double value() const { return m_value; }
    QRadioButton* radio(int choice) const { return m_radios[choice]; }
    QLineEdit* valueEdit() const { return m_edit; }

    // Refuses a value that is no decimal number with "输入错误！！！".
    void accept() override;

private:
    int m_choice;
    double m_value;
    QRadioButton* m_radios[3];
    QLineEdit* m_edit;
};

// "输入": how many segments to take from the controller; OK refuses anything but 1..8 with
// "输入错误！！！" (a controller holds eight).
class SegmentCountDialog : public QDialog {
    Q_OBJECT
public:
    explicit SegmentCountDialog(int count = 8, QWidget* parent = nullptr);
    int count() const { return m_count; }
    QLineEdit* countEdit() const { return m_edit; }

    void accept() override;

private:
    int m_count;
    QLineEdit* m_edit;
};

}  // namespace tervo::gui
