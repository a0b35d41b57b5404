#pragma once
// Message boxes as the program sees them; the window shows real ones, tests answer them.
#include <string>

namespace kl {

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  virtual void Error(const std::string& text) = 0;
  virtual void Information(const std::string& text) = 0;
  virtual bool AskYesNo(const std::string& text) = 0;
};

}  // namespace kl
