#include "gui/common/decimalseparator.h"

#include <QLocale>

namespace ombrix {

char systemDecimalSeparator() {
    const QString point = QLocale::system().decimalPoint();
    if (point.size() == 1 && point[0].unicode() < 128)
        return static_cast<char>(point[0].unicode());
    return '.';
}

} // namespace ombrix
