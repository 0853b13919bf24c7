#pragma once

#include <QString>
#include <QStringList>

class QDialog;
class QFileDialog;
class QWidget;

namespace tervo::gui {

// Every message box, file dialog and modal dialog run of the application goes through one
// Prompts object. The Qt implementation shows real dialogs; tests install one that answers
// from a script and records what was asked.

enum class PromptIcon { None, Information, Question, Exclamation, Stop };
enum class PromptButtons { Ok, OkCancel, YesNo, YesNoCancel };

enum class PromptAnswer { Ok, Cancel, Yes, No };

// A file dialog as a view asks for it: Qt's filter form ("采集文件(*.awt);;所有文件(*.*)"),
// a default extension without the dot, the initial file name, whether the chosen file must
// exist and, for a save dialog, whether choosing an existing file asks before overwriting it.
struct FileDialogRequest {
    QString filter;
    QString defaultExtension;
    QString initialName;
    bool mustExist = true;
    bool confirmOverwrite = true;
};

class Prompts {
public:
    virtual ~Prompts() = default;

    virtual PromptAnswer message(QWidget* parent, const QString& text, const QString& caption,
                                 PromptIcon icon, PromptButtons buttons) = 0;
    // The chosen path, or an empty string when the dialog was cancelled.
    virtual QString openFileName(QWidget* parent, const FileDialogRequest& request) = 0;
    virtual QString saveFileName(QWidget* parent, const FileDialogRequest& request) = 0;
    // Runs a modal dialog; QDialog::Accepted or QDialog::Rejected.
    virtual int runDialog(QDialog& dialog) = 0;
};

// The shell's message box: caption "提示" and an exclamation icon unless told otherwise.
PromptAnswer messageBox(QWidget* parent, const QString& text,
                        PromptButtons buttons = PromptButtons::Ok,
                        PromptIcon icon = PromptIcon::Exclamation,
                        const QString& caption = QString());

Prompts& prompts();
// Installs `replacement` (not owned); nullptr goes back to the Qt dialogs.
void setPrompts(Prompts* replacement);

// Sets up Qt's file dialog for `request`, as an open dialog or a save dialog.
void setUpFileDialog(QFileDialog& dialog, const FileDialogRequest& request, bool save);

// `path` with `extension` appended when it has none (the file dialogs' default extension).
QString withDefaultExtension(const QString& path, const QString& extension);

class QtPrompts : public Prompts {
public:
    PromptAnswer message(QWidget* parent, const QString& text, const QString& caption,
                         PromptIcon icon, PromptButtons buttons) override;
    QString openFileName(QWidget* parent, const FileDialogRequest& request) override;
    QString saveFileName(QWidget* parent, const FileDialogRequest& request) override;
    int runDialog(QDialog& dialog) override;
};

}  // namespace tervo::gui
