#pragma once
// A model of the field other than the window's family: a potential W(u) that is named (phi4,
// phi6, sine-gordon, evaluated by compiled code) or typed as a formula in u with parameters.
// A formula is parsed and differentiated symbolically (GiNaC), so dW/du and d2W/du2 are exact;
// its three expressions are then flattened into short programs that the step runs over blocks
// of points, so that the cost of reading the program is shared by the points of a block.
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace kl {

// A formula or a model that cannot be used; the message names the reason (and, for a formula
// that does not parse, where), never the option: the caller adds that.
struct ModelError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

enum class ModelName { Formula, Phi4, Phi6, SineGordon };

struct ModelParam {
  std::string name;
  double value = 0;
  friend bool operator==(const ModelParam&, const ModelParam&) = default;
};

class FieldModel {
 public:
  // A named model ("phi4", "phi6", "sine-gordon") or a formula in u. Every name in a formula
  // other than u, pi, e and the functions must be one of `params`; every parameter must be
  // used by the formula. Throws ModelError.
  static std::shared_ptr<const FieldModel> Make(const std::string& text, const std::vector<ModelParam>& params);
  // The value of a constant formula (numbers, pi, e, the functions and `params`; no u), for
  // the vacua of a chain written as `2*pi`. Throws ModelError.
  static double Constant(const std::string& text, const std::vector<ModelParam>& params);

  virtual ~FieldModel() = default;

  ModelName Name() const { return name_; }
  // As given: "phi6", or the formula.
  const std::string& Text() const { return text_; }
  // The formula of W in u ("u^2*(1-u^2)^2/2" for phi6).
  const std::string& Formula() const { return formula_; }
  const std::vector<ModelParam>& Params() const { return params_; }
  // The formula and its parameters in one line: "u^2*(1-u^2)^2/2 + eps*u with eps=0.01".
  std::string Description() const;

  // W, dW/du and d2W/du2 at one point.
  virtual double W(double u) const = 0;
  virtual double DW(double u) const = 0;
  virtual double D2W(double u) const = 0;
  virtual long double W(long double u) const = 0;
  virtual long double DW(long double u) const = 0;

  // Over n points: dw[i] = dW/du (u[i]) and, when `w` is not null, w[i] = W(u[i]). The same
  // bits as DW and W one point at a time, whatever n and wherever a block starts.
  virtual void Evaluate(const double* u, double* dw, double* w, int n) const = 0;
  virtual void Evaluate(const long double* u, long double* dw, long double* w, int n) const = 0;

 protected:
  FieldModel(ModelName name, std::string text, std::string formula, std::vector<ModelParam> params)
      : name_(name), text_(std::move(text)), formula_(std::move(formula)), params_(std::move(params)) {}

 private:
  ModelName name_;
  std::string text_, formula_;
  std::vector<ModelParam> params_;
};

}  // namespace kl
