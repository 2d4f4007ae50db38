// Draws the hand cursor shown over push buttons and writes it as a Windows .cur file.
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

namespace {

constexpr int kSize = 32;
constexpr int kHotX = 9;
constexpr int kHotY = 1;

QImage drawHand() {
    QImage image(kSize, kSize, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath hand;
    hand.addRoundedRect(QRectF(7, 1, 5, 17), 2.5, 2.5);  // the pointing finger
    hand.addRoundedRect(QRectF(12, 9, 4.5, 10), 2, 2);   // three folded fingers
    hand.addRoundedRect(QRectF(16.5, 10, 4.5, 9), 2, 2);
    hand.addRoundedRect(QRectF(21, 11, 4.5, 9), 2, 2);
    hand.addRoundedRect(QRectF(7, 14, 18.5, 13), 5, 5);  // the palm
    hand.addRoundedRect(QRectF(2, 15, 7, 4.5), 2, 2);    // the thumb
    painter.setPen(QPen(Qt::black, 1.2));
    painter.setBrush(Qt::white);
    painter.drawPath(hand.simplified());
    return image;
}

void putLe(QByteArray& out, quint32 value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

QByteArray cursorFile(const QImage& image) {
    QByteArray pixels;
    QByteArray mask;
    for (int y = kSize - 1; y >= 0; --y) {  // rows bottom-up
        quint32 maskRow = 0;
        for (int x = 0; x < kSize; ++x) {
            const QRgb rgb = image.pixel(x, y);
            putLe(pixels, rgb, 4);  // BGRA in memory order
            if (qAlpha(rgb) == 0)
                maskRow |= 0x80000000u >> x;
        }
        for (int shift = 24; shift >= 0; shift -= 8)
            mask.append(static_cast<char>((maskRow >> shift) & 0xFF));
    }
    QByteArray bitmap;
    putLe(bitmap, 40, 4);         // header size
    putLe(bitmap, kSize, 4);      // width
    putLe(bitmap, kSize * 2, 4);  // height of colour and mask together
    putLe(bitmap, 1, 2);          // planes
    putLe(bitmap, 32, 2);         // bits per pixel
    putLe(bitmap, 0, 4);          // no compression
    putLe(bitmap, static_cast<quint32>(pixels.size() + mask.size()), 4);
    bitmap.append(16, '\0');  // resolution and palette counts, all zero
    bitmap += pixels + mask;

    QByteArray file;
    putLe(file, 0, 2);  // reserved
    putLe(file, 2, 2);  // a cursor
    putLe(file, 1, 2);  // one image
    file.append(static_cast<char>(kSize));
    file.append(static_cast<char>(kSize));
    putLe(file, 0, 2);  // colour count, reserved
    putLe(file, kHotX, 2);
    putLe(file, kHotY, 2);
    putLe(file, static_cast<quint32>(bitmap.size()), 4);
    putLe(file, 22, 4);  // the image follows this entry
    return file + bitmap;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_cursor OUTPUT.CUR\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    QFile out(QString::fromLocal8Bit(argv[1]));
    if (!out.open(QIODevice::WriteOnly) || out.write(cursorFile(drawHand())) < 0) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
