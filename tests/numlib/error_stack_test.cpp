#include "numlib/error_stack.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <string>

#include "numlib/stop.h"
#include "tests/numlib/unit_capture.h"

namespace numlib {
namespace {

using ErrorStackTest = CapturedOutput;

// Printed blocks of the two errors that the solver can meet, as they appear on unit 6.
const char* const kSingularBlock =
    "\n"
    " *** FATAL    ERROR 1 from DLQRSL.  Computation of the least squares solution\n"
    " ***          has been requested but the upper triangular matrix R is exactly \n"
    " ***          singular; the index of the first zero diagonal element of R is \n"
    " ***          3.\n";

const char* const kTerminalBlock =
    "\n"
    " *** TERMINAL ERROR 1 from DL2RRR.  Both the number of rows and the number of\n"
    " ***          columns of the input matrix must be positive while NRA = 0 and \n"
    " ***          NCA = 5 are given.\n"
    "     Here is a traceback of subprogram calls in reverse order:\n"
    "     Routine name                    Error type  Error code\n"
    "     ------------                    ----------  ----------\n"
    "     DL2RRR                               5           1    (Called internally)\n"
    "     DLQRRR                               0           0\n"
    "     USER                                 0           0\n";

TEST_F(ErrorStackTest, FatalErrorIsPrintedWhenTheUserCalledRoutineReturns) {
  E1PSH("DLQRSL");
  E1ARGI(1, 3);
  E1MES(4, 1,
        "Computation of the least squares solution has been requested but the upper triangular "
        "matrix R is exactly singular; the index of the first zero diagonal element of R is "
        "%(I1).");
  EXPECT_EQ(out, "");
  EXPECT_EQ(stop_status([] { E1POP("DLQRSL"); }), 1);
  EXPECT_EQ(out, kSingularBlock);
}

TEST_F(ErrorStackTest, TerminalErrorIsPrintedAtOnceWithTracebackAndStopsAtPop) {
  E1PSH("DLQRRR");
  E1PSH("dL2RRR");
  E1ARGI(1, 0);
  E1ARGI(2, 5);
  E1MES(5, 1,
        "Both the number of rows and the number of columns of the input matrix must be positive "
        "while NRA = %(I1) and NCA = %(I2) are given.");
  EXPECT_EQ(out, kTerminalBlock);
  EXPECT_EQ(stop_status([] { E1POP("dL2RRR"); }), 1);
  EXPECT_EQ(out, kTerminalBlock);  // already printed: the pop adds nothing
}

// Routines that an exception left without their pops (a storage failure deep in a solve): the
// stack goes back to the caller's level, and an error recorded there has no traceback of them.
TEST_F(ErrorStackTest, UnwindDropsTheLevelsThatAnExceptionLeft) {
  E1PSH("DLQRRR");
  E1PSH("dL2RRR");
  E1ARGI(1, 77);  // stored by the routine that was left, never consumed
  ASSERT_EQ(error_stack_level(), 3);
  unwind_error_stack(5);  // above the current level: nothing changes
  EXPECT_EQ(error_stack_level(), 3);
  unwind_error_stack(1);
  EXPECT_EQ(error_stack_level(), 1);
  E1PSH("POLYFIT");
  E1ARGI(1, 50);
  E1MES(5, 2, "The least-squares matrix has %(I1) rows.");
  EXPECT_EQ(out, "\n *** TERMINAL ERROR 2 from POLYFIT.  The least-squares matrix has 50 rows.\n");
  EXPECT_EQ(stop_status([] { E1POP("POLYFIT"); }), 1);
  EXPECT_EQ(error_stack_level(), 2);  // a stop leaves the stack as it was; nothing pops after it
}

// Counts of one character in the printed block: the layout splits long messages over lines.
long count_of(const std::string& text, char ch) { return std::count(text.begin(), text.end(), ch); }

// Message building: values stored, template, and the message text that follows the header.
struct BuildCase {
  const char* what;
  std::function<void()> store;
  std::string templ;
  std::string expected;
};

TEST_F(ErrorStackTest, PlaceholdersAreFilledFromStoredValues) {
  const BuildCase cases[] = {
      {"integer", [] { E1ARGI(1, 35); }, "N = %(I1).", "N = 35."},
      {"negative integer", [] { E1ARGI(1, -1); }, "N = %(I1).", "N = -1."},
      {"lower-case letter", [] { E1ARGI(1, 7); }, "NCA = %(i1) is", "NCA = 7 is"},
      {"missing value stays", [] { E1ARGI(1, 7); }, "%(I1) and %(I2)", "7 and %(I2)"},
      {"first value wins", [] { E1ARGI(1, 1), E1ARGI(1, 2); }, "%(I1)", "1"},
      {"index 0 ignored", [] { E1ARGI(0, 5); }, "%(I0)", "%(I0)"},
      {"index 10 ignored", [] { E1ARGI(10, 5), E1ARGI(1, 6); }, "%(I1)", "6"},
      {"letters are separate", [] { E1ARGL(1, "x"), E1ARGI(1, 3); }, "%(L1)%(I1)", "x3"},
      {"unknown letter", [] { E1ARGI(1, 3); }, "%(X1) %(A1)", "%(X1) %(A1)"},
      {"unclosed placeholder", [] { E1ARGI(1, 3); }, "N = %(I1", "N = %(I1"},
      {"real", [] { E1ARGR(1, 12.5f); }, "X = %(R1)", "X = 1.250000E+01"},
      {"small negative real", [] { E1ARGR(1, -0.001f); }, "%(R1)", "-1.000000E-03"},
      {"real zero", [] { E1ARGR(1, 0.0f); }, "%(R1)", "0.000000E+00"},
      {"real NaN", [] { E1ARGR(1, std::numeric_limits<float>::quiet_NaN()); }, "%(R1)", "NaN"},
      {"largest real", [] { E1ARGR(1, 3.40282347e+38f); }, "%(R1)", "3.402823E+38"},
      {"text trimmed", [] { E1ARGL(1, "abc   "); }, "[%(L1)]", "[abc]"},
      {"negative index keeps blanks", [] { E1ARGL(-1, "ab  "); }, "[%(L1)]", "[ab  ]"},
      {"blank text keeps one", [] { E1ARGL(2, "   "); }, "[%(L2)]", "[ ]"},
      {"line break mark kept", [] {}, "a%/b", "a"},
  };
  for (const auto& c : cases) {
    reset_error_stack();
    out.clear();
    E1PSH("R");
    c.store();
    E1MES(3, 1, c.templ);
    EXPECT_EQ(out, "") << c.what;
    E1POP("R");  // a WARNING is printed when the routine returns and does not stop
    const std::string first_line = "\n *** WARNING  ERROR 1 from R.  " + c.expected + "\n";
    EXPECT_EQ(out.substr(0, first_line.size()), first_line) << c.what;
  }
}

TEST_F(ErrorStackTest, ArgumentBufferHoldsAtMost300Characters) {
  // L1 takes an entry of 208 characters; an entry fits while its text length + 208 + 8 <= 300.
  struct Case {
    std::size_t second_length;
    bool second_stored;
    bool third_stored;  // a last small entry fits only when L2 was dropped
  };
  const Case cases[] = {{84, true, false}, {85, false, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.second_length);
    reset_error_stack();
    out.clear();
    E1PSH("R");
    E1ARGL(1, std::string(200, 'q'));
    E1ARGL(2, std::string(c.second_length, 'z'));
    E1ARGI(3, 7);
    E1MES(5, 1, "%(L1) %(L2) %(I3)");
    EXPECT_EQ(count_of(out, 'q'), 200);
    EXPECT_EQ(count_of(out, 'z'), c.second_stored ? static_cast<long>(c.second_length) : 0);
    EXPECT_EQ(out.find("%(L2)") == std::string::npos, c.second_stored);
    EXPECT_EQ(out.find("%(I3)") == std::string::npos, c.third_stored);
  }
}

TEST_F(ErrorStackTest, TextValueIsCutTo255Characters) {
  E1PSH("R");
  E1ARGL(1, std::string(256, 'q') + "!");
  E1MES(5, 1, "%(L1)");
  EXPECT_EQ(count_of(out, 'q'), 255);
  EXPECT_EQ(count_of(out, '!'), 0);
}

TEST_F(ErrorStackTest, MessageIsCutAt1024Characters) {
  E1PSH("R");
  E1MES(5, 1, std::string(1100, 'a'));
  EXPECT_EQ(count_of(out, 'a'), 1024 - 3);

  reset_error_stack();
  out.clear();
  E1PSH("R");
  E1ARGL(1, std::string(20, 'c'));
  E1MES(5, 1, std::string(1015, 'b') + "%(L1)zzz");
  EXPECT_EQ(count_of(out, 'b'), 1015);
  EXPECT_EQ(count_of(out, 'c'), 6);  // the value is cut where the message reaches 1024
  EXPECT_EQ(count_of(out, 'z'), 0);  // and the building ends there
}

TEST_F(ErrorStackTest, ArgumentsAreConsumedByTheNextMessage) {
  E1PSH("R");
  E1ARGI(1, 5);
  E1MES(3, 1, "first %(I1)");
  E1MES(3, 1, "second %(I1)");
  E1POP("R");
  EXPECT_EQ(out, "\n *** WARNING  ERROR 1 from R.  second %(I1)\n");
}

TEST_F(ErrorStackTest, TypeZeroOrCodeZeroDiscardsThePendingMessage) {
  struct Case {
    int type, code;
  };
  for (const Case c : {Case{0, 2}, Case{3, 0}, Case{0, 0}}) {
    reset_error_stack();
    out.clear();
    E1PSH("R");
    E1MES(3, 4, "pending");
    E1ARGI(1, 9);
    E1MES(c.type, c.code, "replacement %(I1)");
    EXPECT_EQ(N1RCD(0), c.code) << c.type << " " << c.code;
    E1POP("R");
    EXPECT_EQ(out, "") << c.type << " " << c.code;
    // The argument buffer was emptied as well.
    E1PSH("R");
    E1MES(5, 1, "%(I1)");
    EXPECT_EQ(out, "\n *** TERMINAL ERROR 1 from R.  %(I1)\n") << c.type << " " << c.code;
  }
}

TEST_F(ErrorStackTest, NegativeTypeAndCodeKeepTheRecordedOnesAndBlankTemplateKeepsMessage) {
  E1PSH("R");
  E1MES(3, 4, "kept");
  E1MES(-1, -1, " ");
  E1MES(-1, -7, "");
  EXPECT_EQ(N1RCD(0), 4);
  E1POP("R");
  EXPECT_EQ(out, "\n *** WARNING  ERROR 4 from R.  kept\n");
}

TEST_F(ErrorStackTest, NameOfTheHeaderFollowsTheFirstLetterRule) {
  struct Case {
    const char* pushed;
    const char* shown;
  };
  const Case cases[] = {{"dL2RRR", "DL2RRR"}, {"fac", "fac"}, {"aBc", "ABc"},
                        {"Ab", "Ab"},         {"x", "x"},     {"d2RRR", "d2RRR"}};
  for (const auto& c : cases) {
    reset_error_stack();
    out.clear();
    E1PSH(c.pushed);
    E1MES(5, 3, "m");
    EXPECT_EQ(out, std::string("\n *** TERMINAL ERROR 3 from ") + c.shown + ".  m\n") << c.pushed;
  }
}

TEST_F(ErrorStackTest, LongMessagesAreBrokenIntoLines) {
  struct Case {
    const char* what;
    std::string templ;
    std::string lines;  // after "\n *** TERMINAL ERROR 1 from R"
  };
  const std::string x64(64, 'x');
  const Case cases[] = {
      {"fits in 50", std::string(47, 'a'), ".  " + std::string(47, 'a') + "\n"},
      {"one over", std::string(48, 'a'), ". \n ***          " + std::string(48, 'a') + "\n"},
      {"break at blank", std::string(40, 'a') + " bbbbbbbbbbbb",
       ".  " + std::string(40, 'a') + "\n ***          bbbbbbbbbbbb\n"},
      {"word longer than a line", x64 + "yy", ". \n ***          " + x64 + "\n ***          yy\n"},
      {"continuation ends after blank", "a " + std::string(60, 'c') + " " + std::string(10, 'd'),
       ".  a\n ***          " + std::string(60, 'c') + " \n ***          " + std::string(10, 'd') +
           "\n"},
      {"only one leading blank skipped", std::string(46, 'a') + "   e",
       ".  " + std::string(46, 'a') + "\n ***            e\n"},
      {"explicit line end", "ab%/cd", ".  ab\n ***          cd\n"},
  };
  for (const auto& c : cases) {
    reset_error_stack();
    out.clear();
    E1PSH("R");
    E1MES(5, 1, c.templ);
    EXPECT_EQ(out, "\n *** TERMINAL ERROR 1 from R" + c.lines) << c.what;
  }
}

// What the defaults do with each error type, recorded at level 2 (called by the program) or at
// level 3 (called by the level-2 routine).
struct TypeCase {
  int type;
  int depth;
  const char* word;  // type name as printed; nullptr when nothing is printed
  bool printed_at_record;
  int stopping_pop;       // 0: none; 1: first pop; 2: second pop
  int code_left_at_user;  // code[1] after all pops when nothing stops
};

TEST_F(ErrorStackTest, DefaultTablesDecidePrintStopAndCarry) {
  const TypeCase cases[] = {
      {1, 2, nullptr, false, 0, 0},    {2, 2, nullptr, false, 0, 2},
      {3, 2, "WARNING ", false, 0, 2}, {4, 2, "FATAL   ", false, 1, 0},
      {5, 2, "TERMINAL", true, 1, 0},  {6, 2, "WARNING ", true, 0, 2},
      {7, 2, "FATAL   ", true, 1, 0},  {1, 3, nullptr, false, 0, 0},
      {2, 3, nullptr, false, 0, 2},    {3, 3, "WARNING ", false, 0, 2},
      {4, 3, "FATAL   ", false, 2, 0}, {5, 3, "TERMINAL", true, 1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("type " + std::to_string(c.type) + " depth " + std::to_string(c.depth));
    reset_error_stack();
    out.clear();
    E1PSH("OUTER");
    if (c.depth == 3) E1PSH("INNER");
    E1MES(c.type, 2, "Msg.");
    EXPECT_EQ(!out.empty(), c.printed_at_record);
    int stopped_at = 0;
    const char* names[] = {c.depth == 3 ? "INNER" : "OUTER", "OUTER"};
    for (int pop = 1; pop <= c.depth - 1 && stopped_at == 0; ++pop) {
      if (stop_status([&] { E1POP(names[pop - 1]); }) == 1) stopped_at = pop;
    }
    EXPECT_EQ(stopped_at, c.stopping_pop);
    if (c.word == nullptr) {
      EXPECT_EQ(out, "");
    } else {
      // Printed once, under the name of the routine whose level printed it.
      const std::string shown_from = c.printed_at_record && c.depth == 3 ? "INNER" : "OUTER";
      const std::string first =
          std::string("\n *** ") + c.word + " ERROR 2 from " + shown_from + ".  Msg.\n";
      EXPECT_EQ(out.substr(0, first.size()), first);
      EXPECT_EQ(out.find(" ERROR ", first.size()), std::string::npos);
    }
    if (stopped_at == 0) {
      EXPECT_EQ(N1RCD(0), c.code_left_at_user);
    }
  }
}

TEST_F(ErrorStackTest, PoppedLevelKeepsItsCodeUntilTheNextPush) {
  E1PSH("A");
  E1PSH("B");
  E1MES(2, 3, "alert");
  E1POP("B");
  EXPECT_EQ(N1RCD(0), 3);  // an ALERT is carried to the caller
  EXPECT_EQ(N1RCD(1), 3);  // and still readable at the popped level
  E1PSH("C");
  EXPECT_EQ(N1RCD(0), 0);
  EXPECT_EQ(N1RCD(1), -1);  // the pop of B reset the level below it
  E1POP("C");
  E1POP("A");
  EXPECT_EQ(N1RCD(1), 3);
  EXPECT_EQ(N1RCD(0), 3);
  E1PSH("D");
  EXPECT_EQ(N1RCD(1), -1);  // the pop of A reset level 3
  EXPECT_EQ(out, "");
}

TEST_F(ErrorStackTest, Pushing51stLevelStops) {
  for (int level = 2; level <= 50; ++level) E1PSH("L" + std::to_string(level));
  EXPECT_EQ(stop_status([] { E1PSH("L51"); }), 1);
  const std::string head =
      "\n"
      " *** TERMINAL ERROR 1 from L50.  Error condition in E1PSH.  Push would cause\n"
      " ***          stack level to exceed 50. \n"
      "     Here is a traceback of subprogram calls in reverse order:\n"
      "     Routine name                    Error type  Error code\n"
      "     ------------                    ----------  ----------\n"
      "     L50                                  5           1    (Called internally)\n"
      "     L49                                  0           0    (Called internally)\n";
  EXPECT_EQ(out.substr(0, head.size()), head);
  const std::string tail =
      "     L3                                   0           0    (Called internally)\n"
      "     L2                                   0           0\n"
      "     USER                                 0           0\n";
  ASSERT_GE(out.size(), tail.size());
  EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
  EXPECT_EQ(count_of(out, '\n'), 1 + 2 + 3 + 50);
}

TEST_F(ErrorStackTest, PopOfAnotherNameStops) {
  E1PSH("DLQRRR");
  EXPECT_EQ(stop_status([] { E1POP("DLQRSL"); }), 1);
  EXPECT_EQ(out,
            "\n"
            " *** TERMINAL ERROR 2 from DLQRRR.  Error condition in E1POP.  DLQRSL does\n"
            " ***          not match the name DLQRRR in the stack.\n");
}

TEST_F(ErrorStackTest, PopFromEmptyStackStops) {
  EXPECT_EQ(stop_status([] { E1POP("fac"); }), 1);
  EXPECT_EQ(out,
            "\n"
            " *** TERMINAL ERROR 1 from E1POP.  Error condition in E1POP.  Cannot pop from\n"
            " ***          fac because stack is empty.\n");
}

TEST_F(ErrorStackTest, BadSelectorOfN1RCDStops) {
  for (int selector : {-1, 2}) {
    reset_error_stack();
    out.clear();
    E1PSH("R");
    EXPECT_EQ(stop_status([=] { N1RCD(selector); }), 1) << selector;
    EXPECT_EQ(out,
              "\n *** TERMINAL ERROR 1 from R.  The argument passed to N1RCD must be 0 or 1.\n")
        << selector;
  }
}

TEST_F(ErrorStackTest, IllegalTypeStopsWithTheLevelsRecordedTypeAndCode) {
  struct Case {
    int prior_type, prior_code;  // recorded before the bad call; 0 = none
    int bad_type;
    const char* header;
  };
  const Case cases[] = {
      {0, 0, 8, " *** UNKNOWN  ERROR 0 from R"},
      {0, 0, -2, " *** UNKNOWN  ERROR 0 from R"},
      {3, 4, 99, " *** WARNING  ERROR 4 from R"},
  };
  for (const auto& c : cases) {
    reset_error_stack();
    out.clear();
    E1PSH("R");
    if (c.prior_type != 0) E1MES(c.prior_type, c.prior_code, "earlier");
    EXPECT_EQ(stop_status([&] { E1MES(c.bad_type, 1, "ignored"); }), 1) << c.bad_type;
    EXPECT_EQ(out, std::string("\n") + c.header +
                       ".  Error from E1MES.  Illegal error type\n ***          specified.\n")
        << c.bad_type;
  }
}

TEST_F(ErrorStackTest, FirstUseOfAnyEntrySetsTheDefaults) {
  E1ARGI(1, 4);  // boots the stack: level 1 "USER" without error
  EXPECT_EQ(N1RCD(0), 0);
  EXPECT_EQ(N1RCD(1), -1);
  E1PSH("R");
  E1MES(5, 1, "%(I1)");
  EXPECT_EQ(out, "\n *** TERMINAL ERROR 1 from R.  4\n");
}

}  // namespace
}  // namespace numlib
