#pragma once

#include <QCoreApplication>
#include <QString>
#include <string>

namespace tervo::gui {

// A text of the interface in the interface language. The source is the system's Chinese, so
// without a translation the text is exactly the Chinese; lupdate reads trc as it reads
// QCoreApplication::translate (scripts/translations).
inline QString trc(const char* context, const char* text) {
    return QCoreApplication::translate(context, text);
}

// A text core gives the interface: a constant it marked with TERVO_TR_NOOP is translated here,
// a text it composed in the interface language already passes unchanged.
inline QString coreText(const std::string& text) {
    return QCoreApplication::translate("core", text.c_str());
}
inline QString coreText(const char* text) {
    return QCoreApplication::translate("core", text);
}

// A printf form of the interface, translated (trc), filled in: the form's fixed parts follow
// the interface language, the values keep their printf layout.
template <typename... Args>
QString printfForm(const QString& form, Args... args) {
    return QString::asprintf(form.toUtf8().constData(), args...);
}

}  // namespace tervo::gui
