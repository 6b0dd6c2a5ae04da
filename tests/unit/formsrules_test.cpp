#include "core/model/formsrules.h"
#include "core/model/numbertext.h"

#include <gtest/gtest.h>

namespace ombrix {
namespace {

TEST(ToggleActiveOutput, LimitsSampleCountOnlyWhenAboveTheNewMaximum) {
    struct Case {
        const char* numOfSam;
        const char* expected;
        RecalcRange recalc;
    };
    // With outputs 2..6 all active the limit is 1365.
    const Case cases[] = {{"1000", "1000", std::pair{5, 5}},
                          {"1365", "1365", std::pair{5, 5}},
                          {"2000", "1365", std::pair{0, 5}},
                          {"", "1365", std::pair{0, 5}}};
    for (const Case& c : cases) {
        GeneralSettings g;
        g.Active = {true, true, true, true, true, true};
        g.NumOfSam = c.numOfSam;
        EXPECT_EQ(toggleActiveOutput(g, 5), c.recalc) << c.numOfSam;
        EXPECT_EQ(g.NumOfSam, c.expected) << c.numOfSam;
        EXPECT_EQ(maxSamples(activeCount(g)), 1365);
    }
}

TEST(ToggleActiveOutput, UncheckingRaisesSampleCountOnlyWithSetMaxNumber) {
    GeneralSettings g;
    g.Active = {true, true, true, false, false, false}; // three active: 2730
    g.NumOfSam = "2730";
    g.Active[2] = false; // now two active: the limit rises to 4096
    EXPECT_EQ(toggleActiveOutput(g, 2), (RecalcRange{std::pair{2, 2}}));
    EXPECT_EQ(g.NumOfSam, "2730");

    g.SetMaxNumber = true;
    g.Active[1] = false; // one active: 8192, and the box asks for the maximum
    EXPECT_EQ(toggleActiveOutput(g, 1), (RecalcRange{std::pair{0, 5}}));
    EXPECT_EQ(g.NumOfSam, "8192");
}

TEST(SetMaxNumber, WritesTheLimitWhenTickedAndNothingWhenUnticked) {
    GeneralSettings g;
    g.Active = {true, false, true, false, false, false};
    g.SetMaxNumber = true;
    EXPECT_EQ(setMaxNumber(g), (RecalcRange{std::pair{0, 5}}));
    EXPECT_EQ(g.NumOfSam, "4096");
    g.SetMaxNumber = false;
    g.NumOfSam = "12";
    EXPECT_EQ(setMaxNumber(g), std::nullopt);
    EXPECT_EQ(g.NumOfSam, "12");
}

TEST(CopySettings, CopiesEveryParameterIncludingHiddenOnesAndLeavesTheSource) {
    FormsConfig f;
    OutputForm& src = f.Outputs[2];
    src.Form = FormKind::Pulse;
    src.Offset = "-1,5";
    src.Harmonics[0] = {"2", "45", true}; // row 0 phase: the hidden phase shift
    src.Harmonics[19] = {"0,1", "-90", true};
    src.Pulse = {"5", "-5", "10", "20", "30", "40"};
    src.Equation = "sin(x)";
    const OutputForm before = src;
    f.General.Ph_Disp[4] = "33";

    EXPECT_EQ(copySettings(f, 2, 4), (RecalcRange{std::pair{4, 4}}));
    EXPECT_EQ(f.Outputs[4], before);
    EXPECT_EQ(f.Outputs[2], before);
    EXPECT_EQ(f.General.Ph_Disp[4], "33"); // the target's own shift text is not touched
}

TEST(CopySettings, RefusesAMissingOrSameSource) {
    FormsConfig f;
    f.Outputs[0].Offset = "1";
    const FormsConfig before = f;
    EXPECT_EQ(copySettings(f, -1, 1), std::nullopt);
    EXPECT_EQ(copySettings(f, 1, 1), std::nullopt);
    EXPECT_EQ(copySettings(f, 6, 1), std::nullopt);
    EXPECT_EQ(f, before);
}

TEST(FormVisibility, ShowsOnePanelPerKind) {
    const auto sine = formVisibility(FormKind::Sine);
    const auto pulse = formVisibility(FormKind::Pulse);
    const auto equation = formVisibility(FormKind::Equation);
    EXPECT_TRUE(sine.harmonicsBox && !sine.pulsePanel && !sine.equationMemo && sine.offsetEnabled);
    EXPECT_TRUE(!pulse.harmonicsBox && pulse.pulsePanel && !pulse.equationMemo &&
                pulse.offsetEnabled);
    EXPECT_TRUE(!equation.harmonicsBox && !equation.pulsePanel && equation.equationMemo &&
                !equation.offsetEnabled);
}

TEST(NumberText, FormatsGeneralFifteenDigitsWithTheSeparator) {
    struct Case {
        long double v;
        char sep;
        const char* text;
    };
    const Case cases[] = {{1000.0L / 3.0L, '.', "333.333333333333"},
                          {1000.0L / 3.0L, ',', "333,333333333333"},
                          {100.0L, '.', "100"},
                          {-0.5L, ',', "-0,5"},
                          {1e20L, '.', "1E20"},
                          {1e-7L, '.', "1E-7"},
                          {-0.0L, '.', "0"}};
    for (const Case& c : cases)
        EXPECT_EQ(formatGeneral(c.v, c.sep), c.text);
}

TEST(NumberText, ParsesOnlyWholeNumberTexts) {
    EXPECT_EQ(parseNumber("1,5", ','), 1.5L);
    EXPECT_EQ(parseNumber("1.5e3", '.'), 1500.0L);
    EXPECT_EQ(parseNumber("-2", '.'), -2.0L);
    EXPECT_EQ(parseNumber("+2,5", ','), 2.5L);
    EXPECT_EQ(parseNumber(",5", ','), 0.5L);
    for (const char* bad : {"", "-", ",", "1.5", "1,5x", "inf", "nan", "0x10", "+-1", "1e", "--1"})
        EXPECT_FALSE(parseNumber(bad, ',').has_value()) << bad;
    EXPECT_EQ(parseInteger("-12"), -12);
    for (const char* bad : {"", "-", "1.0", "12a", "99999999999"})
        EXPECT_FALSE(parseInteger(bad).has_value()) << bad;
}

} // namespace
} // namespace ombrix
