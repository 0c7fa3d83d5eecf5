#include "numlib/qr.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <string_view>
#include <tuple>
#include <vector>

#include "tests/numlib/random_matrix.h"
#include "tests/numlib/unit_capture.h"

namespace numlib {
namespace {

using Vec = std::vector<double>;
constexpr double kEps = std::numeric_limits<double>::epsilon();
constexpr double kSentinel = -12345.5;

using test_matrices::random_matrix;

double frobenius(const Vec& a) {
  double s = 0.0;
  for (double v : a) s += v * v;
  return std::sqrt(s);
}

struct Factored {
  int m, n;
  Vec qr, hh, colnrm;
  std::vector<int> korder;
};

Factored factor(const Vec& a, int m, int n, bool pivot, std::vector<int> korder = {},
                bool in_place = false) {
  Factored f{m,
             n,
             in_place ? a : Vec(a.size(), kSentinel),
             Vec(n, kSentinel),
             Vec(n, kSentinel),
             korder.empty() ? std::vector<int>(n, 0) : korder};
  DLQRRR(m, n, in_place ? f.qr.data() : a.data(), m, pivot, f.korder.data(), f.qr.data(), m,
         f.hh.data(), f.colnrm.data());
  return f;
}

// Q (m by m), column i being Q * e_i from the solver.
Vec build_q(Factored& f) {
  const int m = f.m;
  Vec q(static_cast<std::size_t>(m) * m);
  for (int i = 0; i < m; ++i) {
    Vec e(m, 0.0);
    e[i] = 1.0;
    DLQRSL(m, std::min(f.n, m), f.qr.data(), m, f.hh.data(), e.data(), 10000, &q[i * m], nullptr,
           nullptr, nullptr, nullptr);
  }
  return q;
}

// Q * R, R being the upper trapezoid of QR.
Vec rebuild(Factored& f) {
  const Vec q = build_q(f);
  const int m = f.m, n = f.n;
  Vec a(static_cast<std::size_t>(m) * n, 0.0);
  for (int j = 0; j < n; ++j)
    for (int k = 0; k <= std::min(j, m - 1); ++k)
      for (int i = 0; i < m; ++i) a[j * m + i] += q[k * m + i] * f.qr[j * m + k];
  return a;
}

Vec permuted(const Vec& a, int m, const std::vector<int>& korder) {
  Vec p;
  for (int k : korder) p.insert(p.end(), a.begin() + (k - 1) * m, a.begin() + k * m);
  return p;
}

using Shape = std::tuple<int, int, bool, bool>;  // m, n, pivoting, in place

class ScaledResidual : public ::testing::TestWithParam<Shape> {};

TEST_P(ScaledResidual, QTimesRGivesBackTheMatrix) {
  const auto [m, n, pivot, in_place] = GetParam();
  const Vec a = random_matrix(m, n, 17u + m * 31u + n);
  Factored f = factor(a, m, n, pivot, {}, in_place);
  const Vec ap = pivot ? permuted(a, m, f.korder) : a;

  Vec diff = rebuild(f);
  for (std::size_t k = 0; k < diff.size(); ++k) diff[k] -= ap[k];
  EXPECT_LT(frobenius(diff) / (m * frobenius(a) * kEps), 10.0);

  // Q is orthogonal.
  const Vec q = build_q(f);
  double worst = 0.0;
  for (int i = 0; i < m; ++i)
    for (int j = 0; j < m; ++j) {
      double s = 0.0;
      for (int k = 0; k < m; ++k) s += q[i * m + k] * q[j * m + k];
      worst = std::max(worst, std::fabs(s - (i == j ? 1.0 : 0.0)));
    }
  EXPECT_LT(worst / (m * kEps), 10.0);

  // COLNRM holds the norms of the input columns, taken before the pivoting exchanges.
  for (int j = 0; j < n; ++j) {
    const Vec col(a.begin() + j * m, a.begin() + (j + 1) * m);
    EXPECT_NEAR(f.colnrm[j], frobenius(col), 1e-14) << j;
  }
  if (pivot) {
    // Each pivot is at least as large as what is left of every later column.
    for (int l = 0; l < std::min(m, n); ++l)
      for (int j = l + 1; j < n; ++j) {
        double rest = 0.0;
        for (int i = l; i <= std::min(j, m - 1); ++i) rest += f.qr[j * m + i] * f.qr[j * m + i];
        EXPECT_GE(std::fabs(f.qr[l * m + l]) * (1 + 1e-12), std::sqrt(rest)) << l << ' ' << j;
      }
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, ScaledResidual,
                         ::testing::Values(Shape{1, 1, false, false}, Shape{5, 3, false, false},
                                           Shape{7, 7, false, false}, Shape{20, 6, false, true},
                                           Shape{3, 5, false, false}, Shape{40, 12, false, true},
                                           Shape{8, 6, true, false}, Shape{6, 6, true, true},
                                           Shape{4, 7, true, false}, Shape{30, 10, true, false}));

TEST(DLQRRR, NearlyParallelColumnsGetTheirNormsRecomputed) {
  // Column 2 = 2 * column 1 + 1e-9 * e2: after the first step about 4e-10 is left of column 1,
  // which a downdated norm (1 - nearly 1) cannot resolve; column 3 is far smaller still, so
  // column 1 must be the second pivot.
  const int m = 5, n = 3;
  const Vec a = {1, 1, 1, 1, 1, 2, 2 + 1e-9, 2, 2, 2, 5e-12, -2.5e-12, 1.25e-12, 0, 0};
  Factored f = factor(a, m, n, true);
  EXPECT_EQ(f.korder, (std::vector<int>{2, 1, 3}));
  const double r22 = std::fabs(f.qr[1 * m + 1]);
  EXPECT_GT(r22, 1e-10);
  EXPECT_LT(r22, 1e-9);
}

TEST(DLQRRR, InitialAndFinalColumnsStayInPlace) {
  // Orthogonal columns with norms 1, 5, 3, 4, 2; column 4 initial, column 2 final; the free
  // columns 1, 3, 5 follow by decreasing norm.
  const int m = 6, n = 5;
  Vec a(m * n, 0.0);
  const double norms[] = {1, 5, 3, 4, 2};
  for (int j = 0; j < n; ++j) a[j * m + j] = norms[j];
  Factored f = factor(a, m, n, true, {0, -7, 0, 3, 0});
  EXPECT_EQ(f.korder, (std::vector<int>{4, 3, 5, 1, 2}));
  // COLNRM follows the order after the initial and final columns were moved, before pivoting.
  EXPECT_EQ(f.colnrm, (Vec{4, 2, 3, 1, 5}));
  const double diagonal[] = {4, 3, 2, 1, 5};
  for (int j = 0; j < n; ++j) EXPECT_DOUBLE_EQ(std::fabs(f.qr[j * m + j]), diagonal[j]) << j;

  Vec diff = rebuild(f);
  const Vec ap = permuted(a, m, f.korder);
  for (std::size_t k = 0; k < diff.size(); ++k) diff[k] -= ap[k];
  EXPECT_LT(frobenius(diff), 10 * m * kEps * frobenius(a));
}

TEST(DLQRRR, SeveralInitialAndFinalColumnsKeepTheirRelativeOrder) {
  const int m = 8, n = 6;
  const Vec a = random_matrix(m, n, 99u);
  Factored f = factor(a, m, n, true, {-1, 2, 0, 5, -3, 0});
  // Initial columns 2, 4 first, in order; final columns 1, 5 last, in order.
  EXPECT_EQ(f.korder[0], 2);
  EXPECT_EQ(f.korder[1], 4);
  EXPECT_EQ(f.korder[4], 1);
  EXPECT_EQ(f.korder[5], 5);
  std::vector<int> free_cols = {f.korder[2], f.korder[3]};
  std::sort(free_cols.begin(), free_cols.end());
  EXPECT_EQ(free_cols, (std::vector<int>{3, 6}));
  Vec diff = rebuild(f);
  const Vec ap = permuted(a, m, f.korder);
  for (std::size_t k = 0; k < diff.size(); ++k) diff[k] -= ap[k];
  EXPECT_LT(frobenius(diff), 10 * m * kEps * frobenius(a));
}

TEST(DLQRRR, WithoutPivotingKorderIsNotTouched) {
  const Vec a = random_matrix(4, 3, 5u);
  Factored f = factor(a, 4, 3, false, {7, -8, 9});
  EXPECT_EQ(f.korder, (std::vector<int>{7, -8, 9}));
}

TEST(DLQRRR, MoreColumnsThanRowsLeavesTheLastStepEmpty) {
  const Vec a = random_matrix(3, 5, 11u);
  Factored f = factor(a, 3, 5, false);
  EXPECT_EQ(f.hh[2], 0.0);
  EXPECT_NE(f.hh[0], 0.0);
  EXPECT_NE(f.hh[1], 0.0);
}

TEST(DLQRRR, ZeroColumnGetsNoTransformation) {
  Vec a = random_matrix(5, 3, 3u);
  std::fill(a.begin() + 5, a.begin() + 10, 0.0);
  Factored f = factor(a, 5, 3, false);
  EXPECT_EQ(f.hh[1], 0.0);
  EXPECT_EQ(f.qr[1 * 5 + 1], 0.0);
  EXPECT_EQ(f.colnrm[1], 0.0);
}

TEST(DLQRRR, SingleRow) {
  const Vec a = {-4.0, 2.0, 0.0};
  Factored f = factor(a, 1, 3, false);
  EXPECT_EQ(f.qr, a);
  EXPECT_EQ(f.hh[0], 0.0);
  EXPECT_EQ(f.colnrm, (Vec{4.0, 2.0, 0.0}));
}

// y = 2 + 3 t + r with r orthogonal to both columns of the straight-line design matrix.
struct LineFit : ::testing::Test {
  const int m = 4, n = 2;
  const Vec a = {1, 1, 1, 1, 1, 2, 3, 4};
  const Vec r = {1, -1, -1, 1};
  Vec y, fitted;
  void SetUp() override {
    for (int i = 0; i < m; ++i) {
      fitted.push_back(2.0 + 3.0 * (i + 1));
      y.push_back(fitted.back() + r[i]);
    }
  }
};

TEST_F(LineFit, AllOutputsAgainstKnownAnswers) {
  Factored f = factor(a, m, n, false);
  Vec qy(m), qty(m), coef(n), resid(m), ax(m);
  const Vec qr_before = f.qr;
  DLQRSL(m, n, f.qr.data(), m, f.hh.data(), y.data(), 11111, qy.data(), qty.data(), coef.data(),
         resid.data(), ax.data());
  EXPECT_NEAR(coef[0], 2.0, 1e-13);
  EXPECT_NEAR(coef[1], 3.0, 1e-13);
  for (int i = 0; i < m; ++i) {
    EXPECT_NEAR(resid[i], r[i], 1e-13) << i;
    EXPECT_NEAR(ax[i], fitted[i], 1e-13) << i;
  }
  // Q^T y: its tail has the residual's norm (2) and Q (Q^T y) = y.
  EXPECT_NEAR(std::hypot(qty[2], qty[3]), 2.0, 1e-13);
  Vec back(m);
  DLQRSL(m, n, f.qr.data(), m, f.hh.data(), qty.data(), 10000, back.data(), nullptr, nullptr,
         nullptr, nullptr);
  for (int i = 0; i < m; ++i) EXPECT_NEAR(back[i], y[i], 1e-13);
  // Q y differs from Q^T y in general, and both keep the norm of y.
  EXPECT_NEAR(frobenius(qy), frobenius(y), 1e-12);
  EXPECT_EQ(f.qr, qr_before);  // the diagonal is restored
}

TEST_F(LineFit, InPlaceFactorisationAsTheFitsCallIt) {
  Vec qr = a, hh(n), colnrm(n), scratch(m), coef(n), resid(m);
  std::vector<int> korder(n);
  DLQRRR(m, n, qr.data(), m, false, korder.data(), qr.data(), m, hh.data(), colnrm.data());
  DLQRSL(m, n, qr.data(), m, hh.data(), y.data(), 110, scratch.data(), scratch.data(), coef.data(),
         resid.data(), scratch.data());
  EXPECT_NEAR(coef[0], 2.0, 1e-13);
  EXPECT_NEAR(coef[1], 3.0, 1e-13);
  for (int i = 0; i < m; ++i) EXPECT_NEAR(resid[i], r[i], 1e-13);
}

TEST(DLQRSL, OverdeterminedSystemWithExactSolution) {
  const int m = 9, n = 4;
  const Vec a = random_matrix(m, n, 2024u);
  const Vec b = {1.5, -2.0, 0.25, 4.0};
  Vec y(m, 0.0);
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < m; ++i) y[i] += a[j * m + i] * b[j];
  Factored f = factor(a, m, n, false);
  Vec qty(m), coef(n, kSentinel), resid(m, kSentinel), ax(m, kSentinel);
  DLQRSL(m, n, f.qr.data(), m, f.hh.data(), y.data(), 111, nullptr, qty.data(), coef.data(),
         resid.data(), ax.data());
  for (int j = 0; j < n; ++j) EXPECT_NEAR(coef[j], b[j], 1e-13) << j;
  for (int i = 0; i < m; ++i) {
    EXPECT_NEAR(resid[i], 0.0, 1e-14) << i;
    EXPECT_NEAR(ax[i], y[i], 1e-13) << i;
  }
  for (int i = n; i < m; ++i) EXPECT_NEAR(qty[i], 0.0, 1e-14) << i;
}

TEST(DLQRSL, SingleRow) {
  Vec qr = {4.0}, hh = {0.0}, y = {2.0};
  Vec qy(1), qty(1), coef(1), resid(1, kSentinel), ax(1);
  DLQRSL(1, 1, qr.data(), 1, hh.data(), y.data(), 11111, qy.data(), qty.data(), coef.data(),
         resid.data(), ax.data());
  EXPECT_EQ(qy[0], 2.0);
  EXPECT_EQ(qty[0], 2.0);
  EXPECT_EQ(coef[0], 0.5);
  EXPECT_EQ(resid[0], 0.0);
  EXPECT_EQ(ax[0], 2.0);
}

// Which outputs each IPATH writes: Q*y, Q^T*y, coefficients, residual, fitted values.
struct PathCase {
  int ipath;
  bool qy, qty, coef, resid, ax;
};

TEST(DLQRSL, OnlySelectedOutputsAreWritten) {
  const int m = 6, n = 3;
  const Vec a = random_matrix(m, n, 7u), y = random_matrix(m, 1, 8u);
  Factored f = factor(a, m, n, false);
  Vec all_qy(m), all_qty(m), all_coef(n), all_resid(m), all_ax(m);
  DLQRSL(m, n, f.qr.data(), m, f.hh.data(), y.data(), 11111, all_qy.data(), all_qty.data(),
         all_coef.data(), all_resid.data(), all_ax.data());

  const PathCase cases[] = {
      {1, false, true, false, false, true},      {10, false, true, false, true, false},
      {100, false, true, true, false, false},    {1000, false, true, false, false, false},
      {10000, true, false, false, false, false}, {110, false, true, true, true, false},
      {10001, true, true, false, false, true},   {99999, true, true, true, true, true},
      {20300, true, true, true, false, false},
  };
  for (const auto& c : cases) {
    Vec qy(m, kSentinel), qty(m, kSentinel), coef(n, kSentinel), resid(m, kSentinel),
        ax(m, kSentinel);
    DLQRSL(m, n, f.qr.data(), m, f.hh.data(), y.data(), c.ipath, qy.data(), qty.data(), coef.data(),
           resid.data(), ax.data());
    const auto check = [&](const Vec& got, const Vec& expected, bool selected, const char* what) {
      if (selected) {
        EXPECT_EQ(got, expected) << "IPATH " << c.ipath << ' ' << what;
      } else {
        EXPECT_EQ(got, Vec(got.size(), kSentinel)) << "IPATH " << c.ipath << ' ' << what;
      }
    };
    check(qy, all_qy, c.qy, "Q*y");
    check(qty, all_qty, c.qty, "Q^T*y");
    check(coef, all_coef, c.coef, "coefficients");
    check(resid, all_resid, c.resid, "residual");
    check(ax, all_ax, c.ax, "fitted values");
  }
}

// One argument check: the call, and the exact block it prints before the program stops.
struct ErrorCase {
  const char* name;
  std::function<void()> call;
  const char* expected;
};

class QrErrors : public CapturedOutput {
 protected:
  void run(const std::vector<ErrorCase>& cases) {
    for (const auto& c : cases) {
      reset_error_stack();
      out.clear();
      EXPECT_EQ(stop_status(c.call), 1) << c.name;
      EXPECT_EQ(out, c.expected) << c.name;
    }
  }
  Vec a = Vec(12, 1.0), qr = Vec(12, 0.0), hh = Vec(4), colnrm = Vec(4), wk = Vec(8);
  Vec y = Vec(3, 1.0), v1 = Vec(3, kSentinel), v2 = v1, v3 = v1, v4 = v1, v5 = v1;
  std::vector<int> korder = std::vector<int>(4, 0);
};

TEST_F(QrErrors, ArgumentChecksOfTheFactorisation) {
  auto dlqrrr = [this](int nra, int nca, int lda, int ldqr) {
    return [=, this] {
      DLQRRR(nra, nca, a.data(), lda, false, korder.data(), qr.data(), ldqr, hh.data(),
             colnrm.data());
    };
  };
  auto dl2rrr = [this](int nra, int nca, int lda, int ldqr) {
    return [=, this] {
      dL2RRR(nra, nca, a.data(), lda, false, korder.data(), qr.data(), ldqr, hh.data(),
             colnrm.data(), wk.data());
    };
  };
  run({
      {"DLQRRR NCA = 0", dlqrrr(3, 0, 3, 3),
       "\n"
       " *** TERMINAL ERROR 1 from DLQRRR.  The number of columns of the input matrix\n"
       " ***          must be positive while NCA = 0 is given.\n"},
      {"DLQRRR NCA = -2", dlqrrr(3, -2, 3, 3),
       "\n"
       " *** TERMINAL ERROR 1 from DLQRRR.  The number of columns of the input matrix\n"
       " ***          must be positive while NCA = -2 is given.\n"},
      {"DLQRRR NRA = 0", dlqrrr(0, 5, 3, 3),
       "\n"
       " *** TERMINAL ERROR 1 from DL2RRR.  Both the number of rows and the number of\n"
       " ***          columns of the input matrix must be positive while NRA = 0 and \n"
       " ***          NCA = 5 are given.\n"
       "     Here is a traceback of subprogram calls in reverse order:\n"
       "     Routine name                    Error type  Error code\n"
       "     ------------                    ----------  ----------\n"
       "     DL2RRR                               5           1    (Called internally)\n"
       "     DLQRRR                               0           0\n"
       "     USER                                 0           0\n"},
      {"DLQRRR LDA < NRA", dlqrrr(3, 4, 2, 3),
       "\n"
       " *** TERMINAL ERROR 2 from DL2RRR.  The number of rows of A must be less than\n"
       " ***          or equal to its leading dimension while NRA = 3 and LDA = 2 are \n"
       " ***          given.\n"
       "     Here is a traceback of subprogram calls in reverse order:\n"
       "     Routine name                    Error type  Error code\n"
       "     ------------                    ----------  ----------\n"
       "     DL2RRR                               5           2    (Called internally)\n"
       "     DLQRRR                               0           0\n"
       "     USER                                 0           0\n"},
      {"DLQRRR LDQR < NRA", dlqrrr(3, 4, 3, 1),
       "\n"
       " *** TERMINAL ERROR 3 from DL2RRR.  The number of rows of QR must be less\n"
       " ***          than or equal to its leading dimension while NRA = 3 and LDQR = \n"
       " ***          1 are given.\n"
       "     Here is a traceback of subprogram calls in reverse order:\n"
       "     Routine name                    Error type  Error code\n"
       "     ------------                    ----------  ----------\n"
       "     DL2RRR                               5           3    (Called internally)\n"
       "     DLQRRR                               0           0\n"
       "     USER                                 0           0\n"},
      {"dL2RRR NCA = 0", dl2rrr(3, 0, 3, 3),
       "\n"
       " *** TERMINAL ERROR 1 from DL2RRR.  Both the number of rows and the number of\n"
       " ***          columns of the input matrix must be positive while NRA = 3 and \n"
       " ***          NCA = 0 are given.\n"},
      {"dL2RRR NRA = 0 before LDA", dl2rrr(0, 2, -1, -1),
       "\n"
       " *** TERMINAL ERROR 1 from DL2RRR.  Both the number of rows and the number of\n"
       " ***          columns of the input matrix must be positive while NRA = 0 and \n"
       " ***          NCA = 2 are given.\n"},
      {"dL2RRR LDA before LDQR", dl2rrr(3, 2, 2, 2),
       "\n"
       " *** TERMINAL ERROR 2 from DL2RRR.  The number of rows of A must be less than\n"
       " ***          or equal to its leading dimension while NRA = 3 and LDA = 2 are \n"
       " ***          given.\n"},
      {"dL2RRR LDQR < NRA", dl2rrr(3, 2, 3, 2),
       "\n"
       " *** TERMINAL ERROR 3 from DL2RRR.  The number of rows of QR must be less\n"
       " ***          than or equal to its leading dimension while NRA = 3 and LDQR = \n"
       " ***          2 are given.\n"},
  });
}

TEST_F(QrErrors, ArgumentChecksOfTheSolver) {
  auto dlqrsl = [this](int nra, int kbasis, int ldqr, int ipath) {
    return [=, this] {
      DLQRSL(nra, kbasis, qr.data(), ldqr, hh.data(), y.data(), ipath, v1.data(), v2.data(),
             v3.data(), v4.data(), v5.data());
    };
  };
  run({
      {"NRA = 0", dlqrsl(0, 1, 3, 110),
       "\n"
       " *** TERMINAL ERROR 1 from DLQRSL.  The number of rows of the input matrix\n"
       " ***          must be positive while NRA = 0 is given.\n"},
      {"NRA before LDQR", dlqrsl(-1, 1, -5, 110),
       "\n"
       " *** TERMINAL ERROR 1 from DLQRSL.  The number of rows of the input matrix\n"
       " ***          must be positive while NRA = -1 is given.\n"},
      {"LDQR < NRA", dlqrsl(3, 2, 2, 110),
       "\n"
       " *** TERMINAL ERROR 2 from DLQRSL.  The number of rows of QR must be less\n"
       " ***          than or equal to its leading dimension while NRA = 3 and LDQR = \n"
       " ***          2 are given.\n"},
      {"KBASIS = 0", dlqrsl(3, 0, 3, 110),
       "\n"
       " *** TERMINAL ERROR 3 from DLQRSL.  The number of columns of the submatrix AK\n"
       " ***          of A must be positive while KBASIS = 0 is given.\n"},
      {"KBASIS > NRA", dlqrsl(3, 4, 3, 110),
       "\n"
       " *** TERMINAL ERROR 5 from DLQRSL.  The number of columns of the submatrix AK\n"
       " ***          of A must not exceed the number of rows while KBASIS = 4 and \n"
       " ***          NRA = 3 are given.\n"},
      {"IPATH = 0", dlqrsl(3, 2, 3, 0),
       "\n"
       " *** TERMINAL ERROR 4 from DLQRSL.  Illegal format for IPATH.  IPATH must be\n"
       " ***          between 1 and 99999 while a value of 0 is given.\n"},
      {"IPATH = 100000", dlqrsl(3, 2, 3, 100000),
       "\n"
       " *** TERMINAL ERROR 4 from DLQRSL.  Illegal format for IPATH.  IPATH must be\n"
       " ***          between 1 and 99999 while a value of 100000 is given.\n"},
      {"KBASIS and IPATH both", dlqrsl(3, 0, 3, -1),
       "\n"
       " *** TERMINAL ERROR 3 from DLQRSL.  The number of columns of the submatrix AK\n"
       " ***          of A must be positive while KBASIS = 0 is given.\n"
       "\n"
       " *** TERMINAL ERROR 4 from DLQRSL.  Illegal format for IPATH.  IPATH must be\n"
       " ***          between 1 and 99999 while a value of -1 is given.\n"},
  });
  // A rejected call computes nothing: no output and no element of QR is written.
  for (const Vec* v : {&v1, &v2, &v3, &v4, &v5}) EXPECT_EQ(*v, Vec(3, kSentinel));
  EXPECT_EQ(qr, Vec(12, 0.0));
}

TEST_F(QrErrors, RejectedFactorisationWritesNothing) {
  const Vec qr_before = Vec(12, kSentinel);
  qr = qr_before;
  hh.assign(4, kSentinel);
  colnrm.assign(4, kSentinel);
  korder = {1, -1, 0, 0};
  EXPECT_EQ(stop_status([&] {
              DLQRRR(3, 4, a.data(), 3, true, korder.data(), qr.data(), 2, hh.data(),
                     colnrm.data());
            }),
            1);
  EXPECT_EQ(qr, qr_before);
  EXPECT_EQ(hh, Vec(4, kSentinel));
  EXPECT_EQ(colnrm, Vec(4, kSentinel));
  EXPECT_EQ(korder, (std::vector<int>{1, -1, 0, 0}));
}

// A zero column k without pivoting leaves R(k, k) = 0; the back substitution meets the last such
// column first. The FATAL error is printed, and the program stops, when DLQRSL returns.
struct SingularCase {
  int m, n;
  std::vector<int> zero_columns;
  int index;
  const char* expected;
};

TEST_F(QrErrors, ZeroColumnMakesRExactlySingular) {
  const char* index2 =
      "\n"
      " *** FATAL    ERROR 1 from DLQRSL.  Computation of the least squares solution\n"
      " ***          has been requested but the upper triangular matrix R is exactly \n"
      " ***          singular; the index of the first zero diagonal element of R is \n"
      " ***          2.\n";
  const char* index3 =
      "\n"
      " *** FATAL    ERROR 1 from DLQRSL.  Computation of the least squares solution\n"
      " ***          has been requested but the upper triangular matrix R is exactly \n"
      " ***          singular; the index of the first zero diagonal element of R is \n"
      " ***          3.\n";
  const char* index1 =
      "\n"
      " *** FATAL    ERROR 1 from DLQRSL.  Computation of the least squares solution\n"
      " ***          has been requested but the upper triangular matrix R is exactly \n"
      " ***          singular; the index of the first zero diagonal element of R is \n"
      " ***          1.\n";
  const SingularCase cases[] = {
      {5, 3, {2}, 2, index2}, {6, 4, {3}, 3, index3}, {6, 4, {1, 3}, 3, index3},
      {5, 3, {1}, 1, index1}, {1, 1, {1}, 1, index1}, {4, 4, {2}, 2, index2},
  };
  for (const auto& c : cases) {
    Vec mat = random_matrix(c.m, c.n, 41u);
    for (int k : c.zero_columns) std::fill(mat.begin() + (k - 1) * c.m, mat.begin() + k * c.m, 0.0);
    reset_error_stack();
    Factored f = factor(mat, c.m, c.n, false);
    for (int k : c.zero_columns) EXPECT_EQ(f.qr[(k - 1) * c.m + (k - 1)], 0.0);
    out.clear();
    Vec yv = random_matrix(c.m, 1, 5u), scratch(c.m), coef(c.n), resid(c.m);
    EXPECT_EQ(stop_status([&] {
                DLQRSL(c.m, c.n, f.qr.data(), c.m, f.hh.data(), yv.data(), 110, scratch.data(),
                       scratch.data(), coef.data(), resid.data(), scratch.data());
              }),
              1)
        << c.m << 'x' << c.n;
    EXPECT_EQ(out, c.expected) << c.m << 'x' << c.n << " index " << c.index;
  }
}

TEST_F(QrErrors, SingularRWithoutCoefficientsIsNoError) {
  Vec mat = random_matrix(5, 3, 41u);
  std::fill(mat.begin() + 5, mat.begin() + 10, 0.0);
  Factored f = factor(mat, 5, 3, false);
  Vec yv = random_matrix(5, 1, 5u), qty(5), resid(5), ax(5);
  EXPECT_EQ(stop_status([&] {
              DLQRSL(5, 3, f.qr.data(), 5, f.hh.data(), yv.data(), 11, nullptr, qty.data(), nullptr,
                     resid.data(), ax.data());
            }),
            -1);
  EXPECT_EQ(out, "");
  // Without coefficients the residual and fitted values still split y.
  for (int i = 0; i < 5; ++i) EXPECT_NEAR(resid[i] + ax[i], yv[i], 1e-14);
}

TEST_F(QrErrors, WorkspaceBeyondPhysicalMemoryIsRefused) {
  const long double bytes = (2.0L * std::numeric_limits<int>::max() - 1) * sizeof(double);
  const long double memory = static_cast<long double>(sysconf(_SC_PHYS_PAGES)) *
                             static_cast<long double>(sysconf(_SC_PAGE_SIZE));
  if (bytes <= memory) GTEST_SKIP() << "this machine could hold the workspace";
  EXPECT_EQ(stop_status([&] {
              DLQRRR(3, std::numeric_limits<int>::max(), a.data(), 3, true, korder.data(),
                     qr.data(), 3, hh.data(), colnrm.data());
            }),
            1);
  EXPECT_EQ(out,
            "\n"
            " *** TERMINAL ERROR 2 from DLQRRR.  The required storage cannot be allocated.\n"
            " ***           The workspace is based on NCA, where NCA = 2147483647 is given.\n");
}

TEST(DLQRRRDeathTest, FailedAllocationReportsTheStorageMessage) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer does not run under an address-space limit";
#endif
  // A workspace of 2.4 GB that the memory check lets through, in a child process limited to
  // 1 GB of address space: the allocation itself fails.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const auto child = [] {
    const rlimit limit{1L << 30, 1L << 30};
    setrlimit(RLIMIT_AS, &limit);
    set_unit_sink(numlib::kStandardOutputUnit,
                  [](std::string_view t) { std::fwrite(t.data(), 1, t.size(), stderr); });
    reset_error_stack();
    Vec a(3), qr(3), hh(1), colnrm(1);
    int korder = 0;
    try {
      DLQRRR(3, 300000001, a.data(), 3, false, &korder, qr.data(), 3, hh.data(), colnrm.data());
    } catch (const ProgramStop&) {
      std::fflush(stderr);
      std::_Exit(3);
    }
    std::_Exit(4);
  };
  EXPECT_EXIT(
      child(), ::testing::ExitedWithCode(3),
      "TERMINAL ERROR 2 from DLQRRR\\.  The required storage cannot be allocated\\.\n"
      " \\*\\*\\*           The workspace is based on NCA, where NCA = 300000001 is given\\.");
}

}  // namespace
}  // namespace numlib
