#include "dialogue/ask.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "test_support.h"

namespace dialogue {
namespace {

using testing::ScriptedWindows;

struct IntFieldCase {
  const char* line;
  int width;
  bool ok;
  int value;
};

TEST(ReadIntField, Table) {
  const IntFieldCase cases[] = {
      {"", 6, true, 0},
      {"      ", 6, true, 0},
      {"500", 6, true, 500},
      {"1234567", 6, true, 123456},
      {"100", 2, true, 10},
      {"21", 1, true, 2},
      {"12", 1, true, 1},
      {" 1 2", 6, true, 12},
      {"  7", 2, true, 0},
      {"-5", 2, true, -5},
      {"+7", 2, true, 7},
      {"- 3", 6, true, -3},
      {"999999", 6, true, 999999},
      {"-99999", 6, true, -99999},
      {"000123", 6, true, 123},
      {"12x", 2, true, 12},
      {"1 -", 2, true, 1},
      {"5-", 2, false, 0},
      {"-", 2, false, 0},
      {"+ ", 2, false, 0},
      {"abc", 6, false, 0},
      {"1.5", 6, false, 0},
      {"1x", 2, false, 0},
      {"\t1", 2, false, 0},
      {"--1", 6, false, 0},
      {"1e3", 6, false, 0},
      {"1,000", 6, false, 0},
      {"y", 1, false, 0},
      {"12", 0, false, 0},
      {"12", 10, false, 0},
  };
  for (const auto& c : cases) {
    int value = -777;
    EXPECT_EQ(read_int_field(c.line, c.width, value), c.ok) << '"' << c.line << '"' << c.width;
    EXPECT_EQ(value, c.ok ? c.value : -777) << '"' << c.line << '"' << c.width;
  }
}

TEST(ReadCharField, FirstCharacterOrBlank) {
  EXPECT_EQ(read_char_field(""), ' ');
  EXPECT_EQ(read_char_field("yes"), 'y');
  EXPECT_EQ(read_char_field(" y"), ' ');
  EXPECT_EQ(read_char_field("N"), 'N');
}

TEST(AskInt, RepeatsUntilTheLineConverts) {
  ScriptedWindows w;
  w.answers = {"x", "1.5", "  42"};
  int value = -1;
  ASKINT(w, 10, "(I6)", "Q = ", value);
  EXPECT_EQ(value, 42);
  EXPECT_EQ(w.transcript, " Q = x\n  Incorrect input\n Q = 1.5\n  Incorrect input\n Q =   42\n");
}

TEST(AskInt, FormatWidthCutsTheAnswer) {
  ScriptedWindows w;
  w.answers = {"1234567", "100", "21"};
  int a = 0, b = 0, c = 0;
  ASKINT(w, 10, "(I6)", "a ", a);
  ASKINT(w, 10, "(I2)", "b ", b);
  ASKINT(w, 10, "(I1)", "c ", c);
  EXPECT_EQ(a, 123456);
  EXPECT_EQ(b, 10);
  EXPECT_EQ(c, 2);
}

TEST(AskInt, EndOfInputStops) {
  ScriptedWindows w;
  w.answers = {"bad"};
  int value = 0;
  try {
    ASKINT(w, 10, "(I2)", "D = ", value);
    FAIL() << "no stop";
  } catch (const numlib::ProgramStop& stop) {
    EXPECT_EQ(stop.status, 3);
  }
  EXPECT_EQ(w.transcript, " D = bad\n  Incorrect input\n D = ");
}

TEST(AskInt, UnknownFormatIsAProgrammingError) {
  ScriptedWindows w;
  int value = 0;
  EXPECT_THROW(ASKINT(w, 10, "(A1)", "x", value), std::invalid_argument);
  EXPECT_THROW(ASKINT(w, 10, "I6", "x", value), std::invalid_argument);
  char c = ' ';
  EXPECT_THROW(ASKTEXT(w, 10, "(I1)", "x", c, 1), std::invalid_argument);
  EXPECT_TRUE(w.transcript.empty());
}

TEST(AskText, TakesTheFirstCharacter) {
  ScriptedWindows w;
  w.answers = {"", "Yes"};
  char c = 'q';
  ASKTEXT(w, 10, "(A1)", "Ok? ", c, 1);
  EXPECT_EQ(c, ' ');
  ASKTEXT(w, 10, "(A1)", "Ok? ", c, 1);
  EXPECT_EQ(c, 'Y');
  EXPECT_EQ(w.transcript, " Ok? \n Ok? Yes\n");
}

struct YesNoCase {
  const char* answer;
  int result;  // 1 yes, 0 no, -1 rejected
};

TEST(AskYesNo, OnlyLowerCaseYAndNAreAnswers) {
  const YesNoCase cases[] = {
      {"y", 1},  {"yes", 1}, {"n", 0},   {"no", 0}, {"nonsense", 0}, {"Y", -1},
      {"N", -1}, {"", -1},   {" y", -1}, {"x", -1}, {"1", -1},
  };
  for (const auto& c : cases) {
    ScriptedWindows w;
    // A rejected answer is followed by "n", which ends the question.
    w.answers = {c.answer, "n"};
    const bool yes = ask_yes_no(w, 10, "Go? (y/n) ");
    const std::string echoed = std::string(" Go? (y/n) ") + c.answer + "\n";
    if (c.result >= 0) {
      EXPECT_EQ(yes, c.result == 1) << c.answer;
      EXPECT_EQ(w.transcript, echoed) << c.answer;
      EXPECT_EQ(w.answers.size(), 1u) << c.answer;
    } else {
      EXPECT_FALSE(yes) << c.answer;
      EXPECT_EQ(w.transcript, echoed + "  Incorrect input\n Go? (y/n) n\n") << c.answer;
    }
  }
}

TEST(WriteLine, BeginsWithOneBlank) {
  ScriptedWindows w;
  write_line(w, 10, "abc");
  write_incorrect_input(w, 10);
  EXPECT_EQ(w.transcript, " abc\n  Incorrect input\n");
}

}  // namespace
}  // namespace dialogue
