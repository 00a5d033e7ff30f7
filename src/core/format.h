#pragma once
// The project's text formatting. g++ 12 has no <format>; {fmt} offers the same "{}" syntax, so
// messages keep their placeholders and move to std::format unchanged once the compiler has it.
#include <fmt/format.h>
#include <fmt/ranges.h>

namespace vrn {
using fmt::format;
using fmt::format_error;
using fmt::format_to;
using fmt::runtime;
}  // namespace vrn
