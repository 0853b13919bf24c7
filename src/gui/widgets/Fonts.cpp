#include "gui/widgets/Fonts.h"

#include <QFontMetrics>
#include <QStringList>

namespace tervo::gui {

namespace {

const QStringList& mingFaces() {
    static const QStringList faces = {
        QStringLiteral("AR PL UMing CN"), QStringLiteral("AR PL UMing TW"),
        QStringLiteral("AR PL UMing HK"), QStringLiteral("Noto Serif CJK SC"),
        QStringLiteral("WenQuanYi Zen Hei Mono")};
    return faces;
}

}  // namespace

void installFontSubstitutions() {
    QFont::insertSubstitutions(QStringLiteral("宋体"), mingFaces());
    QFont::insertSubstitutions(QStringLiteral("SimSun"), mingFaces());
}

QFont songFont(int height, int width, int weight) {
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(height);
    font.setFixedPitch(true);
    font.setStyleHint(QFont::TypeWriter);
    font.setWeight(QFont::Weight(weight));
    // Ming faces draw Latin characters half an em wide; other widths are asked for by
    // stretching the face.
    const int natural = QFontMetrics(font).horizontalAdvance(QLatin1Char('0'));
    if (width > 0 && natural > 0 && natural != width) {
        font.setStretch(qBound(1, width * 100 / natural, 4000));
    }
    return font;
}

}  // namespace tervo::gui
