#pragma once

#include <QIcon>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QStringList>

class QPainter;

namespace tervo::gui {

// The pictures the views name by number, each drawn in code at its own size. There
// are no image files: each picture is painted once, on first use, and kept.
enum PictureId : int {
    kToolbarMain = 128,        // main toolbar strip, nine 16 x 15 images
    kToolbarTest = 146,        // serial test view, top: send, clear, reset counters
    kToolbarTestBottom = 148,  // serial test view, bottom: one image
    kIndicator = 151,          // 40 x 20: send indicator off (left) and on (right)
    kToolbarSet = 152,         // parameter view: auto read, write
    kTestPanel = 232,          // 191 x 768: left panel of the serial test view
    kTreeImages = 165,         // 165..173: the settings trees' nine 16 x 16 images, as one strip
    kBoxChecked = 234,         // 12 x 12 check box, checked
    kBoxUnchecked = 235,       // 12 x 12 check box, clear
    kToolbarHistory = 200,     // history view: six modes, delete, save, zoom in/out, full
                               //   screen, CSV export (twelve 16 x 15 images)
    kToolbarWork = 238,        // live work view: sixteen 49 x 15 buttons with captions
    kArrowLeftHeld = 254,      // 10 x 19 scroll arrows of the live work chart
    kArrowLeft = 255,          //   (255 is the left arrow's spare image)
    kArrowLeftUp = 256,
    kArrowRightHeld = 257,
    kArrowRightNewest = 258,
    kArrowRight = 259,
    kStartBackground = 247,       // 1024 x 768
    kStartEntry = 248,            // 181 x 95
    kStartEntryPressed = 249,     // 184 x 97
    kStartPassword = 250,         // 329 x 87
    kStartPasswordPressed = 251,  // 327 x 86
};

constexpr int kToolImageWidth = 16;
constexpr int kToolImageHeight = 15;
constexpr int kWorkButtonWidth = 49;
constexpr int kWorkButtonHeight = 15;
// The captions of the live work toolbar's buttons, in strip order.
QStringList workToolbarCaptions();

// The picture with that resource number; a null pixmap for a number that names none. It is
// drawn at pictureRatio() device pixels per pixel, so it stays sharp on a scaled screen; every
// size and position stays in (logical) pixels.
const QPixmap& picture(int resource);
// The same picture drawn anew at `ratio` device pixels per pixel (not kept).
QPixmap drawPicture(int resource, qreal ratio);

// The device pixel ratio pictures are drawn at: the largest of the screens' (1 without one).
qreal pictureRatio();
// An empty picture of width x height pixels at pictureRatio() (or `ratio`), to paint in pixels.
QPixmap pictureCanvas(int width, int height, qreal ratio = 0);
// The part of a picture at `part` (in pixels), at the picture's ratio.
QPixmap picturePart(const QPixmap& source, const QRect& part);
// Image `index` of a toolbar strip.
QIcon toolbarIcon(int resource, int index);
// Image `index` (0..8) of the settings trees' image list.
QIcon treeIcon(int index);
// The application icon (32 x 32).
QIcon applicationIcon();

// The start window's backdrop beyond its 1024 x 768 picture, continuing the picture's bands.
void paintStartBackdrop(QPainter& painter, const QRect& rect);

// A block copy as the views make it: the part of `source` from `from` on, as much as fits both
// `target` and the picture, unscaled.
void blit(QPainter& painter, const QRect& target, const QPixmap& source, QPoint from);

}  // namespace tervo::gui
