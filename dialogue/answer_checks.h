#pragma once
// The ranges the dialogue accepts for its answers, one small function per question, shared by
// the dialogue's steps and the scripting commands (which refuse an option exactly where the
// question would refuse the value). All arithmetic is in 64-bit integers, so that no product of
// settings can wrap around into an accepted value.
//
// `span` is the number of consecutive series values one state of the map covers: D for the
// dialogue's maps, (D - 1) T + 1 for a map whose arguments are T values apart.

#include <cstdint>

namespace dialogue {

// Digits of the dialogue's integer fields: "(I6)" for Ntrain and the test settings, "(I2)" for
// D and the orders, "(I1)" for the function choice.
inline constexpr int kLengthFieldWidth = 6;
inline constexpr int kOrderFieldWidth = 2;
inline constexpr int kChoiceFieldWidth = 1;

// Question 1: 2 <= Ntrain <= N.
bool ntrain_accepted(std::int64_t Ntrain, std::int64_t N);

// Question 2: D >= 1 and at least one training point, Ntrain - span >= 1.
bool dimension_accepted(std::int64_t D, std::int64_t span, std::int64_t Ntrain);

// Question 3, the function: 1 standard polynomial, 2 rational.
bool function_accepted(std::int64_t choice);

// C(order + D, D), the number of monomials of degree at most `order` in D variables (order
// >= 0). The factorials fac(n), fac(D), fac(n - D) are taken first, so that an order too large
// for them stops the program with their overflow message as soon as it is entered; the count
// itself is exact. -1 stands for a count beyond 64 bits.
std::int64_t monomial_count(int D, int order);

// Question 3, the orders: a count of P coefficients leaves at least one training point per
// coefficient, 0 <= P <= Ntrain - span.
bool count_fits(std::int64_t P, std::int64_t Ntrain, std::int64_t span);

// R = N - Ntrain values follow the training part. Question 5 is asked only when R > span.
bool check_offered(std::int64_t R, std::int64_t span);

// Question 7, each value checked with those accepted before it.
bool ltest_accepted(std::int64_t Ltest, std::int64_t R, std::int64_t span);
bool ktest_accepted(std::int64_t Ktest, std::int64_t Ltest, std::int64_t R, std::int64_t span);
bool stest_accepted(std::int64_t Stest, std::int64_t Ktest, std::int64_t Ltest, std::int64_t R,
                    std::int64_t span);

// Question 6: the settings fit the values after the training part,
// (Ktest - 1) * Stest + Ltest + span <= R.
bool test_settings_fit(std::int64_t Ltest, std::int64_t Ktest, std::int64_t Stest, std::int64_t R,
                       std::int64_t span);

}  // namespace dialogue
