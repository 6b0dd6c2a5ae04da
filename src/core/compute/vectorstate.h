// The upper halves of the vector registers, as left by code that used 256-bit instructions.
//
// Qt's start-up and painting run AVX code and may return with those halves in use. A thread
// inherits that state from the thread that started it, and on many Intel cores every
// legacy-SSE instruction of our own code then pays a transition penalty (a sine loop runs
// many times slower). Clearing the state where our long loops start keeps them at the speed
// of a process that never ran such code.
#pragma once

namespace ombrix {

// Clears the upper vector state of the calling thread (vzeroupper) where the CPU has AVX;
// does nothing elsewhere. Cheap: call it at the start of every calculation run and
// transfer, and on the GUI thread after painting.
void clearUpperVectorState();

} // namespace ombrix
