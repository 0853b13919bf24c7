#pragma once

#include <QDialog>
#include <QList>
#include <QString>
#include <functional>

#include "gui/widgets/Prompts.h"

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

    QList<gui::PromptAnswer> answers;     // next message answers
    QStringList fileAnswers;              // next file dialog answers ("" = cancelled)
    QList<DialogHandler> dialogHandlers;  // next dialog runs

    gui::PromptAnswer message(QWidget*, const QString& text, const QString& caption,
                              gui::PromptIcon icon, gui::PromptButtons buttons) override {
        messages.append({text, caption, icon, buttons});
        if (!answers.isEmpty()) {
            return answers.takeFirst();
        }
        return buttons == gui::PromptButtons::YesNo || buttons == gui::PromptButtons::YesNoCancel
                   ? gui::PromptAnswer::Yes
                   : gui::PromptAnswer::Ok;
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

    // A message as one line, so that a comparison shows everything that differs.
    static QString describe(const Message& m) {
        static const char* icons[] = {"no icon", "information", "question", "exclamation", "stop"};
        static const char* buttons[] = {"OK", "OK/Cancel", "Yes/No", "Yes/No/Cancel"};
        return m.text + QStringLiteral(" [") + m.caption + QStringLiteral(", ") +
               QLatin1String(icons[int(m.icon)]) + QStringLiteral(", ") +
               QLatin1String(buttons[int(m.buttons)]) + QLatin1Char(']');
    }
    // The system's notice: caption "提示", exclamation icon, OK.
    static QString notice(const QString& text) {
        return describe(
            {text, QStringLiteral("提示"), gui::PromptIcon::Exclamation, gui::PromptButtons::Ok});
    }
    QString last() const {
        return messages.isEmpty() ? QStringLiteral("(no message)") : describe(messages.last());
    }
};

}  // namespace tervo::testing
