#include "core/model/settingsfile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace ombrix {
namespace {

using Image = std::vector<unsigned char>;

std::string textAt(const Image& image, std::size_t offset, std::size_t width) {
    std::string s;
    for (std::size_t i = offset; i < offset + width && image[i] != 0; ++i)
        s.push_back(static_cast<char>(image[i]));
    return s;
}

bool nulWithin(const Image& image, std::size_t offset, std::size_t width) {
    for (std::size_t i = offset; i < offset + width; ++i)
        if (image[i] == 0)
            return true;
    return false;
}

std::int32_t int32At(const Image& image, std::size_t offset) {
    std::uint32_t u = 0;
    for (std::size_t b = 0; b < 4; ++b)
        u |= static_cast<std::uint32_t>(image[offset + b]) << (8 * b);
    return static_cast<std::int32_t>(u);
}

void putText(Image& image, std::size_t offset, const std::string& text) {
    std::memcpy(image.data() + offset, text.data(), text.size());
    image[offset + text.size()] = 0;
}

void putInt32(Image& image, std::size_t offset, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (std::size_t b = 0; b < 4; ++b)
        image[offset + b] = static_cast<unsigned char>(u >> (8 * b));
}

// The file layout, written out independently of the codec: offset, width and the model text.
struct TextSlot {
    std::size_t offset, width;
    std::function<std::string&(FormsConfig&)> text;
};
struct StateSlot {
    std::size_t offset;
    std::function<bool&(FormsConfig&)> flag;
};

std::vector<TextSlot> textSlots() {
    std::vector<TextSlot> s;
    s.push_back({0, 8, [](FormsConfig& f) -> std::string& { return f.General.Freq; }});
    s.push_back({8, 5, [](FormsConfig& f) -> std::string& { return f.General.NumOfSam; }});
    for (std::size_t k = 1; k < 6; ++k)
        s.push_back({13 + 6 * (k - 1), 6,
                     [k](FormsConfig& f) -> std::string& { return f.General.Ph_Disp[k]; }});
    s.push_back({48, 8, [](FormsConfig& f) -> std::string& { return f.General.StartFreq; }});
    s.push_back({56, 8, [](FormsConfig& f) -> std::string& { return f.General.StopFreq; }});
    s.push_back({72, 8, [](FormsConfig& f) -> std::string& { return f.General.Time; }});
    for (std::size_t i = 0; i < 6; ++i) {
        for (std::size_t r = 0; r < 20; ++r) {
            s.push_back({82 + 120 * i + 6 * r, 6, [i, r](FormsConfig& f) -> std::string& {
                             return f.Outputs[i].Harmonics[r].Amplitude;
                         }});
            s.push_back({802 + 120 * i + 6 * r, 6, [i, r](FormsConfig& f) -> std::string& {
                             return f.Outputs[i].Harmonics[r].Phase;
                         }});
        }
        for (std::size_t k = 0; k < 6; ++k)
            s.push_back({1642 + 36 * i + 6 * k, 6,
                         [i, k](FormsConfig& f) -> std::string& { return f.Outputs[i].Pulse[k]; }});
        s.push_back(
            {1884 + 6 * i, 6, [i](FormsConfig& f) -> std::string& { return f.Outputs[i].Offset; }});
        s.push_back({1920 + 2000 * i, 2000,
                     [i](FormsConfig& f) -> std::string& { return f.Outputs[i].Equation; }});
    }
    return s;
}

std::vector<StateSlot> stateSlots() {
    std::vector<StateSlot> s;
    for (std::size_t k = 1; k < 6; ++k)
        s.push_back({43 + (k - 1), [k](FormsConfig& f) -> bool& { return f.General.Active[k]; }});
    s.push_back({80, [](FormsConfig& f) -> bool& { return f.General.SwapEnabled; }});
    s.push_back({81, [](FormsConfig& f) -> bool& { return f.General.SwapCyclic; }});
    for (std::size_t i = 0; i < 6; ++i)
        for (std::size_t r = 0; r < 20; ++r)
            s.push_back({1522 + 20 * i + r,
                         [i, r](FormsConfig& f) -> bool& { return f.Outputs[i].Harmonics[r].En; }});
    return s;
}

// Forms in which every stored field differs from its neighbours: text n holds the number n
// (a negative one every third field), the state bytes follow an irregular pattern and the
// forms run 2, 1, 0, 2, 1, 0.
FormsConfig distinctForms() {
    FormsConfig f = startupForms();
    int n = 1;
    for (const TextSlot& slot : textSlots()) {
        std::string v = std::to_string(n % 3 == 0 ? -n : n);
        if (slot.width == 2000)
            v = "sin(" + std::to_string(n) + "*X)";
        slot.text(f) = v;
        ++n;
    }
    int k = 0;
    for (const StateSlot& slot : stateSlots())
        slot.flag(f) = (k++ * 7 % 5) < 2;
    for (int i = 0; i < 6; ++i)
        f.Outputs[i].Form = static_cast<FormKind>((8 - i) % 3);
    return f;
}

TEST(SettingsFileEncode, StartupFormsImage) {
    const Image image = encodeForms(startupForms());
    ASSERT_EQ(image.size(), 13920u);
    EXPECT_EQ(std::string(image.begin(), image.begin() + 5), std::string("1000\0", 5));
    EXPECT_EQ(textAt(image, 8, 5), "1000");
    for (std::size_t i = 0; i < 6; ++i)
        EXPECT_EQ(int32At(image, 1860 + 4 * i), 0) << i;
    for (std::size_t k = 0; k < 5; ++k)
        EXPECT_EQ(image[43 + k], 0) << k;
    EXPECT_EQ(textAt(image, 1642 + 2 * 6, 6), "50"); // tD1 of output 1
    EXPECT_EQ(textAt(image, 1920, 2000), "");
}

TEST(SettingsFileEncode, EveryFieldLandsAtItsOffset) {
    FormsConfig f = distinctForms();
    const Image image = encodeForms(f);
    ASSERT_EQ(image.size(), 13920u);
    for (const TextSlot& slot : textSlots()) {
        EXPECT_EQ(textAt(image, slot.offset, slot.width), slot.text(f)) << slot.offset;
        EXPECT_TRUE(nulWithin(image, slot.offset, slot.width)) << slot.offset;
    }
    for (const StateSlot& slot : stateSlots())
        EXPECT_EQ(image[slot.offset], slot.flag(f) ? 1 : 0) << slot.offset;
    for (std::size_t i = 0; i < 6; ++i)
        EXPECT_EQ(int32At(image, 1860 + 4 * i), static_cast<int>(f.Outputs[i].Form)) << i;
    // Step is not stored: its reserved bytes stay empty whatever it holds.
    f.General.Step = "250";
    f.General.SetMaxNumber = true;
    EXPECT_EQ(encodeForms(f), image);
}

TEST(SettingsFileEncode, FullWidthTextsAreCutToLeaveTheirEnd) {
    FormsConfig f = startupForms();
    f.General.Freq = "12345678";    // 8 characters into 8 bytes
    f.General.NumOfSam = "81920";   // 5 into 5
    f.Outputs[2].Offset = "-1.234"; // 6 into 6
    f.Outputs[0].Equation = std::string(1990, 'X') + "\n" + std::string(10, 'Y'); // 2000 joined
    f.Outputs[1].Equation = "X";
    const Image image = encodeForms(f);
    EXPECT_EQ(textAt(image, 0, 8), "1234567");
    EXPECT_EQ(textAt(image, 8, 5), "8192");
    EXPECT_EQ(textAt(image, 1884 + 12, 6), "-1.23");
    EXPECT_EQ(textAt(image, 13, 6), "0");        // the field after NumOfSam
    EXPECT_EQ(textAt(image, 1884 + 18, 6), "0"); // the offset after output 3's
    EXPECT_EQ(textAt(image, 1920, 2000), std::string(1990, 'X') + std::string(9, 'Y'));
    EXPECT_EQ(image[1920 + 1999], 0);
    EXPECT_EQ(textAt(image, 3920, 2000), "X");

    FormsConfig back = startupForms();
    ASSERT_FALSE(decodeForms(image, '.', back));
    EXPECT_EQ(back.General.Freq, "1234567");
    EXPECT_EQ(back.Outputs[0].Equation.size(), 1999u);
}

// Saving never changes a value: a long number keeps six significant digits when rounded into
// its field, or the save is refused naming the field. Each case sets one text; `fitted` is
// what the field then holds, or nullptr for a refusal.
TEST(SettingsFileFit, LongTextsAreRoundedOnlyWhereTheValueStays) {
    struct Case {
        std::function<std::string&(FormsConfig&)> field;
        const char* text;
        const char* fitted;
        const char* named;
    };
    auto step = [](FormsConfig& f) -> std::string& { return f.General.Time; };
    auto amp = [](FormsConfig& f) -> std::string& { return f.Outputs[1].Harmonics[0].Amplitude; };
    auto tR = [](FormsConfig& f) -> std::string& { return f.Outputs[2].Pulse[3]; };
    auto eq = [](FormsConfig& f) -> std::string& { return f.Outputs[4].Equation; };
    const std::string longEquation = std::string(1999, 'X') + "\n" + "Y";
    const Case cases[] = {
        {step, "333.333333333333", "333.333", nullptr},
        {step, "1234567.4", "1234567", nullptr},
        {step, "1234567", "1234567", nullptr}, // fits as it is
        {amp, "100000", nullptr, "Amplitude of harmonic 1 of Output 2"},
        {amp, "0.0001", nullptr, "Amplitude of harmonic 1 of Output 2"},
        {amp, "1.2345678", nullptr, "Amplitude of harmonic 1 of Output 2"}, // 1.235: 4 digits
        {tR, "33.33334", nullptr, "Pulse tR of Output 3"},
        {tR, "33.333333333", nullptr, "Pulse tR of Output 3"},
        {tR, "0.00001", nullptr, "Pulse tR of Output 3"},
        {eq, longEquation.c_str(), nullptr, "Equation of Output 5"},
        {eq, "SIN(X)\nCOS(X)", "SIN(X)\nCOS(X)", nullptr}, // line breaks are not stored
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        FormsConfig f = startupForms();
        c.field(f) = c.text;
        const FormsConfig before = f;
        const std::optional<std::string> error = fitFormsToFile(f, '.');
        if (c.fitted) {
            EXPECT_FALSE(error);
            EXPECT_EQ(c.field(f), c.fitted);
            FormsConfig back = startupForms();
            ASSERT_FALSE(decodeForms(encodeForms(f), '.', back));
            EXPECT_EQ(c.field(back), std::string(c.fitted).find('\n') == std::string::npos
                                         ? c.fitted
                                         : "SIN(X)COS(X)");
        } else {
            ASSERT_TRUE(error);
            EXPECT_NE(error->find(c.named), std::string::npos) << *error;
            EXPECT_EQ(f, before);
        }
    }
}

TEST(SettingsFileDecode, RoundTripKeepsEveryStoredField) {
    FormsConfig f = distinctForms();
    f.Outputs[3].Equation = "sin(X)\n+cos(2*X)\r\n*0,5";
    f.General.Step = "20";
    f.General.SetMaxNumber = false;
    const Image image = encodeForms(f);

    FormsConfig target = newForms();
    target.General.Step = "77";
    target.General.SetMaxNumber = true;
    ASSERT_FALSE(decodeForms(image, '.', target));

    FormsConfig expected = f;
    expected.Outputs[3].Equation = "sin(X)+cos(2*X)*0,5"; // one line, text kept as typed
    expected.General.Step = "77";                         // not stored: the target's own
    expected.General.SetMaxNumber = true;
    EXPECT_EQ(target, expected);
    EXPECT_EQ(encodeForms(target), image);
}

TEST(SettingsFileDecode, ActiveBytesSetTheActiveCount) {
    Image image = encodeForms(startupForms());
    const unsigned char active[5] = {1, 1, 0, 0, 0};
    std::memcpy(image.data() + 43, active, 5);
    FormsConfig target = startupForms();
    target.General.Active = {true, true, true, true, true, true};
    ASSERT_FALSE(decodeForms(image, '.', target));
    EXPECT_EQ(activeCount(target.General), 3);
    EXPECT_EQ(maxSamples(activeCount(target.General)), 2730);
    EXPECT_TRUE(target.General.Active[0]);
}

TEST(SettingsFileDecode, MalformedImagesChangeNothing) {
    struct Case {
        const char* what;
        std::function<void(Image&)> spoil;
        const char* named; // part of the error text
    };
    const std::vector<Case> cases = {
        {"one byte short", [](Image& im) { im.pop_back(); }, "13919"},
        {"one byte long", [](Image& im) { im.push_back(0); }, "13921"},
        {"empty", [](Image& im) { im.clear(); }, "13920"},
        {"Freq without NUL", [](Image& im) { std::memset(im.data(), '1', 8); }, "Frequency"},
        {"equation without NUL",
         [](Image& im) { std::memset(im.data() + 1920 + 5 * 2000, 'X', 2000); },
         "Equation of Output 6"},
        {"letters in Freq", [](Image& im) { putText(im, 0, "12a"); }, "Frequency"},
        {"fraction in NumOfSam", [](Image& im) { putText(im, 8, "10.5"); }, "Number of samples"},
        {"two separators", [](Image& im) { putText(im, 82 + 120 * 4 + 6 * 19, "1.2,3"); },
         "Amplitude of harmonic 20 of Output 5"},
        {"a letter", [](Image& im) { putText(im, 48, "1x"); }, "Start frequency"},
        {"lone minus where none can be typed", [](Image& im) { putText(im, 72, "-"); },
         "Step time"},
        {"lone minus in a pulse time", [](Image& im) { putText(im, 1642 + 36 + 18, "-"); },
         "Pulse tR of Output 2"},
        {"state byte 2", [](Image& im) { im[44] = 2; }, "Active Output 3"},
        {"enable byte 255", [](Image& im) { im[1522 + 20 * 5 + 19] = 255; },
         "Enable of harmonic 20 of Output 6"},
        {"sweep byte 1 of 2", [](Image& im) { im[81] = 0x10; }, "Sweep cyclic"},
        {"form -1", [](Image& im) { putInt32(im, 1860, -1); }, "Form of Output 1"},
        {"form 3", [](Image& im) { putInt32(im, 1880, 3); }, "Form of Output 6"},
        {"form 256", [](Image& im) { putInt32(im, 1872, 256); }, "Form of Output 4"},
    };
    // A sound image of other forms, so that anything applied before the fault would show.
    FormsConfig other = distinctForms();
    for (const Case& c : cases) {
        Image image = encodeForms(other);
        c.spoil(image);
        FormsConfig target = startupForms();
        target.General.Step = "5";
        const FormsConfig before = target;
        const auto fault = decodeForms(image, '.', target);
        ASSERT_TRUE(fault.has_value()) << c.what;
        EXPECT_NE(fault->find(c.named), std::string::npos) << c.what << ": " << *fault;
        EXPECT_EQ(target, before) << c.what;
    }
}

TEST(SettingsFileDecode, ForeignSeparatorsBecomeTheLocalOne) {
    FormsConfig written = startupForms();
    written.General.Freq = "1,5";
    written.General.Time = "333,333";
    written.General.Ph_Disp[2] = "-12.5";
    written.Outputs[1].Offset = "-0,25";
    written.Outputs[4].Harmonics[7].Phase = "1E-7";
    written.Outputs[0].Equation = "max(1,2)"; // free text keeps its comma
    const Image image = encodeForms(written);

    FormsConfig dot = startupForms();
    ASSERT_FALSE(decodeForms(image, '.', dot));
    EXPECT_EQ(dot.General.Freq, "1.5");
    EXPECT_EQ(dot.General.Time, "333.333");
    EXPECT_EQ(dot.General.Ph_Disp[2], "-12.5");
    EXPECT_EQ(dot.Outputs[1].Offset, "-0.25");
    EXPECT_EQ(dot.Outputs[4].Harmonics[7].Phase, "1E-7");
    EXPECT_EQ(dot.Outputs[0].Equation, "max(1,2)");

    FormsConfig comma = startupForms();
    ASSERT_FALSE(decodeForms(image, ',', comma));
    EXPECT_EQ(comma.General.Freq, "1,5");
    EXPECT_EQ(comma.General.Ph_Disp[2], "-12,5");
    EXPECT_EQ(comma.Outputs[1].Offset, "-0,25");
}

TEST(SettingsFileDecode, TextsBeingEditedAreAccepted) {
    FormsConfig written = startupForms();
    written.General.Freq = "";
    written.General.NumOfSam = "";
    written.Outputs[2].Offset = "-";
    written.Outputs[5].Harmonics[19].Amplitude = "-";
    written.Outputs[0].Pulse[A1] = "-";
    written.General.Ph_Disp[5] = "-";
    written.Outputs[3].Pulse[tF] = "";
    written.General.StartFreq = "5.";
    // What typing, then Backspace, can leave: a lone separator, a minus before it, one inside.
    written.General.StopFreq = ".";
    written.General.Ph_Disp[2] = "-.";
    written.Outputs[1].Harmonics[3].Phase = "1-";
    FormsConfig target = newForms();
    written.General.Step = target.General.Step; // not stored
    ASSERT_FALSE(decodeForms(encodeForms(written), '.', target));
    EXPECT_EQ(target, written);
}

} // namespace
} // namespace ombrix
