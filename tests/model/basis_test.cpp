#include "model/basis.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace model {
namespace {

constexpr double kPrimes[] = {2, 3, 5, 7, 11, 13, 17};

// The index sequence of a monomial evaluated at the prime point: its value factorised.
std::string index_sequence(double value, int D) {
  std::string seq;
  long long v = static_cast<long long>(value);
  for (int i = 0; i < D; ++i) {
    const long long p = static_cast<long long>(kPrimes[i]);
    while (v % p == 0) {
      seq += static_cast<char>('1' + i);
      v /= p;
    }
  }
  EXPECT_EQ(v, 1) << "value " << value << " is not a product of the first " << D << " primes";
  return seq;
}

// Basis order: by degree, then lexicographic in the index sequence.
bool precedes(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

std::vector<std::string> evaluate_sequences(int D, int nu) {
  const std::int64_t count = basis_count(D, nu);
  std::vector<double> out(static_cast<std::size_t>(count) + 3, -7.0);
  MONOMIALS(kPrimes, D, nu, out.data(), static_cast<int>(count));
  for (std::size_t i = static_cast<std::size_t>(count); i < out.size(); ++i) {
    EXPECT_EQ(out[i], -7.0) << "written beyond the basis at " << i;
  }
  std::vector<std::string> seqs;
  for (std::int64_t i = 0; i < count; ++i) seqs.push_back(index_sequence(out[i], D));
  return seqs;
}

struct OrderCase {
  int D, nu;
  std::vector<std::string> expected;  // index sequences, "" for the constant
};

class BasisOrder : public ::testing::TestWithParam<OrderCase> {};

TEST_P(BasisOrder, MatchesListedSequences) {
  const OrderCase& c = GetParam();
  std::vector<std::string> seqs = evaluate_sequences(c.D, c.nu);
  if (c.expected.size() < seqs.size()) {
    // Only the last block (the highest degree) is listed.
    seqs.erase(seqs.begin(), seqs.end() - static_cast<std::ptrdiff_t>(c.expected.size()));
  }
  EXPECT_EQ(seqs, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, BasisOrder,
    ::testing::Values(
        OrderCase{2, 2, {"", "1", "2", "11", "12", "22"}},
        OrderCase{3, 3, {"111", "112", "113", "122", "123", "133", "222", "223", "233", "333"}},
        OrderCase{1, 4, {"", "1", "11", "111", "1111"}},
        OrderCase{3, 2, {"", "1", "2", "3", "11", "12", "13", "22", "23", "33"}},
        OrderCase{4, 0, {""}}, OrderCase{5, 1, {"", "1", "2", "3", "4", "5"}}));

struct CountCase {
  int D, nu;
  std::int64_t count;
};

class BasisComplete : public ::testing::TestWithParam<CountCase> {};

// Every index sequence of degree <= nu appears once, in basis order: the sequences are strictly
// increasing in that order and there are C(D+nu, D) of them, the number of all such sequences.
TEST_P(BasisComplete, EverySequenceOnceInOrder) {
  const CountCase& c = GetParam();
  ASSERT_EQ(basis_count(c.D, c.nu), c.count);
  const std::vector<std::string> seqs = evaluate_sequences(c.D, c.nu);
  ASSERT_EQ(static_cast<std::int64_t>(seqs.size()), c.count);
  EXPECT_EQ(seqs.front(), "");
  EXPECT_EQ(seqs.back(), std::string(c.nu, static_cast<char>('0' + c.D)));
  for (std::size_t i = 1; i < seqs.size(); ++i) {
    ASSERT_TRUE(precedes(seqs[i - 1], seqs[i])) << seqs[i - 1] << " before " << seqs[i];
  }
  // Degree k starts at position C(D+k-1, D) + 1.
  for (int k = 1; k <= c.nu; ++k) {
    EXPECT_EQ(seqs[basis_count(c.D, k - 1)], std::string(k, '1')) << "degree " << k;
  }
}

INSTANTIATE_TEST_SUITE_P(Counts, BasisComplete,
                         ::testing::Values(CountCase{1, 13, 14}, CountCase{6, 8, 3003},
                                           CountCase{7, 7, 3432}, CountCase{5, 5, 252},
                                           CountCase{2, 9, 55}));

TEST(Monomials, OrderZeroWritesOnlyTheConstant) {
  const double x[] = {5.0, -3.0};
  double out[3] = {-1.0, -2.0, -3.0};
  MONOMIALS(x, 2, 0, out, 1);
  EXPECT_EQ(out[0], 1.0);
  EXPECT_EQ(out[1], -2.0);
  EXPECT_EQ(out[2], -3.0);
}

TEST(Monomials, ZeroVariableZeroesEveryMonomialContainingIt) {
  const double x[] = {2.0, 0.0, 3.0};
  std::vector<double> out(static_cast<std::size_t>(basis_count(3, 3)));
  MONOMIALS(x, 3, 3, out.data(), static_cast<int>(out.size()));
  const std::vector<std::string> seqs = evaluate_sequences(3, 3);
  for (std::size_t i = 0; i < seqs.size(); ++i) {
    const bool has2 = seqs[i].find('2') != std::string::npos;
    if (has2) {
      EXPECT_EQ(out[i], 0.0) << seqs[i];
    } else {
      EXPECT_NE(out[i], 0.0) << seqs[i];
    }
  }
  EXPECT_EQ(out[0], 1.0);
}

TEST(Monomials, HighOneDimensionalOrderIsThePowers) {
  // An order beyond the index sequence kept on the stack.
  const int nu = 100;
  const double x[] = {-1.0};
  std::vector<double> out(nu + 1);
  MONOMIALS(x, 1, nu, out.data(), nu + 1);
  for (int k = 0; k <= nu; ++k) EXPECT_EQ(out[k], k % 2 == 0 ? 1.0 : -1.0) << k;
}

TEST(Monomials, ProductFormedLeftToRight) {
  // 1e300 * 1e300 * 1e-300 overflows when formed left to right.
  const double x[] = {1e300, 1e-300};
  double out[10];
  MONOMIALS(x, 2, 3, out, 10);
  EXPECT_EQ(out[7], std::numeric_limits<double>::infinity());  // X(1) X(1) X(2)
}

struct BinomialCase {
  int D, k;
  std::int64_t value;
};

TEST(BasisCount, KnownValues) {
  const BinomialCase cases[] = {
      {1, 13, 14},
      {6, 8, 3003},
      {7, 7, 3432},
      {2, 2, 6},
      {3, 2, 10},
      {5, 5, 252},
      {1, 0, 1},
      {0, 5, 1},
      {10, 1, 11},
      {-1, 3, 0},
      {3, -1, 0},
      {33, 33, 7219428434016265740LL},
      {34, 34, -1},
      {33, 34, -1},
      {2000000000, 2, 2000000003000000001LL},
      {1, 2000000000, 2000000001},
      {60, 1, 61},
  };
  for (const auto& c : cases) EXPECT_EQ(basis_count(c.D, c.k), c.value) << c.D << ", " << c.k;
}

TEST(BasisCount, PascalRecurrenceWhileInRange) {
  for (int D = 1; D <= 40; ++D) {
    for (int k = 1; k <= 40; ++k) {
      const std::int64_t a = basis_count(D - 1, k);
      const std::int64_t b = basis_count(D, k - 1);
      const std::int64_t c = basis_count(D, k);
      if (a < 0 || b < 0 || a > std::numeric_limits<std::int64_t>::max() - b) {
        EXPECT_EQ(c, -1) << D << ", " << k;
      } else {
        EXPECT_EQ(c, a + b) << D << ", " << k;
      }
    }
  }
}

}  // namespace
}  // namespace model
