#include "core/model/keyfilters.h"

#include <algorithm>

#include "core/model/numbertext.h"

namespace ombrix {

namespace {

bool isDigit(char32_t c) {
    return c >= U'0' && c <= U'9';
}

bool acceptsSeparator(FieldFamily f) {
    return f != FieldFamily::SampleCount && f != FieldFamily::StepTime &&
           f != FieldFamily::CopySource;
}

bool acceptsMinus(FieldFamily f) {
    return f == FieldFamily::PhaseShift || f == FieldFamily::Offset ||
           f == FieldFamily::HarmonicAmplitude || f == FieldFamily::HarmonicPhase ||
           f == FieldFamily::PulseLevel;
}

// The single-field families of the main window mark the forms modified; the cell families and
// the fields of the other windows do not.
bool marksModified(FieldFamily f) {
    switch (f) {
    case FieldFamily::Frequency:
    case FieldFamily::SampleCount:
    case FieldFamily::PhaseShift:
    case FieldFamily::SweepValue:
    case FieldFamily::StepTime:
    case FieldFamily::Offset:
        return true;
    default:
        return false;
    }
}

// Families whose lone "0" is emptied by the separator too (so "0" + separator gives the
// separator alone in a sweep value, and never happens in the integer fields).
bool zeroGivesWayToSeparator(FieldFamily f) {
    return f == FieldFamily::SampleCount || f == FieldFamily::SweepValue ||
           f == FieldFamily::StepTime;
}

bool isCellFamily(FieldFamily f) {
    return f == FieldFamily::HarmonicAmplitude || f == FieldFamily::HarmonicPhase ||
           f == FieldFamily::PulseLevel || f == FieldFamily::PulseTime;
}

// Families that refuse a separator after a lone minus.
bool separatorNeedsDigitAfterMinus(FieldFamily f) {
    return f == FieldFamily::Offset || isCellFamily(f);
}

// Text with the selection (or, without one, the empty span at the caret) replaced by `c`.
std::string insertedText(const std::string& text, int selStart, int selLength, int caret, char c) {
    const int size = static_cast<int>(text.size());
    int from = selLength > 0 ? selStart : caret;
    from = std::clamp(from, 0, size);
    const int count = selLength > 0 ? std::clamp(selLength, 0, size - from) : 0;
    std::string out = text;
    out.replace(static_cast<size_t>(from), static_cast<size_t>(count), 1, c);
    return out;
}

// A separator typed over a selection of a phase cell is taken when the result still reads as
// a number being typed: one separator, with a digit before it.
bool separatorOverSelectionFits(const std::string& text, int selStart, int selLength, char sep) {
    const std::string out = insertedText(text, selStart, selLength, selStart, sep);
    if (std::count(out.begin(), out.end(), sep) != 1)
        return false;
    const size_t at = out.find(sep);
    return at > 0 && out[at - 1] >= '0' && out[at - 1] <= '9';
}

// The text Enter leaves in a single field, or nothing when it stays as it is.
std::optional<std::string> enterDefault(FieldFamily f, const std::string& text, char sep) {
    switch (f) {
    case FieldFamily::Frequency:
    case FieldFamily::ControlPanelFrequency:
        return text.empty() ? std::optional<std::string>("1") : std::nullopt;
    case FieldFamily::SweepValue:
    case FieldFamily::StepTime: {
        if (text.empty())
            return "1";
        auto v = parseNumber(text, sep);
        return v && *v == 0 ? std::optional<std::string>("1") : std::nullopt;
    }
    default:
        return text.empty() ? std::optional<std::string>("0") : std::nullopt;
    }
}

void setText(KeyFilterResult& r, std::string text) {
    r.newCaret = static_cast<int>(text.size());
    r.newText = std::move(text);
}

} // namespace

KeyFilterResult filterKey(FieldFamily family, const std::string& text, int selStart, int selLength,
                          int caret, Key key, char sep) {
    KeyFilterResult r;
    const bool isChar = key.kind == Key::Kind::Character;
    const bool isSep = isChar && key.ch == static_cast<unsigned char>(sep);
    const bool isMinus = isChar && key.ch == U'-';

    if (family == FieldFamily::CopySource) {
        // The list is the only way to choose; Tab still moves on.
        r.discard = key.kind != Key::Kind::Tab;
        r.focusNext = key.kind == Key::Kind::Enter;
        return r;
    }

    // Allowed set.
    if (isChar && !isDigit(key.ch) && !(isSep && acceptsSeparator(family)) &&
        !(isMinus && acceptsMinus(family))) {
        r.discard = true;
        return r;
    }

    // The cell families serve many edits: Enter repairs every empty cell of the output.
    if (isCellFamily(family) && key.kind == Key::Kind::Enter) {
        if (text.empty())
            setText(r, "0");
        r.repairOutputCells = true;
        r.discard = true;
        r.focusNext = true;
        return r;
    }

    r.markModified = marksModified(family);

    // The state the later steps see: the lone zero may be gone by then.
    std::string cur = text;
    int curCaret = caret;
    int curSelStart = selStart;
    int curSelLength = selLength;

    // Leading zero: a typed key replaces a lone "0". Tab inserts nothing and only moves on, so
    // it leaves the zero alone (leaving by Tab and by mouse then commit the same text).
    if (cur == "0" && key.kind != Key::Kind::Tab && (!isSep || zeroGivesWayToSeparator(family))) {
        cur.clear();
        curCaret = 0;
        curSelStart = 0;
        curSelLength = 0;
        r.newText = cur;
        r.newCaret = 0;
    }
    const bool selected = curSelLength > 0;

    if (isSep) {
        const bool holdsSep = cur.find(sep) != std::string::npos;
        if (family == FieldFamily::SweepValue) {
            r.discard = holdsSep;
        } else if (family == FieldFamily::HarmonicPhase && selected) {
            r.discard = !separatorOverSelectionFits(cur, curSelStart, curSelLength, sep);
        } else {
            r.discard = cur.empty() || selected || holdsSep ||
                        (separatorNeedsDigitAfterMinus(family) && cur == "-");
        }
        return r;
    }

    if (isMinus) {
        if (family == FieldFamily::Offset)
            r.discard = curCaret != 0 || cur.find('-') != std::string::npos;
        else
            r.discard = !selected && !cur.empty();
        return r;
    }

    // Range of the phase shift: the text the digit would make, wherever the caret stands or
    // whatever it replaces, stays within -360..360.
    if (family == FieldFamily::PhaseShift && isChar) {
        const std::string next =
            insertedText(cur, curSelStart, curSelLength, curCaret, static_cast<char>(key.ch));
        auto v = parseNumber(next, sep);
        r.discard = v && (*v > 360 || *v < -360);
        return r;
    }

    if (key.kind == Key::Kind::Enter) {
        if (auto d = enterDefault(family, cur, sep))
            setText(r, *d);
        r.discard = true;
        r.focusNext = true;
    }
    return r;
}

bool repairEmptyHarmonicCells(OutputForm& output) {
    bool changed = false;
    for (auto& row : output.Harmonics) {
        for (std::string* cell : {&row.Amplitude, &row.Phase}) {
            if (cell->empty()) {
                cell->assign(1, '0'); // not = "0": GCC 12 warns falsely at -O3
                changed = true;
            }
        }
    }
    return changed;
}

bool repairEmptyPulseCells(OutputForm& output) {
    bool changed = false;
    for (auto& p : output.Pulse) {
        if (p.empty()) {
            p.assign(1, '0');
            changed = true;
        }
    }
    return changed;
}

TypedText typeText(FieldFamily family, const std::string& text, int selStart, int selLength,
                   int caret, const std::u32string& typed, char sep, int limit) {
    TypedText out{text, 0, false, false};
    const int size = static_cast<int>(text.size());
    caret = std::clamp(caret, 0, size);
    selStart = std::clamp(selStart, 0, size);
    selLength = std::clamp(selLength, 0, size - selStart);
    for (const char32_t c : typed) {
        // Only printable ASCII can pass any filter; everything else is dropped unseen, so the
        // character positions below stay byte positions.
        if (c < 0x20 || c > 0x7E) {
            out.anyDropped = true;
            continue;
        }
        if (limit > 0 && selLength == 0 && static_cast<int>(out.text.size()) >= limit) {
            out.anyDropped = true;
            continue;
        }
        const KeyFilterResult r =
            filterKey(family, out.text, selStart, selLength, caret, Key::character(c), sep);
        out.markModified = out.markModified || r.markModified;
        if (r.newText) {
            out.text = *r.newText;
            caret = std::clamp(r.newCaret.value_or(0), 0, static_cast<int>(out.text.size()));
            selLength = 0;
        }
        if (r.discard) {
            out.anyDropped = true;
            continue;
        }
        const int from = selLength > 0 ? selStart : caret;
        out.text.replace(static_cast<size_t>(from), static_cast<size_t>(selLength), 1,
                         static_cast<char>(c));
        caret = from + 1;
        selLength = 0;
    }
    out.caret = caret;
    return out;
}

} // namespace ombrix
