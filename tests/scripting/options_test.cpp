#include "scripting/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scripting/terms.h"

namespace scripting {
namespace {

struct FieldCase {
  const char* text;
  int width;
  int value;            // when accepted
  const char* refusal;  // the message, or null when accepted
};

TEST(Options, FieldValuesAsTheDialogueReadsThem) {
  const FieldCase cases[] = {
      {"500", 6, 500, nullptr},
      {"-5", 2, -5, nullptr},
      {"+7", 2, 7, nullptr},
      {" 5 0", 6, 50, nullptr},
      {"999999", 6, 999999, nullptr},
      {"1234567", 6, 0, "--x 1234567: wider than the dialogue's field of 6 characters"},
      {"100", 2, 0, "--x 100: wider than the dialogue's field of 2 characters"},
      {"", 2, 0, "--x \"\": not an integer"},
      {"  ", 2, 0, "--x   : not an integer"},
      {"1e3", 6, 0, "--x 1e3: not an integer"},
      {"-", 2, 0, "--x -: not an integer"},
      {"2.", 2, 0, "--x 2.: not an integer"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    if (c.refusal == nullptr) {
      EXPECT_EQ(field_value("--x", c.text, c.width), c.value);
    } else {
      try {
        field_value("--x", c.text, c.width);
        ADD_FAILURE() << "accepted";
      } catch (const UsageError& e) {
        EXPECT_EQ(e.message, c.refusal);
      }
    }
  }
}

TEST(Options, ListsAndPairs) {
  EXPECT_EQ(field_list("--dim", "1..4", 2), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(field_list("--dim", "4,2,2..3,7", 2), (std::vector<int>{2, 3, 4, 7}));
  EXPECT_EQ(field_list("--dim", "-1..1", 2), (std::vector<int>{-1, 0, 1}));
  EXPECT_EQ(field_pair("--rational", "1..3,2", 2, true),
            (std::pair<std::vector<int>, std::vector<int>>{{1, 2, 3}, {2}}));
  EXPECT_EQ(field_pair("--rational", "2,1", 2, false),
            (std::pair<std::vector<int>, std::vector<int>>{{2}, {1}}));
  const std::pair<const char*, const char*> refused[] = {
      {"3..1", "--dim 3..1: a range must not fall"},
      {"1,,2", "--dim \"\": not an integer"},
      {"1..100", "--dim 100: wider than the dialogue's field of 2 characters"},
  };
  for (const auto& [text, message] : refused) {
    try {
      field_list("--dim", text, 2);
      ADD_FAILURE() << text;
    } catch (const UsageError& e) {
      EXPECT_EQ(e.message, message);
    }
  }
  for (const char* text : {"2", "1,2,3", "1..2,1"}) {
    EXPECT_THROW(field_pair("--rational", text, 2, false), UsageError) << text;
  }
}

TEST(Options, CommandLine) {
  std::vector<std::string> seen;
  const OptionRule rules[] = {
      {"--flag", false, [&](std::string_view) { seen.push_back("flag"); }},
      {"--n", true, [&](std::string_view v) { seen.push_back("n=" + std::string(v)); }},
  };
  std::vector<std::string> args = {"cmd", "a", "--n", "-3", "--n=", "--flag", "--", "--n", "b"};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  EXPECT_EQ(parse_command_line(static_cast<int>(argv.size()), argv.data(), rules),
            (std::vector<std::string>{"a", "--n", "b"}));
  EXPECT_EQ(seen, (std::vector<std::string>{"n=-3", "n=", "flag"}));

  const std::pair<std::vector<std::string>, const char*> refused[] = {
      {{"cmd", "--bogus"}, "unknown option: --bogus"},
      {{"cmd", "--n"}, "option --n needs a value"},
      {{"cmd", "--flag=1"}, "option --flag takes no value"},
  };
  for (auto [line, message] : refused) {
    std::vector<char*> v;
    for (auto& a : line) v.push_back(a.data());
    try {
      parse_command_line(static_cast<int>(v.size()), v.data(), rules);
      ADD_FAILURE() << message;
    } catch (const UsageError& e) {
      EXPECT_EQ(e.message, message);
    }
  }
}

TEST(Terms, Names) {
  const struct {
    std::vector<int> exponents;
    int T;
    const char* name;
  } cases[] = {
      {{0, 0}, 1, "1"},
      {{1, 0}, 1, "x(n-1)"},
      {{0, 2}, 1, "x(n)^2"},
      {{1, 2}, 1, "x(n-1)*x(n)^2"},
      {{3, 0, 1}, 2, "x(n-4)^3*x(n)"},
      {{0, 1, 1}, 5, "x(n-5)*x(n)"},
      {{12}, 1, "x(n)^12"},
  };
  for (const auto& c : cases) EXPECT_EQ(term_name(c.exponents, c.T), c.name);

  model::ModelMap map;
  map.kind = model::ModelKind::rational;
  map.D = 1;
  map.nu = 1;
  map.mu = 2;
  const std::vector<Term> terms = model_terms(map, 1);
  ASSERT_EQ(terms.size(), 4u);
  EXPECT_EQ(terms[1].name, "x(n)");
  EXPECT_FALSE(terms[1].denominator);
  EXPECT_EQ(terms[3].name, "x(n)^2");
  EXPECT_TRUE(terms[3].denominator);
}

}  // namespace
}  // namespace scripting
