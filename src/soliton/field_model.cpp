#include "soliton/field_model.h"

#include "soliton/sine_vectors.h"

// A formula passes three readers in turn. A scan of its characters refuses anything outside
// the formula's alphabet and a sign right after an operator (GiNaC would read "u*-1+2" as
// u*(-1+2)). muparser then reads the syntax, because its errors carry the character where
// reading stopped. GiNaC last builds the expression, substitutes the parameters and
// differentiates; it is what the programs are made from.
#include <cln/float.h>
#include <cln/malloc.h>
#include <cln/real.h>
#include <ginac/ginac.h>
#include <muParser.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <limits>
#include <map>
#include <mutex>
#include <numbers>
#include <set>
#include <sstream>
#include <string_view>
#include <type_traits>

namespace kl {
namespace {

constexpr size_t kMaxFormulaLength = 1000;
// Integer exponents of a formula; its derivatives may reach two more.
constexpr long kMaxExponent = 1000;
// The points one pass of a program handles; a register holds one block.
constexpr int kBlock = 256;

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A name as a message may show it: bytes outside printable ASCII as \xNN, so that the
// message stays one line.
std::string Shown(std::string_view text) {
  std::string out;
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7f) {
      out += static_cast<char>(c);
    } else {
      static const char kHex[] = "0123456789ABCDEF";
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string FirstLine(const std::string& text) { return Shown(text.substr(0, text.find('\n'))); }

std::string Shortest(double value) {
  char buf[32];
  const auto end = std::to_chars(buf, buf + sizeof buf, value).ptr;
  return std::string(buf, end);
}

std::string At(size_t index, const std::string& what) {
  return "cannot read the formula at character " + std::to_string(index + 1) + ": " + what;
}

// ---- The named models -----------------------------------------------------------------------

struct Phi4 {
  static constexpr ModelName kName = ModelName::Phi4;
  static constexpr const char* kFormula = "(u^2-1)^2/4";
  template <class T> static T W(T u) {
    const T s = u * u - 1;
    return s * s / 4;
  }
  template <class T> static T DW(T u) { return u * (u * u - 1); }
  template <class T> static T D2W(T u) { return 3 * u * u - 1; }
};

struct Phi6 {
  static constexpr ModelName kName = ModelName::Phi6;
  static constexpr const char* kFormula = "u^2*(1-u^2)^2/2";
  template <class T> static T W(T u) {
    const T s = 1 - u * u;
    return u * u * s * s / 2;
  }
  template <class T> static T DW(T u) {
    const T v = u * u;
    return u * (1 - v) * (1 - 3 * v);
  }
  template <class T> static T D2W(T u) {
    const T v = u * u;
    return 1 - 12 * v + 15 * v * v;
  }
};

// In double precision sine and cosine come from the vector math library, a block at a time.
struct SineGordon {
  static constexpr ModelName kName = ModelName::SineGordon;
  static constexpr const char* kFormula = "1-cos(u)";
  // 2 sin^2(u/2) = 1 - cos(u) without the cancellation next to the vacua, where the static
  // kink's tail is integrated in extended precision.
  template <class T> static T W(T u) {
    const T s = std::sin(u / 2);
    return 2 * s * s;
  }
  template <class T> static T DW(T u) { return std::sin(u); }
  template <class T> static T D2W(T u) { return std::cos(u); }
  static double W(double u) { return 1 - CosOne(u); }
  static double DW(double u) { return SinOne(u); }
  static double D2W(double u) { return CosOne(u); }
  static bool Block(const double* u, double* dw, double* w, int n) {
    SinArray(u, dw, n);
    if (w) {
      CosArray(u, w, n);
      for (int i = 0; i < n; ++i) w[i] = 1 - w[i];
    }
    return true;
  }
};

template <class M>
class NamedModel final : public FieldModel {
 public:
  explicit NamedModel(std::string text) : FieldModel(M::kName, std::move(text), M::kFormula, {}) {}

  double W(double u) const override { return M::W(u); }
  double DW(double u) const override { return M::DW(u); }
  double D2W(double u) const override { return M::D2W(u); }
  long double W(long double u) const override { return M::W(u); }
  long double DW(long double u) const override { return M::DW(u); }
  void Evaluate(const double* u, double* dw, double* w, int n) const override { Loops(u, dw, w, n); }
  void Evaluate(const long double* u, long double* dw, long double* w, int n) const override {
    Loops(u, dw, w, n);
  }

 private:
  template <class T> static void Loops(const T* u, T* dw, T* w, int n) {
    if constexpr (std::is_same_v<T, double> && requires { M::Block(u, dw, w, n); }) {
      M::Block(u, dw, w, n);
      return;
    }
    for (int i = 0; i < n; ++i) dw[i] = M::DW(u[i]);
    if (w)
      for (int i = 0; i < n; ++i) w[i] = M::W(u[i]);
  }
};

// ---- Programs -------------------------------------------------------------------------------
// A program is a list of elementwise operations on registers of kBlock points. An operand is
// a register, the input u, or (for the *C forms) the step's constant c.

enum class Op : uint8_t {
  Const, Add, Sub, Mul, Div, Pow,
  AddC, MulC, DivC, CSub, CDiv, PowC, CPow,  // a+c, a*c, a/c, c-a, c/a, a^c, c^a
  Neg, Sqrt, Sin, Cos, Tan, Exp, Log, Abs, Sinh, Cosh, Tanh, Asin, Acos, Atan,
};

constexpr int kInput = -1;
constexpr int kNone = -2;

template <class T, class F>
inline void Each(T* __restrict r, int m, F f) {
  for (int i = 0; i < m; ++i) r[i] = f(i);
}

// One operation over m points. Folding a constant runs it over one point, so a folded value
// is what the program would have computed.
template <class T>
void Kernel(Op op, T* __restrict r, const T* a, const T* b, T c, int m) {
  switch (op) {
    case Op::Const: Each(r, m, [&](int) { return c; }); break;
    case Op::Add: Each(r, m, [&](int i) { return a[i] + b[i]; }); break;
    case Op::Sub: Each(r, m, [&](int i) { return a[i] - b[i]; }); break;
    case Op::Mul: Each(r, m, [&](int i) { return a[i] * b[i]; }); break;
    case Op::Div: Each(r, m, [&](int i) { return a[i] / b[i]; }); break;
    case Op::Pow: Each(r, m, [&](int i) { return std::pow(a[i], b[i]); }); break;
    case Op::AddC: Each(r, m, [&](int i) { return a[i] + c; }); break;
    case Op::MulC: Each(r, m, [&](int i) { return a[i] * c; }); break;
    case Op::DivC: Each(r, m, [&](int i) { return a[i] / c; }); break;
    case Op::CSub: Each(r, m, [&](int i) { return c - a[i]; }); break;
    case Op::CDiv: Each(r, m, [&](int i) { return c / a[i]; }); break;
    case Op::PowC: Each(r, m, [&](int i) { return std::pow(a[i], c); }); break;
    case Op::CPow: Each(r, m, [&](int i) { return std::pow(c, a[i]); }); break;
    case Op::Neg: Each(r, m, [&](int i) { return -a[i]; }); break;
    case Op::Sqrt: Each(r, m, [&](int i) { return std::sqrt(a[i]); }); break;
    // In double precision from the vector math library (the named sine-Gordon's routines).
    case Op::Sin:
      if constexpr (std::is_same_v<T, double>) SinArray(a, r, m);
      else Each(r, m, [&](int i) { return std::sin(a[i]); });
      break;
    case Op::Cos:
      if constexpr (std::is_same_v<T, double>) CosArray(a, r, m);
      else Each(r, m, [&](int i) { return std::cos(a[i]); });
      break;
    case Op::Tan: Each(r, m, [&](int i) { return std::tan(a[i]); }); break;
    case Op::Exp: Each(r, m, [&](int i) { return std::exp(a[i]); }); break;
    case Op::Log: Each(r, m, [&](int i) { return std::log(a[i]); }); break;
    case Op::Abs: Each(r, m, [&](int i) { return std::fabs(a[i]); }); break;
    case Op::Sinh: Each(r, m, [&](int i) { return std::sinh(a[i]); }); break;
    case Op::Cosh: Each(r, m, [&](int i) { return std::cosh(a[i]); }); break;
    case Op::Tanh: Each(r, m, [&](int i) { return std::tanh(a[i]); }); break;
    case Op::Asin: Each(r, m, [&](int i) { return std::asin(a[i]); }); break;
    case Op::Acos: Each(r, m, [&](int i) { return std::acos(a[i]); }); break;
    case Op::Atan: Each(r, m, [&](int i) { return std::atan(a[i]); }); break;
  }
}

template <class T>
struct Program {
  struct Step {
    Op op;
    int dst, a, b;  // registers, or kInput / kNone for a and b
    T c;
  };
  struct Output {
    int reg;  // a register, kInput, or kNone for the constant c
    T c;
  };
  std::vector<Step> steps;
  std::vector<Output> outputs;
  int registers = 0;

  // outs[k] receives output k for the m points of u; `scratch` holds registers * kBlock.
  void Run(const T* u, T* const* outs, int m, T* scratch) const {
    for (const Step& s : steps) {
      const T* a = s.a == kInput ? u : s.a >= 0 ? scratch + s.a * kBlock : nullptr;
      const T* b = s.b == kInput ? u : s.b >= 0 ? scratch + s.b * kBlock : nullptr;
      Kernel(s.op, scratch + s.dst * kBlock, a, b, s.c, m);
    }
    for (size_t k = 0; k < outputs.size(); ++k) {
      const Output& o = outputs[k];
      T* out = outs[k];
      if (o.reg == kNone) {
        std::fill(out, out + m, o.c);
      } else {
        const T* from = o.reg == kInput ? u : scratch + o.reg * kBlock;
        std::copy(from, from + m, out);
      }
    }
  }
};

template <class T>
T* Scratch(int registers) {
  thread_local std::vector<T> scratch;
  const size_t need = static_cast<size_t>(std::max(registers, 1)) * kBlock;
  if (scratch.size() < need) scratch.resize(need);
  return scratch.data();
}

template <class T>
T RunPoint(const Program<T>& p, T u) {
  T r;
  T* outs[1] = {&r};
  p.Run(&u, outs, 1, Scratch<T>(p.registers));
  return r;
}

// dw over n points from the program of W', or w and dw from the program of (W, W').
template <class T>
void RunBlocks(const Program<T>& p, const T* u, T* dw, T* w, int n) {
  T* scratch = Scratch<T>(p.registers);
  for (int start = 0; start < n; start += kBlock) {
    const int m = std::min(kBlock, n - start);
    T* outs[2] = {w ? w + start : dw + start, dw + start};
    p.Run(u + start, outs, m, scratch);
  }
}

// ---- From GiNaC's expressions to programs ---------------------------------------------------

const char* const kComplexMessage =
    "the formula is not real (a square root or logarithm of a negative number?)";

// The value of an exact or floating-point number in T: the double nearest, and for long
// double the nearest to the double and its remainder summed.
template <class T>
T ToReal(const GiNaC::numeric& n) {
  if (!n.is_real()) throw ModelError(kComplexMessage);
  const cln::cl_R x = cln::the<cln::cl_R>(n.to_cl_N());
  static const cln::cl_RA largest = cln::rational(cln::cl_DF(std::numeric_limits<double>::max()));
  if (cln::abs(x) > largest) throw ModelError("a number in the formula is too large for a double");
  const double hi = cln::double_approx(x);
  if constexpr (std::is_same_v<T, double>) {
    return hi;
  } else {
    const double lo = cln::double_approx(x - cln::rational(cln::cl_DF(hi)));
    return static_cast<T>(hi) + static_cast<T>(lo);
  }
}

template <class T>
class Builder {
 public:
  explicit Builder(const GiNaC::ex& u) : u_(u) {}

  // The program of `exprs`, each lowered with integer exponents up to `max_exponent`.
  Program<T> Build(const std::vector<std::pair<GiNaC::ex, long>>& exprs) {
    std::vector<Value> outs;
    for (const auto& [e, max_exponent] : exprs) {
      max_exponent_ = max_exponent;
      outs.push_back(Lower(e));
    }
    return Allocate(outs);
  }

 private:
  struct Value {
    enum Kind : uint8_t { kConst, kU, kTemp } kind = kConst;
    int id = 0;  // the step that computes a kTemp
    T c = 0;
  };
  struct Ssa {
    Op op;
    Value a, b;
    T c;
  };

  static Value Const(T c) { return {Value::kConst, 0, c}; }

  Value Emit(Op op, Value a, Value b = {}, T c = 0) {
    const bool binary = op == Op::Add || op == Op::Sub || op == Op::Mul || op == Op::Div || op == Op::Pow;
    if (a.kind == Value::kConst && (!binary || b.kind == Value::kConst)) {
      T r;
      Kernel(op, &r, &a.c, &b.c, c, 1);
      if (!std::isfinite(r)) throw ModelError("a constant part of the formula has no finite value");
      return Const(r);
    }
    if (binary && b.kind == Value::kConst) {
      switch (op) {
        case Op::Add: return Emit(Op::AddC, a, {}, b.c);
        case Op::Sub: return Emit(Op::AddC, a, {}, -b.c);
        case Op::Mul: return Emit(Op::MulC, a, {}, b.c);
        case Op::Div: return Emit(Op::DivC, a, {}, b.c);
        default: return Emit(Op::PowC, a, {}, b.c);
      }
    }
    if (binary && a.kind == Value::kConst) {
      switch (op) {
        case Op::Add: return Emit(Op::AddC, b, {}, a.c);
        case Op::Sub: return Emit(Op::CSub, b, {}, a.c);
        case Op::Mul: return Emit(Op::MulC, b, {}, a.c);
        case Op::Div: return Emit(Op::CDiv, b, {}, a.c);
        default: return Emit(Op::CPow, b, {}, a.c);
      }
    }
    steps_.push_back({op, a, binary ? b : Value{}, c});
    return {Value::kTemp, static_cast<int>(steps_.size()) - 1, 0};
  }

  Value Lower(const GiNaC::ex& e) {
    const auto found = memo_.find(e);
    if (found != memo_.end()) return found->second;
    const Value v = LowerNew(e);
    memo_.emplace(e, v);
    return v;
  }

  // x^n by squaring, n >= 0.
  Value PowInt(Value x, long n) {
    if (n == 0) return Const(1);
    Value result;
    bool have = false;
    for (;;) {
      if (n & 1) {
        result = have ? Emit(Op::Mul, result, x) : x;
        have = true;
      }
      n >>= 1;
      if (n == 0) return result;
      x = Emit(Op::Mul, x, x);
    }
  }

  Value Power(const GiNaC::ex& base, const GiNaC::ex& exponent) {
    using namespace GiNaC;
    if (is_ex_the_function(base, exp) && base.op(0).is_equal(1)) return Emit(Op::Exp, Lower(exponent));
    if (!is_exactly_a<numeric>(exponent) || !ex_to<numeric>(exponent).is_real())
      return Emit(Op::Pow, Lower(base), Lower(exponent));
    const numeric& n = ex_to<numeric>(exponent);
    if (n.is_integer() && abs(n) > max_exponent_) {
      const std::string shown = n.int_length() < 60 ? std::to_string(n.to_long()) + " " : "";
      throw ModelError("the exponent " + shown + "is too large (at most " + std::to_string(kMaxExponent) + ")");
    }
    const T c = ToReal<T>(n);
    if (c == std::trunc(c) && std::fabs(c) <= max_exponent_) {
      const Value p = PowInt(Lower(base), static_cast<long>(std::fabs(c)));
      return c < 0 ? Emit(Op::CDiv, p, {}, 1) : p;
    }
    if (c == T(0.5)) return Emit(Op::Sqrt, Lower(base));
    if (c == T(-0.5)) return Emit(Op::CDiv, Emit(Op::Sqrt, Lower(base)), {}, 1);
    return Emit(Op::PowC, Lower(base), {}, c);
  }

  // A product as (numerator factors) / (denominator factors): x*y^-2 is x/(y*y), 3/4*x is x*3/4.
  Value Product(const GiNaC::ex& e) {
    using namespace GiNaC;
    std::vector<ex> num, den;
    for (size_t i = 0; i < e.nops(); ++i) {
      const ex f = e.op(i);
      if (is_exactly_a<power>(f) && is_exactly_a<numeric>(f.op(1)) && ex_to<numeric>(f.op(1)).is_real() &&
          ex_to<numeric>(f.op(1)).is_negative()) {
        den.push_back(pow(f.op(0), -f.op(1)));
      } else if (is_exactly_a<numeric>(f) && ex_to<numeric>(f).is_rational() && !ex_to<numeric>(f).is_integer() &&
                 ex_to<numeric>(f).numer().int_length() <= 53 && ex_to<numeric>(f).denom().int_length() <= 53) {
        const numeric& q = ex_to<numeric>(f);
        if (q.numer() != 1) num.push_back(q.numer());
        den.push_back(q.denom());
      } else {
        num.push_back(f);
      }
    }
    const auto multiply = [&](const std::vector<ex>& factors) {
      Value acc = Lower(factors[0]);
      for (size_t i = 1; i < factors.size(); ++i) acc = Emit(Op::Mul, acc, Lower(factors[i]));
      return acc;
    };
    const Value top = num.empty() ? Const(1) : multiply(num);
    return den.empty() ? top : Emit(Op::Div, top, multiply(den));
  }

  // A sum; a term with a negative coefficient is subtracted.
  Value Sum(const GiNaC::ex& e) {
    using namespace GiNaC;
    Value acc = Lower(e.op(0));
    for (size_t i = 1; i < e.nops(); ++i) {
      const ex t = e.op(i);
      const bool negative = is_exactly_a<mul>(t) && is_exactly_a<numeric>(t.op(t.nops() - 1)) &&
                            ex_to<numeric>(t.op(t.nops() - 1)).is_real() &&
                            ex_to<numeric>(t.op(t.nops() - 1)).is_negative();
      acc = negative ? Emit(Op::Sub, acc, Lower(-t)) : Emit(Op::Add, acc, Lower(t));
    }
    return acc;
  }

  Value LowerNew(const GiNaC::ex& e) {
    using namespace GiNaC;
    if (is_exactly_a<numeric>(e)) return Const(ToReal<T>(ex_to<numeric>(e)));
    if (is_a<symbol>(e)) {
      if (e.is_equal(u_)) return {Value::kU, 0, 0};
    } else if (is_a<constant>(e)) {
      const ex v = e.evalf();
      if (is_exactly_a<numeric>(v)) return Const(ToReal<T>(ex_to<numeric>(v)));
    } else if (is_exactly_a<add>(e)) {
      return Sum(e);
    } else if (is_exactly_a<mul>(e)) {
      return Product(e);
    } else if (is_exactly_a<power>(e)) {
      return Power(e.op(0), e.op(1));
    } else if (is_a<function>(e)) {
      static const std::map<std::string, Op> kOps = {
          {"sin", Op::Sin},   {"cos", Op::Cos},   {"tan", Op::Tan},   {"exp", Op::Exp},
          {"log", Op::Log},   {"abs", Op::Abs},   {"sinh", Op::Sinh}, {"cosh", Op::Cosh},
          {"tanh", Op::Tanh}, {"asin", Op::Asin}, {"acos", Op::Acos}, {"atan", Op::Atan}};
      const std::string name = ex_to<function>(e).get_name();
      const auto op = kOps.find(name);
      if (op != kOps.end() && e.nops() == 1) return Emit(op->second, Lower(e.op(0)));
      throw ModelError("the formula or its derivatives use " + name + ", which cannot be evaluated");
    }
    std::ostringstream shown;
    shown << e;
    throw ModelError("cannot evaluate " + FirstLine(shown.str()).substr(0, 60) + " in the formula");
  }

  // Registers for the steps: one is taken for each step's result and given back after the
  // last step that reads it (never for the result of the step that reads it last, so that no
  // loop writes the register it reads).
  Program<T> Allocate(const std::vector<Value>& outs) {
    const int n = static_cast<int>(steps_.size());
    std::vector<int> last(n, -1);
    const auto read = [&](const Value& v, int at) {
      if (v.kind == Value::kTemp) last[v.id] = at;
    };
    for (int i = 0; i < n; ++i) read(steps_[i].a, i), read(steps_[i].b, i);
    for (const Value& v : outs) read(v, n);
    Program<T> p;
    std::vector<int> reg(n), free;
    const auto operand = [&](const Value& v) {
      return v.kind == Value::kTemp ? reg[v.id] : v.kind == Value::kU ? kInput : kNone;
    };
    for (int i = 0; i < n; ++i) {
      const Ssa& s = steps_[i];
      if (free.empty()) {
        reg[i] = p.registers++;
      } else {
        reg[i] = free.back();
        free.pop_back();
      }
      p.steps.push_back({s.op, reg[i], operand(s.a), operand(s.b), s.c});
      if (s.a.kind == Value::kTemp && last[s.a.id] == i) free.push_back(reg[s.a.id]);
      if (s.b.kind == Value::kTemp && last[s.b.id] == i && !(s.a.kind == Value::kTemp && s.a.id == s.b.id))
        free.push_back(reg[s.b.id]);
      if (last[i] < 0) free.push_back(reg[i]);
    }
    for (const Value& v : outs) p.outputs.push_back({operand(v), v.c});
    return p;
  }

  GiNaC::ex u_;
  long max_exponent_ = kMaxExponent;
  std::vector<Ssa> steps_;
  std::map<GiNaC::ex, Value, GiNaC::ex_is_less> memo_;
};

struct Programs {
  Program<double> w, dw, d2w, wdw;
  Program<long double> lw, ldw, lwdw;
};

template <class T>
Program<T> Build(const GiNaC::ex& u, const std::vector<std::pair<GiNaC::ex, long>>& exprs) {
  return Builder<T>(u).Build(exprs);
}

class FormulaModel final : public FieldModel {
 public:
  FormulaModel(std::string text, std::string formula, std::vector<ModelParam> params, Programs p)
      : FieldModel(ModelName::Formula, std::move(text), std::move(formula), std::move(params)), p_(std::move(p)) {}

  double W(double u) const override { return RunPoint(p_.w, u); }
  double DW(double u) const override { return RunPoint(p_.dw, u); }
  double D2W(double u) const override { return RunPoint(p_.d2w, u); }
  long double W(long double u) const override { return RunPoint(p_.lw, u); }
  long double DW(long double u) const override { return RunPoint(p_.ldw, u); }
  void Evaluate(const double* u, double* dw, double* w, int n) const override {
    RunBlocks(w ? p_.wdw : p_.dw, u, dw, w, n);
  }
  void Evaluate(const long double* u, long double* dw, long double* w, int n) const override {
    RunBlocks(w ? p_.lwdw : p_.ldw, u, dw, w, n);
  }

 private:
  Programs p_;
};

// ---- Reading --------------------------------------------------------------------------------

struct Function {
  const char* name;
  double (*f)(double);
};
constexpr Function kFunctions[] = {
    {"sin", [](double x) { return std::sin(x); }},   {"cos", [](double x) { return std::cos(x); }},
    {"tan", [](double x) { return std::tan(x); }},   {"exp", [](double x) { return std::exp(x); }},
    {"log", [](double x) { return std::log(x); }},   {"sqrt", [](double x) { return std::sqrt(x); }},
    {"abs", [](double x) { return std::fabs(x); }},  {"sinh", [](double x) { return std::sinh(x); }},
    {"cosh", [](double x) { return std::cosh(x); }}, {"tanh", [](double x) { return std::tanh(x); }},
    {"asin", [](double x) { return std::asin(x); }}, {"acos", [](double x) { return std::acos(x); }},
    {"atan", [](double x) { return std::atan(x); }},
};

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Names a parameter cannot take: the variable, the constants, the functions, and the names
// GiNaC reads as its own constants (I, Pi, Euler, Catalan).
bool Reserved(const std::string& name) {
  for (const Function& f : kFunctions)
    if (name == f.name) return true;
  for (const char* r : {"u", "pi", "e", "I", "Pi", "Euler", "Catalan"})
    if (name == r) return true;
  return false;
}

void CheckParams(const std::vector<ModelParam>& params) {
  std::set<std::string> seen;
  for (const ModelParam& p : params) {
    const std::string& name = p.name;
    const bool word = !name.empty() && IsLetter(name[0]) &&
                      std::all_of(name.begin(), name.end(), [](char c) { return IsLetter(c) || IsDigit(c); });
    if (!word)
      throw ModelError("\"" + Shown(name) + "\" cannot name a parameter (a name has letters and digits and starts with a letter)");
    if (name.size() > static_cast<size_t>(mu::MaxLenIdentifier))
      throw ModelError("\"" + name + "\" cannot name a parameter (a name has at most " +
                       std::to_string(mu::MaxLenIdentifier) + " characters)");
    if (Reserved(name)) throw ModelError("\"" + name + "\" cannot name a parameter");
    if (!seen.insert(name).second) throw ModelError("the parameter " + name + " is given twice");
    if (!std::isfinite(p.value)) throw ModelError("the parameter " + name + " is not a finite number");
  }
}

// The formula's alphabet, and no sign right after an operator.
void CheckCharacters(const std::string& text) {
  constexpr std::string_view kOperators = "+-*/^";
  char before = 0;  // the last character other than a blank
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ' ' || c == '\t') continue;
    if (!IsLetter(c) && !IsDigit(c) && std::string_view(".+-*/^()").find(c) == std::string_view::npos) {
      const unsigned char b = static_cast<unsigned char>(c);
      if (b >= 0x20 && b < 0x7f) throw ModelError(At(i, "unexpected \"" + std::string(1, c) + "\""));
      throw ModelError(At(i, "unexpected byte 0" + Shown(std::string(1, c)).substr(1)));
    }
    if ((c == '+' || c == '-') && before != 0 && kOperators.find(before) != std::string_view::npos)
      throw ModelError(At(i, "a \"" + std::string(1, c) + "\" right after \"" + std::string(1, before) +
                                 "\" must be put in parentheses"));
    before = c;
  }
}

// A muparser that knows the formula's functions, constants and names; values are the
// variables' storage (u first when `with_u`).
void Configure(mu::Parser& p, const std::vector<ModelParam>& params, bool with_u, std::deque<double>& values) {
  p.ClearFun();
  p.ClearConst();
  p.DefineNameChars("0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ");
  p.DefineConst("pi", std::numbers::pi);
  p.DefineConst("e", std::numbers::e);
  for (const Function& f : kFunctions) p.DefineFun(f.name, f.f);
  if (with_u) p.DefineVar("u", &values.emplace_back(0.5));
  for (const ModelParam& q : params) p.DefineVar(q.name, &values.emplace_back(q.value));
}

struct Unknowns {
  std::vector<std::string> names;
  std::deque<double> values;
};

double* RecordUnknown(const char* name, void* data) {
  auto* unknowns = static_cast<Unknowns*>(data);
  unknowns->names.push_back(name);
  return &unknowns->values.emplace_back(0);
}

// Whether u is among the names of a formula that has a name muparser does not know.
bool NamesU(const std::string& text, const std::vector<ModelParam>& params) {
  mu::Parser p;
  std::deque<double> values;
  Unknowns unknowns;
  Configure(p, params, false, values);
  p.SetVarFactory(RecordUnknown, &unknowns);
  try {
    p.SetExpr(text);
    p.Eval();
  } catch (const mu::ParserError&) {
  }
  return std::find(unknowns.names.begin(), unknowns.names.end(), "u") != unknowns.names.end();
}

std::string Explain(const mu::ParserError& e, const std::string& text, const std::vector<ModelParam>& params,
                    bool constant) {
  const std::string token = Trim(e.GetToken());
  const int pos = e.GetPos();
  const size_t at = pos >= 0 ? static_cast<size_t>(pos) : 0;
  const std::string end = "cannot read the formula at its end (character " + std::to_string(text.find_last_not_of(" \t") + 2) + "): ";
  const std::string quoted = "\"" + token + "\"";
  switch (e.GetCode()) {
    case mu::ecUNASSIGNABLE_TOKEN:
      if (!token.empty() && IsLetter(token[0])) {
        size_t next = text.find_first_not_of(" \t", at + token.size());
        if (next != std::string::npos && text[next] == '(') return "unknown function " + quoted;
        if (constant || NamesU(text, params)) return "the parameter " + token + " is not given";
        return "unknown name " + quoted + " in the formula (the variable is u; other names are parameters)";
      }
      if (!token.empty() && (IsDigit(token[0]) || token[0] == '.')) {
        // muparser's token is not the whole number: it is read from the formula, up to the first
        // character that cannot be in one.
        const std::string from = text.substr(std::min(at, text.size()));
        size_t stop_at = from.find_first_not_of("0123456789.");
        if (stop_at != std::string::npos && (from[stop_at] == 'e' || from[stop_at] == 'E')) {
          const size_t sign = stop_at + 1;
          stop_at = from.find_first_not_of("0123456789", sign < from.size() && (from[sign] == '+' || from[sign] == '-') ? sign + 1 : sign);
        }
        const std::string number = from.substr(0, stop_at);
        char* stop = nullptr;
        errno = 0;
        std::strtod(number.c_str(), &stop);
        if (errno == ERANGE && *stop == 0) return At(at, "the number " + number + " is out of the range of a double");
        return At(at, "bad number \"" + number + "\"");
      }
      return At(at, "unexpected " + quoted);
    case mu::ecUNEXPECTED_EOF: return end + "it stops too early";
    case mu::ecMISSING_PARENS: return end + "a \"(\" is not closed";
    case mu::ecEMPTY_EXPRESSION: return "the formula is empty";
    case mu::ecTOO_MANY_PARAMS:
    case mu::ecTOO_FEW_PARAMS: return At(at, token + " takes one argument");
    case mu::ecIDENTIFIER_TOO_LONG: return At(at, "a name is longer than " + std::to_string(mu::MaxLenIdentifier) + " characters");
    case mu::ecUNEXPECTED_OPERATOR:
    case mu::ecUNEXPECTED_VAL:
    case mu::ecUNEXPECTED_VAR:
    case mu::ecUNEXPECTED_PARENS:
    case mu::ecUNEXPECTED_FUN:
    case mu::ecUNEXPECTED_ARG_SEP:
    case mu::ecUNEXPECTED_ARG:
      if (!token.empty()) return At(at, "unexpected " + quoted);
      break;
    default: break;
  }
  const std::string what = FirstLine(e.GetMsg());
  return pos >= 0 ? At(at, what) : "cannot read the formula: " + what;
}

// Reads the syntax and returns the names of variables the formula uses.
std::set<std::string> ReadSyntax(const std::string& text, const std::vector<ModelParam>& params, bool constant) {
  if (text.size() > kMaxFormulaLength)
    throw ModelError("the formula is longer than " + std::to_string(kMaxFormulaLength) + " characters");
  if (Trim(text).empty()) throw ModelError("the formula is empty");
  CheckCharacters(text);
  mu::Parser p;
  std::deque<double> values;
  Configure(p, params, true, values);
  try {
    p.SetExpr(text);
    p.Eval();
    std::set<std::string> used;
    for (const auto& [name, value] : p.GetUsedVar()) used.insert(name);
    return used;
  } catch (const mu::ParserError& e) {
    throw ModelError(Explain(e, text, params, constant));
  }
}

// ---- GiNaC ----------------------------------------------------------------------------------
// GiNaC is not thread-safe and evaluates exact numbers eagerly (2^(2^(2^(2^(2^2)))) is
// computed as it is built). A session holds a lock and caps the numbers CLN may allocate;
// past the cap the build stops with TooLarge.

struct TooLarge {};

constexpr size_t kMaxNumberBytes = 64 << 10;
constexpr size_t kMaxSessionBytes = 32 << 20;
size_t g_session_bytes = 0;
void* (*g_plain_malloc)(size_t) = nullptr;

void* CappedMalloc(size_t size) {
  g_session_bytes += size;
  if (size > kMaxNumberBytes || g_session_bytes > kMaxSessionBytes) throw TooLarge{};
  return g_plain_malloc(size);
}

class Session {
 public:
  Session() : lock_(Mutex()) {
    g_plain_malloc = cln::malloc_hook;
    g_session_bytes = 0;
    cln::malloc_hook = CappedMalloc;
    underflow_ = cln::cl_inhibit_floating_point_underflow;
    cln::cl_inhibit_floating_point_underflow = true;  // a tiny number becomes 0, as in a double
    digits_ = GiNaC::Digits;
    GiNaC::Digits = 40;  // floating-point numbers of the formula, past long double's digits
  }
  ~Session() {
    GiNaC::Digits = digits_;
    cln::cl_inhibit_floating_point_underflow = underflow_;
    cln::malloc_hook = g_plain_malloc;
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

 private:
  static std::mutex& Mutex() {
    static std::mutex mutex;
    return mutex;
  }
  std::lock_guard<std::mutex> lock_;
  bool underflow_;
  long digits_;
};

const GiNaC::prototype_table& Functions() {
  static const GiNaC::prototype_table table = [] {
    GiNaC::prototype_table t;
    for (const auto& [proto, reader] : GiNaC::get_default_reader())
      for (const Function& f : kFunctions)
        if (proto.first == f.name && proto.second == 1) t.insert({proto, reader});
    return t;
  }();
  return table;
}

GiNaC::ex Parse(const std::string& text, const std::vector<ModelParam>& params, const GiNaC::ex& u) {
  GiNaC::symtab names;
  names["u"] = u;
  names["pi"] = GiNaC::Pi;
  names["e"] = GiNaC::exp(GiNaC::ex(1));
  for (const ModelParam& p : params) names[p.name] = GiNaC::numeric(p.value);
  GiNaC::parser reader(names, true, Functions());
  return reader(text);
}

// Runs `build` in a session and turns what GiNaC and CLN throw into a ModelError.
template <class F>
auto InSession(F build) {
  try {
    Session session;
    return build();
  } catch (const ModelError&) {
    throw;
  } catch (const TooLarge&) {
    throw ModelError("the formula needs numbers too large to compute");
  } catch (const GiNaC::pole_error& e) {
    std::string what = FirstLine(e.what());
    const size_t colon = what.find("): ");
    if (colon != std::string::npos) what = what.substr(colon + 3);
    throw ModelError("the formula divides by zero or has a pole: " + what);
  } catch (const GiNaC::parse_error& e) {
    std::string what = FirstLine(e.what());
    const size_t colon = what.find("column ");
    if (colon != std::string::npos && what.find(": ", colon) != std::string::npos)
      what = what.substr(what.find(": ", colon) + 2);
    throw ModelError("cannot read the formula: " + what);
  } catch (const std::invalid_argument& e) {
    if (std::string(e.what()).find("power should have exactly 2 operands") != std::string::npos)
      throw ModelError("cannot read the formula: a^b^c needs parentheses, a^(b^c) or (a^b)^c");
    throw ModelError("cannot read the formula: " + FirstLine(e.what()));
  } catch (const cln::floating_point_overflow_exception&) {
    throw ModelError("a number in the formula overflows");
  } catch (const std::exception& e) {
    throw ModelError("cannot use the formula: " + FirstLine(e.what()));
  }
}

}  // namespace

std::shared_ptr<const FieldModel> FieldModel::Make(const std::string& text, const std::vector<ModelParam>& params) {
  const std::string formula = Trim(text);
  const auto named = [&]<class M>(M) -> std::shared_ptr<const FieldModel> {
    if (!params.empty()) throw ModelError("the model " + formula + " takes no parameters");
    return std::make_shared<NamedModel<M>>(text);
  };
  if (formula == "phi4") return named(Phi4{});
  if (formula == "phi6") return named(Phi6{});
  if (formula == "sine-gordon") return named(SineGordon{});

  CheckParams(params);
  const std::set<std::string> used = ReadSyntax(text, params, false);
  for (const ModelParam& p : params)
    if (!used.count(p.name)) throw ModelError("the parameter " + p.name + " is not used by the formula");
  Programs programs = InSession([&] {
    const GiNaC::realsymbol u("u");
    const GiNaC::ex w = Parse(text, params, u);
    if (!w.has(u)) throw ModelError("the formula does not depend on u");
    const GiNaC::ex dw = w.diff(u);
    const GiNaC::ex d2w = dw.diff(u);
    const long deriv = kMaxExponent + 2;
    Programs p;
    p.w = Build<double>(u, {{w, kMaxExponent}});
    p.dw = Build<double>(u, {{dw, deriv}});
    p.d2w = Build<double>(u, {{d2w, deriv}});
    p.wdw = Build<double>(u, {{w, kMaxExponent}, {dw, deriv}});
    p.lw = Build<long double>(u, {{w, kMaxExponent}});
    p.ldw = Build<long double>(u, {{dw, deriv}});
    p.lwdw = Build<long double>(u, {{w, kMaxExponent}, {dw, deriv}});
    return p;
  });
  return std::make_shared<FormulaModel>(text, formula, params, std::move(programs));
}

double FieldModel::Constant(const std::string& text, const std::vector<ModelParam>& params) {
  CheckParams(params);
  if (ReadSyntax(text, params, true).count("u")) throw ModelError("a vacuum cannot depend on u");
  return InSession([&] {
    const GiNaC::realsymbol u("u");
    const GiNaC::ex v = Parse(text, params, u).evalf();
    if (!GiNaC::is_exactly_a<GiNaC::numeric>(v) || !GiNaC::ex_to<GiNaC::numeric>(v).is_real())
      throw ModelError("the value of " + Trim(text) + " is not a real number");
    return ToReal<double>(GiNaC::ex_to<GiNaC::numeric>(v));
  });
}

std::string FieldModel::Description() const {
  std::string text = formula_;
  for (size_t i = 0; i < params_.size(); ++i)
    text += (i == 0 ? " with " : ", ") + params_[i].name + "=" + Shortest(params_[i].value);
  return text;
}

}  // namespace kl
