// Typing into a field of the main window as a user does: its page shown, the field clicked,
// its text selected and replaced key by key, then (unless told otherwise) left with Tab.
#pragma once

#include "app/ombrix.h"

#include <QLineEdit>
#include <QTabWidget>
#include <QTest>

namespace ombrix::testkit {

enum class Leave { WithTab, No };

inline void typeInto(TOmbrix& w, int page, QLineEdit* edit, const QString& text,
                     Leave leave = Leave::WithTab) {
    w.pages()->setCurrentIndex(page);
    edit->setFocus(Qt::MouseFocusReason);
    edit->selectAll();
    QTest::keyClicks(edit, text);
    if (leave == Leave::WithTab)
        QTest::keyClick(edit, Qt::Key_Tab);
    w.calculation().finishCalculation();
}

} // namespace ombrix::testkit
