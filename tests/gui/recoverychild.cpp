// A session that makes one committed change and then waits: the recovery test kills it with
// SIGKILL, as a crash would end it. Prints the path of its recovery file once it is written.
#include "app/ombrix.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>

#include <cstdio>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ombrix::TOmbrix w;
    w.setMessageHandler([](const QString& text, const QString&) {
        std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    w.calculation().finishCalculation();
    w.general().Freq->setText("777");
    w.calculation().CalculateForms(0, ombrix::kOutputCount - 1); // commits the change
    w.calculation().finishCalculation();
    std::printf("%s\n", QFile::encodeName(w.document().recovery().path()).constData());
    std::fflush(stdout);
    return QApplication::exec();
}
