#include "ScreenPointer.h"

#include <QFile>
#include <QImageReader>
#include <QPixmap>
#include <QWidget>

#include <stdexcept>

void ScreenPointer::set(int value) {
    value_ = value;
    switch (value) {
        case Hourglass:
            screen_->setCursor(Qt::WaitCursor);
            break;
        case Custom:
            // Without an icon the custom pointer is the normal arrow.
            screen_->setCursor(custom_.value_or(QCursor(Qt::ArrowCursor)));
            break;
        default:
            screen_->unsetCursor();
            break;
    }
}

namespace {

// A .cur file keeps its hot spot where an icon keeps its planes and bit count.
QPoint hotSpotOf(const QString& cursorFile) {
    QFile file(cursorFile);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray head = file.read(14);
    if (head.size() < 14)
        return {};
    const auto byte = [&](int i) { return static_cast<unsigned char>(head[i]); };
    return QPoint(byte(10) | byte(11) << 8, byte(12) | byte(13) << 8);
}

}  // namespace

void ScreenPointer::loadCustomIcon(const QString& cursorFile) {
    QImageReader reader(cursorFile, "cur");
    const QImage image = reader.read();
    if (image.isNull())
        throw std::runtime_error("The cursor file " + cursorFile.toStdString() +
                                 " cannot be loaded: " + reader.errorString().toStdString());
    const QPoint hotSpot = hotSpotOf(cursorFile);
    custom_ = QCursor(QPixmap::fromImage(image), hotSpot.x(), hotSpot.y());
}
