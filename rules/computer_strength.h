#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace zp {

// How the computer player chooses its word. The host picks it; a table that is not told
// plays Classic.
enum class ComputerStrength { Easy, Classic, Strong, Expert };

inline constexpr std::array<ComputerStrength, 4> kComputerStrengths = {
    ComputerStrength::Easy, ComputerStrength::Classic, ComputerStrength::Strong,
    ComputerStrength::Expert};

// "easy", "classic", "strong" or "expert": the settings value and the command-line word.
std::string_view computerStrengthName(ComputerStrength strength);
// The strength a name stands for, in any case; nothing for any other text.
std::optional<ComputerStrength> computerStrengthNamed(std::string_view name);
// As computerStrengthNamed, but anything unknown (a hand-edited settings file) is Classic.
ComputerStrength parseComputerStrength(std::string_view name);

}  // namespace zp
