// The locale's decimal separator as the rules take it.
#pragma once

namespace ombrix {

// The system locale's decimal separator as one character ('.' when it is not a single ASCII
// character).
char systemDecimalSeparator();

} // namespace ombrix
