// Rules of the forms model that belong to clicks: active outputs, "Set max number",
// form kinds and Copy settings. Plain functions over the model; the window binds them.
#pragma once

#include "core/model/formsconfig.h"

#include <optional>
#include <utility>

namespace ombrix {

// Which outputs to recalculate: first and last index 0..5, or nothing.
using RecalcRange = std::optional<std::pair<int, int>>;

// Output k (index 1..5) has just been ticked or unticked (General.Active[k] already holds the
// new state). Applies the sample limit to NumOfSam and says what to recalculate.
RecalcRange toggleActiveOutput(GeneralSettings& g, int k);

// "Set max number" has just been ticked: NumOfSam becomes MaxSamples; all outputs recalculate.
// Unticking changes nothing and recalculates nothing.
RecalcRange setMaxNumber(GeneralSettings& g);

// Copy settings from output `source` into output `target`: form kind, offset, the whole
// harmonic table (hidden row-0 phase included), the six pulse texts and the equation.
// Does nothing when source is out of range or equals target.
RecalcRange copySettings(FormsConfig& f, int source, int target);

// What is shown for a form kind: pulse panel, harmonics box, equation memo, offset edit.
struct FormVisibility {
    bool pulsePanel;
    bool harmonicsBox;
    bool equationMemo;
    bool offsetEnabled;
};
FormVisibility formVisibility(FormKind kind);

} // namespace ombrix
