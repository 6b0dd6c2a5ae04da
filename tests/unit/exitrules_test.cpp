#include "core/model/exitrules.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace ombrix {
namespace {

constexpr char kSeps[] = {'.', ','};

// Tables write the separator as '#'; each case runs with "." and "," in its place.
std::string withSep(std::string s, char sep) {
    for (char& c : s)
        if (c == '#')
            c = sep;
    return s;
}

DeviceSettings device(const char* quartz, const char* instructions) {
    DeviceSettings d;
    d.Quartz = quartz;
    d.Instructions = instructions;
    return d;
}

const std::pair<int, int> kAllOutputs{0, 5};

TEST(NumOfSamExit, RepairsAndClampsTheCount) {
    struct Case {
        const char* text;
        int active; // active outputs besides output 1
        const char* after;
    };
    const Case cases[] = {
        {"", 0, "1000"},     {"3", 0, "8"},       {"0", 0, "8"},       {"8", 0, "8"},
        {"1000", 0, "1000"}, {"8192", 0, "8192"}, {"9000", 0, "8192"}, {"1000", 5, "1000"},
        {"2000", 5, "1365"}, {"4097", 1, "4096"},
    };
    for (const Case& c : cases) {
        GeneralSettings g;
        for (int k = 1; k <= c.active; ++k)
            g.Active[k] = true;
        g.NumOfSam = c.text;
        RuleOutcome o = NumOfSamExit(g);
        EXPECT_EQ(g.NumOfSam, c.after) << c.text;
        EXPECT_EQ(o.hasChanged(ModelField::NumOfSam), std::string(c.text) != c.after);
        EXPECT_EQ(o.recalc, kAllOutputs);
        EXPECT_FALSE(o.error);
        EXPECT_FALSE(o.sweepStepsDue);
    }

    GeneralSettings g;
    g.SwapEnabled = true;
    g.NumOfSam = "500";
    EXPECT_TRUE(NumOfSamExit(g).sweepStepsDue);

    g.NumOfSam = "12a";
    RuleOutcome bad = NumOfSamExit(g);
    EXPECT_EQ(bad.error, "'12a' is not a valid integer value");
    EXPECT_EQ(g.NumOfSam, "12a");
    EXPECT_FALSE(bad.recalc);
}

TEST(MaxFrequency, FollowsSamplesQuartzAndInstructions) {
    struct Case {
        long samples;
        const char* quartz;
        const char* instructions;
        long double expected;
    };
    const Case cases[] = {
        {1000, "16", "9", 3199},  // 32e6 / 10000 = 3200 exactly, minus 1
        {1000, "20", "29", 1332}, // the start-up limit: 1333.3 - 1
        {8192, "20", "29", 161},  // 162.76 - 1
        {8, "20", "0", 4999999},  // 5e6 - 1
        {3, "1", "0", 666665},    // 666666.67 - 1
        {8, "16", "9", 399999},   // 400000 exactly: inverting the rounded period gives 399998
        {16, "24", "29", 99999},
    };
    for (const Case& c : cases) {
        MaxFrequencyResult m = computeMaxFrequency(c.samples, device(c.quartz, c.instructions));
        ASSERT_TRUE(m.value) << c.samples;
        EXPECT_EQ(*m.value, c.expected) << c.samples << " " << c.quartz << " " << c.instructions;
    }
    EXPECT_EQ(computeMaxFrequency(1000, device("2x", "29")).error,
              "'2x' is not a valid integer value");
    EXPECT_EQ(computeMaxFrequency(1000, device("20", "2.5")).error,
              "'2.5' is not a valid integer value");
    EXPECT_EQ(computeMaxFrequency(1000, device("0", "29")).error,
              "Floating point division by zero");
}

TEST(NumOfSamChange, ClampsEveryFrequencyToTheNewLimit) {
    for (char sep : kSeps) {
        GeneralSettings g;
        g.NumOfSam = "1000";
        g.Freq = "5000";
        g.StartFreq = "0";
        g.StopFreq = "4000";
        g.Step = "5000";
        g.Time = "1";
        std::string panel = "6000";
        SampleCountChange c = NumOfSamChange(g, panel, device("16", "9"), sep, false);
        ASSERT_TRUE(c.maxFrequency);
        EXPECT_EQ(*c.maxFrequency, 3199);
        EXPECT_EQ(c.trackBarMax, 3199);
        EXPECT_EQ(g.Freq, "3199");
        EXPECT_EQ(panel, "3199");
        EXPECT_EQ(g.StartFreq, "1");
        EXPECT_EQ(g.StopFreq, "3199");
        EXPECT_EQ(g.Step, "3199");
        EXPECT_EQ(g.Time, "1");         // 1000 / 3199 ms is shorter than the step time already
        EXPECT_FALSE(c.outcome.recalc); // the form view: a frequency changes no sample
        EXPECT_FALSE(c.outcome.error);

        GeneralSettings shown;
        std::string panel2 = "1";
        EXPECT_EQ(NumOfSamChange(shown, panel2, DeviceSettings{}, sep, true).outcome.recalc,
                  kAllOutputs);
    }

    // No whole count above 0: the limit stays as it was.
    for (const char* text : {"", "0", "x"}) {
        GeneralSettings g;
        g.NumOfSam = text;
        std::string panel = "1";
        EXPECT_FALSE(NumOfSamChange(g, panel, DeviceSettings{}, '.', false).maxFrequency) << text;
    }

    // A field that is not a number stops the chain with its message.
    GeneralSettings g;
    g.StartFreq = ".";
    g.StopFreq = "99999";
    std::string panel = "1";
    SampleCountChange c = NumOfSamChange(g, panel, DeviceSettings{}, '.', false);
    EXPECT_EQ(c.outcome.error, "'.' is not a valid floating point value");
    EXPECT_EQ(g.StartFreq, ".");
    EXPECT_EQ(g.StopFreq, "99999");
}

TEST(FrequencyExits, RepairEmptyZeroAndTooHigh) {
    struct Case {
        int field; // 0 Freq, 1 StartFreq, 2 StopFreq, 3 Step, 4 control panel
        const char* text;
        const char* after;
    };
    const Case cases[] = {
        {0, "", "1"},        {0, "5000", "3199"}, {0, "2#5", "2#5"},   {0, "0", "0"},
        {1, "", "1"},        {1, "0", "1"},       {1, "0#0", "1"},     {1, "3199#5", "3199"},
        {2, "", "1"},        {2, "0", "1"},       {2, "12#5", "12#5"}, {3, "", "1"},
        {3, "0#5", "1"},     {3, "4000", "3199"}, {3, "2#5", "2#5"},   {4, "", "1"},
        {4, "3200", "3199"}, {4, "0", "0"},
    };
    for (char sep : kSeps) {
        for (const Case& c : cases) {
            GeneralSettings g;
            g.Time = "100000";
            std::string panel;
            std::string* text = nullptr;
            RuleOutcome o;
            const std::string in = withSep(c.text, sep);
            switch (c.field) {
            case 0:
                g.Freq = in;
                o = FreqExit(g, 3199, sep, false);
                text = &g.Freq;
                break;
            case 1:
                g.StartFreq = in;
                o = StartFreqExit(g, 3199, sep);
                text = &g.StartFreq;
                break;
            case 2:
                g.StopFreq = in;
                o = StopFreqExit(g, 3199, sep);
                text = &g.StopFreq;
                break;
            case 3:
                g.Step = in;
                o = StepComboBoxExit(g, 3199, sep);
                text = &g.Step;
                break;
            default:
                panel = in;
                o = ControlPanelFreqExit(panel, 3199, sep);
                text = &panel;
            }
            EXPECT_EQ(*text, withSep(c.after, sep)) << c.field << " '" << c.text << "'";
            EXPECT_FALSE(o.error);
            EXPECT_FALSE(o.recalc);
        }
    }
}

TEST(FrequencyExits, ReportTextsThatAreNoNumber) {
    for (char sep : kSeps) {
        const std::string lone(1, sep);
        const std::string msg = "'" + lone + "' is not a valid floating point value";
        GeneralSettings g;
        g.Freq = g.StartFreq = g.StopFreq = g.Step = lone;
        EXPECT_EQ(FreqExit(g, 3199, sep, true).error, msg);
        EXPECT_FALSE(FreqExit(g, 3199, sep, true).recalc);
        EXPECT_EQ(StartFreqExit(g, 3199, sep).error, msg);
        EXPECT_EQ(StopFreqExit(g, 3199, sep).error, msg);
        EXPECT_EQ(StepComboBoxExit(g, 3199, sep).error, msg);
        EXPECT_EQ(g.Freq, lone);
        EXPECT_EQ(g.StartFreq, lone);
        EXPECT_EQ(g.StopFreq, lone);
        EXPECT_EQ(g.Step, lone);
    }
    GeneralSettings g;
    g.Freq = "5000";
    EXPECT_EQ(FreqExit(g, 3199, '.', true).recalc, kAllOutputs);
}

TEST(StepTime, NeverShorterThanOneStepPeriod) {
    struct Case {
        const char* step;
        const char* time;
        const char* after;
    };
    const Case cases[] = {
        {"3", "100", "333#333333333333"},
        {"3", "400", "400"},
        {"10", "50", "100"},
        {"10", "100", "100"},
        {"0#5", "100", "2000"},
        {"1", "", "1000"}, // empty -> "1", then raised
        {"1", "0", "1000"},
        {"2000", "0", "1"},
        {"0", "50", "50"}, // no step frequency yet (after New)
        {"0", "", "1"},
    };
    for (char sep : kSeps) {
        for (const Case& c : cases) {
            GeneralSettings g;
            g.Step = withSep(c.step, sep);
            g.Time = c.time;
            RuleOutcome o = TimeExit(g, sep);
            EXPECT_EQ(g.Time, withSep(c.after, sep)) << c.step << " " << c.time;
            EXPECT_FALSE(o.error);
            EXPECT_EQ(o.hasChanged(ModelField::Time), std::string(c.time) != c.after);
            EXPECT_FALSE(o.recalc);
        }
        // Leaving the step applies the same minimum.
        GeneralSettings g;
        g.Step = "3";
        g.Time = "100";
        StepComboBoxExit(g, 3199, sep);
        EXPECT_EQ(g.Time, withSep("333#333333333333", sep));
        // A Time that the rule itself wrote is read back as a number.
        g.Step = "2";
        EXPECT_FALSE(TimeExit(g, sep).error);
        EXPECT_EQ(g.Time, withSep("500", sep));
    }
    GeneralSettings g;
    g.Step = ".";
    g.Time = "5";
    EXPECT_EQ(TimeExit(g, '.').error, "'.' is not a valid floating point value");
    EXPECT_EQ(g.Time, "5");
}

TEST(SwapEnabledClick, EnforcesMinimumStepTimeWhenSwitchedOn) {
    GeneralSettings g;
    g.Step = "10";
    g.Time = "50";
    RuleOutcome off = SwapEnabledClick(g, '.');
    EXPECT_TRUE(off.markModified);
    EXPECT_EQ(g.Time, "50");
    EXPECT_FALSE(SwapEnabledExit(g));

    g.SwapEnabled = true;
    RuleOutcome on = SwapEnabledClick(g, '.');
    EXPECT_TRUE(on.markModified);
    EXPECT_FALSE(on.recalc);
    EXPECT_EQ(g.Time, "100");
    EXPECT_EQ(SwapEnabledExit(g), 7);

    FormsConfig fresh = newForms(); // Step "0", Time "0"
    fresh.General.SwapEnabled = true;
    EXPECT_FALSE(SwapEnabledClick(fresh.General, '.').error);
    EXPECT_EQ(fresh.General.Time, "0");
}

TEST(Ph_DispExit, CarriesTheShiftIntoTheFundamental) {
    for (char sep : kSeps) {
        struct Case {
            const char* text;
            const char* after;
        };
        for (const Case& c :
             {Case{"45", "45"}, Case{"", "0"}, Case{"-", "0"}, Case{"-12#5", "-12#5"}}) {
            FormsConfig f;
            f.General.Ph_Disp[2] = withSep(c.text, sep);
            RuleOutcome o = Ph_DispExit(f, 2, sep);
            EXPECT_EQ(f.General.Ph_Disp[2], withSep(c.after, sep));
            EXPECT_EQ(f.Outputs[2].Harmonics[0].Phase, withSep(c.after, sep));
            EXPECT_EQ(f.Outputs[1].Harmonics[0].Phase, "0");
            EXPECT_EQ(o.recalc, (std::pair{2, 2}));
        }
        FormsConfig f;
        f.General.Ph_Disp[5] = withSep("-#", sep);
        RuleOutcome o = Ph_DispExit(f, 5, sep);
        EXPECT_TRUE(o.error);
        EXPECT_EQ(f.Outputs[5].Harmonics[0].Phase, "0");
        EXPECT_FALSE(o.recalc);
    }
    FormsConfig f;
    EXPECT_FALSE(Ph_DispExit(f, 0, '.').recalc); // output 1 has no phase shift
}

TEST(OnExit, RepairsShownOutputAndEveryOffset) {
    FormsConfig f;
    f.Outputs[3].Harmonics[0].Amplitude = "";
    f.Outputs[3].Harmonics[0].Phase = "-";
    f.Outputs[3].Harmonics[19].Amplitude = "-";
    f.Outputs[3].Harmonics[5].Phase = "-5";
    f.Outputs[2].Harmonics[4].Amplitude = ""; // another page: left alone
    f.Outputs[0].Offset = "-";
    f.Outputs[5].Offset = "";
    f.Outputs[3].Offset = "-1";
    RuleOutcome o = onExit(f, 3);
    EXPECT_EQ(f.Outputs[3].Harmonics[0].Amplitude, "0");
    EXPECT_EQ(f.Outputs[3].Harmonics[0].Phase, "0");
    EXPECT_EQ(f.Outputs[3].Harmonics[19].Amplitude, "0");
    EXPECT_EQ(f.Outputs[3].Harmonics[5].Phase, "-5");
    EXPECT_EQ(f.Outputs[2].Harmonics[4].Amplitude, "");
    EXPECT_EQ(f.Outputs[0].Offset, "0");
    EXPECT_EQ(f.Outputs[5].Offset, "0");
    EXPECT_EQ(f.Outputs[3].Offset, "-1");
    EXPECT_TRUE(o.hasChanged(ModelField::Harmonics));
    EXPECT_TRUE(o.hasChanged(ModelField::Offset));
    EXPECT_EQ(o.recalc, (std::pair{3, 3}));
}

TEST(OnExitPulse, TimesSumToOneHundred) {
    struct Case {
        PulseParams before;
        PulseParams after;
    };
    const Case cases[] = {
        {{"0", "0", "60", "10", "50", "0"}, {"0", "0", "60", "10", "30", "0"}},
        {{"0", "0", "0", "0", "0", "0"}, {"0", "0", "0", "0", "0", "100"}}, // after New
        {{"0", "0", "150", "0", "50", "0"}, {"0", "0", "100", "0", "0", "0"}},
        {{"0", "0", "50", "0", "150", "0"}, {"0", "0", "50", "0", "50", "0"}},
        {{"0", "0", "90", "30", "40", "20"}, {"0", "0", "90", "10", "0", "0"}},
        {{"0", "0", "40", "10", "20", "0"}, {"0", "0", "40", "10", "20", "30"}},
        {{"0", "0", "25", "25", "25", "25"}, {"0", "0", "25", "25", "25", "25"}},
        {{"250", "-", "", "-", "50", ""}, {"100", "0", "0", "0", "50", "50"}},
        {{"-250", "1", "33#3", "33#3", "33#3", "0"}, {"-250", "1", "33#3", "33#3", "33#3", "0#1"}},
        {{"0", "0", "50#5", "0", "50", "0"}, {"0", "0", "50#5", "0", "49#5", "0"}},
        // Sums that are 100 in decimals but not in binary fractions.
        {{"0", "0", "35#6", "40#19", "24#21", "0"}, {"0", "0", "35#6", "40#19", "24#21", "0"}},
        {{"0", "0", "35#6", "40#19", "20", "0"}, {"0", "0", "35#6", "40#19", "20", "4#21"}},
    };
    for (char sep : kSeps) {
        for (const Case& c : cases) {
            FormsConfig f;
            for (int i = 0; i < kPulseParamCount; ++i)
                f.Outputs[4].Pulse[i] = withSep(c.before[i], sep);
            RuleOutcome o = onExitPulse(f, 4, sep);
            for (int i = 0; i < kPulseParamCount; ++i)
                EXPECT_EQ(f.Outputs[4].Pulse[i], withSep(c.after[i], sep))
                    << "field " << i << " of " << c.before[2] << "/" << c.before[3] << "/"
                    << c.before[4] << "/" << c.before[5] << " sep " << sep;
            EXPECT_EQ(o.recalc, (std::pair{4, 4}));
            EXPECT_FALSE(o.error);
            EXPECT_EQ(f.Outputs[0].Pulse, OutputForm{}.Pulse); // other outputs untouched
        }
    }
    FormsConfig f;
    f.Outputs[1].Pulse = {"0", "0", "x", "0", "0", "0"};
    RuleOutcome o = onExitPulse(f, 1, '.');
    EXPECT_EQ(o.error, "'x' is not a valid floating point value");
    EXPECT_EQ(f.Outputs[1].Pulse[tD1], "x");
    EXPECT_EQ(f.Outputs[1].Pulse[tF], "0");
    EXPECT_FALSE(o.recalc);
}

TEST(UpdateSweepSteps, WorkedCases) {
    struct Case {
        const char* start;
        const char* samples;
        const char* quartz;
        const char* instructions;
        const char* text;
        std::vector<const char*> items;
    };
    const Case cases[] = {
        // Tq = 25 ns, T1 = 29 ns, k = 38.84, fNext = floor(975.6) = 975, base 25.
        {"1000",
         "1000",
         "20",
         "29",
         "25",
         {"25", "50", "75", "100", "125", "150", "175", "200", "225", "250"}},
        // Tq = 500 ns, T1 = 0, k = 2, fNext = floor(66666.7), base 33334: 3 x base >= S.
        {"100000", "10", "1", "0", "33334", {"33334", "66668"}},
        // k = 15998.84, fNext = floor(2.49984) = 2, base 0.5.
        {"2#5", "1000", "20", "29", "0#5", {"0#5", "1", "1#5", "2"}},
    };
    for (char sep : kSeps) {
        for (const Case& c : cases) {
            GeneralSettings g;
            g.StartFreq = withSep(c.start, sep);
            g.NumOfSam = c.samples;
            SweepSteps s = UpdateSweepSteps(g, device(c.quartz, c.instructions), sep);
            ASSERT_FALSE(s.error) << *s.error;
            EXPECT_EQ(s.text, withSep(c.text, sep));
            EXPECT_EQ(g.Step, s.text);
            std::vector<std::string> expected;
            for (const char* item : c.items)
                expected.push_back(withSep(item, sep));
            EXPECT_EQ(s.items, expected) << c.start;
        }
    }
    GeneralSettings g;
    g.StartFreq = "0";
    g.Step = "7";
    SweepSteps s = UpdateSweepSteps(g, DeviceSettings{}, '.');
    EXPECT_EQ(s.error, "Floating point division by zero");
    EXPECT_EQ(g.Step, "7");
    g.StartFreq = ",";
    EXPECT_EQ(UpdateSweepSteps(g, DeviceSettings{}, ',').error,
              "',' is not a valid floating point value");
}

TEST(UpDown1001Click, StepsWithinOneToMaxSamples) {
    struct Case {
        const char* text;
        int direction;
        int active;
        const char* after;
    };
    const Case cases[] = {
        {"1000", 1, 0, "1001"}, {"1000", -1, 0, "999"}, {"8192", 1, 0, "8192"},
        {"1", -1, 0, "1"},      {"5000", 1, 1, "4096"}, {"", 1, 0, "1"},
    };
    for (const Case& c : cases) {
        GeneralSettings g;
        for (int k = 1; k <= c.active; ++k)
            g.Active[k] = true;
        g.NumOfSam = c.text;
        RuleOutcome o = UpDown1001Click(g, c.direction);
        EXPECT_EQ(g.NumOfSam, c.after) << c.text;
        EXPECT_TRUE(o.markModified);
        EXPECT_EQ(o.recalc, kAllOutputs);
    }
}

TEST(RuleOutcome, MergeJoinsRangesAndKeepsFirstError) {
    RuleOutcome a;
    a.changed = {ModelField::Freq};
    a.recalc = std::pair{2, 2};
    RuleOutcome b;
    b.changed = {ModelField::Freq, ModelField::Time};
    b.recalc = std::pair{4, 5};
    b.error = "first";
    RuleOutcome c;
    c.error = "second";
    a.merge(b);
    a.merge(c);
    EXPECT_EQ(a.changed, (std::vector{ModelField::Freq, ModelField::Time}));
    EXPECT_EQ(a.recalc, (std::pair{2, 5}));
    EXPECT_EQ(a.error, "first");
}

} // namespace
} // namespace ombrix
