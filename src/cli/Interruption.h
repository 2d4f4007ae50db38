#pragma once

#include <string>

// Ctrl-C (SIGINT) and SIGTERM for a running transfer: the first one asks the transfer to stop
// before its next row, so that the table being copied is rolled back and the summary of what is
// complete is printed; a second one ends the program at once, after its last words: what the
// journal on the target holds open (the statements that finish the run's steps, for a person
// who acts without the program) and the report asked for, as the run last set them.
namespace Interruption {

// Takes over SIGINT and SIGTERM.
void install();
// Whether a signal asked to stop.
bool requested();
// The exit status that tells which: 130 for SIGINT, 143 for SIGTERM.
int exitStatus();
// What a second signal prints on standard error before the program ends.
void setLastWords(std::string words);
// The report a second signal writes to `path` before the program ends.
void setLastReport(std::string path, std::string report);

}  // namespace Interruption
