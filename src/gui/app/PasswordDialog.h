#pragma once

#include <QDialog>

class QLineEdit;

namespace tervo::gui {

// "密码输入": one hidden edit. In set mode whatever is typed (also nothing) becomes the entry
// password; in check mode the typed text must equal the entry password exactly, and a wrong
// one is answered with "密码错误！！！" while the dialog stays open.
class PasswordDialog : public QDialog {
    Q_OBJECT
public:
    enum class Mode { Set, Check };

    PasswordDialog(Mode mode, const QString& entryPassword, QWidget* parent = nullptr);

    Mode mode() const { return m_mode; }
    // The typed text; in set mode, the new entry password after OK.
    QString password() const;

    void accept() override;

private:
    Mode m_mode;
    QString m_expected;
    QLineEdit* m_edit;
};

}  // namespace tervo::gui
