#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace valmeric {

// CRC-32 (the polynomial of zip and PNG) of bytes, continued from crc: the
// CRC of a whole file is the CRC of its pieces taken in order, starting at 0.
std::uint32_t Crc32(std::string_view bytes, std::uint32_t crc = 0);

}  // namespace valmeric
