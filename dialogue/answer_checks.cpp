#include "dialogue/answer_checks.h"

#include "model/basis.h"
#include "numlib/factorial.h"

namespace dialogue {

using i64 = std::int64_t;

bool ntrain_accepted(i64 Ntrain, i64 N) { return Ntrain >= 2 && Ntrain <= N; }

bool dimension_accepted(i64 D, i64 span, i64 Ntrain) { return D >= 1 && Ntrain - span >= 1; }

bool function_accepted(i64 choice) { return choice == 1 || choice == 2; }

i64 monomial_count(int D, int order) {
  const int n = order + D;
  (void)numlib::fac(n);
  (void)numlib::fac(D);
  (void)numlib::fac(n - D);
  return model::basis_count(D, order);
}

bool count_fits(i64 P, i64 Ntrain, i64 span) { return P >= 0 && P <= Ntrain - span; }

bool check_offered(i64 R, i64 span) { return R > span; }

bool ltest_accepted(i64 Ltest, i64 R, i64 span) { return Ltest >= 1 && R - Ltest >= span; }

bool ktest_accepted(i64 Ktest, i64 Ltest, i64 R, i64 span) {
  return Ktest >= 1 && R - Ktest - Ltest + 1 >= span;
}

bool stest_accepted(i64 Stest, i64 Ktest, i64 Ltest, i64 R, i64 span) {
  return Stest >= 1 && R - (Ktest - 1) * Stest - Ltest >= span;
}

bool test_settings_fit(i64 Ltest, i64 Ktest, i64 Stest, i64 R, i64 span) {
  return (Ktest - 1) * Stest + Ltest + span <= R;
}

}  // namespace dialogue
