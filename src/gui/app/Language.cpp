#include "gui/app/Language.h"

#include <QActionGroup>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QMenu>
#include <QPointer>
#include <QTranslator>

#include "core/text/Translation.h"
#include "gui/app/Settings.h"
#include "gui/widgets/Prompts.h"
#include "gui/widgets/Translate.h"

namespace tervo::gui {

namespace {

Language g_current = Language::Chinese;

std::string translateForCore(const char* context, const char* text) {
    return QCoreApplication::translate(context, text).toStdString();
}

// The translators of the language installed last, replaced by the next one.
QList<QPointer<QTranslator>>& installed() {
    static QList<QPointer<QTranslator>> translators;
    return translators;
}

bool load(QCoreApplication& application, const QString& file, const QString& directory) {
    auto* translator = new QTranslator(&application);
    if (!translator->load(file, directory)) {
        delete translator;
        return false;
    }
    application.installTranslator(translator);
    installed().append(translator);
    return true;
}

}  // namespace

std::optional<Language> languageFromCode(const QString& code) {
    const QString lower = code.trimmed().toLower();
    const QString base = lower.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('_'), 0, 0);
    if (base == QLatin1String("zh")) {
        return Language::Chinese;
    }
    if (base == QLatin1String("en")) {
        return Language::English;
    }
    return std::nullopt;
}

QString languageCode(Language language) {
    return language == Language::English ? QStringLiteral("en") : QStringLiteral("zh");
}

Language chooseLanguage(const QString& option, const QString& environment, const QString& stored) {
    for (const QString& code : {option, environment, stored}) {
        if (code.isEmpty()) {
            continue;
        }
        if (const auto language = languageFromCode(code)) {
            return *language;
        }
        qWarning("tervo: no interface language \"%s\" (zh or en); passed over", qPrintable(code));
    }
    return Language::Chinese;
}

bool installLanguage(QCoreApplication& application, Language language) {
    g_current = language;
    for (const QPointer<QTranslator>& translator : std::as_const(installed())) {
        if (translator) {
            application.removeTranslator(translator);
            delete translator;
        }
    }
    installed().clear();
    const QString qtDirectory = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (language == Language::English) {
        // Qt's own texts are English already.
        const bool loaded = load(application, QStringLiteral("tervo_en"), QStringLiteral(":/i18n"));
        setTranslateFunction(loaded ? &translateForCore : nullptr);
        return loaded;
    }
    setTranslateFunction(nullptr);
    return load(application, QStringLiteral("qtbase_zh_CN"), qtDirectory);
}

Language currentLanguage() {
    return g_current;
}

QMenu* languageMenu(QWidget* parent) {
    auto* menu = new QMenu(QStringLiteral("语言 / Language"), parent);
    menu->setObjectName(QStringLiteral("languageMenu"));
    menu->menuAction()->setObjectName(QStringLiteral("languageAction"));
    auto* group = new QActionGroup(menu);
    const Language next = languageFromCode(Settings().language()).value_or(currentLanguage());
    const struct {
        Language language;
        const char* name;
        QString text;
    } entries[] = {{Language::Chinese, "chineseAction", QStringLiteral("中文")},
                   {Language::English, "englishAction", QStringLiteral("English")}};
    for (const auto& entry : entries) {
        QAction* action = menu->addAction(entry.text);
        action->setObjectName(QString::fromLatin1(entry.name));
        action->setCheckable(true);
        action->setChecked(entry.language == next);
        group->addAction(action);
        const Language language = entry.language;
        QObject::connect(action, &QAction::triggered, menu, [parent, language] {
            Settings settings;
            settings.setLanguage(languageCode(language));
            if (language != currentLanguage()) {
                messageBox(parent, trc("Language", "界面语言将在下次启动时更改。"));
            }
        });
    }
    return menu;
}

}  // namespace tervo::gui
