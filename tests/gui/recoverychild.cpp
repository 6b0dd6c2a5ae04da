// A session for the recovery tests, ended from outside. Prints the path of its recovery file
// once it is ready, then waits.
//   (no argument)  makes one committed change; the test kills it with SIGKILL, as a crash
//                  would end it.
//   --typed        types into the frequency field without leaving it, with the program's
//                  quit signals installed; the test ends it with SIGTERM, as a shutdown would.
//   --new-question makes the committed change, then asks New, whose save question stays
//                  open; the test ends it with SIGTERM.
#include "app/ombrix.h"
#include "app/quitsignals.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QTest>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ombrix::TOmbrix w;
    const ombrix::QuitSignals quitSignals(w);
    w.setMessageHandler([](const QString& text, const QString&) {
        std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    w.show();
    w.calculation().finishCalculation();
    if (argc > 1 && std::strcmp(argv[1], "--typed") == 0) {
        QApplication::setActiveWindow(&w);
        w.general().Freq->setFocus(Qt::MouseFocusReason);
        w.general().Freq->selectAll();
        QTest::keyClicks(w.general().Freq, "555");
    } else {
        w.general().Freq->setText("777");
        w.calculation().CalculateForms(0, ombrix::kOutputCount - 1); // commits the change
        w.calculation().finishCalculation();
    }
    std::printf("%s\n", QFile::encodeName(w.document().recovery().path()).constData());
    std::fflush(stdout);
    if (argc > 1 && std::strcmp(argv[1], "--new-question") == 0) {
        w.document().setModified(true);
        QMetaObject::invokeMethod(
            &w, [&w] { w.document().NewSample(); }, Qt::QueuedConnection);
    }
    return QApplication::exec();
}
