#include "gui/widgets/Prompts.h"

#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include "gui/widgets/Translate.h"

namespace tervo::gui {

namespace {

Prompts* g_installed = nullptr;

QtPrompts& qtPrompts() {
    static QtPrompts instance;
    return instance;
}

QMessageBox::Icon qtIcon(PromptIcon icon) {
    switch (icon) {
        case PromptIcon::Information:
            return QMessageBox::Information;
        case PromptIcon::Question:
            return QMessageBox::Question;
        case PromptIcon::Exclamation:
            return QMessageBox::Warning;
        case PromptIcon::Stop:
            return QMessageBox::Critical;
        case PromptIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QString runFileDialog(QWidget* parent, const FileDialogRequest& request, bool save) {
    QFileDialog dialog(parent);
    setUpFileDialog(dialog, request, save);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return withDefaultExtension(dialog.selectedFiles().constFirst(), request.defaultExtension);
}

}  // namespace

Prompts& prompts() {
    return g_installed != nullptr ? *g_installed : qtPrompts();
}

void setPrompts(Prompts* replacement) {
    g_installed = replacement;
}

PromptAnswer messageBox(QWidget* parent, const QString& text, PromptButtons buttons,
                        PromptIcon icon, const QString& caption) {
    // A message core marked for translation (a constant of its rules) is translated here.
    return prompts().message(parent, coreText(text.toStdString()),
                             caption.isEmpty() ? trc("Prompts", "提示") : caption, icon, buttons);
}

void setUpFileDialog(QFileDialog& dialog, const FileDialogRequest& request, bool save) {
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(!save && request.mustExist ? QFileDialog::ExistingFile
                                                  : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    dialog.setNameFilter(request.filter);
    dialog.setDefaultSuffix(request.defaultExtension);
    // An initial name that is only a pattern ("*.awt") is what the filter already says.
    if (!request.initialName.isEmpty() && !request.initialName.contains(QLatin1Char('*'))) {
        dialog.selectFile(request.initialName);
    }
}

QString withDefaultExtension(const QString& path, const QString& extension) {
    if (path.isEmpty() || extension.isEmpty() || !QFileInfo(path).suffix().isEmpty()) {
        return path;
    }
    return path + QLatin1Char('.') + extension;
}

PromptAnswer QtPrompts::message(QWidget* parent, const QString& text, const QString& caption,
                                PromptIcon icon, PromptButtons buttons) {
    QMessageBox box(qtIcon(icon), caption, text, QMessageBox::NoButton, parent);
    struct Choice {
        QMessageBox::StandardButton button;
        const char* text;
        PromptAnswer answer;
    };
    QList<Choice> choices;
    switch (buttons) {
        case PromptButtons::Ok:
            choices = {{QMessageBox::Ok, QT_TRANSLATE_NOOP("Prompts", "确定"), PromptAnswer::Ok}};
            break;
        case PromptButtons::OkCancel:
            choices = {
                {QMessageBox::Ok, QT_TRANSLATE_NOOP("Prompts", "确定"), PromptAnswer::Ok},
                {QMessageBox::Cancel, QT_TRANSLATE_NOOP("Prompts", "取消"), PromptAnswer::Cancel}};
            break;
        case PromptButtons::YesNo:
            choices = {{QMessageBox::Yes, QT_TRANSLATE_NOOP("Prompts", "是"), PromptAnswer::Yes},
                       {QMessageBox::No, QT_TRANSLATE_NOOP("Prompts", "否"), PromptAnswer::No}};
            break;
        case PromptButtons::YesNoCancel:
            choices = {
                {QMessageBox::Yes, QT_TRANSLATE_NOOP("Prompts", "是"), PromptAnswer::Yes},
                {QMessageBox::No, QT_TRANSLATE_NOOP("Prompts", "否"), PromptAnswer::No},
                {QMessageBox::Cancel, QT_TRANSLATE_NOOP("Prompts", "取消"), PromptAnswer::Cancel}};
            break;
    }
    for (const Choice& choice : choices) {
        box.addButton(choice.button)->setText(trc("Prompts", choice.text));
    }
    box.setDefaultButton(QMessageBox::StandardButton(choices.front().button));
    const auto pressed = QMessageBox::StandardButton(box.exec());
    for (const Choice& choice : choices) {
        if (choice.button == pressed) {
            return choice.answer;
        }
    }
    // Closed with Esc or the title bar: the answer of the last button, as for Cancel/No.
    return buttons == PromptButtons::Ok ? PromptAnswer::Ok : choices.back().answer;
}

QString QtPrompts::openFileName(QWidget* parent, const FileDialogRequest& request) {
    return runFileDialog(parent, request, false);
}

QString QtPrompts::saveFileName(QWidget* parent, const FileDialogRequest& request) {
    return runFileDialog(parent, request, true);
}

int QtPrompts::runDialog(QDialog& dialog) {
    return dialog.exec();
}

}  // namespace tervo::gui
