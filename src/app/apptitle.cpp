#include "app/apptitle.h"

#include <QCoreApplication>

namespace ombrix {

void setApplicationTitle() {
    QCoreApplication::setApplicationName("Ombrix");
}

} // namespace ombrix
