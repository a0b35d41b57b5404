// The field model's formula reader on arbitrary text, with the parameters a=0.5 and b=2 on
// hand (all, some or none of them, as the formula uses them): a formula is refused with a
// one-line ModelError, or its model gives over blocks the bits it gives point by point. A
// constant is refused the same way or has a finite value.
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "soliton/field_model.h"

namespace {

template <class T>
bool SameBits(T a, T b) {
  if (std::isnan(a) && std::isnan(b)) return true;
  constexpr size_t bytes = std::numeric_limits<T>::digits == 64 ? 10 : sizeof(T);  // x87 padding
  return std::memcmp(&a, &b, bytes) == 0;
}

template <class T>
void CheckBlocks(const kl::FieldModel& model) {
  // Past one block of the program, and across u = 0 and the usual vacua.
  constexpr int n = 300;
  std::vector<T> u(n), w(n), dw(n), dw_alone(n);
  for (int i = 0; i < n; ++i) u[i] = static_cast<T>(-3.5 + 7.0 * i / (n - 1));
  u[n / 2] = 0;
  model.Evaluate(u.data(), dw.data(), w.data(), n);
  model.Evaluate(u.data(), dw_alone.data(), nullptr, n);
  for (int i = 0; i < n; ++i) {
    FUZZ_CHECK(SameBits(w[i], model.W(u[i])));
    FUZZ_CHECK(SameBits(dw[i], model.DW(u[i])));
    FUZZ_CHECK(SameBits(dw_alone[i], dw[i]));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(kl_fuzz::Bytes(data, size));
  const kl::ModelParam a{"a", 0.5}, b{"b", 2};
  const std::vector<kl::ModelParam> sets[] = {{a, b}, {a}, {b}, {}};
  for (const auto& params : sets) {
    std::shared_ptr<const kl::FieldModel> model;
    try {
      model = kl::FieldModel::Make(text, params);
    } catch (const kl::ModelError& e) {
      FUZZ_CHECK(kl_fuzz::OneLine(e.what()) && e.what()[0] != 0);
      continue;
    }
    CheckBlocks<double>(*model);
    CheckBlocks<long double>(*model);
    (void)model->D2W(0.5);
    (void)model->Description();
    break;
  }
  try {
    FUZZ_CHECK(std::isfinite(kl::FieldModel::Constant(text, {a, b})));
  } catch (const kl::ModelError& e) {
    FUZZ_CHECK(kl_fuzz::OneLine(e.what()) && e.what()[0] != 0);
  }
  return 0;
}
