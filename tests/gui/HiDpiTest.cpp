#include <QPainter>
#include <QScreen>
#include <QTest>

#include "gui/app/StartWindow.h"
#include "gui/widgets/Pictures.h"
#include "guisupport/ScriptedPrompts.h"

using namespace tervo::gui;

namespace {

// The mean difference of two images of one size, per colour channel (0..255).
// Transparent parts count as the white they are shown on.
QImage onWhite(const QImage& image) {
    QImage white(image.size(), QImage::Format_RGB32);
    white.fill(Qt::white);
    QPainter(&white).drawImage(0, 0, image);
    return white;
}

double meanDifference(const QImage& a, const QImage& b) {
    QImage x = a, y = b;
    x.setDevicePixelRatio(1);
    y.setDevicePixelRatio(1);
    x = onWhite(x);
    y = onWhite(y);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row);
            const QRgb q = y.pixel(col, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
        }
    }
    return sum / (3.0 * x.width() * x.height());
}

int largestDifference(QRgb p, QRgb q) {
    return std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                     std::abs(qBlue(p) - qBlue(q))});
}

}  // namespace

// Runs under QT_SCALE_FACTOR 1.25, 1.5 and 2 as well (tests/gui/CMakeLists.txt).
class HiDpiTest : public QObject {
    Q_OBJECT

private slots:
    // A picture drawn at 2 x has twice the device pixels for the same size in pixels, shows
    // the same thing as at 1 x, and is drawn, not stretched: its detail is finer than the 1 x
    // picture blown up.
    void picturesAtTwiceTheRatio() {
        for (const int resource : {int(kStartBackground), int(kToolbarHistory), int(kTestPanel),
                                   int(kToolbarWork), int(kStartPassword), int(kIndicator)}) {
            const QPixmap one = drawPicture(resource, 1);
            const QPixmap two = drawPicture(resource, 2);
            QCOMPARE(two.devicePixelRatio(), 2.0);
            QCOMPARE(two.deviceIndependentSize().toSize(), one.size());
            QCOMPARE(two.size(), one.size() * 2);
            // Compared at a quarter of the size: a one-pixel line sits half a pixel apart at the
            // two ratios, the same picture either way.
            const QSize quarter = one.size() / 4;
            const double same = meanDifference(
                two.toImage().scaled(quarter, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
                one.toImage().scaled(quarter, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
            QVERIFY2(same < 12, qPrintable(QStringLiteral("%1: %2").arg(resource).arg(same)));
            const QImage blownUp = one.toImage().scaled(two.size());
            QVERIFY2(meanDifference(blownUp, two.toImage()) > 0.05,
                     qPrintable(QString::number(resource)));
        }
        // The icons cut from a strip keep their size in pixels.
        QCOMPARE(picturePart(drawPicture(kToolbarHistory, 2), QRect(16, 0, 16, 15))
                     .deviceIndependentSize()
                     .toSize(),
                 QSize(16, 15));
    }

    // The start window at the screen's ratio: its picture meets the backdrop that continues it
    // beyond 1024 x 768 without a seam, and the picture is at the screen's ratio.
    void startWindowWithoutSeam() {
        tervo::testing::ScriptedPrompts prompts;
        const qreal ratio = QGuiApplication::primaryScreen()->devicePixelRatio();
        QCOMPARE(pictureRatio(), ratio);
        StartWindow window;
        window.resize(1200, 900);
        const QImage shot = window.grab().toImage();
        QCOMPARE(shot.devicePixelRatio(), ratio);
        // The columns either side of the picture's right edge, the rows either side of its
        // bottom edge (the grid ends at 1000 and 300, the picture's art well inside).
        const int edgeX = qRound(1024 * ratio);
        const int edgeY = qRound(768 * ratio);
        int worst = 0;
        for (int y = 0; y < edgeY - 2; ++y) {
            worst = std::max(worst,
                             largestDifference(shot.pixel(edgeX - 2, y), shot.pixel(edgeX + 1, y)));
        }
        for (int x = 0; x < edgeX - 2; x += 3) {
            worst = std::max(worst,
                             largestDifference(shot.pixel(x, edgeY - 2), shot.pixel(x, edgeY + 1)));
        }
        QVERIFY2(worst <= 6, qPrintable(QStringLiteral("seam: %1").arg(worst)));
    }
};

QTEST_MAIN(HiDpiTest)
#include "HiDpiTest.moc"
