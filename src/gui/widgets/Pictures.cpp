#include "gui/widgets/Pictures.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QMap>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QScreen>
#include <QtMath>

#include "gui/widgets/Fonts.h"
#include "gui/widgets/Translate.h"

namespace tervo::gui {

namespace {

// Toolbar images are drawn on a 16 x 15 cell with these pens and brushes.
const QColor kInk(0x20, 0x20, 0x20);
const QColor kBlue(0x1f, 0x4e, 0x9e);
const QColor kGreen(0x1e, 0x8c, 0x3a);
const QColor kRed(0xc8, 0x28, 0x1e);
const QColor kYellow(0xf0, 0xc0, 0x30);
const QColor kPaper(0xff, 0xff, 0xf4);

using CellPainter = void (*)(QPainter&);

// The ratio the picture being drawn gets (drawPicture sets it).
qreal g_drawRatio = 1;

QPixmap canvas(int width, int height) {
    return pictureCanvas(width, height, g_drawRatio);
}

QPixmap strip(std::initializer_list<CellPainter> cells) {
    QPixmap pixmap = canvas(kToolImageWidth * static_cast<int>(cells.size()), kToolImageHeight);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    int x = 0;
    for (CellPainter cell : cells) {
        painter.save();
        painter.translate(x, 0);
        painter.setClipRect(0, 0, kToolImageWidth, kToolImageHeight);
        cell(painter);
        painter.restore();
        x += kToolImageWidth;
    }
    return pixmap;
}

void folder(QPainter& p) {
    p.setPen(QPen(kInk, 1));
    p.setBrush(kYellow);
    p.drawPolygon(QPolygon({{0, 4}, {5, 4}, {6, 5}, {13, 5}, {13, 13}, {0, 13}}));
}

// 32773 serial test: a nine-pin connector and a pulse train.
void serialTest(QPainter& p) {
    p.setPen(QPen(kInk, 1));
    p.setBrush(QColor(0xb0, 0xb8, 0xc8));
    p.drawPolygon(QPolygon({{1, 1}, {14, 1}, {12, 7}, {3, 7}}));
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    for (int i = 0; i < 5; ++i) {
        p.drawRect(3 + 2 * i, 3, 1, 1);
    }
    p.setPen(QPen(kBlue, 1));
    p.drawPolyline(QPolygon({{0, 13},
                             {3, 13},
                             {3, 10},
                             {6, 10},
                             {6, 13},
                             {9, 13},
                             {9, 10},
                             {12, 10},
                             {12, 13},
                             {15, 13}}));
}

// 32849 open instrument template: a folder with a small front panel.
void openTemplate(QPainter& p) {
    folder(p);
    p.setPen(QPen(kInk, 1));
    p.setBrush(QColor(0x30, 0x30, 0x30));
    p.drawRect(7, 1, 8, 9);
    p.setPen(QPen(QColor(0xff, 0x50, 0x30), 1));
    p.drawLine(9, 3, 13, 3);
    p.setPen(QPen(QColor(0x50, 0xff, 0x50), 1));
    p.drawLine(9, 6, 13, 6);
}

// 32772 parameter modification: a controller with a pencil.
void parameterEdit(QPainter& p) {
    p.setPen(QPen(kInk, 1));
    p.setBrush(QColor(0x30, 0x30, 0x30));
    p.drawRect(0, 1, 11, 12);
    p.setPen(QPen(QColor(0xff, 0x50, 0x30), 1));
    p.drawLine(2, 4, 8, 4);
    p.setPen(QPen(QColor(0x50, 0xff, 0x50), 1));
    p.drawLine(2, 8, 8, 8);
    p.setPen(QPen(kInk, 1));
    p.setBrush(kYellow);
    p.drawPolygon(QPolygon({{8, 14}, {9, 11}, {14, 6}, {15, 7}, {15, 8}, {10, 13}}));
}

// 32851 open work: a folder with a rising line.
void openWork(QPainter& p) {
    folder(p);
    p.setPen(QPen(kRed, 1));
    p.drawPolyline(QPolygon({{2, 11}, {5, 9}, {8, 10}, {11, 2}, {15, 1}}));
}

// 32775 history record: a page with a recorded curve.
void history(QPainter& p) {
    p.setPen(QPen(kInk, 1));
    p.setBrush(kPaper);
    p.drawRect(2, 0, 11, 14);
    p.setPen(QPen(QColor(0xa0, 0xa0, 0xa0), 1));
    for (int y = 3; y < 14; y += 3) {
        p.drawLine(3, y, 12, y);
    }
    p.setPen(QPen(kBlue, 1));
    p.drawPolyline(QPolygon({{3, 11}, {5, 7}, {7, 9}, {9, 4}, {12, 5}}));
}

// 32835 tracking curve: ramp, soak, ramp down.
void trackingCurve(QPainter& p) {
    p.setPen(QPen(kInk, 1));
    p.drawLine(1, 0, 1, 14);
    p.drawLine(1, 14, 15, 14);
    p.setPen(QPen(kRed, 2));
    p.drawPolyline(QPolygon({{2, 12}, {6, 4}, {10, 4}, {14, 10}}));
}

// 57607 print: a printer with a sheet.
void print(QPainter& p) {
    p.setPen(QPen(kInk, 1));
    p.setBrush(Qt::white);
    p.drawRect(4, 0, 7, 6);
    p.setBrush(QColor(0xc0, 0xc0, 0xc0));
    p.drawRect(0, 6, 15, 6);
    p.setBrush(Qt::white);
    p.drawRect(3, 10, 9, 4);
    p.setPen(kGreen);
    p.drawPoint(13, 8);
}

// 57664 about: a question mark in a balloon.
void about(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kInk, 1));
    p.setBrush(kPaper);
    p.drawEllipse(QRectF(0.5, 0.5, 14, 11));
    p.drawLine(4, 11, 2, 14);
    p.setFont(songFont(11, 6, QFont::Bold));
    p.setPen(kBlue);
    p.drawText(QRect(0, 0, 15, 12), Qt::AlignCenter, QStringLiteral("?"));
}

// 32898 switch window: two windows and an arrow between them.
void switchWindow(QPainter& p) {
    p.setPen(QPen(kInk, 1));
    p.setBrush(Qt::white);
    p.drawRect(0, 0, 9, 7);
    p.fillRect(1, 1, 8, 2, kBlue);
    p.drawRect(6, 6, 9, 8);
    p.fillRect(7, 7, 8, 2, kBlue);
    p.setPen(QPen(kRed, 1));
    p.drawLine(1, 9, 1, 12);
    p.drawLine(1, 12, 4, 12);
    p.drawLine(3, 10, 5, 12);
    p.drawLine(3, 14, 5, 12);
}

// 32806 automatic reading: two arrows chasing each other.
void autoRead(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kGreen, 2));
    p.drawArc(QRectF(2, 1.5, 11, 11), 30 * 16, 150 * 16);
    p.drawArc(QRectF(2, 1.5, 11, 11), 210 * 16, 150 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawPolygon(QPolygonF({{1, 6}, {5, 6}, {3, 9}}));
    p.drawPolygon(QPolygonF({{10, 8}, {14, 8}, {12, 5}}));
}

// 32798 write to the controller: an arrow down into a controller.
void download(QPainter& p) {
    p.setPen(QPen(kInk, 1));
    p.setBrush(QColor(0x30, 0x30, 0x30));
    p.drawRect(1, 9, 13, 5);
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawRect(6, 0, 3, 5);
    p.drawPolygon(QPolygon({{3, 5}, {12, 5}, {7, 10}, {8, 10}}));
}

// 32793 send: a frame leaving on an arrow.
void send(QPainter& p) {
    p.setPen(QPen(kInk, 1));
    p.setBrush(kPaper);
    p.drawRect(0, 3, 7, 9);
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawRect(7, 6, 4, 3);
    p.drawPolygon(QPolygon({{11, 3}, {15, 7}, {11, 11}}));
}

// 32796 clear the display: a screen and a cross.
void clearScreen(QPainter& p) {
    p.setPen(QPen(kInk, 1));
    p.setBrush(Qt::white);
    p.drawRect(0, 1, 14, 11);
    p.setPen(QPen(kRed, 2));
    p.drawLine(4, 4, 10, 10);
    p.drawLine(10, 4, 4, 10);
}

// 32860 reset the counters: a zero and a return arrow.
void resetCounters(QPainter& p) {
    p.setFont(songFont(13, 7, QFont::Bold));
    p.setPen(kBlue);
    p.drawText(QRect(0, 0, 9, 15), Qt::AlignCenter, QStringLiteral("0"));
    p.setPen(QPen(kRed, 1));
    p.drawLine(10, 3, 14, 3);
    p.drawLine(14, 3, 14, 11);
    p.drawLine(14, 11, 9, 11);
    p.drawLine(11, 9, 9, 11);
    p.drawLine(11, 13, 9, 11);
}

// 32790: a keyboard.
void keyboard(QPainter& p) {
    p.setPen(QPen(kInk, 1));
    p.setBrush(QColor(0xd8, 0xd8, 0xd8));
    p.drawRect(0, 4, 15, 8);
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    for (int x = 2; x < 14; x += 3) {
        p.drawRect(x, 6, 1, 1);
        p.drawRect(x, 8, 1, 1);
    }
    p.drawRect(4, 10, 7, 1);
}

QPixmap indicator() {
    QPixmap pixmap = canvas(40, 20);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor colours[2][2] = {{QColor(0x50, 0x58, 0x50), QColor(0x20, 0x28, 0x20)},
                                  {QColor(0xa0, 0xff, 0x90), QColor(0x10, 0xa0, 0x20)}};
    for (int i = 0; i < 2; ++i) {
        QRadialGradient glow(QPointF(20 * i + 8, 8), 10);
        glow.setColorAt(0, colours[i][0]);
        glow.setColorAt(1, colours[i][1]);
        p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1));
        p.setBrush(glow);
        p.drawEllipse(QRectF(20 * i + 2.5, 2.5, 15, 15));
    }
    return pixmap;
}

QPixmap testPanel() {
    QPixmap pixmap = canvas(191, 768);
    QPainter p(&pixmap);
    QLinearGradient shade(0, 0, 191, 0);
    shade.setColorAt(0, QColor(0xd6, 0xe2, 0xf0));
    shade.setColorAt(1, QColor(0xb4, 0xc8, 0xe0));
    p.fillRect(QRect(0, 0, 191, 768), shade);
    p.setPen(QPen(QColor(0x7a, 0x90, 0xb0), 1));
    p.drawLine(190, 0, 190, 767);
    p.setFont(songFont(16, 8, QFont::Bold));
    p.setPen(kBlue);
    p.drawText(QRect(0, 12, 190, 24), Qt::AlignCenter, trc("Pictures", "串口参数"));
    p.drawLine(16, 38, 174, 38);
    p.setFont(songFont(14, 7));
    p.setPen(kInk);
    // Beside the combos the view places at y 50, 100, 150, 200, 250 (x 70..170).
    const char* labels[] = {
        QT_TRANSLATE_NOOP("Pictures", "串口号："), QT_TRANSLATE_NOOP("Pictures", "波特率："),
        QT_TRANSLATE_NOOP("Pictures", "数据位："), QT_TRANSLATE_NOOP("Pictures", "校验位："),
        QT_TRANSLATE_NOOP("Pictures", "停止位：")};
    for (int i = 0; i < 5; ++i) {
        p.drawText(QRect(6, 50 + 50 * i, 64, 20), Qt::AlignLeft | Qt::AlignVCenter,
                   trc("Pictures", labels[i]));
    }
    p.setPen(QPen(QColor(0x7a, 0x90, 0xb0), 1));
    p.drawLine(16, 285, 174, 285);
    p.drawLine(16, 345, 174, 345);
    p.setPen(kInk);
    p.drawText(QRect(6, 356, 184, 20), Qt::AlignLeft | Qt::AlignVCenter,
               trc("Pictures", "自动发送间隔："));
    p.drawText(QRect(6, 380, 64, 20), Qt::AlignLeft | Qt::AlignVCenter, trc("Pictures", "毫秒："));
    return pixmap;
}

// The two entry buttons of the start window, as the background shows them (lit = 0), under
// the mouse (lit = 1) and pressed (lit = 2).
void startButton(QPainter& p, const QRect& rect, const QString& text, int lit) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect).adjusted(2.5, 2.5, -2.5, -2.5);
    const qreal shift = lit == 2 ? 2 : 0;
    QLinearGradient face(r.topLeft(), r.bottomLeft());
    const QColor top[] = {QColor(0x3a, 0x6c, 0xb0), QColor(0x5c, 0x9c, 0xf0),
                          QColor(0x24, 0x50, 0x90)};
    const QColor bottom[] = {QColor(0x1a, 0x3a, 0x70), QColor(0x2a, 0x5c, 0xb8),
                             QColor(0x3a, 0x6c, 0xb0)};
    face.setColorAt(0, top[lit]);
    face.setColorAt(1, bottom[lit]);
    p.setPen(QPen(lit == 0 ? QColor(0x8c, 0xa8, 0xd0) : QColor(0xf0, 0xd0, 0x60), 3));
    p.setBrush(face);
    p.drawRoundedRect(r.translated(shift, shift), 16, 16);
    p.setPen(lit == 0 ? QColor(0xd8, 0xe4, 0xf4) : Qt::white);
    p.setFont(songFont(32, 16, QFont::Bold));
    p.drawText(r.translated(shift, shift), Qt::AlignCenter, text);
    p.restore();
}

const QRect kEntryButton(0, 0, 170, 83);
const QRect kPasswordButton(0, 0, 327, 86);

}  // namespace

void paintStartBackdrop(QPainter& p, const QRect& rect) {
    QLinearGradient sky(0, 0, 0, 768);
    sky.setColorAt(0.0, QColor(0x0c, 0x24, 0x52));
    sky.setColorAt(0.30, QColor(0x2c, 0x5a, 0x9a));
    sky.setColorAt(0.42, QColor(0xd8, 0xe6, 0xf6));
    sky.setColorAt(0.70, QColor(0xf4, 0xf8, 0xfc));
    sky.setColorAt(0.74, QColor(0x2c, 0x5a, 0x9a));
    sky.setColorAt(1.0, QColor(0x0c, 0x24, 0x52));
    p.fillRect(rect, sky);
}

namespace {

QPixmap startBackground() {
    QPixmap pixmap = canvas(1024, 768);
    QPainter p(&pixmap);
    paintStartBackdrop(p, QRect(0, 0, 1024, 768));
    p.setRenderHint(QPainter::Antialiasing);
    // A chart grid and a ramp/soak run across the dark upper band.
    p.setPen(QPen(QColor(0x4a, 0x74, 0xb0, 120), 1));
    for (int x = 40; x < 1024; x += 48) {
        p.drawLine(x, 20, x, 300);
    }
    for (int y = 20; y <= 300; y += 40) {
        p.drawLine(40, y, 1000, y);
    }
    QPainterPath programme;
    programme.moveTo(40, 280);
    programme.lineTo(230, 120);
    programme.lineTo(420, 120);
    programme.lineTo(560, 60);
    programme.lineTo(760, 60);
    programme.lineTo(940, 240);
    programme.lineTo(1000, 240);
    p.setPen(QPen(QColor(0xff, 0x90, 0x40, 90), 9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(programme);
    p.setPen(QPen(QColor(0xff, 0xc0, 0x60), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(programme);
    QPainterPath measured;
    measured.moveTo(40, 285);
    measured.cubicTo(150, 270, 190, 140, 260, 126);
    measured.cubicTo(330, 114, 380, 122, 440, 121);
    measured.cubicTo(500, 110, 530, 66, 600, 62);
    measured.cubicTo(700, 58, 740, 62, 780, 70);
    measured.cubicTo(850, 150, 900, 236, 1000, 244);
    p.setPen(QPen(QColor(0x70, 0xe0, 0xff), 2));
    p.drawPath(measured);
    // A controller front panel at the right of the light band.
    p.setPen(QPen(QColor(0x40, 0x40, 0x40), 2));
    p.setBrush(QColor(0x2a, 0x2a, 0x2e));
    p.drawRoundedRect(QRectF(840, 352, 140, 170), 8, 8);
    p.setFont(songFont(30, 15, QFont::Bold));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x10, 0x10, 0x10));
    p.drawRect(QRectF(852, 368, 116, 44));
    p.drawRect(QRectF(852, 420, 116, 44));
    p.setPen(QColor(0xff, 0x50, 0x30));
    p.drawText(QRectF(852, 368, 112, 44), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("125.0"));
    p.setPen(QColor(0x50, 0xff, 0x60));
    p.drawText(QRectF(852, 420, 112, 44), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("125.0"));
    p.setFont(songFont(14, 7));
    p.setPen(QColor(0xc0, 0xc0, 0xc0));
    p.drawText(QRectF(852, 474, 116, 20), Qt::AlignCenter, QStringLiteral("QT570"));
    p.setPen(QPen(QColor(0x90, 0x90, 0x90), 1));
    p.setBrush(QColor(0x50, 0x50, 0x54));
    for (int i = 0; i < 4; ++i) {
        p.drawRoundedRect(QRectF(856 + 28 * i, 498, 22, 14), 3, 3);
    }
    // The lower band carries the two entry buttons.
    p.setPen(QPen(QColor(0x8c, 0xa8, 0xd0, 160), 1));
    p.drawLine(60, 560, 964, 560);
    startButton(p, kEntryButton.translated(146, 584), trc("Pictures", "进入系统"), 0);
    startButton(p, kPasswordButton.translated(549, 587), trc("Pictures", "密码进入"), 0);
    return pixmap;
}

// A start-window button picture: the button drawn at (1, 1), as the window copies it from
// there, on the backdrop it covers.
QPixmap startButtonPicture(QSize size, QPoint at, const QRect& button, const QString& text,
                           int lit) {
    QPixmap pixmap = canvas(size.width(), size.height());
    QPainter p(&pixmap);
    p.translate(-(at.x() - 1), -(at.y() - 1));
    paintStartBackdrop(p, QRect(at - QPoint(1, 1), size));
    startButton(p, button.translated(at), text, lit);
    return pixmap;
}

// The application icon, kept with the pictures under a number no resource uses.
constexpr int kApplicationIconPicture = -128;

QPixmap applicationIconPicture() {
    QPixmap pixmap = canvas(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x20, 0x20, 0x20), 1.5));
    p.setBrush(QColor(0x2a, 0x2a, 0x2e));
    p.drawRoundedRect(QRectF(1.5, 3.5, 29, 25), 4, 4);
    p.setPen(QPen(QColor(0xff, 0x60, 0x30), 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawPolyline(QPolygonF({{5, 23}, {12, 11}, {19, 11}, {27, 20}}));
    p.setPen(QPen(QColor(0x60, 0xe0, 0xff), 1.5));
    p.drawLine(QPointF(5, 25.5), QPointF(27, 25.5));
    return pixmap;
}

QPixmap checkBox(bool checked) {
    QPixmap pixmap = canvas(12, 12);
    pixmap.fill(Qt::white);
    QPainter p(&pixmap);
    p.setPen(QColor(0x80, 0x80, 0x80));
    p.drawRect(0, 0, 11, 11);
    p.setPen(kInk);
    p.drawLine(1, 1, 10, 1);
    p.drawLine(1, 1, 1, 10);
    if (checked) {
        p.setPen(QPen(kInk, 2));
        p.drawPolyline(QPolygon({{3, 6}, {5, 8}, {9, 3}}));
    }
    return pixmap;
}

QPixmap workToolbar() {
    const QStringList captions = workToolbarCaptions();
    QPixmap pixmap =
        canvas(kWorkButtonWidth * static_cast<int>(captions.size()), kWorkButtonHeight);
    pixmap.fill(QColor(0xd4, 0xd0, 0xc8));
    QPainter p(&pixmap);
    p.setFont(songFont(12, 6));
    p.setPen(kInk);
    for (int i = 0; i < captions.size(); ++i) {
        p.drawText(QRect(i * kWorkButtonWidth, 0, kWorkButtonWidth, kWorkButtonHeight),
                   Qt::AlignCenter, captions[i]);
    }
    return pixmap;
}

// A 10 x 19 arrow button: raised, sunk while held, greyed when there is nothing to go to.
QPixmap arrow(bool left, bool held, bool greyed) {
    QPixmap pixmap = canvas(10, 19);
    pixmap.fill(QColor(0xd4, 0xd0, 0xc8));
    QPainter p(&pixmap);
    p.setPen(held ? QColor(0x80, 0x80, 0x80) : Qt::white);
    p.drawLine(0, 0, 9, 0);
    p.drawLine(0, 0, 0, 18);
    p.setPen(held ? Qt::white : QColor(0x40, 0x40, 0x40));
    p.drawLine(9, 0, 9, 18);
    p.drawLine(0, 18, 9, 18);
    const int shift = held ? 1 : 0;
    p.setPen(Qt::NoPen);
    p.setBrush(greyed ? QColor(0x80, 0x80, 0x80) : kInk);
    const QPolygon shape =
        left ? QPolygon({{6, 5}, {6, 13}, {2, 9}}) : QPolygon({{3, 5}, {3, 13}, {7, 9}});
    p.drawPolygon(shape.translated(shift, shift));
    return pixmap;
}

// Nine 16 x 16 tree images: folders, documents, a channel plug, an event flag and more.
QPixmap treeImages() {
    QPixmap pixmap = canvas(16 * 9, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    const QColor colours[] = {kBlue, kGreen, kRed, kYellow, kBlue, kGreen, kRed, kBlue, kRed};
    for (int i = 0; i < 9; ++i) {
        const int x = 16 * i;
        p.setPen(kInk);
        p.setBrush(colours[i]);
        switch (i) {
            case 3:  // a record
                p.drawRect(x + 2, 2, 11, 11);
                p.drawLine(x + 4, 5, x + 11, 5);
                p.drawLine(x + 4, 8, x + 11, 8);
                break;
            case 7:  // a channel detail: a plug
                p.drawEllipse(x + 4, 4, 8, 8);
                p.drawLine(x + 8, 12, x + 8, 15);
                break;
            case 8:  // an event detail: a flag
                p.drawLine(x + 4, 2, x + 4, 14);
                p.drawPolygon(QPolygon({{x + 5, 2}, {x + 13, 5}, {x + 5, 8}}));
                break;
            default:
                p.drawRoundedRect(x + 3, 3, 10, 10, 2, 2);
                break;
        }
    }
    return pixmap;
}

// The history view's strip 200: six modes, delete, save, zoom in, zoom out, full screen, CSV.
void curveMode(QPainter& p) {
    p.setPen(QPen(kInk, 1));
    p.drawLine(1, 0, 1, 14);
    p.drawLine(1, 14, 15, 14);
    p.setPen(QPen(kBlue, 1));
    p.drawPolyline(QPolygon({{2, 10}, {5, 5}, {8, 9}, {11, 3}, {15, 6}}));
}

void periodChartMode(QPainter& p) {
    p.setPen(QPen(kInk, 1));
    p.drawEllipse(1, 0, 13, 13);
    p.setPen(QPen(kRed, 1));
    p.drawPolyline(QPolygon({{7, 6}, {11, 6}, {9, 10}, {5, 9}, {4, 4}, {8, 2}}));
}

void periodCurveMode(QPainter& p) {
    p.setPen(QPen(kInk, 1));
    p.drawLine(1, 14, 15, 14);
    p.drawLine(8, 1, 8, 14);
    p.setPen(QPen(kGreen, 1));
    p.drawPolyline(QPolygon({{1, 10}, {4, 4}, {7, 10}}));
    p.drawPolyline(QPolygon({{9, 10}, {12, 4}, {15, 10}}));
}

void tableMode(QPainter& p) {
    p.setPen(QPen(kInk, 1));
    p.setBrush(kPaper);
    p.drawRect(1, 1, 13, 12);
    for (int y = 4; y < 13; y += 3) {
        p.drawLine(1, y, 14, y);
    }
    p.drawLine(6, 1, 6, 13);
}

void eventTableMode(QPainter& p) {
    tableMode(p);
    p.setPen(QPen(kRed, 2));
    p.drawPoint(10, 8);
}

void channelInfoMode(QPainter& p) {
    p.setPen(QPen(kBlue, 1));
    p.setBrush(kPaper);
    p.drawEllipse(1, 0, 13, 13);
    p.drawLine(7, 6, 7, 10);
    p.drawPoint(7, 3);
}

void deleteRows(QPainter& p) {
    p.setPen(QPen(kRed, 2));
    p.drawLine(3, 2, 12, 12);
    p.drawLine(12, 2, 3, 12);
}

void saveData(QPainter& p) {
    p.setPen(QPen(kInk, 1));
    p.setBrush(kBlue);
    p.drawRect(1, 1, 13, 13);
    p.setBrush(Qt::white);
    p.drawRect(4, 1, 7, 5);
}

void zoomGlyph(QPainter& p, bool plus) {
    p.setPen(QPen(kInk, 1));
    p.setBrush(Qt::white);
    p.drawEllipse(1, 1, 9, 9);
    p.setPen(QPen(kInk, 2));
    p.drawLine(10, 10, 14, 14);
    p.setPen(QPen(kBlue, 1));
    p.drawLine(3, 6, 8, 6);
    if (plus) {
        p.drawLine(5, 3, 5, 8);
    }
}

void zoomInGlyph(QPainter& p) {
    zoomGlyph(p, true);
}

void zoomOutGlyph(QPainter& p) {
    zoomGlyph(p, false);
}

void fullScreenGlyph(QPainter& p) {
    p.setPen(QPen(kInk, 1));
    p.drawRect(1, 1, 13, 12);
    p.setPen(QPen(kBlue, 1));
    p.drawLine(3, 7, 12, 7);
    p.drawLine(3, 7, 5, 5);
    p.drawLine(3, 7, 5, 9);
    p.drawLine(12, 7, 10, 5);
    p.drawLine(12, 7, 10, 9);
}

void csvGlyph(QPainter& p) {
    p.setPen(QPen(kInk, 1));
    p.setBrush(kPaper);
    p.drawRect(2, 0, 11, 14);
    p.setPen(QPen(kGreen, 1));
    p.drawLine(4, 4, 11, 4);
    p.drawLine(4, 7, 11, 7);
    p.drawLine(4, 10, 11, 10);
    p.drawLine(7, 2, 7, 12);
}

QPixmap draw(int resource) {
    switch (resource) {
        case kToolbarMain:
            return strip({serialTest, openTemplate, parameterEdit, openWork, history, trackingCurve,
                          print, about, switchWindow});
        case kToolbarTest:
            return strip({send, clearScreen, resetCounters});
        case kToolbarTestBottom:
            return strip({keyboard});
        case kToolbarSet:
            return strip({autoRead, download});
        case kIndicator:
            return indicator();
        case kTestPanel:
            return testPanel();
        case kStartBackground:
            return startBackground();
        case kStartEntry:
            return startButtonPicture({181, 95}, {146, 584}, kEntryButton,
                                      trc("Pictures", "进入系统"), 1);
        case kStartEntryPressed:
            return startButtonPicture({184, 97}, {146, 584}, kEntryButton,
                                      trc("Pictures", "进入系统"), 2);
        case kStartPassword:
            return startButtonPicture({329, 87}, {549, 587}, kPasswordButton,
                                      trc("Pictures", "密码进入"), 1);
        case kStartPasswordPressed:
            return startButtonPicture({327, 86}, {549, 587}, kPasswordButton.adjusted(0, 0, -1, -1),
                                      trc("Pictures", "密码进入"), 2);
        case kApplicationIconPicture:
            return applicationIconPicture();
        case kTreeImages:
            return treeImages();
        case kBoxChecked:
            return checkBox(true);
        case kBoxUnchecked:
            return checkBox(false);
        case kToolbarWork:
            return workToolbar();
        case kToolbarHistory:
            return strip({curveMode, periodChartMode, periodCurveMode, tableMode, eventTableMode,
                          channelInfoMode, deleteRows, saveData, zoomInGlyph, zoomOutGlyph,
                          fullScreenGlyph, csvGlyph});
        case kArrowLeftHeld:
            return arrow(true, true, false);
        case kArrowLeft:
        case kArrowLeftUp:
            return arrow(true, false, false);
        case kArrowRightHeld:
            return arrow(false, true, false);
        case kArrowRightNewest:
            return arrow(false, false, true);
        case kArrowRight:
            return arrow(false, false, false);
        default:
            return {};
    }
}

QMap<int, QPixmap>& cache() {
    static QMap<int, QPixmap> pictures;
    return pictures;
}

// Pixmaps must go before the application object does.
void dropPictures() {
    cache().clear();
}

}  // namespace

const QPixmap& picture(int resource) {
    auto it = cache().find(resource);
    if (it == cache().end()) {
        if (cache().isEmpty()) {
            qAddPostRoutine(dropPictures);
        }
        it = cache().insert(resource, drawPicture(resource, pictureRatio()));
    }
    return *it;
}

QIcon toolbarIcon(int resource, int index) {
    const QPixmap& source = picture(resource);
    return QIcon(
        picturePart(source, QRect(index * kToolImageWidth, 0, kToolImageWidth, kToolImageHeight)));
}

QStringList workToolbarCaptions() {
    return {trc("Pictures", "开始运行"), trc("Pictures", "停止运行"), trc("Pictures", "开始保存"),
            trc("Pictures", "结束保存"), trc("Pictures", "曲线图"),   trc("Pictures", "环形图"),
            trc("Pictures", "周期图"),   trc("Pictures", "列表显示"), trc("Pictures", "实时事件"),
            trc("Pictures", "通道设置"), trc("Pictures", "事件设置"), trc("Pictures", "采样参数"),
            trc("Pictures", "显示设置"), trc("Pictures", "保存设置"), trc("Pictures", "放大显示"),
            trc("Pictures", "缩小显示")};
}

QIcon treeIcon(int index) {
    return QIcon(picturePart(picture(kTreeImages), QRect(index * 16, 0, 16, 16)));
}

QIcon applicationIcon() {
    return QIcon(picture(kApplicationIconPicture));
}

void blit(QPainter& painter, const QRect& target, const QPixmap& source, QPoint from) {
    const qreal ratio = source.devicePixelRatio();
    const QRect available =
        QRect(from, target.size())
            .intersected(QRect(QPoint(0, 0), source.deviceIndependentSize().toSize()));
    if (available.isEmpty()) {
        return;
    }
    // The source rectangle is in the picture's device pixels.
    const QRectF device(available.x() * ratio, available.y() * ratio, available.width() * ratio,
                        available.height() * ratio);
    painter.drawPixmap(QRectF(target.topLeft() + (available.topLeft() - from), available.size()),
                       source, device);
}

QPixmap drawPicture(int resource, qreal ratio) {
    const qreal before = g_drawRatio;
    g_drawRatio = ratio > 0 ? ratio : 1;
    QPixmap drawn = draw(resource);
    g_drawRatio = before;
    return drawn;
}

qreal pictureRatio() {
    qreal ratio = 1;
    for (const QScreen* screen : QGuiApplication::screens()) {
        ratio = std::max(ratio, screen->devicePixelRatio());
    }
    return ratio;
}

QPixmap pictureCanvas(int width, int height, qreal ratio) {
    if (ratio <= 0) {
        ratio = pictureRatio();
    }
    QPixmap pixmap(qCeil(width * ratio), qCeil(height * ratio));
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

QPixmap picturePart(const QPixmap& source, const QRect& part) {
    const qreal ratio = source.devicePixelRatio();
    QPixmap cut = source.copy(qRound(part.x() * ratio), qRound(part.y() * ratio),
                              qRound(part.width() * ratio), qRound(part.height() * ratio));
    cut.setDevicePixelRatio(ratio);
    return cut;
}

}  // namespace tervo::gui
