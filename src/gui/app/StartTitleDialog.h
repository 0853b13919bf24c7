#pragma once

#include <QDialog>

class QLineEdit;

namespace tervo::gui {

// "设置起始显示标题": edits the start window's title. "保存退出" stores it, "放弃退出" leaves the
// stored one. The edit takes at most 199 bytes, the longest title the start window can read
// back.
class StartTitleDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxTitleBytes = 199;

    explicit StartTitleDialog(QWidget* parent = nullptr);

    QString title() const;
    void accept() override;

private:
    QLineEdit* m_edit;
};

}  // namespace tervo::gui
