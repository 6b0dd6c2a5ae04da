// The real frequency beside the fields and the converter limits on the charts.
#include "app/ombrix.h"
#include "gui/charts/chartview.h"
#include "gui/common/elidedlabel.h"
#include "menupicture.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <gtest/gtest.h>

#include <memory>

namespace ombrix {
namespace {

TEST(Playback, RealFrequencyFollowsTheFrequencyAndTheSampleCount) {
    TOmbrix w;
    w.calculation().finishCalculation();
    const QString sep(QChar(w.decimalSeparator()));
    EXPECT_EQ(w.general().realFreq->text(), "Device plays 1000 Hz (exact)");
    w.general().NumOfSam->setText("8192");
    w.general().Freq->setText("50");
    // Words 1, 1, 68 at 25 ns: 1 / (8192 x 97 x 25 ns) = 50.3382732 Hz, +6765.5 ppm.
    EXPECT_EQ(w.general().realFreq->text(),
              "Device plays 50" + sep + "3382732 Hz (+6765" + sep + "5 ppm)");
    w.resize(740, 581);
    w.show();
    testkit::saveWindowPicture(&w, {}, "real-frequency");
    w.general().NumOfSam->setText("1000");
    w.general().Freq->setText("9000"); // typed, not yet left: above what the device plays
    EXPECT_EQ(w.general().realFreq->text(), "The device cannot play this frequency");
    w.general().StartFreq->setText("100");
    w.general().StopFreq->setText("300");
    EXPECT_TRUE(w.general().realSweep->text().startsWith("Device plays 100"));
    w.calculation().finishCalculation();
}

TEST(Playback, OutputsBeyondTheConverterRangeAreMarked) {
    TOmbrix w;
    w.calculation().finishCalculation();
    EXPECT_TRUE(w.limitsPanel()->isHidden());
    OutputPage& o = w.output(1);
    o.amplitude[0]->setText("5"); // beyond the +/-4.096 V of VRef1
    o.en[0]->click();
    w.calculation().finishCalculation();
    // Output 2 is not active yet: nothing will be sent, nothing is limited.
    EXPECT_FALSE(o.chart->limitLinesVisible());
    w.general().activeBox[1]->click();
    w.calculation().finishCalculation();
    EXPECT_TRUE(o.chart->limitLinesVisible());
    EXPECT_FALSE(w.output(0).chart->limitLinesVisible());
    EXPECT_EQ(w.limitsPanel()->fullText(), "Limited when sent: Output 2");
    EXPECT_FALSE(w.limitsPanel()->isHidden());
    o.amplitude[0]->setText("4");
    w.calculation().CalculateForms(1, 1);
    w.calculation().finishCalculation();
    EXPECT_FALSE(o.chart->limitLinesVisible());
    EXPECT_TRUE(w.limitsPanel()->isHidden());
}

} // namespace
} // namespace ombrix
