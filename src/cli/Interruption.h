#pragma once

// Ctrl-C (SIGINT) and SIGTERM for a running transfer: the first one asks the transfer to stop
// before its next row, so that the table being copied is rolled back and the summary of what is
// complete is printed; a second one ends the program at once.
namespace Interruption {

// Takes over SIGINT and SIGTERM.
void install();
// Whether a signal asked to stop.
bool requested();
// The exit status that tells which: 130 for SIGINT, 143 for SIGTERM.
int exitStatus();

}  // namespace Interruption
