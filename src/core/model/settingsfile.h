// The forms settings file (".set"): a fixed 13920-byte image of the forms, no header.
//
// Texts are stored as the model holds them (single bytes, NUL-terminated inside their field),
// check boxes as state bytes 0/1 and each output's form kind as a little-endian signed 32-bit
// integer. `Step` and `SetMaxNumber` are not stored. This is the codec only; reading and
// writing the file and applying the forms to the windows belong to the main window.
#pragma once

#include "core/model/formsconfig.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ombrix {

inline constexpr std::size_t kFormsFileSize = 13920;

// The image of the forms, exactly kFormsFileSize bytes. A text longer than its field allows
// (width - 1 characters) is cut to that length, so it never runs into the next field; the
// equation's lines are joined end to end (line breaks removed) before it is cut to 1999
// characters. Reserved bytes and the bytes after each text's NUL are 0.
std::vector<unsigned char> encodeForms(const FormsConfig& forms);

// Makes every text of `forms` fit its field before encodeForms, so that saving never changes a
// value. A number longer than its field is rounded to the decimals that fit when it keeps six
// significant digits (texts written by the rules, such as a step time of 333.333333333333);
// any other text that does not fit ("100000" as an amplitude, "0.0001" as a pulse time, an
// equation over 1999 characters) is refused: the result names the field and `forms` is left
// as it was. Empty result: every text fits, the rounded ones are written into `forms`.
std::optional<std::string> fitFormsToFile(FormsConfig& forms, char sep);

// Reads an image into `out`. The whole image is checked first; on any fault nothing is
// written to `out` and the result is a one-sentence description naming the faulty field.
// On success the result is empty and every stored field of `out` is replaced; `Step`,
// `SetMaxNumber` and the always-on `Active` of output 1 keep the values `out` had.
//
// Faults: a size other than kFormsFileSize; a text with no NUL within its field; a state
// byte other than 0 or 1; a `Form` outside 0..2; a numeric text that is not a number
// (`NumOfSam`: not a whole number). Numeric texts may use "." or "," as the decimal
// separator; either is converted to `sep`, the separator of this machine. A text the forms
// hold while a field is being edited is accepted as stored, number or not: digits with at
// most one separator and, in the fields where a minus can be typed (phase shifts, offsets,
// harmonic amplitudes and phases, pulse levels A2 and A1), minus signs ("", ".", "-", "-.",
// "5."); the rules judge it when the field is left. So every file Save writes opens again. `Time`
// is a number, not a whole number, because the minimum-step-time rule can write a fraction into it.
// The equation is free text.
std::optional<std::string> decodeForms(std::span<const unsigned char> bytes, char sep,
                                       FormsConfig& out);

} // namespace ombrix
