#pragma once

#include <QDialog>
#include <QList>
#include <QString>
#include <functional>

#include "widgets/Prompts.h"

namespace tervo::testing {

// A Prompts that shows nothing: it records every message box, file dialog and dialog run and
// answers from a script. Unscripted messages answer OK (or Yes), unscripted file dialogs are
// cancelled, unscripted dialog runs end with Cancel.
class ScriptedPrompts : public gui::Prompts {
public:
    struct Message {
        QString text;
        QString caption;
        gui::PromptIcon icon;
        gui::PromptButtons buttons;
    };
    struct FileRequest {
        bool save;
        gui::FileDialogRequest request;
    };
    using DialogHandler = std::function<void(QDialog&)>;

    ScriptedPrompts() { gui::setPrompts(this); }
    ~ScriptedPrompts() override { gui::setPrompts(nullptr); }

    QList<Message> messages;
    QList<FileRequest> fileRequests;
    QStringList dialogsRun;  // object names of the dialogs run

    QList<int> answers;                   // next message answers
    QStringList fileAnswers;              // next file dialog answers ("" = cancelled)
    QList<DialogHandler> dialogHandlers;  // next dialog runs

    int message(QWidget*, const QString& text, const QString& caption, gui::PromptIcon icon,
                gui::PromptButtons buttons) override {
        messages.append({text, caption, icon, buttons});
        if (!answers.isEmpty()) {
            return answers.takeFirst();
        }
        return buttons == gui::PromptButtons::YesNo || buttons == gui::PromptButtons::YesNoCancel
                   ? gui::kIdYes
                   : gui::kIdOk;
    }
    QString openFileName(QWidget*, const gui::FileDialogRequest& request) override {
        fileRequests.append({false, request});
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }
    QString saveFileName(QWidget*, const gui::FileDialogRequest& request) override {
        fileRequests.append({true, request});
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }
    // The handler acts on the dialog as an operator would (types, clicks); the run's result is
    // the dialog's result afterwards.
    int runDialog(QDialog& dialog) override {
        dialogsRun.append(dialog.objectName());
        dialog.setResult(QDialog::Rejected);
        if (!dialogHandlers.isEmpty()) {
            dialogHandlers.takeFirst()(dialog);
        }
        return dialog.result();
    }

    QString lastText() const { return messages.isEmpty() ? QString() : messages.last().text; }
};

}  // namespace tervo::testing
