#pragma once

#include <QIcon>

// The application icon, drawn by the program itself.
namespace AppIcon {
QIcon icon();
QImage image(int size);
}  // namespace AppIcon
