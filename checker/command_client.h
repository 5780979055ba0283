#pragma once
// `lumwatchd --command NAME`: hands one command to the running checker and ends. Needs no
// display, only a QCoreApplication.

namespace lum {

// args are the arguments after --command. Returns the exit status: 0 once the checker has
// the command, 1 when no checker answers, 2 for a missing or unknown name (with the usage).
int sendCommand(int argc, char *args[]);

} // namespace lum
