// The commands by name, and their help texts.

#include "scripting/commands.h"

namespace scripting {

Command find_command(std::string_view name) {
  if (name == "fit") return run_fit;
  if (name == "search") return run_search;
  return nullptr;
}

const char* commands_summary() {
  return "Commands:\n"
         "  mapfit fit SERIES --ntrain N --dim D (--poly NU | --rational NU,MU) [OPTIONS]\n"
         "                fit one model; a summary, the report.txt blocks and JSON results\n"
         "  mapfit search SERIES --ntrain N --dim LIST (--poly LIST | --rational LIST,LIST)\n"
         "                [OPTIONS]\n"
         "                fit and rank a grid of models; a table, CSV and JSON results\n"
         "  See 'mapfit fit --help' and 'mapfit search --help'. A series file named fit or\n"
         "  search is reached as 'mapfit -- fit'.\n";
}

const char* fit_help() {
  return "Usage: mapfit fit SERIES --ntrain N --dim D (--poly NU | --rational NU,MU) [OPTIONS]\n"
         "\n"
         "Fits one model map x(n+1) = F(x(n-(D-1)T), ..., x(n-T), x(n)) to the first Ntrain\n"
         "values of SERIES as the dialogue fits it for the same answers, appends the same\n"
         "blocks to report.txt and prints a short summary. Each value is refused where the\n"
         "dialogue's question would refuse it, and so is a value wider than its field.\n"
         "\n"
         "Model:\n"
         "  --ntrain N        length of the training series, 2 <= N <= the values in SERIES\n"
         "  --dim D           dimension of the map, D >= 1\n"
         "  --delay T         values between the map's arguments, T >= 1 (default 1)\n"
         "  --poly NU         standard polynomial of order NU\n"
         "  --rational NU,MU  rational map: numerator of order NU, denominator of order MU\n"
         "  --select forward|backward\n"
         "                    keep only the terms that forward regression or backward\n"
         "                    elimination chooses by the Bayesian information criterion\n"
         "  --max-terms M     keep at most M terms (with --select)\n"
         "\n"
         "Check of the model on the values after the training part:\n"
         "  --check           run the efficiency check\n"
         "  --ltest L         length of a test piece (default 30)\n"
         "  --ktest K         number of test pieces (default 100)\n"
         "  --stest S         shift between the starts of test pieces (default 1)\n"
         "  --plot FILE       save the four panels of the check as a PNG file\n"
         "\n"
         "Results:\n"
         "  --json FILE       write every result as JSON to FILE; with - to the standard\n"
         "                    output, which then carries nothing else\n"
         "  --no-report       append nothing to report.txt\n"
         "  --help            show this help and end\n"
         "\n"
         "Options take their value as the next argument or after '=' (--dim=2); '--' ends\n"
         "the options.\n"
         "\n"
         "Exit status: 0 done, 1 stopped by a numerical error (its *** message on the\n"
         "standard output) or an output that could not be written, 2 a refused command line\n"
         "or series file.\n";
}

const char* search_help() {
  return "Usage: mapfit search SERIES --ntrain N --dim LIST (--poly LIST | --rational LIST,LIST)\n"
         "                     [OPTIONS]\n"
         "\n"
         "Fits every model of a grid of dimensions, delays, kinds and orders that has at most\n"
         "as many coefficients as training points, and prints them ranked. A LIST is values\n"
         "and ranges separated by commas: 1..6, 2,4 or 1..3,5. The models of one dimension\n"
         "and delay share one factorisation; the models run on all cores, and every result\n"
         "is the same whatever their number.\n"
         "\n"
         "Grid:\n"
         "  --ntrain N        length of the training series\n"
         "  --dim LIST        dimensions of the map\n"
         "  --delay LIST      values between the map's arguments (default 1)\n"
         "  --poly LIST       standard polynomials of these orders\n"
         "  --rational NUS,MUS\n"
         "                    rational maps, each numerator order of NUS with each\n"
         "                    denominator order of MUS (each a value or a range a..b)\n"
         "  --select forward|backward\n"
         "                    term selection in every model (see mapfit fit --help)\n"
         "  --max-terms M     keep at most M terms (with --select)\n"
         "\n"
         "Check of every model on the values after the training part:\n"
         "  --check, --ltest L, --ktest K, --stest S   as for mapfit fit\n"
         "\n"
         "Ranking and results:\n"
         "  --rank test|ptime|bic\n"
         "                    by the test error, by the prediction time, or by the Bayesian\n"
         "                    information criterion (default: test with --check, else bic)\n"
         "  --csv FILE        write the table as CSV (- for the standard output)\n"
         "  --json FILE       write every model's results as a JSON list, best first\n"
         "                    (- for the standard output)\n"
         "  --help            show this help and end\n"
         "\n"
         "The table shows for each model: D, delay, kind, nu, mu, P (coefficients), the terms\n"
         "kept, the errors of approximation on the training and the test series in percent,\n"
         "the prediction time, the infinite solutions, AIC and BIC from the training residual\n"
         "and the fit time (a shared factorisation counted in full). Nothing is appended to\n"
         "report.txt.\n"
         "\n"
         "Exit status: 0 done, 1 stopped by a numerical error or an output that could not be\n"
         "written, 2 a refused command line or series file.\n";
}

}  // namespace scripting
