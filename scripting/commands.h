#pragma once
// The scripting commands of the program, chosen by the first argument: `mapfit fit SERIES ...`
// fits one model, `mapfit search SERIES ...` fits and ranks a grid of models. Both return the
// exit status: 0 done, 1 a numerical stop or a failed output, 2 a refused command line.

#include <string_view>

namespace scripting {

using Command = int (*)(int argc, char** argv);

// The command named by a program's first argument, or null. argv[0] of the call is the
// command's name.
Command find_command(std::string_view name);

int run_fit(int argc, char** argv);
int run_search(int argc, char** argv);

// The --help texts, and the lines the program's own --help shows for the commands.
const char* fit_help();
const char* search_help();
const char* commands_summary();

}  // namespace scripting
