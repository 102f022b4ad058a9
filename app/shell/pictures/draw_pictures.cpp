// Draws the program's pictures into PNG files in the directory given:
//   draw_pictures app/shell/pictures
// The PNGs are committed; run this again after changing a drawing.

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cstdio>
#include <functional>

namespace {

QImage draw(int width, int height, const std::function<void(QPainter&)>& paint) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    paint(painter);
    return image;
}

// A keyboard seen from above: a body with three rows of keys and a space bar.
void paintKeyboard(QPainter& p, double size) {
    const double s = size / 32.0;
    p.scale(s, s);
    p.setPen(QPen(QColor(40, 48, 60), 1.0));
    p.setBrush(QColor(72, 84, 102));
    p.drawRoundedRect(QRectF(1.5, 7.5, 29, 18), 3, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(236, 240, 245));
    for (int row = 0; row < 3; ++row) {
        const double offset = row * 1.0;
        for (int column = 0; column < 7 - (row == 2 ? 1 : 0); ++column) {
            p.drawRoundedRect(QRectF(4.0 + offset + column * 3.6, 10.0 + row * 3.6, 2.8, 2.8), 0.6,
                              0.6);
        }
    }
    p.drawRoundedRect(QRectF(8.5, 21.0, 15, 2.6), 0.6, 0.6);
    // The cable that leaves it at the top.
    p.setPen(QPen(QColor(40, 48, 60), 1.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    QPainterPath cable(QPointF(16, 7.5));
    cable.cubicTo(QPointF(16, 3), QPointF(22, 5), QPointF(23, 1.5));
    p.drawPath(cable);
}

// The same outline filled with one flat colour.
QImage silhouette(const QImage& picture, QColor colour) {
    QImage result = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < result.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x) {
            line[x] = qRgba(colour.red(), colour.green(), colour.blue(), qAlpha(line[x]));
        }
    }
    return result;
}

// Started: a green disc with a play triangle. Stopped: a dark red square
// with a white bar. They differ in shape as well as in colour.
void paintStarted(QPainter& p) {
    p.setPen(QPen(QColor(20, 90, 30), 1.0));
    p.setBrush(QColor(46, 170, 70));
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF({QPointF(6, 4), QPointF(12.5, 8), QPointF(6, 12)}));
}

void paintStopped(QPainter& p) {
    p.setPen(QPen(QColor(90, 20, 20), 1.0));
    p.setBrush(QColor(190, 40, 40));
    p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4, 7, 8, 2.5));
}

// A pale sky with two soft waves, light enough for grey text to stay legible.
void paintBackground(QPainter& p) {
    QLinearGradient sky(0, 0, 0, 255);
    sky.setColorAt(0, QColor(214, 228, 244));
    sky.setColorAt(1, QColor(250, 252, 255));
    p.fillRect(QRect(0, 0, 496, 255), sky);
    for (int wave = 0; wave < 2; ++wave) {
        QPainterPath path(QPointF(0, 190 + wave * 22));
        path.cubicTo(QPointF(140, 150 + wave * 30), QPointF(300, 240 + wave * 10),
                     QPointF(496, 170 + wave * 25));
        path.lineTo(496, 255);
        path.lineTo(0, 255);
        path.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(170, 196, 228, wave == 0 ? 70 : 110));
        p.drawPath(path);
    }
}

// The project badge: "VX" on a blue tile.
void paintBadge(QPainter& p, int width, int height) {
    QLinearGradient tile(0, 0, 0, height);
    tile.setColorAt(0, QColor(52, 110, 190));
    tile.setColorAt(1, QColor(30, 70, 140));
    p.setPen(Qt::NoPen);
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(1, 1, width - 2, height - 2), 5, 5);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(height * 9 / 16);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, width, height), Qt::AlignCenter, QStringLiteral("VX"));
}

bool save(const QImage& image, const QDir& directory, const char* name) {
    const QString path = directory.filePath(QString::fromLatin1(name));
    if (!image.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_pictures DIRECTORY\n");
        return 2;
    }
    const QDir directory(QString::fromLocal8Bit(argv[1]));
    const QImage keyboard = draw(32, 32, [](QPainter& p) { paintKeyboard(p, 32); });
    bool ok = save(keyboard, directory, "keyboard.png");
    ok = save(silhouette(keyboard, QColor(229, 229, 229)), directory, "keyboard_shadow.png") && ok;
    ok = save(draw(16, 16, paintStarted), directory, "started.png") && ok;
    ok = save(draw(16, 16, paintStopped), directory, "stopped.png") && ok;
    ok = save(draw(496, 255, paintBackground), directory, "background.png") && ok;
    ok = save(draw(47, 32, [](QPainter& p) { paintBadge(p, 47, 32); }), directory, "badge.png") &&
         ok;
    // The program's icon for menus and the window frame.
    ok = save(draw(48, 48,
                   [](QPainter& p) {
                       p.setPen(Qt::NoPen);
                       p.setBrush(QColor(214, 228, 244));
                       p.drawRoundedRect(QRectF(1, 1, 46, 46), 9, 9);
                       p.translate(4, 4);
                       paintKeyboard(p, 40);
                   }),
              directory, "vxorv.png") &&
         ok;
    return ok ? 0 : 1;
}
