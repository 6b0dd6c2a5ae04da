#include "core/device/runmask.h"

#include <gtest/gtest.h>

namespace ombrix {
namespace {

TEST(RunMask, SingleButtonsChangeOnlyTheirBit) {
    std::uint8_t m = startOutput(0, 2);
    EXPECT_EQ(m, 0x04);
    m = startOutput(m, 0);
    EXPECT_EQ(m, 0x05);
    m = stopOutput(m, 2);
    EXPECT_EQ(m, 0x01);
    EXPECT_EQ(startOutput(0, 5), 0x20);
}

TEST(RunMask, SelectedStartHonoursTheActiveOutputsAndStopDoesNot) {
    const OutputFlags ticked{true, false, false, true, false, false};
    const OutputFlags onlyFirst{true, false, false, false, false, false};
    EXPECT_EQ(startSelected(0, ticked, onlyFirst), 0x01);
    const OutputFlags fourActive{true, false, false, true, false, false};
    EXPECT_EQ(startSelected(0x20, ticked, fourActive), 0x29);
    EXPECT_EQ(stopSelected(0x3F, ticked), 0x36);
}

TEST(RunMask, AllStartReplacesTheMaskWithTheActiveOutputs) {
    const OutputFlags active{true, true, false, false, true, false};
    EXPECT_EQ(startAll(active), 0x13);
    EXPECT_EQ(stopAll(), 0x00);
}

TEST(PanelFrequency, SentOnlyWhenEveryConditionHolds) {
    PanelFrequencyState s{"1000", "12", true, true, 1332};
    long double v = 0;
    EXPECT_TRUE(panelFrequencyIsSent(s, '.', &v));
    EXPECT_EQ(v, 12.0L);
    struct Case {
        const char* what;
        PanelFrequencyState state;
    };
    const Case refused[] = {
        {"main empty", {"", "12", true, true, 1332}},
        {"panel empty", {"1000", "", true, true, 1332}},
        {"disabled", {"1000", "12", false, true, 1332}},
        {"no settings", {"1000", "12", true, false, 1332}},
        {"above max", {"1000", "1333", true, true, 1332}},
        {"zero", {"1000", "0", true, true, 1332}},
        {"not a number", {"1000", ".", true, true, 1332}},
    };
    for (const Case& c : refused)
        EXPECT_FALSE(panelFrequencyIsSent(c.state, '.')) << c.what;
    s.panelFreq = "1332";
    EXPECT_TRUE(panelFrequencyIsSent(s, '.'));
}

} // namespace
} // namespace ombrix
