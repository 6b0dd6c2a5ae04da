// Key filters of the numeric edit fields: which typed keys a field takes and what a key does
// to its text before the edit inserts it.
//
// A filter is a plain function of the field's family, its text, selection and caret, the key
// and the locale's decimal separator. It never touches a widget; the window's event filter
// applies the result as follows, in this order:
//
//   1. markModified       -> mark the forms modified.
//   2. newText (if set)   -> set the edit's text to *newText and its caret to *newCaret
//                            (this also clears the selection). Done whether or not the key is
//                            discarded: Enter writes the default this way, and a lone "0" is
//                            emptied this way before the typed digit replaces it.
//   3. repairOutputCells  -> (harmonic and pulse families, Enter only) call
//                            repairEmptyHarmonicCells / repairEmptyPulseCells on the output
//                            whose page is shown and write its cell texts back to the edits.
//   4. discard            -> true: swallow the key event. false: let the edit handle the key
//                            normally (insert the character at the caret or over the selection,
//                            delete for Backspace, move on for Tab).
//   5. focusNext          -> move the focus to the next control, as Tab would.
//
// A lone "0" gives way to every key that passes the allowed set (the separator too in the
// SampleCount, SweepValue and StepTime families), Enter and Backspace included, but not to Tab:
// Tab inserts nothing, so leaving a field by Tab or by mouse commits the same text.
//
// Positions (selection start and length, caret) count characters of the text. The fields only
// ever take ASCII digits, '-' and the separator, so characters and bytes agree; positions past
// the end are treated as the end.
//
// Which handler serves which family:
//   FreqKeyPress -> Frequency; NumOfSamKeyPress -> SampleCount;
//   Ph_Disp_2KeyPress..Ph_Disp_6KeyPress -> PhaseShift;
//   StartFreqKeyPress, StopFreqKeyPress, StepComboBoxKeyPress -> SweepValue;
//   TimeKeyPress -> StepTime; Edit1KeyPress..Edit6KeyPress -> Offset;
//   CheckKeyPress -> HarmonicAmplitude or HarmonicPhase (by the cell's column);
//   PulseAmpCheckKeyPress (A2, A1) -> PulseLevel;
//   PulseTimeCheckKeyPress (tD1, tR, tD2, tF) -> PulseTime;
//   VRef1EditKeyPress, VRef2EditKeyPress, QuartzEditKeyPress, GenerateTimeEditKeyPress ->
//   DeviceSetting; ControlPanelFreqKeyPress -> ControlPanelFrequency;
//   ComboBox1KeyPress..ComboBox6KeyPress -> CopySource.
// The harmonic and pulse handlers serve the edits of every output: a key from an edit that
// does not belong to the output whose page is shown must be left alone by the window (not
// passed to filterKey, not discarded).
#pragma once

#include <optional>
#include <string>

#include "core/model/formsconfig.h"

namespace ombrix {

enum class FieldFamily {
    Frequency,             // Freq: digits, separator; Enter on empty -> "1"
    SampleCount,           // NumOfSam: digits; Enter on empty -> "0"
    PhaseShift,            // Ph_Disp_2..6: digits, separator, minus, -360..360; Enter -> "0"
    SweepValue,            // StartFreq, StopFreq, Step: digits, separator; Enter on empty/0 -> "1"
    StepTime,              // Time: digits; Enter on empty/0 -> "1"
    Offset,                // Edit1..Edit6: digits, separator, minus at the start; Enter -> "0"
    HarmonicAmplitude,     // amplitude cells: digits, separator, minus; Enter repairs the output
    HarmonicPhase,         // phase cells: as amplitude, but a separator may replace a selection
    PulseLevel,            // A2, A1: digits, separator, minus; Enter repairs the output
    PulseTime,             // tD1, tR, tD2, tF: digits, separator; Enter repairs the output
    DeviceSetting,         // settings dialog fields: digits, separator; Enter on empty -> "0"
    ControlPanelFrequency, // control panel frequency: as DeviceSetting, Enter on empty -> "1"
    CopySource,            // copy-source combo boxes: nothing typed; Enter moves on
};

// A key as the edit receives it: a typed character, or one of the three control keys that
// every family lets through.
struct Key {
    enum class Kind { Character, Enter, Tab, Backspace };
    Kind kind = Kind::Character;
    char32_t ch = 0; // the character, for Kind::Character

    static constexpr Key character(char32_t c) { return Key{Kind::Character, c}; }
    static constexpr Key enter() { return Key{Kind::Enter, 0}; }
    static constexpr Key tab() { return Key{Kind::Tab, 0}; }
    static constexpr Key backspace() { return Key{Kind::Backspace, 0}; }
    // A character as a key: '\r' and '\n' are Enter, '\t' is Tab, '\b' is Backspace.
    static constexpr Key fromChar(char32_t c) {
        if (c == U'\r' || c == U'\n')
            return enter();
        if (c == U'\t')
            return tab();
        if (c == U'\b')
            return backspace();
        return character(c);
    }
};

struct KeyFilterResult {
    bool discard = false;               // swallow the key
    std::optional<std::string> newText; // set before the key is handled (see the header)
    std::optional<int> newCaret;        // caret for newText; set whenever newText is
    bool focusNext = false;             // move the focus on after the key
    bool markModified = false;          // the forms are modified
    bool repairOutputCells = false;     // Enter in a harmonic/pulse cell: repair the output
};

// Runs the family's key filter. `selLength` > 0 means text is selected from `selStart`;
// `caret` is the insertion point when nothing is selected. `sep` is the locale's separator.
KeyFilterResult filterKey(FieldFamily family, const std::string& text, int selStart, int selLength,
                          int caret, Key key, char sep);

// Characters that reach a field other than by single key presses (paste, drop, middle click,
// input method, a remote command), typed one by one through the family's filter within the
// typing limit, as the keyboard would: a character the filter discards, a control character
// and a character past the limit are dropped. The text starts with the selection (or, without
// one, the caret) given; the first character that is taken replaces the selection.
struct TypedText {
    std::string text;
    int caret = 0;
    bool markModified = false; // a taken character marks the forms modified
    bool anyDropped = false;   // some character was dropped
};
TypedText typeText(FieldFamily family, const std::string& text, int selStart, int selLength,
                   int caret, const std::u32string& typed, char sep, int limit);

// Enter in a harmonic cell: every empty amplitude and phase cell of the output becomes "0".
// Returns whether any cell changed.
bool repairEmptyHarmonicCells(OutputForm& output);

// Enter in a pulse cell: every empty pulse text of the output becomes "0".
// Returns whether any text changed.
bool repairEmptyPulseCells(OutputForm& output);

} // namespace ombrix
