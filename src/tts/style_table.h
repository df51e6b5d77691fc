// The speaking styles the program offers: the service's style names with their Chinese
// labels, in the fixed order in which they are compared and listed.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace lectoria {

/// One row of the style table: the service's name and the label shown in the style box (GBK).
struct StyleRow {
  std::string_view serviceName;
  std::string_view label;
};

/// The 15 rows, in table order; the last is "Default" / "默认".
extern const std::array<StyleRow, 15> kStyleTable;

/// The label of the last row, which ends every style list: "默认".
extern const std::string_view kDefaultStyleLabel;

/// The label of a service style name (exact, case-sensitive); nothing when it is not listed.
std::optional<std::string_view> LabelForStyle(std::string_view serviceName);

/// The service style name of a label (byte-wise); nothing when it is not listed.
std::optional<std::string_view> StyleForLabel(std::string_view label);

}  // namespace lectoria
