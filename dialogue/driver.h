#pragma once
// The main routine: the numbered dialogue from the choice of a series file to the last question.

#include <deque>
#include <string>

#include "plot/window_system.h"

namespace dialogue {

using plot::kDialogueUnit;

// Runs the whole dialogue in `windows`, taking series file names from `arguments` first.
// Returns when the user declines a different time series; a stop of the program (a library
// error, end of input, the user's "Terminate Program?") throws numlib::ProgramStop after the
// report file has been closed with every line written so far.
void run_dialogue(plot::WindowSystem& windows, std::deque<std::string> arguments);

}  // namespace dialogue
