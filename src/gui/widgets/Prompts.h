#pragma once

#include <QString>
#include <QStringList>

class QDialog;
class QWidget;

namespace tervo::gui {

// Every message box, file dialog and modal dialog run of the application goes through one
// Prompts object. The Qt implementation shows real dialogs; tests install one that answers
// from a script and records what was asked.

enum class PromptIcon { None, Information, Question, Exclamation, Stop };
enum class PromptButtons { Ok, OkCancel, YesNo, YesNoCancel };

// The answers, numbered as the message boxes of the original system number them.
enum PromptAnswer : int { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };

// A file dialog as the views describe it: a filter in the form
// "采集文件(*.awt)|*.awt|所有文件(*.*)|*.*||", a default extension without the dot, the initial
// file name, and whether the chosen file must exist.
struct FileDialogRequest {
    QString filter;
    QString defaultExtension;
    QString initialName;
    bool mustExist = true;
};

class Prompts {
public:
    virtual ~Prompts() = default;

    virtual int message(QWidget* parent, const QString& text, const QString& caption,
                        PromptIcon icon, PromptButtons buttons) = 0;
    // The chosen path, or an empty string when the dialog was cancelled.
    virtual QString openFileName(QWidget* parent, const FileDialogRequest& request) = 0;
    virtual QString saveFileName(QWidget* parent, const FileDialogRequest& request) = 0;
    // Runs a modal dialog; QDialog::Accepted or QDialog::Rejected.
    virtual int runDialog(QDialog& dialog) = 0;
};

// The shell's message box: caption "提示" and an exclamation icon unless told otherwise.
int messageBox(QWidget* parent, const QString& text, PromptButtons buttons = PromptButtons::Ok,
               PromptIcon icon = PromptIcon::Exclamation, const QString& caption = QString());

Prompts& prompts();
// Installs `replacement` (not owned); nullptr goes back to the Qt dialogs.
void setPrompts(Prompts* replacement);

// The Qt form of a filter in the "name|pattern|name|pattern||" form.
QStringList qtFilters(const QString& filter);
// `path` with `extension` appended when it has none (the file dialogs' default extension).
QString withDefaultExtension(const QString& path, const QString& extension);

class QtPrompts : public Prompts {
public:
    int message(QWidget* parent, const QString& text, const QString& caption, PromptIcon icon,
                PromptButtons buttons) override;
    QString openFileName(QWidget* parent, const FileDialogRequest& request) override;
    QString saveFileName(QWidget* parent, const FileDialogRequest& request) override;
    int runDialog(QDialog& dialog) override;
};

}  // namespace tervo::gui
