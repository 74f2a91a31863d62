#include "rules/computer_strength.h"

namespace zp {

std::string_view computerStrengthName(ComputerStrength strength) {
  switch (strength) {
    case ComputerStrength::Easy:
      return "easy";
    case ComputerStrength::Strong:
      return "strong";
    case ComputerStrength::Expert:
      return "expert";
    case ComputerStrength::Classic:
      break;
  }
  return "classic";
}

std::optional<ComputerStrength> computerStrengthNamed(std::string_view name) {
  for (const ComputerStrength strength : kComputerStrengths) {
    const std::string_view known = computerStrengthName(strength);
    if (name.size() != known.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < name.size() && same; ++i) {
      const char c =
          name[i] >= 'A' && name[i] <= 'Z' ? static_cast<char>(name[i] - 'A' + 'a') : name[i];
      same = c == known[i];
    }
    if (same) return strength;
  }
  return std::nullopt;
}

ComputerStrength parseComputerStrength(std::string_view name) {
  return computerStrengthNamed(name).value_or(ComputerStrength::Classic);
}

}  // namespace zp
