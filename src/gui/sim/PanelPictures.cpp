#include "gui/sim/PanelPictures.h"

#include <QMap>
#include <QPainter>
#include <QPolygon>

#include "gui/widgets/Fonts.h"
#include "gui/widgets/Pictures.h"
#include "gui/widgets/Translate.h"

namespace tervo::gui {

namespace {

// Segments a..g as bits 0..6.
constexpr int kDigitSegments[] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};
constexpr int kMinus = 0x40;
constexpr int kE = 0x79;
constexpr int kR = 0x50;

const QColor kPanelFace(0x1c, 0x1c, 0x1c);
const QColor kRedLit(0xff, 0x20, 0x10);
const QColor kRedDim(0x38, 0x06, 0x04);
const QColor kGreenLit(0x30, 0xff, 0x40);
const QColor kGreenDim(0x06, 0x30, 0x0a);

void segmentCell(QPainter& p, int x, int width, int height, int segments, const QColor& lit,
                 const QColor& dim) {
    const int t = std::max(2, width / 7);  // stroke
    const int left = x + 3;
    const int right = x + width - 4;
    const int top = 3;
    const int bottom = height - 4;
    const int middle = height / 2;
    const QRect bars[] = {
        {left + t, top, right - left - 2 * t + 1, t},             // a
        {right - t + 1, top + t, t, middle - top - t},            // b
        {right - t + 1, middle + 1, t, bottom - middle - t},      // c
        {left + t, bottom - t + 1, right - left - 2 * t + 1, t},  // d
        {left, middle + 1, t, bottom - middle - t},               // e
        {left, top + t, t, middle - top - t},                     // f
        {left + t, middle - t / 2, right - left - 2 * t + 1, t},  // g
    };
    for (int s = 0; s < 7; ++s) {
        p.fillRect(bars[s], (segments >> s) & 1 ? lit : dim);
    }
}

void pointCell(QPainter& p, int x, int width, int height, bool lit, const QColor& on,
               const QColor& off) {
    const int size = std::max(2, width - 4);
    p.fillRect(QRect(x + (width - size) / 2, height - 4 - size + 1, size, size), lit ? on : off);
}

QPixmap digitStrip(bool red) {
    const int width = red ? 382 : 240;
    const int height = red ? 41 : 30;
    const int glyph = red ? 26 : 19;
    const int point = red ? 9 : 6;
    const QColor lit = red ? kRedLit : kGreenLit;
    const QColor dim = red ? kRedDim : kGreenDim;
    QPixmap strip(width, height);
    strip.fill(Qt::black);
    QPainter p(&strip);
    for (int d = 0; d < 10; ++d) {
        segmentCell(p, d * glyph, glyph, height, kDigitSegments[d], lit, dim);
    }
    segmentCell(p, 10 * glyph, glyph, height, kMinus, lit, dim);
    segmentCell(p, 11 * glyph, glyph, height, 0, lit, dim);
    pointCell(p, 12 * glyph, point, height, true, lit, dim);
    pointCell(p, 12 * glyph + point, point, height, false, lit, dim);
    if (red) {
        segmentCell(p, 330, glyph, height, kE, lit, dim);
        segmentCell(p, 356, glyph, height, kR, lit, dim);
    }
    return strip;
}

void bevel(QPainter& p, const QRect& r, bool sunken) {
    p.setPen(sunken ? QColor(0x20, 0x20, 0x20) : QColor(0xf0, 0xf0, 0xf0));
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(sunken ? QColor(0xf0, 0xf0, 0xf0) : QColor(0x20, 0x20, 0x20));
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
}

enum class Face { Normal, Highlight, Pressed };

QColor faceColour(Face face) {
    switch (face) {
        case Face::Highlight:
            return QColor(0xa8, 0xd0, 0xff);
        case Face::Pressed:
            return QColor(0x50, 0x70, 0xa0);
        case Face::Normal:
            break;
    }
    return QColor(0xb8, 0xb8, 0xb8);
}

// A word key ("通信", "参数"), 39 x 17 at `origin`.
void wordKey(QPainter& p, QPoint origin, const QString& word, Face face) {
    const QRect r(origin, QSize(39, 17));
    p.fillRect(r, faceColour(face));
    bevel(p, r, face == Face::Pressed);
    p.setPen(face == Face::Pressed ? Qt::white : Qt::black);
    p.setFont(songFont(12, 6));
    p.drawText(r.translated(face == Face::Pressed ? 1 : 0, face == Face::Pressed ? 1 : 0),
               Qt::AlignCenter, word);
}

// A triangle key, 19 x 17 at `origin`, pointing up or down.
void arrowKey(QPainter& p, QPoint origin, bool up, Face face) {
    const QRect r(origin, QSize(19, 17));
    p.fillRect(r, faceColour(face));
    bevel(p, r, face == Face::Pressed);
    const int shift = face == Face::Pressed ? 1 : 0;
    const int cx = r.left() + 9 + shift;
    const int top = r.top() + 4 + shift;
    const int bottom = r.top() + 12 + shift;
    QPolygon triangle = up ? QPolygon({{cx, top}, {cx - 5, bottom}, {cx + 5, bottom}})
                           : QPolygon({{cx - 5, top}, {cx + 5, top}, {cx, bottom}});
    p.setPen(Qt::NoPen);
    p.setBrush(face == Face::Pressed ? Qt::white : Qt::black);
    p.setRenderHint(QPainter::Antialiasing);
    p.drawPolygon(triangle);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setBrush(Qt::NoBrush);
}

QPixmap panel(bool current) {
    QPixmap pixmap(200, 180);
    pixmap.fill(kPanelFace);
    QPainter p(&pixmap);
    // Bezel.
    p.setPen(QColor(0x70, 0x70, 0x70));
    p.drawRect(0, 0, 199, 179);
    p.setPen(QColor(0x40, 0x40, 0x40));
    p.drawRect(2, 2, 195, 175);
    // Display windows: PV red at (51, 22), SV green at (91, 84).
    p.fillRect(QRect(49, 20, 144, 45), QColor(0x30, 0x30, 0x30));
    p.fillRect(QRect(51, 22, 140, 41), Qt::black);
    p.fillRect(QRect(89, 82, 104, 34), QColor(0x30, 0x30, 0x30));
    p.fillRect(QRect(91, 84, 100, 30), Qt::black);
    QFont label = songFont(16, 8, QFont::Bold);
    p.setFont(label);
    p.setPen(kRedLit);
    p.drawText(QRect(14, 30, 34, 24), Qt::AlignCenter, QStringLiteral("PV"));
    p.setPen(kGreenLit);
    p.drawText(QRect(54, 87, 34, 24), Qt::AlignCenter, QStringLiteral("SV"));
    // The address box; the address itself is drawn by the view.
    p.fillRect(QRect(15, 77, 32, 22), Qt::white);
    p.setPen(QColor(0x90, 0x90, 0x90));
    p.drawRect(14, 76, 33, 23);
    // Keys "通信", "参数", and the up and down keys in their box.
    wordKey(p, {13, 112}, trc("PanelPictures", "通信"), Face::Normal);
    wordKey(p, {13, 144}, trc("PanelPictures", "参数"), Face::Normal);
    p.setPen(QColor(0x80, 0x80, 0x80));
    p.drawRect(110, 131, 66, 31);
    arrowKey(p, {117, 138}, true, Face::Normal);
    arrowKey(p, {150, 138}, false, Face::Normal);
    if (current) {
        p.setPen(QPen(QColor(0xff, 0x00, 0x00), 3));
        p.drawRect(QRectF(1.5, 1.5, 197, 177));
    }
    return pixmap;
}

QPixmap keyImage(int key, Face face) {
    const bool word = key <= 2;
    QPixmap pixmap(word ? 39 : 19, 17);
    QPainter p(&pixmap);
    if (word) {
        wordKey(p, {0, 0}, key == 1 ? trc("PanelPictures", "通信") : trc("PanelPictures", "参数"),
                face);
    } else {
        arrowKey(p, {0, 0}, key == 3, face);
    }
    return pixmap;
}

QPixmap draw(PanelPicture picture) {
    switch (picture) {
        case PanelPicture::Panel:
            return panel(false);
        case PanelPicture::CurrentPanel:
            return panel(true);
        case PanelPicture::RedStrip:
            return digitStrip(true);
        case PanelPicture::GreenStrip:
            return digitStrip(false);
        case PanelPicture::LinkHighlight:
            return keyImage(1, Face::Highlight);
        case PanelPicture::LinkPressed:
            return keyImage(1, Face::Pressed);
        case PanelPicture::ParametersHighlight:
            return keyImage(2, Face::Highlight);
        case PanelPicture::ParametersPressed:
            return keyImage(2, Face::Pressed);
        case PanelPicture::UpHighlight:
            return keyImage(3, Face::Highlight);
        case PanelPicture::UpPressed:
            return keyImage(3, Face::Pressed);
        case PanelPicture::DownHighlight:
            return keyImage(4, Face::Highlight);
        case PanelPicture::DownPressed:
            return keyImage(4, Face::Pressed);
    }
    return {};
}

// The toolbar strip: a small sign and the caption in each image.
QPixmap toolbarStrip() {
    static const char* const captions[] = {QT_TRANSLATE_NOOP("PanelPictures", "添加仪表"),
                                           QT_TRANSLATE_NOOP("PanelPictures", "删除仪表"),
                                           QT_TRANSLATE_NOOP("PanelPictures", "重新排列"),
                                           QT_TRANSLATE_NOOP("PanelPictures", "自动搜索")};
    QPixmap strip = pictureCanvas(4 * kToolbarImageWidth, kToolbarImageHeight);
    strip.fill(Qt::transparent);
    QPainter p(&strip);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 4; ++i) {
        const int x = i * kToolbarImageWidth;
        const QRect sign(x + 1, 2, 13, 13);
        p.setPen(Qt::NoPen);
        switch (i) {
            case 0:  // a green plus
                p.setBrush(kGreenLit.darker(160));
                p.drawRect(sign.left() + 5, sign.top(), 3, 13);
                p.drawRect(sign.left(), sign.top() + 5, 13, 3);
                break;
            case 1:  // a red bar
                p.setBrush(kRedLit.darker(130));
                p.drawRect(sign.left(), sign.top() + 5, 13, 3);
                break;
            case 2:  // four small panels
                p.setBrush(QColor(0x30, 0x30, 0x30));
                for (int k = 0; k < 4; ++k) {
                    p.drawRect(sign.left() + (k % 2) * 7, sign.top() + (k / 2) * 7, 6, 6);
                }
                break;
            default:  // a magnifier
                p.setPen(QPen(QColor(0x1f, 0x4e, 0x9e), 2));
                p.setBrush(Qt::NoBrush);
                p.drawEllipse(QRectF(sign.left() + 1, sign.top() + 1, 8, 8));
                p.drawLine(QPointF(sign.left() + 8, sign.top() + 8),
                           QPointF(sign.left() + 12.5, sign.top() + 12.5));
                break;
        }
        p.setPen(Qt::black);
        p.setFont(songFont(12, 6));
        p.drawText(QRect(x + 15, 0, kToolbarImageWidth - 15, kToolbarImageHeight),
                   Qt::AlignLeft | Qt::AlignVCenter, trc("PanelPictures", captions[i]));
    }
    return strip;
}

}  // namespace

const QPixmap& panelToolbar() {
    static const QPixmap strip = toolbarStrip();
    return strip;
}

QPixmap panelToolbarImage(int index) {
    return picturePart(panelToolbar(), QRect(index * kToolbarImageWidth, 0, kToolbarImageWidth,
                                             kToolbarImageHeight));
}

const QPixmap& panelPicture(PanelPicture picture) {
    static QMap<PanelPicture, QPixmap> drawn;
    auto it = drawn.find(picture);
    if (it == drawn.end()) {
        it = drawn.insert(picture, draw(picture));
    }
    return *it;
}

const QPixmap& keyPicture(int key, bool pressed) {
    static const PanelPicture pictures[] = {
        PanelPicture::LinkHighlight,       PanelPicture::LinkPressed,
        PanelPicture::ParametersHighlight, PanelPicture::ParametersPressed,
        PanelPicture::UpHighlight,         PanelPicture::UpPressed,
        PanelPicture::DownHighlight,       PanelPicture::DownPressed,
    };
    return panelPicture(pictures[(key - 1) * 2 + (pressed ? 1 : 0)]);
}

}  // namespace tervo::gui
