#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "numlib/error_stack.h"
#include "numlib/qr.h"
#include "tests/numlib/unit_capture.h"

namespace numlib {
namespace {

using Vec = std::vector<double>;

Vec values(int count, double seed) {
  Vec v(count);
  for (int k = 0; k < count; ++k) v[k] = seed + 0.61 * k * (k % 3 == 1 ? -1 : 1);
  return v;
}

// Array position of logical element i (0-based) of an n-vector with stride inc.
int pos(int i, int n, int inc) { return inc > 0 ? i * inc : (n - 1 - i) * -inc; }

int span(int n, int inc) { return n > 0 ? (n - 1) * std::abs(inc) + 1 : 1; }

using GemvShape = std::tuple<char, int, int, int, int>;  // TRANS, M, N, INCX, INCY

class GemvAgainstNaive : public ::testing::TestWithParam<GemvShape> {};

TEST_P(GemvAgainstNaive, MatchesForEveryAlphaAndBeta) {
  const auto [trans, m, n, incx, incy] = GetParam();
  const bool t = trans != 'N' && trans != 'n';
  const int lenx = t ? m : n, leny = t ? n : m, lda = m + 2;
  const Vec a = values(lda * n, 0.3);
  const Vec x = values(span(lenx, incx), -1.1);
  for (double alpha : {0.0, 1.0, -2.5}) {
    for (double beta : {0.0, 1.0, 0.5}) {
      Vec y = values(span(leny, incy), 2.2), ref = y;
      if (m > 0 && n > 0 && !(alpha == 0.0 && beta == 1.0)) {
        for (int i = 0; i < leny; ++i) {
          double s = 0.0;
          for (int k = 0; k < lenx; ++k) {
            const double aik = t ? a[i * lda + k] : a[k * lda + i];
            s += aik * x[pos(k, lenx, incx)];
          }
          double& yi = ref[pos(i, leny, incy)];
          yi = (beta == 0.0 ? 0.0 : beta * yi) + alpha * s;
        }
      }
      DGEMV(trans, m, n, alpha, a.data(), lda, x.data(), incx, beta, y.data(), incy);
      ASSERT_EQ(y.size(), ref.size());
      for (std::size_t k = 0; k < y.size(); ++k)
        EXPECT_NEAR(y[k], ref[k], 1e-12 * (1 + std::fabs(ref[k])))
            << "alpha " << alpha << " beta " << beta << " element " << k;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, GemvAgainstNaive,
                         ::testing::Combine(::testing::Values('N', 'T', 'C', 'n', 't', 'c'),
                                            ::testing::Values(0, 1, 4), ::testing::Values(0, 3, 7),
                                            ::testing::Values(1, 2, -1), ::testing::Values(1, -2)));

TEST(DGEMV, LowerCaseTIsTheTranspose) {
  const Vec a = values(12, 0.7), x = values(4, 1.0);
  Vec upper(3, 1.0), lower(3, 1.0), plain(4, 1.0);
  DGEMV('T', 4, 3, 2.0, a.data(), 4, x.data(), 1, 0.5, upper.data(), 1);
  DGEMV('t', 4, 3, 2.0, a.data(), 4, x.data(), 1, 0.5, lower.data(), 1);
  EXPECT_EQ(lower, upper);
  for (int j = 0; j < 3; ++j) {
    double s = 0.0;
    for (int i = 0; i < 4; ++i) s += a[j * 4 + i] * x[i];
    EXPECT_DOUBLE_EQ(upper[j], 0.5 + 2.0 * s);
  }
}

TEST(DGEMV, BetaZeroClearsWhateverYHeld) {
  const Vec a = {1, 2, 3, 4}, x = {1, 1};
  Vec y = {std::nan(""), std::nan("")};
  DGEMV('N', 2, 2, 1.0, a.data(), 2, x.data(), 1, 0.0, y.data(), 1);
  EXPECT_EQ(y, (Vec{4, 6}));
}

using GerShape = std::tuple<int, int, int, int>;  // M, N, INCX, INCY

class GerAgainstNaive : public ::testing::TestWithParam<GerShape> {};

TEST_P(GerAgainstNaive, Matches) {
  const auto [m, n, incx, incy] = GetParam();
  const int lda = m + 1;
  const Vec x = values(span(m, incx), 0.9);
  Vec y = values(span(n, incy), -0.4);
  if (n > 1) y[pos(1, n, incy)] = 0.0;  // a skipped column
  for (double alpha : {0.0, 1.0, -0.75}) {
    Vec a = values(lda * std::max(n, 1), 1.7), ref = a;
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < m; ++i)
        ref[j * lda + i] += alpha * x[pos(i, m, incx)] * y[pos(j, n, incy)];
    DGER(m, n, alpha, x.data(), incx, y.data(), incy, a.data(), lda);
    for (std::size_t k = 0; k < a.size(); ++k)
      EXPECT_NEAR(a[k], ref[k], 1e-13 * (1 + std::fabs(ref[k]))) << "alpha " << alpha << ' ' << k;
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, GerAgainstNaive,
                         ::testing::Combine(::testing::Values(0, 1, 5), ::testing::Values(0, 1, 4),
                                            ::testing::Values(1, 2, -1), ::testing::Values(1, -3)));

TEST(DGEMV, ValidCallsPushNoFrame) {
  // A frame pushed and popped below "CALLER" would leave code 0 one level down instead of -1.
  reset_error_stack();
  const Vec a = {1, 2, 3, 4}, x = {1, 1};
  Vec y(2), b = {1, 2, 3, 4};
  E1PSH("CALLER");
  DGEMV('N', 2, 2, 1.0, a.data(), 2, x.data(), 1, 0.0, y.data(), 1);
  DGER(2, 2, 1.0, x.data(), 1, x.data(), 1, b.data(), 2);
  EXPECT_EQ(N1RCD(1), -1);
  E1POP("CALLER");
  reset_error_stack();
}

struct BlasError {
  const char* name;
  std::function<void()> call;
  const char* expected;
};

class Blas2Errors : public CapturedOutput {
 protected:
  void run(const std::vector<BlasError>& cases) {
    for (const auto& c : cases) {
      reset_error_stack();
      out.clear();
      EXPECT_EQ(stop_status(c.call), 1) << c.name;
      EXPECT_EQ(out, c.expected) << c.name;
    }
    EXPECT_EQ(y, Vec(8, 5.0));
    EXPECT_EQ(a, Vec(16, 3.0));
  }
  Vec a = Vec(16, 3.0), x = Vec(8, 1.0), y = Vec(8, 5.0);
};

TEST_F(Blas2Errors, ArgumentChecksOfDGEMV) {
  auto gemv = [this](char trans, int m, int n, int lda, int incx, int incy) {
    return
        [=, this] { DGEMV(trans, m, n, 1.0, a.data(), lda, x.data(), incx, 0.0, y.data(), incy); };
  };
  run({
      {"M < 0", gemv('N', -1, 2, 2, 1, 1),
       "\n"
       " *** TERMINAL ERROR 1 from DGEMV.  M must be greater than or equal to zero\n"
       " ***          while -1 is given.\n"},
      {"M before N", gemv('X', -3, -4, 0, 0, 0),
       "\n"
       " *** TERMINAL ERROR 1 from DGEMV.  M must be greater than or equal to zero\n"
       " ***          while -3 is given.\n"},
      {"N < 0", gemv('N', 2, -2, 2, 1, 1),
       "\n"
       " *** TERMINAL ERROR 2 from DGEMV.  N must be greater than or equal to zero\n"
       " ***          while -2 is given.\n"},
      {"LDA = 0", gemv('N', 0, 2, 0, 1, 1),
       "\n"
       " *** TERMINAL ERROR 3 from DGEMV.  LDA must be greater than or equal to M and\n"
       " ***          greater than zero while LDA = 0 and M = 0 are given.\n"},
      {"LDA < M", gemv('T', 4, 2, 3, 1, 1),
       "\n"
       " *** TERMINAL ERROR 3 from DGEMV.  LDA must be greater than or equal to M and\n"
       " ***          greater than zero while LDA = 3 and M = 4 are given.\n"},
      {"INCX = 0", gemv('N', 2, 2, 2, 0, 1),
       "\n"
       " *** TERMINAL ERROR 4 from DGEMV.  INCX must not be equal to zero while 0 is\n"
       " ***          given.\n"},
      {"INCY = 0", gemv('N', 2, 2, 2, -1, 0),
       "\n"
       " *** TERMINAL ERROR 5 from DGEMV.  INCY must not be equal to zero while 0 is\n"
       " ***          given.\n"},
      {"TRANS", gemv('x', 2, 2, 2, 1, 1),
       "\n"
       " *** TERMINAL ERROR 6 from DGEMV.  TRANS must be set equal to N or T or C\n"
       " ***          while x is given.\n"},
  });
}

TEST_F(Blas2Errors, ArgumentChecksOfDGER) {
  auto ger = [this](int m, int n, int incx, int incy, int lda) {
    return [=, this] { DGER(m, n, 1.0, x.data(), incx, y.data(), incy, a.data(), lda); };
  };
  run({
      {"M < 0", ger(-1, 2, 1, 1, 2),
       "\n"
       " *** TERMINAL ERROR 1 from DGER.  M must be greater than or equal to zero\n"
       " ***          while -1 is given.\n"},
      {"N < 0", ger(2, -7, 1, 1, 2),
       "\n"
       " *** TERMINAL ERROR 2 from DGER.  N must be greater than or equal to zero\n"
       " ***          while -7 is given.\n"},
      {"LDA = 0", ger(0, 2, 1, 1, 0),
       "\n"
       " *** TERMINAL ERROR 3 from DGER.  LDA must be greater than or equal to M and\n"
       " ***          greater than zero while LDA = 0 and M = 0 are given.\n"},
      {"LDA < M", ger(3, 2, 1, 1, 2),
       "\n"
       " *** TERMINAL ERROR 3 from DGER.  LDA must be greater than or equal to M and\n"
       " ***          greater than zero while LDA = 2 and M = 3 are given.\n"},
      {"INCX = 0", ger(2, 2, 0, 1, 2),
       "\n"
       " *** TERMINAL ERROR 4 from DGER.  INCX must not be equal to zero while 0 is\n"
       " ***          given.\n"},
      {"INCY = 0", ger(2, 2, 1, 0, 2),
       "\n"
       " *** TERMINAL ERROR 5 from DGER.  INCY must not be equal to zero while 0 is\n"
       " ***          given.\n"},
      {"N before LDA", ger(2, -1, 0, 0, 0),
       "\n"
       " *** TERMINAL ERROR 2 from DGER.  N must be greater than or equal to zero\n"
       " ***          while -1 is given.\n"},
  });
}

}  // namespace
}  // namespace numlib
