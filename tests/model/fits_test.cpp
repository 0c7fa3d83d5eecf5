#include "model/fits.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "model/basis.h"
#include "model/model_map.h"
#include "numlib/error_stack.h"
#include "numlib/stop.h"
#include "numlib/units.h"

namespace model {
namespace {

// Captures unit 6 for one test and leaves the error stack as it was before its first use.
class FitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    numlib::reset_error_stack();
    numlib::set_unit_sink(numlib::kStandardOutputUnit,
                          [this](std::string_view text) { out_ += text; });
  }
  void TearDown() override {
    numlib::set_unit_sink(numlib::kStandardOutputUnit, {});
    numlib::reset_error_stack();
  }
  std::string out_;
};

struct PolyResult {
  std::vector<double> COEF;
  double ERR = -1.0;
};

PolyResult polyfit(const DelayEmbedding& e, int nu) {
  PolyResult r;
  const int P = static_cast<int>(basis_count(e.D, nu));
  r.COEF.assign(P, -99.0);
  POLYFIT(e.A.data(), e.D, e.D, e.N, e.Y.data(), r.COEF.data(), P, MONOMIALS, nu, r.ERR);
  return r;
}

PolyResult ratfit(const DelayEmbedding& e, int nu, int mu) {
  PolyResult r;
  const int Pnum = static_cast<int>(basis_count(e.D, nu));
  const int Pden = static_cast<int>(basis_count(e.D, mu)) - 1;
  r.COEF.assign(Pnum + Pden, -99.0);
  RATFIT(e.A.data(), e.D, e.D, e.N, e.Y.data(), r.COEF.data(), Pnum, MONOMIALS, nu, Pden, MONOMIALS,
         mu, r.ERR);
  return r;
}

double approxerr(const DelayEmbedding& e, ModelKind kind, const std::vector<double>& coef, int nu,
                 int mu) {
  const int Pnum = static_cast<int>(basis_count(e.D, nu));
  const int Pden = kind == ModelKind::rational ? static_cast<int>(basis_count(e.D, mu)) - 1 : 0;
  double err = -1.0;
  APPROXERR(e.A.data(), e.D, e.D, e.N, e.Y.data(), kind, coef.data(), Pnum + Pden, Pnum, Pden, nu,
            mu, err);
  return err;
}

std::vector<double> recurrence(std::vector<double> x, int n,
                               double (*next)(const std::vector<double>&)) {
  while (static_cast<int>(x.size()) < n) x.push_back(next(x));
  return x;
}

double affine(const std::vector<double>& x) { return 0.5 * x.back() + 1.0; }
double henon(const std::vector<double>& x) {
  return 1.0 - 1.4 * x.back() * x.back() + 0.3 * x[x.size() - 2];
}

// The Henon series observed with Gaussian noise of deviation sd.
std::vector<double> noisy_henon(int n, double sd, unsigned seed) {
  std::vector<double> x = recurrence({0.1, 0.2}, n, henon);
  std::mt19937 gen(seed);
  std::normal_distribution<double> noise(0.0, sd);
  for (double& v : x) v += noise(gen);
  return x;
}

void expect_coefficients(const std::vector<double>& got, const std::vector<double>& want,
                         double tol) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i)
    EXPECT_NEAR(got[i], want[i], tol) << "COEF " << i + 1;
}

TEST_F(FitTest, AffineRecurrenceDimensionOne) {
  const PolyResult r = polyfit(embed(recurrence({-3.0}, 40, affine), 1), 1);
  expect_coefficients(r.COEF, {1.0, 0.5}, 1e-12);
  EXPECT_LT(r.ERR, 1e-10);
}

TEST_F(FitTest, HenonRecurrenceOldestArgumentFirst) {
  const DelayEmbedding e = embed(recurrence({0.1, 0.2}, 500, henon), 2);
  const PolyResult r = polyfit(e, 2);
  expect_coefficients(r.COEF, {1.0, 0.3, 0.0, 0.0, 0.0, -1.4}, 1e-11);
  EXPECT_LT(r.ERR, 1e-12);
  EXPECT_TRUE(out_.empty());
}

TEST_F(FitTest, HigherOrderThanTheRecurrenceFindsZeros) {
  const DelayEmbedding e = embed(recurrence({0.1, 0.2}, 800, henon), 2);
  const PolyResult r = polyfit(e, 3);
  std::vector<double> want(10, 0.0);
  want[0] = 1.0;
  want[1] = 0.3;
  want[5] = -1.4;
  expect_coefficients(r.COEF, want, 1e-9);
  EXPECT_LT(r.ERR, 1e-10);
}

TEST_F(FitTest, OrderZeroGivesTheMeanAndErrorOne) {
  const DelayEmbedding e = embed(std::vector<double>{3, 1, 4, 1, 5, 9, 2, 6}, 2);
  const PolyResult r = polyfit(e, 0);
  ASSERT_EQ(r.COEF.size(), 1u);
  EXPECT_NEAR(r.COEF[0], (4.0 + 1 + 5 + 9 + 2 + 6) / 6.0, 1e-14);
  EXPECT_NEAR(r.ERR, 1.0, 1e-14);
}

TEST_F(FitTest, AsManyCoefficientsAsPointsLeavesNoResidual) {
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> x(12);
  for (double& v : x) v = u(gen);
  const DelayEmbedding e = embed(x, 2);  // N = 10 points, P = C(2+3, 2) = 10
  const PolyResult r = polyfit(e, 3);
  EXPECT_LT(r.ERR, 1e-8);
}

TEST_F(FitTest, NoisyFitMatchesApproxerrAndLeavesOrthogonalResiduals) {
  const DelayEmbedding e = embed(noisy_henon(600, 0.05, 11), 2);
  const PolyResult r = polyfit(e, 2);
  EXPECT_GT(r.ERR, 0.01);
  EXPECT_NEAR(r.ERR, approxerr(e, ModelKind::polynomial, r.COEF, 2, 0), 1e-12);
  // Normal equations: every basis column is orthogonal to the residuals.
  std::vector<double> dot(6, 0.0), row(6);
  for (int j = 0; j < e.N; ++j) {
    MONOMIALS(&e.A[2 * j], 2, 2, row.data(), 6);
    double f = 0.0;
    for (int i = 0; i < 6; ++i) f += r.COEF[i] * row[i];
    for (int i = 0; i < 6; ++i) dot[i] += row[i] * (e.Y[j] - f);
  }
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(dot[i], 0.0, 1e-10) << i;
}

// A rational map of orders (2, 1) in two variables, evaluated at scattered points.
DelayEmbedding rational_data(int N, const std::vector<double>& a, const std::vector<double>& b) {
  std::mt19937 gen(3);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  DelayEmbedding e;
  e.D = 2;
  e.N = N;
  double phi[6], psi[3];
  for (int j = 0; j < N; ++j) {
    const double s[2] = {u(gen), u(gen)};
    e.A.insert(e.A.end(), s, s + 2);
    MONOMIALS(s, 2, 2, phi, 6);
    MONOMIALS(s, 2, 1, psi, 3);
    double num = 0.0;
    for (int i = 0; i < 6; ++i) num += a[i] * phi[i];
    e.Y.push_back(num / (1.0 + b[0] * psi[1] + b[1] * psi[2]));
  }
  return e;
}

TEST_F(FitTest, RationalMapIsReproduced) {
  const std::vector<double> a = {0.5, -1.0, 0.25, 2.0, -0.75, 1.5};
  const std::vector<double> b = {0.3, -0.2};  // Q >= 0.5 on the square
  const DelayEmbedding e = rational_data(300, a, b);
  const PolyResult r = ratfit(e, 2, 1);
  std::vector<double> want = a;
  want.insert(want.end(), b.begin(), b.end());
  expect_coefficients(r.COEF, want, 1e-11);
  EXPECT_LT(r.ERR, 1e-12);
  EXPECT_LT(approxerr(e, ModelKind::rational, r.COEF, 2, 1), 1e-12);
}

TEST_F(FitTest, RationalSeriesIsReproduced) {
  // x(n+1) = (1 - 1.4 x(n)^2 + 0.3 x(n-1)) / (1 + 0.2 x(n-1)^2): orders nu = 2, mu = 2.
  std::vector<double> x = {0.1, 0.2};
  while (x.size() < 400) {
    const double s1 = x[x.size() - 2], s2 = x.back();
    x.push_back((1.0 - 1.4 * s2 * s2 + 0.3 * s1) / (1.0 + 0.2 * s1 * s1));
  }
  const DelayEmbedding e = embed(x, 2);
  const PolyResult r = ratfit(e, 2, 2);
  expect_coefficients(r.COEF, {1, 0.3, 0, 0, 0, -1.4, 0, 0, 0.2, 0, 0}, 1e-9);
  EXPECT_LT(r.ERR, 1e-10);
  EXPECT_LT(approxerr(e, ModelKind::rational, r.COEF, 2, 2), 1e-10);
}

TEST_F(FitTest, ConstantDenominatorEqualsPolynomialFit) {
  const DelayEmbedding e = embed(noisy_henon(300, 0.1, 5), 2);
  const PolyResult p = polyfit(e, 3);
  const PolyResult r = ratfit(e, 3, 0);
  EXPECT_EQ(r.COEF, p.COEF);
  EXPECT_EQ(r.ERR, p.ERR);
  EXPECT_NEAR(approxerr(e, ModelKind::rational, r.COEF, 3, 0), p.ERR, 1e-13);
}

TEST_F(FitTest, LinearisedErrorDiffersFromQuotientError) {
  const DelayEmbedding e = embed(noisy_henon(300, 0.1, 9), 2);
  const PolyResult r = ratfit(e, 2, 1);
  const double quotient = approxerr(e, ModelKind::rational, r.COEF, 2, 1);
  EXPECT_GT(r.ERR, 0.0);
  EXPECT_GT(std::abs(quotient - r.ERR), 1e-6);
}

const char* const kSingular3 =
    "\n"
    " *** FATAL    ERROR 1 from DLQRSL.  Computation of the least squares solution\n"
    " ***          has been requested but the upper triangular matrix R is exactly \n"
    " ***          singular; the index of the first zero diagonal element of R is \n"
    " ***          3.\n";

TEST_F(FitTest, ZeroSeriesStopsWithSingularMatrix) {
  const DelayEmbedding e = embed(std::vector<double>(20, 0.0), 1);
  try {
    polyfit(e, 2);
    FAIL() << "no stop";
  } catch (const numlib::ProgramStop& stop) {
    EXPECT_EQ(stop.status, 1);
  }
  EXPECT_EQ(out_, kSingular3);
}

TEST_F(FitTest, ZeroTargetsStopRationalFit) {
  // Denominator columns -y * psi vanish; the last one (index Pnum + Pden = 3 + 2 = 5) is met
  // first by the back substitution.
  DelayEmbedding e;
  e.D = 2;
  e.N = 10;
  for (int j = 0; j < 2 * e.N; ++j) e.A.push_back(0.1 * j * j - 0.3 * j + 1.0);
  e.Y.assign(e.N, 0.0);
  try {
    ratfit(e, 1, 1);
    FAIL() << "no stop";
  } catch (const numlib::ProgramStop& stop) {
    EXPECT_EQ(stop.status, 1);
  }
  std::string want = kSingular3;
  want.replace(want.size() - 3, 1, "5");
  EXPECT_EQ(out_, want);
}

int numlib_stop_status(const std::function<void()>& body) {
  try {
    body();
  } catch (const numlib::ProgramStop& stop) {
    return stop.status;
  }
  return -1;
}

struct StorageCase {
  const char* routine;
  const char* expected;
};

class StorageRefused : public FitTest, public ::testing::WithParamInterface<StorageCase> {};

// 10^5 rows by 10^6 columns is 800 GB: refused before anything is touched.
TEST_P(StorageRefused, StopsWithTheFitsTerminalMessage) {
  const StorageCase& c = GetParam();
  const int N = 100000, P = 1000000;
  const std::vector<double> A(N, 0.5), YV(N, 1.0);
  double coef[1] = {-5.0};
  double err = -5.0;
  try {
    if (std::string(c.routine) == "POLYFIT") {
      POLYFIT(A.data(), 1, 1, N, YV.data(), coef, P, MONOMIALS, P - 1, err);
    } else {
      RATFIT(A.data(), 1, 1, N, YV.data(), coef, P - 1, MONOMIALS, P - 2, 1, MONOMIALS, 1, err);
    }
    FAIL() << "no stop";
  } catch (const numlib::ProgramStop& stop) {
    EXPECT_EQ(stop.status, 1);
  }
  EXPECT_EQ(out_, c.expected);
  EXPECT_EQ(coef[0], -5.0);
  EXPECT_EQ(err, -5.0);
}

INSTANTIATE_TEST_SUITE_P(
    Fits, StorageRefused,
    ::testing::Values(
        StorageCase{"POLYFIT",
                    "\n"
                    " *** TERMINAL ERROR 2 from POLYFIT.  The required storage cannot be\n"
                    " ***          allocated.  The least-squares matrix has 100000 rows and \n"
                    " ***          1000000 columns.\n"},
        StorageCase{
            "RATFIT",
            "\n"
            " *** TERMINAL ERROR 2 from RATFIT.  The required storage cannot be allocated.\n"
            // Only one of the two blanks after the first sentence is skipped.
            " ***           The least-squares matrix has 100000 rows and 1000000 columns.\n"}),
    [](const auto& test) { return std::string(test.param.routine); });

// A basis routine that finds no storage inside the numerical library, two levels deep.
void basis_without_storage(const double*, int, int, double*, int) {
  numlib::E1PSH("DLQRRR");
  numlib::E1PSH("dL2RRR");
  throw std::bad_alloc();
}

// Storage that fails after the matrix (a vector of the solve, a work area of the solver) gives
// the same message, without a traceback of the routines that the failure left.
TEST_F(FitTest, StorageFailingInsideTheFitGivesItsStorageMessage) {
  const std::vector<double> A(50, 0.5), YV(50, 1.0);
  std::vector<double> coef(3, -5.0);
  double err = -5.0;
  for (const bool rational : {false, true}) {
    out_.clear();
    numlib::reset_error_stack();
    const int status = numlib_stop_status([&] {
      if (rational) {
        RATFIT(A.data(), 1, 1, 50, YV.data(), coef.data(), 2, basis_without_storage, 1, 1,
               basis_without_storage, 1, err);
      } else {
        POLYFIT(A.data(), 1, 1, 50, YV.data(), coef.data(), 3, basis_without_storage, 2, err);
      }
    });
    EXPECT_EQ(status, 1);
    EXPECT_EQ(out_, std::string("\n *** TERMINAL ERROR 2 from ") +
                        (rational ? "RATFIT" : "POLYFIT") + ".  The required storage cannot be" +
                        (rational ? " allocated.\n ***         " : "\n ***          allocated.") +
                        "  The least-squares matrix has 50 rows and 3 columns.\n");
  }
}

}  // namespace
}  // namespace model
