#pragma once

#include <ostream>

// A parameterised case prints as its name, so test names and failure
// messages show which case it is rather than its raw bytes.
#define VALMERIC_PRINT_CASE_BY_NAME(Case)                \
  inline void PrintTo(const Case& c, std::ostream* os) { \
    *os << c.name;                                       \
  }
