#pragma once
// The design-time texts of the fifteen bitmap number fields Edit1 to Edit15, which a field keeps
// when "Settings.ini" has no value for it. Index 0 is Edit1.
//   1 status area, 2 main area, 3 control area,
//   4 to 9 the first-form menu icons Camera, Organiser, Music, Games, Extras, Setup,
//   10 to 15 the second-form icons in the same order.
#include <array>
#include <string>
#include <string_view>

namespace vexaro {

inline constexpr int kFieldCount = 15;

inline constexpr std::array<std::string_view, kFieldCount> kFieldDefaults = {
    "002", "003", "004", "165", "023", "133", "109", "121", "073", "167", "025", "135", "111", "123", "075",
};

// "Settings.ini" keeps the field texts in this section, under the keys "1" to "15".
inline constexpr const char* kFieldSettingsSection = "Files";

// Default text of field `n` (1 to 15).
inline std::string FieldDefault(int n) { return std::string(kFieldDefaults.at(static_cast<std::size_t>(n - 1))); }

} // namespace vexaro
