// Checks of the forms side: settings-file codec, formula parser and evaluator. (The device
// checks are in fuzzchecks_device.cpp: frame.h and formsconfig.h do not mix in one file.)
#include "fuzzchecks.h"

#include "core/compute/calcexpress.h"
#include "core/model/formsconfig.h"
#include "core/model/settingsfile.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstring>
#include <exception>
#include <vector>

namespace ombrix::fuzz {

namespace {

// ---- settings file ------------------------------------------------------------------------

// Values the file does not store; decoding must keep them.
constexpr const char* kKeptStep = "7";

FormsConfig formsToDecodeInto(FormsConfig base) {
    // A new string moved in, not a copy over the old one: GCC 12 at -O3 takes the copy of a
    // one-letter literal for an overlapping memcpy (-Wrestrict, GCC bug 105329).
    base.General.Step = std::string(kKeptStep);
    base.General.SetMaxNumber = true;
    return base;
}

std::string withoutLineBreaks(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != '\n' && c != '\r')
            out.push_back(c);
    return out;
}

} // namespace

std::string checkSettingsFile(Bytes data) {
    if (data.empty())
        return {};
    const char sep = (data[0] & 1) != 0 ? ',' : '.';
    std::vector<unsigned char> image(data.begin() + 1, data.end());
    if ((data[0] & 2) != 0)
        image.resize(kFormsFileSize, 0);

    FormsConfig forms = formsToDecodeInto(startupForms());
    const FormsConfig before = forms;
    if (auto fault = decodeForms(image, sep, forms)) {
        if (fault->empty())
            return "a refused image gave no reason";
        if (!(forms == before))
            return "a refused image changed the forms (" + *fault + ")";
        return {};
    }
    if (image.size() != kFormsFileSize)
        return "an image of " + std::to_string(image.size()) + " bytes was accepted";
    if (forms.General.Step != kKeptStep || !forms.General.SetMaxNumber || !forms.General.Active[0])
        return "decoding replaced a value the file does not hold";

    const std::vector<unsigned char> again = encodeForms(forms);
    if (again.size() != kFormsFileSize)
        return "the re-encoded image has " + std::to_string(again.size()) + " bytes";
    FormsConfig second = formsToDecodeInto(newForms());
    if (auto fault = decodeForms(again, sep, second))
        return "the re-encoded image was refused (" + *fault + ")";
    FormsConfig expected = forms;
    for (OutputForm& o : expected.Outputs)
        o.Equation = withoutLineBreaks(o.Equation);
    if (!(second == expected))
        return "the re-encoded image decodes to other forms";
    if (encodeForms(second) != again)
        return "encoding the decoded forms again gives another image";
    return {};
}

// ---- formula parser and evaluator ---------------------------------------------------------

namespace {

constexpr std::size_t kExtendedBytes = 10;
static_assert(sizeof(long double) >= kExtendedBytes, "x87 extended precision expected");

constexpr int kFailFlags = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;

// The deepest run of "(" not yet closed.
int parenthesisDepth(const std::string& s) {
    int depth = 0;
    int deepest = 0;
    for (char c : s) {
        if (c == '(')
            deepest = std::max(deepest, ++depth);
        else if (c == ')')
            --depth;
    }
    return deepest;
}

struct Outcome {
    bool failed = false;
    std::string message; // CalcError text when failed
    long double value = 0;

    bool operator==(const Outcome& o) const {
        if (failed != o.failed)
            return false;
        if (failed)
            return message == o.message;
        return value == o.value || (std::isnan(value) && std::isnan(o.value));
    }
};

// Evaluates once; anything thrown but CalcError is a fault of its own.
Outcome evaluate(TCalcExpress& e, long double x, std::string& fault) {
    Outcome out;
    try {
        out.value = e.calc(&x, 0);
    } catch (const CalcError& err) {
        out.failed = true;
        out.message = err.what();
    } catch (const std::exception& err) {
        fault = std::string("calc threw something else than CalcError: ") + err.what();
    }
    return out;
}

} // namespace

std::string checkCalcExpress(Bytes data) {
    if (data.size() <= kExtendedBytes)
        return {};
    long double x = 0;
    std::memcpy(&x, data.data(), kExtendedBytes);
    const char sep = (data[kExtendedBytes] & 1) != 0 ? ',' : '.';
    const std::string formula(data.begin() + kExtendedBytes + 1, data.end());

    TCalcExpress e(sep);
    try {
        e.SetVariables({"X"});
    } catch (const std::exception& err) {
        return std::string("setting the variables failed: ") + err.what();
    }

    bool parsed = false;
    try {
        e.init(formula);
        parsed = true;
    } catch (const CalcError&) {
    } catch (const std::exception& err) {
        return std::string("init threw something else than CalcError: ") + err.what();
    }
    if (!parsed) {
        if (e.Root() != nullptr)
            return "a refused formula left a tree";
        // Without a tree every evaluation fails.
        std::string fault;
        if (!evaluate(e, x, fault).failed)
            return "a refused formula evaluated";
        return fault;
    }
    if (e.Root() == nullptr)
        return "an accepted formula has no tree";
    // One pair of exponent parentheses is not counted as nesting.
    if (parenthesisDepth(formula) > TCalcExpress::MaxNesting + 1)
        return "a formula nested deeper than the limit was accepted";

    std::string fault;
    std::feclearexcept(FE_ALL_EXCEPT);
    const Outcome first = evaluate(e, x, fault);
    if (!fault.empty())
        return fault;
    if (std::fetestexcept(kFailFlags) != 0)
        return "calc left a failure flag raised";
    const Outcome second = evaluate(e, x, fault);
    // Flags left set by earlier code do not fail a formula.
    std::feraiseexcept(kFailFlags);
    const Outcome third = evaluate(e, x, fault);
    std::feclearexcept(FE_ALL_EXCEPT);
    if (!fault.empty())
        return fault;
    if (!(first == second))
        return "two evaluations with the same X differ";
    if (!(first == third))
        return "flags raised before calc changed its outcome";
    return {};
}

} // namespace ombrix::fuzz
