#pragma once
// `lumwatchd --command NAME`: hands one command to the running checker of the settings store
// it reads, waits for its answer and ends. Needs no display, only a QCoreApplication.

namespace lum {

// args are the arguments after --command. Returns the exit status: 0 once the checker has
// answered that it ran the command, 1 when no checker runs (or its socket has no place),
// 2 for a missing or unknown name (with the usage), 3 when the checker gives no answer
// within answerWaitMs.
int sendCommand(int argc, char *args[]);

inline constexpr int answerWaitMs = 5000;

} // namespace lum
