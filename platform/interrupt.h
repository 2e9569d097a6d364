// Ctrl-C and SIGTERM (on Windows the console's Ctrl-C, Ctrl-Break and close
// events) end a run cleanly rather than killing it: the signal only sets a
// flag, and every reading of an input (input_file) ends at its next buffer
// as if the file ended there. The decoders then close their tables after
// the last whole row, the commands discard their unfinished further outputs
// with their temporary files, say where the run stopped and exit with
// exit_interrupted. A second signal kills the process at once.
#pragma once

namespace vandrel {

// The status of a run ended by an interrupt: 128 + SIGINT, as shells have it.
constexpr int exit_interrupted = 130;

// Installs the handlers. Signals that were ignored when the process started
// (the shell's rule for commands run in the background) stay ignored.
void catch_interrupts();

// True once an interrupt has arrived.
bool interrupt_requested();

}  // namespace vandrel
