// The blocked factorisation that DLQRRR uses for large matrices against the unblocked column
// steps of dL2RRR: same conventions, same outputs to rounding, independent of the thread count
// and of the instruction set of the matrix products.

#include "numlib/qr_blocked.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "numlib/error_stack.h"
#include "numlib/gemm_kernels.h"
#include "numlib/progress.h"
#include "numlib/qr.h"
#include "numlib/threads.h"
#include "tests/numlib/random_matrix.h"
#include "tests/numlib/unit_capture.h"

namespace numlib {
namespace {

using Vec = std::vector<double>;
constexpr double kEps = std::numeric_limits<double>::epsilon();

using test_matrices::random_matrix;

double max_abs(const Vec& a) {
  double s = 0.0;
  for (double v : a) s = std::max(s, std::fabs(v));
  return s;
}

double norm2(const double* x, long n) {
  double s = 0.0;
  for (long i = 0; i < n; ++i) s += x[i] * x[i];
  return std::sqrt(s);
}

struct Factored {
  Vec qr, hh, colnrm;
};

// The unblocked reference: dL2RRR with its workspace.
Factored unblocked(const Vec& a, int m, int n) {
  Factored f{a, Vec(n), Vec(n)};
  std::vector<int> korder(n);
  Vec wk(std::max(1, n - 1));
  dL2RRR(m, n, f.qr.data(), m, false, korder.data(), f.qr.data(), m, f.hh.data(), f.colnrm.data(),
         wk.data());
  return f;
}

// DLQRRR in place, as the fits call it.
Factored through_dlqrrr(const Vec& a, int m, int n) {
  Factored f{a, Vec(n), Vec(n)};
  std::vector<int> korder(n);
  DLQRRR(m, n, f.qr.data(), m, false, korder.data(), f.qr.data(), m, f.hh.data(), f.colnrm.data());
  return f;
}

// The blocked routine called directly (any shape with m >= n).
Factored blocked(const Vec& a, int m, int n) {
  Factored f{Vec(a.size(), -1.0), Vec(n), Vec(n)};
  Vec wk(std::max(1, n - 1));
  EXPECT_TRUE(detail::qr_blocked(m, n, a.data(), m, f.qr.data(), m, f.hh.data(), f.colnrm.data(),
                                 wk.data()));
  return f;
}

struct Solved {
  Vec coef, resid;
};

Solved solve(Factored& f, int m, int n, const Vec& y) {
  Solved s{Vec(n), Vec(m)};
  Vec scratch(m);
  DLQRSL(m, n, f.qr.data(), m, f.hh.data(), y.data(), 110, scratch.data(), scratch.data(),
         s.coef.data(), s.resid.data(), scratch.data());
  return s;
}

// ||A - Q R||_F / (m ||A||_F eps), Q R rebuilt column by column with the solver's Q * y.
double scaled_residual(const Vec& a, Factored& f, int m, int n) {
  double diff = 0.0;
  Vec r(m), qr_col(m);
  for (int j = 0; j < n; ++j) {
    std::fill(r.begin(), r.end(), 0.0);
    for (int i = 0; i <= j; ++i) r[i] = f.qr[static_cast<long>(j) * m + i];
    DLQRSL(m, n, f.qr.data(), m, f.hh.data(), r.data(), 10000, qr_col.data(), nullptr, nullptr,
           nullptr, nullptr);
    for (int i = 0; i < m; ++i) {
      const double d = qr_col[i] - a[static_cast<long>(j) * m + i];
      diff += d * d;
    }
  }
  return std::sqrt(diff) / (m * norm2(a.data(), static_cast<long>(a.size())) * kEps);
}

// Problems: a random matrix with its columns scaled over `decades` powers of ten, and a
// right-hand side; kappa is a generous bound of the condition number.
struct Problem {
  std::string name;
  int m, n, nb;
  double decades;   // column scaling
  double near_dep;  // > 0: the last column repeats the first up to this relative perturbation
  double kappa;
};

Vec make_matrix(const Problem& p) {
  Vec a = random_matrix(p.m, p.n, 7u + p.m * 13u + p.n);
  for (int j = 0; j < p.n; ++j) {
    const double s = std::pow(10.0, -p.decades * j / std::max(1, p.n - 1));
    for (int i = 0; i < p.m; ++i) a[static_cast<long>(j) * p.m + i] *= s;
  }
  if (p.near_dep > 0.0) {
    const Vec noise = random_matrix(p.m, 1, 99u);
    const long last = static_cast<long>(p.n - 1) * p.m;
    for (int i = 0; i < p.m; ++i) a[last + i] = a[i] * (1.0 + p.near_dep * noise[i]);
  }
  return a;
}

class BlockedMatchesUnblocked : public ::testing::TestWithParam<Problem> {
 protected:
  void SetUp() override { saved_nb_ = detail::qr_block_size(); }
  void TearDown() override {
    detail::set_qr_block_size(saved_nb_);
    detail::set_kernel_isa(detail::KernelIsa::avx2);
  }
  int saved_nb_ = 0;
};

TEST_P(BlockedMatchesUnblocked, FactorsAndSolutionsAgreeToRounding) {
  const Problem& p = GetParam();
  detail::set_qr_block_size(p.nb);
  const Vec a = make_matrix(p);
  const Vec y = random_matrix(p.m, 1, 5u);
  Factored ref = unblocked(a, p.m, p.n);
  const Solved sref = solve(ref, p.m, p.n, y);

  for (const auto isa : {detail::KernelIsa::avx2, detail::KernelIsa::portable}) {
    detail::set_kernel_isa(isa);
    SCOPED_TRACE(isa == detail::KernelIsa::avx2 ? "avx2" : "portable");
    Factored f = blocked(a, p.m, p.n);

    // The column norms are taken exactly as dL2RRR takes them.
    EXPECT_EQ(f.colnrm, ref.colnrm);

    // Backward error of the factorisation.
    EXPECT_LT(scaled_residual(a, f, p.m, p.n), 10.0);

    // R and the Householder vectors, column by column, relative to the column's norm.
    for (int j = 0; j < p.n; ++j) {
      const long c = static_cast<long>(j) * p.m;
      const double scale = ref.colnrm[j];
      for (int i = 0; i <= j; ++i)
        ASSERT_NEAR(f.qr[c + i], ref.qr[c + i], 20 * p.kappa * kEps * scale) << i << ',' << j;
      double worst = 0.0;
      for (int i = j + 1; i < p.m; ++i)
        worst = std::max(worst, std::fabs(f.qr[c + i] - ref.qr[c + i]));
      ASSERT_LE(worst, 20 * p.kappa * kEps) << "vector " << j;
      ASSERT_NEAR(f.hh[j], ref.hh[j], 20 * p.kappa * kEps) << j;
    }

    // Least-squares coefficients and residuals.
    const Solved s = solve(f, p.m, p.n, y);
    for (int j = 0; j < p.n; ++j)
      EXPECT_NEAR(s.coef[j], sref.coef[j], 100 * p.kappa * kEps * max_abs(sref.coef)) << j;
    for (int i = 0; i < p.m; ++i)
      ASSERT_NEAR(s.resid[i], sref.resid[i], 100 * p.kappa * kEps * norm2(y.data(), p.m)) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, BlockedMatchesUnblocked,
    ::testing::Values(
        // Several panels with a ragged last one (32 + 32 + 11), and leaves of the recursion.
        Problem{"SeveralPanelsRaggedLast", 3000, 75, 32, 0.0, 0.0, 1e2},
        Problem{"NarrowPanels", 2001, 61, 8, 0.0, 0.0, 1e2},
        Problem{"WidePanel", 1500, 130, 96, 0.0, 0.0, 1e2},
        // Rows not a multiple of any vector or chunk length, and more than one row chunk.
        Problem{"SeveralRowChunks", 20011, 40, 16, 0.0, 0.0, 1e2},
        Problem{"GradedColumns", 2500, 50, 16, 8.0, 0.0, 1e9},
        Problem{"NearlyDependentColumns", 2500, 45, 16, 0.0, 1e-7, 1e8},
        // Tiny and square cases: one column, a leaf only, a square matrix.
        Problem{"OneColumn", 10, 1, 32, 0.0, 0.0, 1e1}, Problem{"OneLeaf", 9, 4, 32, 0.0, 0.0, 1e2},
        Problem{"Square", 37, 37, 16, 0.0, 0.0, 1e4}),
    [](const auto& test) { return test.param.name; });

TEST(QrBlocked, LeafOnlyMatricesEqualTheColumnStepsBitForBit) {
  for (int n = 1; n <= 4; ++n) {
    const Vec a = random_matrix(50, n, 3u + n);
    const Factored ref = unblocked(a, 50, n);
    const Factored f = blocked(a, 50, n);
    EXPECT_EQ(f.qr, ref.qr) << n;
    EXPECT_EQ(f.hh, ref.hh) << n;
  }
}

TEST(QrBlocked, ThreadCountChangesNoDigit) {
  const int m = 30011, n = 70;
  const Vec a = make_matrix(Problem{"", m, n, 32, 3.0, 0.0, 1e4});
  const int saved = thread_count();
  set_thread_count(1);
  const Factored one = through_dlqrrr(a, m, n);
  set_thread_count(2);
  const Factored two = through_dlqrrr(a, m, n);
  set_thread_count(saved);
  EXPECT_EQ(one.qr, two.qr);
  EXPECT_EQ(one.hh, two.hh);
  EXPECT_EQ(one.colnrm, two.colnrm);
}

TEST(QrBlocked, AStopRequestEndsTheFactorisationOnEveryThreadCount) {
  const int m = 30011, n = 200;
  const Vec a = random_matrix(m, n, 7u);
  const int saved = thread_count();
  for (const int threads : {1, 2}) {
    for (const int checks : {1, 5, 40}) {  // stop checks answered "go on" before the stop
      SCOPED_TRACE(std::to_string(threads) + " threads, stop at check " + std::to_string(checks));
      set_thread_count(threads);
      std::atomic<int> asked{0};
      std::vector<std::int64_t> done;
      std::int64_t total = 0;
      set_work_hooks(
          [&](std::int64_t d, std::int64_t t) {
            done.push_back(d);
            total = t;
          },
          [&] { return ++asked > checks; });
      EXPECT_THROW(blocked(a, m, n), WorkStopped);
      set_work_hooks(nullptr, nullptr);
      EXPECT_TRUE(std::is_sorted(done.begin(), done.end()));
      EXPECT_TRUE(done.empty() || done.back() < total);
    }
  }
  // The threads are free again: a factorisation after the stop is as before.
  set_thread_count(2);
  std::vector<std::int64_t> done;
  set_work_hooks([&](std::int64_t d, std::int64_t t) { done.push_back(t - d); }, nullptr);
  const Factored after = blocked(a, m, n);
  set_work_hooks(nullptr, nullptr);
  set_thread_count(saved);
  EXPECT_EQ(after.qr, blocked(a, m, n).qr);
  ASSERT_FALSE(done.empty());
  EXPECT_EQ(done.back(), 0);
}

TEST(QrBlocked, ThreadCountIsClampedToTheMachine) {
  const int saved = thread_count();
  set_thread_count(0);
  EXPECT_EQ(thread_count(), 1);
  set_thread_count(1 << 20);
  EXPECT_GE(thread_count(), 1);
  EXPECT_LE(thread_count(), 1024);
  set_thread_count(saved);
}

// Zero columns (as in a fit of an all-zero series) and a column below the safe minimum: no
// transformation, an exactly zero diagonal element, and the solver's singular-matrix message
// with the largest such index, as with the unblocked steps.
class QrBlockedErrors : public CapturedOutput {
 protected:
  // The output of DLQRSL asked for the coefficients, and whether it stopped the program.
  std::string solve_output(Factored& g, int m, int n) {
    reset_error_stack();
    out.clear();
    const Vec y = random_matrix(m, 1, 2u);
    Vec coef(n), resid(m), scratch(m);
    const int status = stop_status([&] {
      DLQRSL(m, n, g.qr.data(), m, g.hh.data(), y.data(), 110, scratch.data(), scratch.data(),
             coef.data(), resid.data(), scratch.data());
    });
    EXPECT_NE(status, -1);
    return out;
  }
};

TEST_F(QrBlockedErrors, ZeroColumnsGiveAnExactlyZeroDiagonalAndTheSingularMessage) {
  const int m = 4000, n = 60;
  Vec a = random_matrix(m, n, 11u);
  for (int i = 0; i < m; ++i) {
    a[5L * m + i] = 0.0;
    a[37L * m + i] = 0.0;
    a[50L * m + i] = 1e-310;  // norm below the safe minimum
  }
  ASSERT_TRUE(detail::qr_blocked_applies(m, n, m, m, false));
  Factored ref = unblocked(a, m, n);
  Factored f = through_dlqrrr(a, m, n);
  for (int k : {5, 37, 50}) {
    EXPECT_EQ(f.hh[k], 0.0) << k;
    EXPECT_EQ(ref.hh[k], 0.0) << k;
  }
  EXPECT_EQ(f.qr[5L * m + 5], 0.0);
  EXPECT_EQ(f.qr[37L * m + 37], 0.0);

  const std::string expected = solve_output(ref, m, n);
  EXPECT_NE(expected.find("index of the first zero diagonal element of R is"), std::string::npos);
  EXPECT_NE(expected.find(" 38."), std::string::npos) << expected;  // 1-based index of column 37
  EXPECT_EQ(solve_output(f, m, n), expected);
}

}  // namespace
}  // namespace numlib
