#pragma once

#include <QString>
#include <optional>

class QCoreApplication;
class QMenu;
class QWidget;

namespace tervo::gui {

enum class Language { Chinese, English };

// "zh" / "en" (also "zh_CN", "en_US.UTF-8" and the like); nullopt for anything else.
std::optional<Language> languageFromCode(const QString& code);
QString languageCode(Language language);

// The language of this run: the --lang value, else TERVO_LANG, else the one kept in the
// settings, else Chinese. A value that names no language is passed over with a warning.
Language chooseLanguage(const QString& option, const QString& environment, const QString& stored);

// Installs the interface's translation and Qt's own for its dialogs, and hands core the
// translation of its texts. Chinese, the system's own language, needs only Qt's. Returns false
// (and leaves Qt's texts as they are) when a translation could not be loaded.
bool installLanguage(QCoreApplication& application, Language language);

// The language installed for this run.
Language currentLanguage();

// "语言 / Language" (the same in every language, so anyone finds it): 中文 and English, the one
// the next start uses checked. A choice is kept in the settings and applies at the next start.
QMenu* languageMenu(QWidget* parent);

}  // namespace tervo::gui
