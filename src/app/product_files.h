// What the setup records of the product it installs, beside the names in system/product.h.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "system/product.h"

namespace corvane {

// "6, 1, 0, 0" -> "6.1.0.0": the version record's FileVersion as deployment tools compare it.
std::string DisplayVersionOf(std::string_view fileVersion);

// The expanded size of the payload's files in KB, rounded up; 0 for a malformed payload.
std::uint32_t ExpandedSizeKb(std::span<const std::uint8_t> payload);

}  // namespace corvane
