#include "core/model/keyfilters.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ombrix {
namespace {

using F = FieldFamily;

constexpr char kSeps[] = {'.', ','};

// Tables write the separator as '#'; each case runs with "." and "," in its place.
std::string withSep(std::string s, char sep) {
    for (char& c : s)
        if (c == '#')
            c = sep;
    return s;
}

Key keyOf(char c, char sep) {
    if (c == '#')
        return Key::character(static_cast<unsigned char>(sep));
    return Key::fromChar(static_cast<unsigned char>(c));
}

// What the edit holds after the key, applying the result the way the window does: set the
// rewritten text first, then let the edit insert the character (or delete for Backspace)
// unless the key is discarded.
struct Typed {
    std::string text;
    KeyFilterResult result;
};

Typed type(F family, const std::string& text, int selStart, int selLength, int caret, Key key,
           char sep) {
    KeyFilterResult r = filterKey(family, text, selStart, selLength, caret, key, sep);
    std::string t = text;
    if (r.newText) {
        t = *r.newText;
        caret = *r.newCaret;
        selLength = 0;
    }
    if (!r.discard) {
        const int from = selLength > 0 ? selStart : caret;
        if (key.kind == Key::Kind::Character) {
            t.replace(from, selLength, 1, static_cast<char>(key.ch));
        } else if (key.kind == Key::Kind::Backspace) {
            if (selLength > 0)
                t.erase(from, selLength);
            else if (caret > 0)
                t.erase(caret - 1, 1);
        }
    }
    return {t, r};
}

// Typing at the end of the text with nothing selected.
Typed typeAtEnd(F family, const std::string& text, Key key, char sep) {
    const int end = static_cast<int>(text.size());
    return type(family, text, end, 0, end, key, sep);
}

const std::vector<F> kTextFamilies = {
    F::Frequency,  F::SampleCount, F::PhaseShift,        F::SweepValue,
    F::StepTime,   F::Offset,      F::HarmonicAmplitude, F::HarmonicPhase,
    F::PulseLevel, F::PulseTime,   F::DeviceSetting,     F::ControlPanelFrequency};

TEST(KeyFilter, DigitReplacesLoneZeroInEveryFamily) {
    for (char sep : kSeps) {
        for (F family : kTextFamilies) {
            Typed t = typeAtEnd(family, "0", Key::character(U'5'), sep);
            EXPECT_EQ(t.text, "5") << static_cast<int>(family) << " sep " << sep;
            EXPECT_FALSE(t.result.discard);
            // A zero that is not alone stays.
            EXPECT_EQ(typeAtEnd(family, "10", Key::character(U'0'), sep).text, "100");
        }
    }
}

TEST(KeyFilter, SeparatorAfterLoneZeroDependsOnFamily) {
    struct Case {
        F family;
        const char* after; // text after typing the separator into "0"
    };
    const Case cases[] = {
        {F::Frequency, "0#"},         {F::PhaseShift, "0#"},    {F::Offset, "0#"},
        {F::HarmonicAmplitude, "0#"}, {F::HarmonicPhase, "0#"}, {F::PulseLevel, "0#"},
        {F::PulseTime, "0#"},         {F::DeviceSetting, "0#"}, {F::ControlPanelFrequency, "0#"},
        {F::SweepValue, "#"},  // the zero gives way to the separator too
        {F::SampleCount, "0"}, // no separator at all in whole-number fields
        {F::StepTime, "0"},
    };
    for (char sep : kSeps)
        for (const Case& c : cases)
            EXPECT_EQ(typeAtEnd(c.family, "0", keyOf('#', sep), sep).text, withSep(c.after, sep))
                << static_cast<int>(c.family) << " sep " << sep;
}

TEST(KeyFilter, EnterWritesFamilyDefaultAndMovesOn) {
    struct Case {
        F family;
        const char* text;
        const char* after;
    };
    const Case cases[] = {
        {F::Frequency, "", "1"},
        {F::Frequency, "0", "1"}, // the lone zero is emptied first
        {F::Frequency, "12#5", "12#5"},
        {F::SampleCount, "", "0"},
        {F::SampleCount, "0", "0"},
        {F::SampleCount, "300", "300"},
        {F::PhaseShift, "", "0"},
        {F::PhaseShift, "-", "-"},
        {F::SweepValue, "", "1"},
        {F::SweepValue, "0", "1"},
        {F::SweepValue, "0#0", "1"},
        {F::SweepValue, "#", "#"}, // not a number: left for the exit rule to report
        {F::StepTime, "", "1"},
        {F::StepTime, "00", "1"},
        {F::StepTime, "20", "20"},
        {F::Offset, "", "0"},
        {F::Offset, "0", "0"},
        {F::DeviceSetting, "", "0"},
        {F::DeviceSetting, "0", "0"},
        {F::ControlPanelFrequency, "", "1"},
        {F::ControlPanelFrequency, "0", "1"},
    };
    for (char sep : kSeps) {
        for (const Case& c : cases) {
            Typed t = typeAtEnd(c.family, withSep(c.text, sep), Key::enter(), sep);
            EXPECT_EQ(t.text, withSep(c.after, sep))
                << static_cast<int>(c.family) << " '" << c.text << "' sep " << sep;
            EXPECT_TRUE(t.result.discard);
            EXPECT_TRUE(t.result.focusNext);
            EXPECT_FALSE(t.result.repairOutputCells);
            if (t.result.newText) {
                EXPECT_EQ(*t.result.newCaret, static_cast<int>(t.result.newText->size()));
            }
        }
    }
}

TEST(KeyFilter, EnterInCellRepairsTheWholeOutput) {
    for (F family : {F::HarmonicAmplitude, F::HarmonicPhase, F::PulseLevel, F::PulseTime}) {
        Typed empty = typeAtEnd(family, "", Key::enter(), '.');
        EXPECT_EQ(empty.text, "0");
        EXPECT_TRUE(empty.result.repairOutputCells);
        EXPECT_TRUE(empty.result.discard);
        EXPECT_TRUE(empty.result.focusNext);
        EXPECT_FALSE(empty.result.markModified);

        // A lone zero or minus is no empty cell: Enter leaves it for the exit rule.
        EXPECT_EQ(typeAtEnd(family, "0", Key::enter(), '.').text, "0");
        EXPECT_EQ(typeAtEnd(family, "-", Key::enter(), '.').text, "-");
    }

    OutputForm out;
    out.Harmonics[0].Amplitude = "";
    out.Harmonics[7].Phase = "";
    out.Harmonics[19].Amplitude = "-";
    out.Harmonics[3].Amplitude = "2.5";
    out.Pulse = {"", "-", "", "10", "", "0"};
    EXPECT_TRUE(repairEmptyHarmonicCells(out));
    EXPECT_EQ(out.Harmonics[0].Amplitude, "0");
    EXPECT_EQ(out.Harmonics[7].Phase, "0");
    EXPECT_EQ(out.Harmonics[19].Amplitude, "-");
    EXPECT_EQ(out.Harmonics[3].Amplitude, "2.5");
    EXPECT_FALSE(repairEmptyHarmonicCells(out));
    EXPECT_TRUE(repairEmptyPulseCells(out));
    EXPECT_EQ(out.Pulse, (PulseParams{"0", "-", "0", "10", "0", "0"}));
    EXPECT_FALSE(repairEmptyPulseCells(out));
}

TEST(KeyFilter, PhaseShiftStaysWithin360) {
    struct Case {
        const char* text;
        int selStart, selLength, caret;
        char key;
        bool discard;
    };
    const Case cases[] = {
        {"36", 2, 0, 2, '0', false},  // 360
        {"-36", 3, 0, 3, '0', false}, // -360
        {"36", 2, 0, 2, '5', true},   // 365
        {"360", 3, 0, 3, '0', true},  // 3600
        {"-360", 4, 0, 4, '1', true}, // -3601
        {"36#", 3, 0, 3, '9', false}, // 36.9
        {"360#", 4, 0, 4, '1', true}, // 360.1
        {"-", 1, 0, 1, '9', false},   // -9
        {"10", 0, 0, 0, '5', true},   // 510: the digit lands at the caret
        {"100", 0, 1, 1, '9', true},  // 900: the digit replaces the selection
        {"100", 0, 1, 1, '2', false}, // 200
    };
    for (char sep : kSeps) {
        for (const Case& c : cases) {
            Typed t = type(F::PhaseShift, withSep(c.text, sep), c.selStart, c.selLength, c.caret,
                           keyOf(c.key, sep), sep);
            EXPECT_EQ(t.result.discard, c.discard) << c.text << " + " << c.key << " sep " << sep;
            EXPECT_TRUE(t.result.markModified);
        }
    }
}

TEST(KeyFilter, MinusPlacement) {
    struct Case {
        F family;
        const char* text;
        int selStart, selLength, caret;
        const char* after;
    };
    const Case cases[] = {
        // Offset: only at the start, only once.
        {F::Offset, "", 0, 0, 0, "-"},
        {F::Offset, "5", 0, 0, 0, "-5"},
        {F::Offset, "5", 1, 0, 1, "5"},
        {F::Offset, "-5", 0, 0, 0, "-5"},
        {F::Offset, "-5", 0, 2, 2, "-5"}, // even over a selection holding it
        {F::Offset, "0", 1, 0, 1, "-"},   // the zero goes first, the caret is then at 0
        // Into an empty text or over a selection only.
        {F::HarmonicAmplitude, "", 0, 0, 0, "-"},
        {F::HarmonicAmplitude, "2", 1, 0, 1, "2"},
        {F::HarmonicAmplitude, "2", 0, 0, 0, "2"},
        {F::HarmonicAmplitude, "2", 0, 1, 1, "-"},
        {F::HarmonicPhase, "45", 0, 2, 2, "-"},
        {F::HarmonicPhase, "0", 1, 0, 1, "-"},
        {F::PulseLevel, "3", 1, 0, 1, "3"},
        {F::PulseLevel, "3", 0, 1, 0, "-"},
        {F::PhaseShift, "", 0, 0, 0, "-"},
        {F::PhaseShift, "45", 0, 0, 0, "45"},
        {F::PhaseShift, "45", 0, 2, 0, "-"},
        // No minus at all.
        {F::PulseTime, "", 0, 0, 0, ""},
        {F::Frequency, "", 0, 0, 0, ""},
        {F::SweepValue, "", 0, 0, 0, ""},
        {F::SampleCount, "", 0, 0, 0, ""},
        {F::StepTime, "", 0, 0, 0, ""},
        {F::DeviceSetting, "", 0, 0, 0, ""},
    };
    for (char sep : kSeps)
        for (const Case& c : cases)
            EXPECT_EQ(
                type(c.family, c.text, c.selStart, c.selLength, c.caret, Key::character(U'-'), sep)
                    .text,
                c.after)
                << static_cast<int>(c.family) << " '" << c.text << "' caret " << c.caret;
}

TEST(KeyFilter, SeparatorPlacement) {
    struct Case {
        F family;
        const char* text;
        int selStart, selLength, caret;
        const char* after;
    };
    const Case cases[] = {
        {F::Frequency, "", 0, 0, 0, ""},
        {F::Frequency, "12", 2, 0, 2, "12#"},
        {F::Frequency, "1#5", 3, 0, 3, "1#5"},
        {F::Frequency, "12", 1, 1, 2, "12"}, // over a selection
        {F::ControlPanelFrequency, "1#2", 3, 0, 3, "1#2"},
        {F::DeviceSetting, "20", 0, 2, 2, "20"},
        {F::PhaseShift, "-", 1, 0, 1, "-#"}, // a lone minus only stops the signed cells
        {F::Offset, "-", 1, 0, 1, "-"},
        {F::PulseLevel, "-", 1, 0, 1, "-"},
        {F::HarmonicAmplitude, "-", 1, 0, 1, "-"},
        {F::PulseTime, "", 0, 0, 0, ""},
        {F::PulseTime, "5", 1, 0, 1, "5#"},
        // Sweep values refuse only a second separator.
        {F::SweepValue, "", 0, 0, 0, "#"},
        {F::SweepValue, "12", 0, 2, 2, "#"},
        {F::SweepValue, "1#2", 3, 0, 3, "1#2"},
        // A harmonic amplitude never takes it over a selection, a phase cell when the result
        // keeps one separator after a digit.
        {F::HarmonicAmplitude, "12", 1, 1, 2, "12"},
        {F::HarmonicPhase, "12", 1, 1, 2, "1#"},
        {F::HarmonicPhase, "12", 0, 2, 2, "12"},
        {F::HarmonicPhase, "1#5", 1, 2, 3, "1#"},
        {F::HarmonicPhase, "1#5", 2, 1, 3, "1#5"},
        {F::HarmonicPhase, "-12", 1, 2, 3, "-12"},
        {F::HarmonicPhase, "", 0, 0, 0, ""},
    };
    for (char sep : kSeps)
        for (const Case& c : cases)
            EXPECT_EQ(type(c.family, withSep(c.text, sep), c.selStart, c.selLength, c.caret,
                           keyOf('#', sep), sep)
                          .text,
                      withSep(c.after, sep))
                << static_cast<int>(c.family) << " '" << c.text << "' sep " << sep;
}

TEST(KeyFilter, AllowedSetPerFamily) {
    // Keys that no numeric family takes, and the separator of the other locale.
    for (char sep : kSeps) {
        const char other = sep == '.' ? ',' : '.';
        for (F family : kTextFamilies) {
            for (char32_t c : {U'a', U'+', U'e', U' ', static_cast<char32_t>(other), U'\u00e9'})
                EXPECT_TRUE(filterKey(family, "1", 1, 0, 1, Key::character(c), sep).discard)
                    << static_cast<int>(family) << " key " << static_cast<int>(c);
            for (Key k : {Key::tab(), Key::backspace(), Key::character(U'7')})
                EXPECT_FALSE(filterKey(family, "1", 1, 0, 1, k, sep).discard);
        }
        // Whole-number fields refuse the separator.
        for (F family : {F::SampleCount, F::StepTime})
            EXPECT_TRUE(filterKey(family, "12", 2, 0, 2, keyOf('#', sep), sep).discard);
    }
    // The copy-source lists take nothing typed; Enter moves on, Tab passes.
    KeyFilterResult r =
        filterKey(F::CopySource, "Select output", 0, 0, 0, Key::character(U'a'), '.');
    EXPECT_TRUE(r.discard);
    EXPECT_FALSE(r.markModified);
    EXPECT_TRUE(filterKey(F::CopySource, "", 0, 0, 0, Key::backspace(), '.').discard);
    r = filterKey(F::CopySource, "Output 2", 0, 0, 0, Key::enter(), '.');
    EXPECT_TRUE(r.discard);
    EXPECT_TRUE(r.focusNext);
    EXPECT_FALSE(filterKey(F::CopySource, "", 0, 0, 0, Key::tab(), '.').discard);
}

TEST(KeyFilter, ModifiedMarkPerFamily) {
    struct Case {
        F family;
        bool marks;
    };
    const Case cases[] = {
        {F::Frequency, true},          {F::SampleCount, true},    {F::PhaseShift, true},
        {F::SweepValue, true},         {F::StepTime, true},       {F::Offset, true},
        {F::HarmonicAmplitude, false}, {F::HarmonicPhase, false}, {F::PulseLevel, false},
        {F::PulseTime, false},         {F::DeviceSetting, false}, {F::ControlPanelFrequency, false},
    };
    for (const Case& c : cases) {
        for (Key k : {Key::character(U'3'), Key::enter(), Key::tab(), Key::backspace()})
            EXPECT_EQ(filterKey(c.family, "1", 1, 0, 1, k, '.').markModified, c.marks)
                << static_cast<int>(c.family);
        // A refused character is no change.
        EXPECT_FALSE(filterKey(c.family, "1", 1, 0, 1, Key::character(U'x'), '.').markModified);
    }
    // A key that passes the allowed set but fails a later step still marks.
    EXPECT_TRUE(filterKey(F::Frequency, "1.5", 3, 0, 3, Key::character(U'.'), '.').markModified);
}

TEST(KeyFilter, ControlKeysAroundLoneZero) {
    for (char sep : kSeps) {
        for (F family : kTextFamilies) {
            // Backspace empties the lone zero wherever the caret stands.
            EXPECT_EQ(type(family, "0", 0, 0, 0, Key::backspace(), sep).text, "");
            // Tab moves on and leaves the zero for the exit rule.
            Typed tab = typeAtEnd(family, "0", Key::tab(), sep);
            EXPECT_EQ(tab.text, "0");
            EXPECT_FALSE(tab.result.discard);
            EXPECT_FALSE(tab.result.focusNext); // the edit's own Tab handling moves on
        }
    }
}

// Pasted text takes exactly the path of the same characters typed one by one: the result
// equals the keyboard's, whatever the family, separator, start text or pasted string.
TEST(KeyFilter, PastedTextIsTypedThroughTheFilter) {
    const std::vector<std::string> starts = {"", "0", "12", "-3.5", "360"};
    const std::vector<std::string> pasted = {"750", "-5",  "NaN",   "1e999",    "12abc345678901",
                                             "0,5", "-.5", "  7\n", "--1..2,,3"};
    const std::vector<F> families = {
        F::Frequency, F::SampleCount,       F::PhaseShift,    F::SweepValue, F::StepTime,
        F::Offset,    F::HarmonicAmplitude, F::HarmonicPhase, F::PulseLevel, F::PulseTime};
    constexpr int kLimit = 8;
    for (char sep : kSeps)
        for (F family : families)
            for (const std::string& start : starts)
                for (const std::string& p : pasted) {
                    std::string expect = start;
                    bool dropped = false;
                    for (char c : p) {
                        const bool full = static_cast<int>(expect.size()) >= kLimit;
                        if (c < 0x20 || full) {
                            dropped = true;
                            continue;
                        }
                        const Typed t = typeAtEnd(family, expect, Key::character(c), sep);
                        dropped = dropped || t.result.discard;
                        expect = t.text;
                    }
                    const int end = static_cast<int>(start.size());
                    const std::u32string typed(p.begin(), p.end());
                    const TypedText got = typeText(family, start, end, 0, end, typed, sep, kLimit);
                    SCOPED_TRACE(start + " <- " + p);
                    EXPECT_EQ(got.text, expect);
                    EXPECT_EQ(got.anyDropped, dropped);
                    EXPECT_LE(static_cast<int>(got.text.size()), std::max(kLimit, end));
                }
}

// A paste over a selection replaces it; a non-ASCII character never reaches the text.
TEST(KeyFilter, PasteReplacesSelectionAndDropsForeignCharacters) {
    const TypedText over = typeText(F::Frequency, "1234", 1, 2, 3, U"9", '.', 8);
    EXPECT_EQ(over.text, "194");
    EXPECT_EQ(over.caret, 2);
    const TypedText foreign = typeText(F::Offset, "", 0, 0, 0, U"1\u00B72\u0663", '.', 6);
    EXPECT_EQ(foreign.text, "12");
    EXPECT_TRUE(foreign.anyDropped);
}

} // namespace
} // namespace ombrix
