// The field models: what a formula cannot be, its values and derivatives against derivatives
// taken by hand, and the evaluation over blocks against the evaluation point by point.
#include "soliton/field_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

namespace kl {
namespace {

std::string Refusal(const std::string& text, const std::vector<ModelParam>& params, bool constant) {
  try {
    if (constant)
      FieldModel::Constant(text, params);
    else
      FieldModel::Make(text, params);
  } catch (const ModelError& e) {
    return e.what();
  }
  return "(accepted)";
}

TEST(FieldModel, RefusesWhatItCannotUseAndSaysWhy) {
  const ModelParam eps{"eps", 0.1};
  struct Case {
    std::string text;
    std::vector<ModelParam> params;
    bool constant;
    std::vector<std::string> words;
  } cases[] = {
      {"phi6", {eps}, false, {"the model phi6 takes no parameters"}},
      {"(u^2-1))", {}, false, {"at character 8", "unexpected \")\""}},
      {"  u +", {}, false, {"at its end (character 6)"}},
      {"2*(u", {}, false, {"\"(\" is not closed"}},
      {"u<1", {}, false, {"at character 2", "\"<\""}},
      {"u\n", {}, false, {"at character 2", "0x0A"}},
      {"1.2.3*u", {}, false, {"at character 4", "\".3\""}},
      {"u*1.5e+400", {}, false, {"at character 3", "1.5e+400", "out of the range"}},
      {"u+cos()", {}, false, {"cos takes one argument"}},
      {"u*-1+2", {}, false, {"at character 3", "\"-\" right after \"*\"", "parentheses"}},
      {"u^2^3", {}, false, {"a^b^c"}},
      {"2^2^2^2^2^2*u", {}, false, {"a^b^c"}},
      {"x^2", {}, false, {"unknown name \"x\"", "the variable is u"}},
      {"eps*u", {}, false, {"the parameter eps is not given"}},
      {"foo(u)+u", {}, false, {"unknown function \"foo\""}},
      {"u^2+eps", {eps, eps}, false, {"the parameter eps is given twice"}},
      {"u^2", {{"k", 1}}, false, {"the parameter k is not used by the formula"}},
      {"sin*u", {{"sin", 1}}, false, {"\"sin\" cannot name a parameter"}},
      {"I*u", {{"I", 1}}, false, {"\"I\" cannot name a parameter"}},
      {"k2*u", {{"2k", 1}}, false, {"\"2k\" cannot name a parameter"}},
      {" \t ", {}, false, {"the formula is empty"}},
      {"u" + std::string(1000, ' '), {}, false, {"longer than 1000 characters"}},
      {"eps+1", {eps}, false, {"the formula does not depend on u"}},
      {"u-u", {}, false, {"the formula does not depend on u"}},
      {"(u+1)^100000000", {}, false, {"the exponent 100000000 is too large"}},
      {"u^(10^9)", {}, false, {"the exponent 1000000000 is too large"}},
      {"2^(2^(2^(2^(2^2))))*u", {}, false, {"too large"}},
      {"((10^300*u)^1000)^1000", {}, false, {"too large"}},
      {"sqrt(-1)*u", {}, false, {"not real"}},
      {"1/0+u", {}, false, {"divides by zero"}},
      {"asin(2)+u", {}, false, {"no finite value"}},
      {"u+1", {}, true, {"a vacuum cannot depend on u"}},
      {"sqrt(-2)", {}, true, {"not a real number"}},
      {"2*x", {}, true, {"the parameter x is not given"}},
  };
  for (const Case& c : cases) {
    const std::string message = Refusal(c.text, c.params, c.constant);
    for (const std::string& word : c.words) EXPECT_NE(message.find(word), std::string::npos) << c.text << ": " << message;
    EXPECT_EQ(message.find('\n'), std::string::npos) << c.text;
  }
  // The longest formula taken, blanks included.
  EXPECT_EQ(Refusal("u" + std::string(999, ' '), {}, false), "(accepted)");
}

bool Close(double value, double expected) {
  return std::fabs(value - expected) <= 1e-13 * std::max(1.0, std::fabs(expected));
}

TEST(FieldModel, ValuesAndDerivativesAreTheHandDerivedOnes) {
  constexpr double eps = 0.01;
  struct Case {
    const char* text;
    std::vector<ModelParam> params;
    double (*w)(double);
    double (*dw)(double);
    double (*d2w)(double);
  } cases[] = {
      {"u^2*(1-u^2)^2/2 + eps*u", {{"eps", eps}},
       [](double u) { return u * u * (1 - u * u) * (1 - u * u) / 2 + eps * u; },
       [](double u) { return u * (1 - u * u) * (1 - 3 * u * u) + eps; },
       [](double u) { return 1 - 12 * u * u + 15 * u * u * u * u; }},
      {"1-cos(u)", {}, [](double u) { return 1 - std::cos(u); }, [](double u) { return std::sin(u); },
       [](double u) { return std::cos(u); }},
      {"eps*u + (u^2-1)^2/4", {{"eps", eps}}, [](double u) { return eps * u + (u * u - 1) * (u * u - 1) / 4; },
       [](double u) { return eps + u * u * u - u; }, [](double u) { return 3 * u * u - 1; }},
      // s = sqrt(1+u^2): (s e^(-u/2))' = e^(-u/2) (u/s - s/2),
      // (s e^(-u/2))'' = e^(-u/2) (s^-3 - u/s + s/4); (u|u|)' = 2|u|, (u|u|)'' = 2 sign(u).
      {"sqrt(1+u^2)*exp(-u/2) + u*abs(u)", {},
       [](double u) { return std::sqrt(1 + u * u) * std::exp(-u / 2) + u * std::fabs(u); },
       [](double u) {
         const double s = std::sqrt(1 + u * u);
         return std::exp(-u / 2) * (u / s - s / 2) + 2 * std::fabs(u);
       },
       [](double u) {
         const double s = std::sqrt(1 + u * u);
         return std::exp(-u / 2) * (1 / (s * s * s) - u / s + s / 4) + (u > 0 ? 2 : -2);
       }},
  };
  const double points[] = {-1.7, -1.0, -0.3, 0.25, 0.9, 2.2};
  for (const Case& c : cases) {
    const auto model = FieldModel::Make(c.text, c.params);
    for (double u : points) {
      EXPECT_PRED2(Close, model->W(u), c.w(u)) << c.text << " at " << u;
      EXPECT_PRED2(Close, model->DW(u), c.dw(u)) << c.text << " at " << u;
      EXPECT_PRED2(Close, model->D2W(u), c.d2w(u)) << c.text << " at " << u;
      EXPECT_PRED2(Close, static_cast<double>(model->W(static_cast<long double>(u))), c.w(u)) << c.text;
      EXPECT_PRED2(Close, static_cast<double>(model->DW(static_cast<long double>(u))), c.dw(u)) << c.text;
    }
  }

  const struct {
    const char* name;
    ModelName id;
  } named[] = {{"phi4", ModelName::Phi4}, {"phi6", ModelName::Phi6}, {"sine-gordon", ModelName::SineGordon}};
  for (const auto& n : named) {
    const auto model = FieldModel::Make(n.name, {});
    const auto written = FieldModel::Make(model->Formula(), {});
    EXPECT_EQ(model->Name(), n.id);
    EXPECT_EQ(written->Name(), ModelName::Formula);
    for (double u : points) {
      EXPECT_PRED2(Close, model->W(u), written->W(u)) << n.name << " at " << u;
      EXPECT_PRED2(Close, model->DW(u), written->DW(u)) << n.name << " at " << u;
      EXPECT_PRED2(Close, model->D2W(u), written->D2W(u)) << n.name << " at " << u;
    }
  }

  EXPECT_EQ(FieldModel::Make(" a*u^2 + b*u ", {{"a", 1}, {"b", 0.1}})->Description(), "a*u^2 + b*u with a=1, b=0.1");
  EXPECT_EQ(FieldModel::Constant("2*pi", {}), 2 * std::numbers::pi);
  EXPECT_EQ(FieldModel::Constant(" -1", {}), -1.0);
  EXPECT_PRED2(Close, FieldModel::Constant("sqrt(3)/3", {}), 1 / std::numbers::sqrt3);
  EXPECT_PRED2(Close, FieldModel::Constant("a/4 + e", {{"a", 2}, {"b", 5}}), 0.5 + std::numbers::e);
}

template <class T>
bool SameBits(T a, T b) {
  // x87's long double has 10 bytes of value; the rest of its storage is padding.
  constexpr size_t bytes = std::numeric_limits<T>::digits == 64 ? 10 : sizeof(T);
  return std::memcmp(&a, &b, bytes) == 0;
}

template <class T>
void ExpectBlocksMatchPoints(const FieldModel& model, int n) {
  std::vector<T> u(n + 3), w(n + 3), dw(n + 3), dw_alone(n + 3);
  for (int i = 0; i < n + 3; ++i) u[i] = static_cast<T>(-3.1 + 6.3 * i / (n + 2));
  // The first point is not the first of the array, so blocks start elsewhere than at 0.
  model.Evaluate(u.data() + 3, dw.data(), w.data(), n);
  model.Evaluate(u.data() + 3, dw_alone.data(), nullptr, n);
  for (int i = 0; i < n; ++i) {
    const T x = u[i + 3];
    ASSERT_TRUE(SameBits(w[i], model.W(x))) << model.Text() << " n=" << n << " i=" << i;
    ASSERT_TRUE(SameBits(dw[i], model.DW(x))) << model.Text() << " n=" << n << " i=" << i;
    ASSERT_TRUE(SameBits(dw_alone[i], dw[i])) << model.Text() << " n=" << n << " i=" << i;
  }
}

TEST(FieldModel, EvaluateGivesThePointValuesBitForBit) {
  const std::pair<const char*, std::vector<ModelParam>> models[] = {
      {"phi4", {}},
      {"phi6", {}},
      {"sine-gordon", {}},
      {"eps*u + (u^2-1)^2/4", {{"eps", 0.01}}},
      {"sqrt(1+u^2)*exp(-u/2) + u*abs(u) + a*u^3/(2+sin(u))^(5/2) - atan(u)^7 + cosh(u/3)^(-2)", {{"a", 0.3}}},
  };
  for (const auto& [text, params] : models) {
    const auto model = FieldModel::Make(text, params);
    for (int n : {1, 7, 300, 1000}) {
      ExpectBlocksMatchPoints<double>(*model, n);
      ExpectBlocksMatchPoints<long double>(*model, n);
    }
  }
}

}  // namespace
}  // namespace kl
