// The scripting commands of the built program: `mapfit fit` against the dialogue on the same
// answers, the refusal of every option, the JSON results (read back with a JSON library), the
// search's ranking, and the delay.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "windowing/png_writer.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string data_file(const std::string& name) {
  return read_file(fs::path(MAPFIT_SOURCE_DIR) / "data" / name);
}

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// Each run in a working directory of its own, with the sample series in it.
class Scripting : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("mapfit_scripting_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    for (const char* sub : {"a", "b"}) fs::create_directories(dir_ / sub);
  }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(dir_);
  }

  void add(const std::string& sub, const std::string& name, const std::string& text) {
    std::ofstream(dir_ / sub / name, std::ios::binary) << text;
  }

  Outcome run(const std::string& sub, const std::vector<std::string>& args,
              const std::string& input = "") {
    const fs::path d = dir_ / sub;
    std::ofstream(d / "stdin.txt", std::ios::binary) << input;
    std::string command = "cd '" + d.string() + "' && '" MAPFIT_BINARY "'";
    for (const auto& a : args) command += " '" + a + "'";
    command += " <stdin.txt >stdout.txt 2>stderr.txt";
    const int raw = std::system(command.c_str());
    Outcome o;
    o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    o.out = read_file(d / "stdout.txt");
    o.err = read_file(d / "stderr.txt");
    return o;
  }

  std::string file(const std::string& sub, const std::string& name) const {
    return read_file(dir_ / sub / name);
  }
  bool exists(const std::string& sub, const std::string& name) const {
    return fs::exists(dir_ / sub / name);
  }

  fs::path dir_;
};

std::string lines(const std::vector<std::string>& answers) {
  std::string text;
  for (const auto& a : answers) text += a + "\n";
  return text;
}

// The result lines of the dialogue's transcript, each on a line of its own.
std::vector<std::string> result_lines(const std::string& text) {
  std::vector<std::string> found;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    for (const char* start :
         {" Error of approximation", " Prediction time:", " Number of infinite solutions:"}) {
      if (line.starts_with(start)) found.push_back(line);
    }
  }
  return found;
}

// x(n+1) = 1 - 0.2 x(n-2) - 1.3 x(n)^2, a chaotic map of dimension 2 with delay 2.
std::string delayed_map(int count) {
  std::vector<double> x = {0.1, 0.2, 0.3};
  while (static_cast<int>(x.size()) < count) {
    const std::size_t n = x.size();
    x.push_back(1.0 - 1.3 * x[n - 1] * x[n - 1] - 0.2 * x[n - 3]);
  }
  std::string text;
  char line[32];
  for (const double v : x) {
    std::snprintf(line, sizeof line, "%.10f\n", v);
    text += line;
  }
  return text;
}

struct Equivalence {
  const char* name;
  std::string series;
  std::vector<std::string> fit;      // after "fit SERIES"
  std::vector<std::string> answers;  // the dialogue's
};

// The same answers give the same report.txt, byte for byte, and the same result lines.
TEST_F(Scripting, FitEqualsTheDialogue) {
  const std::vector<std::string> done = {"n", "n", "n", "n"};  // questions 9 to 12
  const auto with = [&](std::vector<std::string> a, bool check_again) {
    if (check_again) a.push_back("n");  // question 8
    a.insert(a.end(), done.begin(), done.end());
    return a;
  };
  const Equivalence cases[] = {
      {"polynomial, default check",
       "henon.txt",
       {"--ntrain", "500", "--dim", "2", "--poly", "2", "--check", "--plot", "fit.png"},
       with({"500", "2", "1", "2", "y", "n"}, true)},
      {"rational, settings changed",
       "lorenz.txt",
       {"--ntrain=500", "--dim=2", "--rational=2,1", "--check", "--ltest", "20", "--ktest", "50",
        "--stest", "2", "--delay", "1"},
       with({"500", "2", "2", "2", "1", "y", "y", "20", "50", "2"}, true)},
      {"no check",
       "sunspots-yearly.txt",
       {"--ntrain", "221", "--dim", "2", "--poly", "2"},
       with({"221", "2", "1", "2", "n"}, false)},
      {"one piece: Stest is 1",
       "sine.txt",
       {"--ntrain", "2000", "--dim", "3", "--poly", "1", "--check", "--ktest", "1", "--stest", "9",
        "--ltest", "50"},
       with({"2000", "3", "1", "1", "y", "y", "50", "1"}, true)},
      {"defaults that do not fit are asked again",
       "henon.txt",
       {"--ntrain", "2900", "--dim", "1", "--poly", "3", "--check", "--ktest", "60"},
       with({"2900", "1", "1", "3", "y", "30", "60", "1"}, true)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (const char* sub : {"a", "b"}) {
      fs::remove_all(dir_ / sub);
      fs::create_directories(dir_ / sub);
      add(sub, c.series, data_file(c.series));
    }
    const Outcome dialogue = run("a", {"--terminal", c.series}, lines(c.answers));
    ASSERT_EQ(dialogue.status, 0) << dialogue.out;
    std::vector<std::string> args = {"fit", c.series};
    args.insert(args.end(), c.fit.begin(), c.fit.end());
    const Outcome fit = run("b", args);
    ASSERT_EQ(fit.status, 0) << fit.err;
    EXPECT_EQ(fit.err, "");
    EXPECT_EQ(file("b", "report.txt"), file("a", "report.txt"));
    EXPECT_EQ(result_lines(fit.out), result_lines(dialogue.out));
    EXPECT_FALSE(result_lines(fit.out).empty());
    if (exists("b", "fit.png")) {
      const auto a = windowing::read_png((dir_ / "a" / "model-efficiency.png").string());
      const auto b = windowing::read_png((dir_ / "b" / "fit.png").string());
      ASSERT_TRUE(a && b);
      EXPECT_TRUE(a->pixels() == b->pixels());
    }
  }
}

struct Refusal {
  std::vector<std::string> args;
  std::string err;  // the whole standard error
};

TEST_F(Scripting, EveryRefusalNamesItsOption) {
  add("a", "henon.txt", data_file("henon.txt"));
  add("a", "header.txt", "values\n1.5\n2.5\n");
  add("a", "one.txt", "1.5\n");
  const std::vector<std::string> base = {"fit", "henon.txt", "--ntrain", "500", "--dim", "2"};
  const auto fit = [&](std::vector<std::string> more) {
    std::vector<std::string> a = base;
    a.insert(a.end(), more.begin(), more.end());
    return a;
  };
  const std::string f = "mapfit fit: ";
  const std::string s = "mapfit search: ";
  const Refusal cases[] = {
      {{"fit", "henon.txt", "--ntrain", "1234567", "--dim", "2", "--poly", "1"},
       f + "--ntrain 1234567: wider than the dialogue's field of 6 characters\n"},
      {{"fit", "henon.txt", "--ntrain", "3001", "--dim", "2", "--poly", "1"},
       f + "--ntrain 3001: needs 2 <= Ntrain <= N = 3000\n"},
      {{"fit", "henon.txt", "--ntrain", "1", "--dim", "1", "--poly", "0"},
       f + "--ntrain 1: needs 2 <= Ntrain <= N = 3000\n"},
      {{"fit", "henon.txt", "--ntrain", "five", "--dim", "2", "--poly", "1"},
       f + "--ntrain five: not an integer\n"},
      {fit({"--poly", "1", "--dim", "0"}), f + "--dim 0: needs 1 <= D <= Ntrain - 1 = 499\n"},
      {fit({"--poly", "1", "--dim", "500"}),
       f + "--dim 500: wider than the dialogue's field of 2 characters\n"},
      {fit({"--poly", "1", "--delay", "0"}), f + "--delay 0: needs T >= 1\n"},
      {fit({"--poly", "1", "--delay", "499"}),
       f + "--dim 2: needs D >= 1 and (D-1)T + 1 <= Ntrain - 1 = 499\n"},
      {fit({"--poly", "-1"}), f + "--poly -1: needs orders >= 0\n"},
      {fit({"--poly", "31"}),
       f + "--poly 31: needs at most as many coefficients as training points, 498\n"},
      {fit({"--rational", "2,31"}),
       f + "--rational 2,31: needs at most as many coefficients as training points, 498\n"},
      {fit({"--rational", "2"}), f + "--rational 2: needs NU,MU\n"},
      {fit({"--rational", "2,x"}), f + "--rational x: not an integer\n"},
      {fit({"--poly", "1", "--rational", "1,1"}),
       f + "only one of --poly and --rational can be given\n"},
      {{"fit", "henon.txt", "--dim", "2", "--poly", "1"}, f + "option --ntrain is required\n"},
      {{"fit", "henon.txt", "--ntrain", "500", "--poly", "1"}, f + "option --dim is required\n"},
      {fit({}), f + "one of --poly and --rational is required\n"},
      {{"fit", "--ntrain", "5"}, f + "needs exactly one series file\n"},
      {fit({"--poly", "1", "--ltest", "5"}),
       f + "options --ltest, --ktest and --stest need --check\n"},
      {fit({"--poly", "1", "--plot", "p.png"}), f + "option --plot needs --check\n"},
      {fit({"--poly", "1", "--max-terms", "3"}), f + "option --max-terms needs --select\n"},
      {fit({"--poly", "1", "--select", "sideways"}),
       f + "--select sideways: must be forward or backward\n"},
      {fit({"--poly", "1", "--select", "forward", "--max-terms", "0"}),
       f + "--max-terms 0: needs at least 1\n"},
      {fit({"--poly", "1", "--json="}), f + "option --json needs a file name or -\n"},
      {fit({"--poly", "1", "--bogus"}), f + "unknown option: --bogus\n"},
      {fit({"--poly", "1", "--check", "--ltest", "2499"}),
       f + "--ltest 2499: needs 1 <= Ltest <= N - Ntrain - D = 2498\n"},
      {fit({"--poly", "1", "--check", "--ktest", "0"}),
       f + "--ktest 0: needs 1 <= Ktest <= N - Ntrain - D - Ltest + 1 = 2469\n"},
      {fit({"--poly", "1", "--check", "--ktest", "2", "--stest", "2469"}),
       f + "--stest 2469: needs Stest >= 1 and (Ktest - 1) Stest <= N - Ntrain - D - Ltest = "
           "2468\n"},
      {fit({"--poly", "1", "--check", "--delay", "3", "--ltest", "2497"}),
       f + "--ltest 2497: needs 1 <= Ltest <= N - Ntrain - (D-1)T - 1 = 2496\n"},
      {{"fit", "henon.txt", "--ntrain", "2900", "--dim", "2", "--poly", "1", "--check"},
       f + "--ktest 100 (the default): needs 1 <= Ktest <= N - Ntrain - D - Ltest + 1 = 69\n"},
      {{"fit", "henon.txt", "--ntrain", "2998", "--dim", "2", "--poly", "1", "--check"},
       f + "option --check needs more than 2 values after the training part, 2 follow it\n"},
      {{"fit", "missing.txt", "--ntrain", "5", "--dim", "1", "--poly", "1"},
       f + "missing.txt: no such file\n"},
      {{"fit", "header.txt", "--ntrain", "2", "--dim", "1", "--poly", "0"},
       f + "header.txt: a line cannot be read as a value\n"},
      {{"fit", "one.txt", "--ntrain", "2", "--dim", "1", "--poly", "0"},
       f + "one.txt: fewer than two values\n"},
      {{"fit", ".", "--ntrain", "2", "--dim", "1", "--poly", "0"}, f + ".: not a file\n"},
      {{"search", "henon.txt", "--ntrain", "500", "--dim", "0..2", "--poly", "1"},
       s + "--dim 0..2: D = 0 needs 1 <= D <= Ntrain - 1 = 499\n"},
      {{"search", "henon.txt", "--ntrain", "500", "--dim", "1..100", "--poly", "1"},
       s + "--dim 100: wider than the dialogue's field of 2 characters\n"},
      {{"search", "henon.txt", "--ntrain", "500", "--dim", "2", "--poly", "1", "--rank", "test"},
       s + "ranking by test error or prediction time needs --check\n"},
      {{"search", "henon.txt", "--ntrain", "500", "--dim", "2", "--poly", "1", "--rank", "best"},
       s + "--rank best: must be test, ptime or bic\n"},
      {{"search", "henon.txt", "--ntrain", "10", "--dim", "5", "--poly", "2..3"},
       s + "no model of the grid has at most as many coefficients as training points\n"},
      {{"search", "henon.txt", "--ntrain", "500", "--dim", "2"},
       s + "one of --poly and --rational is required\n"},
      {{"search", "henon.txt", "--ntrain", "500", "--dim", "2", "--poly", "1", "--csv", "-",
        "--json", "-"},
       s + "only one of --csv and --json can go to the standard output\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.err);
    const Outcome o = run("a", c.args);
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err, c.err);
    EXPECT_EQ(o.out, "");
    EXPECT_FALSE(exists("a", "report.txt"));
  }
}

TEST_F(Scripting, JsonResultsOfAFit) {
  add("a", "henon.txt", data_file("henon.txt"));
  const Outcome o = run("a", {"fit", "henon.txt", "--ntrain", "500", "--dim", "2", "--poly", "2",
                              "--check", "--json", "out.json"});
  ASSERT_EQ(o.status, 0) << o.err;
  const json r = json::parse(file("a", "out.json"));
  EXPECT_EQ(r["series"]["file"], "henon.txt");
  EXPECT_EQ(r["series"]["values"], 3000);
  // The digest as a standard tool computes it.
  FILE* p = popen(("sha256sum '" + (dir_ / "a" / "henon.txt").string() + "'").c_str(), "r");
  char digest[65] = {};
  ASSERT_EQ(std::fread(digest, 1, 64, p), 64u);
  pclose(p);
  EXPECT_EQ(r["series"]["sha256"], std::string(digest));
  EXPECT_EQ(r["settings"], json::parse(R"({"ntrain": 500, "dim": 2, "delay": 1,
      "kind": "polynomial", "nu": 2, "mu": 0, "ltest": 30, "ktest": 100, "stest": 1})"));
  const std::vector<std::string> names = {"1",        "x(n-1)",      "x(n)",
                                          "x(n-1)^2", "x(n-1)*x(n)", "x(n)^2"};
  ASSERT_EQ(r["terms"].size(), 6u);
  for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(r["terms"][i]["name"], names[i]);
  EXPECT_EQ(r["terms"][4]["exponents"], json::parse("[1, 1]"));
  // The coefficients at full precision, as the report rounds them.
  std::istringstream report(file("a", "report.txt"));
  std::string line;
  while (std::getline(report, line) && line != " Coefficients of the model map:") {
  }
  for (const auto& c : r["coefficients"]) {
    ASSERT_TRUE(std::getline(report, line));
    char text[32];
    std::snprintf(text, sizeof text, "%20.10f", c.get<double>());
    EXPECT_EQ(line, text);
  }
  EXPECT_LT(r["error_train"].get<double>(), 1e-9);
  EXPECT_LT(r["error_test"].get<double>(), 1e-9);
  EXPECT_EQ(r["prediction_error"].size(), 30u);
  EXPECT_EQ(r["prediction_time"], 30);
  EXPECT_EQ(r["infinite_solutions"], 0);
  EXPECT_TRUE(r["aic"].is_number() && r["bic"].is_number());
  EXPECT_GE(r["seconds"]["fit"].get<double>(), 0.0);
  EXPECT_GE(r["seconds"]["check"].get<double>(), 0.0);
  EXPECT_EQ("mapfit " + r["version"].get<std::string>() + "\n", run("a", {"--version"}).out);

  // Without a check its keys are absent; on standard output the JSON is all there is.
  const Outcome plain = run("a", {"fit", "henon.txt", "--ntrain", "500", "--dim", "1", "--rational",
                                  "1,1", "--json", "-", "--no-report"});
  ASSERT_EQ(plain.status, 0);
  const json q = json::parse(plain.out);
  for (const char* key :
       {"error_test", "prediction_error", "prediction_time", "infinite_solutions"}) {
    EXPECT_FALSE(q.contains(key)) << key;
  }
  EXPECT_FALSE(q["settings"].contains("ltest"));
  EXPECT_FALSE(q["seconds"].contains("check"));
  EXPECT_EQ(q["settings"]["kind"], "rational");
  ASSERT_EQ(q["terms"].size(), 3u);
  EXPECT_EQ(q["terms"][1]["part"], "numerator");
  EXPECT_EQ(q["terms"][2]["part"], "denominator");
}

// A selected model is a full-basis model with zeros: its report block lists all 15
// coefficients, its JSON the three kept terms.
TEST_F(Scripting, SelectedHenonTerms) {
  add("a", "henon.txt", data_file("henon.txt"));
  const Outcome o = run("a", {"fit", "henon.txt", "--ntrain", "500", "--dim", "2", "--poly", "4",
                              "--select", "backward", "--check", "--json", "out.json"});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find(" Backward selection kept 3 terms: 1, x(n-1), x(n)^2\n"), std::string::npos);
  const json r = json::parse(file("a", "out.json"));
  EXPECT_EQ(r["settings"]["select"], "backward");
  ASSERT_EQ(r["terms"].size(), 3u);
  EXPECT_EQ(r["terms"][2]["name"], "x(n)^2");
  const std::string report = file("a", "report.txt");
  const auto at = report.find(" Coefficients of the model map:\n");
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(report.substr(at + 32, 21 * 4),
            "        1.0000000000\n        0.3000000000\n        0.0000000000\n"
            "        0.0000000000\n");
  EXPECT_EQ(std::count(report.begin() + at, report.end(), '\n'), 1 + 15 + 1 + 8 + 2);
}

TEST_F(Scripting, NumericalStopAsTheDialogueStops) {
  std::string zeros;
  for (int k = 0; k < 100; ++k) zeros += "0.0\n";
  add("a", "zeros.txt", zeros);
  const Outcome o = run("a", {"fit", "zeros.txt", "--ntrain", "50", "--dim", "1", "--poly", "1",
                              "--json", "error.json"});
  EXPECT_EQ(o.status, 1);
  // The dialogue's report and its message block for the same answers.
  const fs::path golden = fs::path(MAPFIT_TEST_DATA) / "app";
  EXPECT_EQ(file("a", "report.txt"), read_file(golden / "singular_matrix.report"));
  const std::string transcript = read_file(golden / "singular_matrix.stdout");
  const std::string block = transcript.substr(transcript.find("\n *** "));
  EXPECT_EQ(o.out, block);
  const json e = json::parse(file("a", "error.json"));
  EXPECT_EQ(e["error"]["status"], 1);
  EXPECT_EQ(e["error"]["message"], block);
  // With the JSON on standard output the block goes to standard error.
  fs::remove(dir_ / "a" / "report.txt");
  const Outcome j = run("a", {"fit", "zeros.txt", "--ntrain", "50", "--dim", "1", "--poly", "1",
                              "--json", "-", "--no-report"});
  EXPECT_EQ(j.status, 1);
  EXPECT_EQ(j.err, block);
  EXPECT_EQ(json::parse(j.out)["error"]["message"], block);
  EXPECT_FALSE(exists("a", "report.txt"));
}

TEST_F(Scripting, DelayedMapIsRecovered) {
  add("a", "delayed.txt", delayed_map(1500));
  const Outcome o = run("a", {"fit", "delayed.txt", "--ntrain", "1000", "--dim", "2", "--delay",
                              "2", "--poly", "2", "--check", "--json", "out.json"});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find(" Prediction time:   30\n"), std::string::npos);
  const std::string report = file("a", "report.txt");
  EXPECT_NE(report.find(" Dimension of a model map D =  2\n"
                        " Delay between the arguments T =      2\n"
                        " Function for approximation: standard p\n"),
            std::string::npos);
  const json r = json::parse(file("a", "out.json"));
  EXPECT_EQ(r["settings"]["delay"], 2);
  EXPECT_EQ(r["terms"][1]["name"], "x(n-2)");
  const double expected[] = {1.0, -0.2, 0.0, 0.0, 0.0, -1.3};
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(r["coefficients"][i].get<double>(), expected[i], 1e-9);
  // With delay 1 the same arguments are not there to be found.
  const Outcome near = run("a", {"fit", "delayed.txt", "--ntrain", "1000", "--dim", "2", "--poly",
                                 "2", "--no-report", "--json", "-"});
  EXPECT_GT(json::parse(near.out)["error_train"].get<double>(), 0.05);
}

TEST_F(Scripting, SearchRanksAndEqualsSeparateFits) {
  add("a", "henon.txt", data_file("henon.txt"));
  const std::vector<std::string> grid = {"search",  "henon.txt", "--ntrain", "500",        "--dim",
                                         "1..3",    "--poly",    "1..2",     "--rational", "1,1",
                                         "--check", "--ktest",   "50"};
  for (const char* rank : {"test", "ptime", "bic"}) {
    SCOPED_TRACE(rank);
    std::vector<std::string> args = grid;
    args.insert(args.end(), {"--rank", rank, "--json", "s.json", "--csv", "s.csv"});
    const Outcome o = run("a", args);
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_FALSE(exists("a", "report.txt"));
    const json list = json::parse(file("a", "s.json"));
    ASSERT_EQ(list.size(), 9u);
    // One CSV line a model after the header, in the same order.
    std::istringstream csv(file("a", "s.csv"));
    std::string line;
    std::getline(csv, line);
    EXPECT_TRUE(line.starts_with("rank,dim,delay,kind,nu,mu,P,terms,error_train,error_test,"));
    for (std::size_t n = 0; n < list.size(); ++n) {
      const json& m = list[n];
      EXPECT_EQ(m["rank"], n + 1);
      ASSERT_TRUE(std::getline(csv, line));
      EXPECT_TRUE(line.starts_with(std::to_string(n + 1) + "," +
                                   std::to_string(m["settings"]["dim"].get<int>()) + ","));
      if (n == 0) continue;
      const json& before = list[n - 1];
      if (std::string(rank) == "test") {
        EXPECT_LE(before["error_test"], m["error_test"]);
      } else if (std::string(rank) == "bic") {
        EXPECT_LE(before["bic"], m["bic"]);
      } else {
        EXPECT_GE(before["prediction_time"], m["prediction_time"]);
      }
    }
  }

  // Each model's printed errors are those of its own fit.
  std::vector<std::string> ranked = grid;
  ranked.insert(ranked.end(), {"--json", "t.json"});
  const Outcome table = run("a", ranked);
  ASSERT_EQ(table.status, 0);
  const json list = json::parse(file("a", "t.json"));
  for (const json& m : list) {
    const json& s = m["settings"];
    const bool rational = s["kind"] == "rational";
    std::vector<std::string> args = {"fit",        "henon.txt", "--ntrain",
                                     "500",        "--dim",     std::to_string(s["dim"].get<int>()),
                                     "--check",    "--ktest",   "50",
                                     "--no-report"};
    if (rational) {
      args.insert(args.end(), {"--rational", std::to_string(s["nu"].get<int>()) + ",1"});
    } else {
      args.insert(args.end(), {"--poly", std::to_string(s["nu"].get<int>())});
    }
    const Outcome fit = run("a", args);
    const std::vector<std::string> printed = result_lines(fit.out);
    ASSERT_EQ(printed.size(), 4u);
    char row[64];
    std::snprintf(row, sizeof row, "%4d%3d%6d  %s%3d%3d", m["rank"].get<int>(), s["dim"].get<int>(),
                  1, rational ? "rational  " : "polynomial", s["nu"].get<int>(),
                  s["mu"].get<int>());
    const auto at = table.out.find(row);
    ASSERT_NE(at, std::string::npos) << row << "\n" << table.out;
    const std::string entry = table.out.substr(at, table.out.find('\n', at) - at);
    // The training and test errors in the table's columns, as the fit prints them.
    EXPECT_NE(entry.find(printed[0].substr(25, 10)), std::string::npos) << entry;
    EXPECT_NE(entry.find(printed[1].substr(32, 10)), std::string::npos) << entry;
  }
}

TEST_F(Scripting, HelpAndFilesNamedLikeCommands) {
  for (const auto& [args, golden] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"fit", "--help"}, "fit_help.golden"}, {{"search", "-h"}, "search_help.golden"}}) {
    const Outcome o = run("a", args);
    EXPECT_EQ(o.status, 0);
    const fs::path path = fs::path(MAPFIT_TEST_DATA) / "app" / golden;
    if (std::getenv("MAPFIT_UPDATE_GOLDEN") != nullptr) {
      std::ofstream(path, std::ios::binary) << o.out;
    } else {
      EXPECT_EQ(o.out, read_file(path)) << golden;
    }
  }
  // After "--" a file named fit is a series file for the dialogue.
  add("a", "fit", "1.5\n2.5\n");
  const Outcome o =
      run("a", {"--terminal", "--", "fit"}, lines({"2", "1", "1", "0", "n", "n", "n", "n"}));
  EXPECT_EQ(o.status, 0);
  EXPECT_TRUE(o.out.starts_with(" The time series contains     2 values\n"));
}

}  // namespace
