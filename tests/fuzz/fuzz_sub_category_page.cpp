#include <cstddef>
#include <cstdint>
#include <string>

#include "common/text/page_lines.h"
#include "common/text/sjis_text.h"
#include "refdb/list_page_readers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string page(reinterpret_cast<const char*>(data), size);
  const valmeric::PageLines lines(page);
  // Line numbers count the blank lines a long run leaves out.
  const size_t total = valmeric::SplitLines(page).size();
  int last_category = 0;
  for (const auto& sub : valmeric::ReadSubCategoryListPage(lines)) {
    if (sub.code.empty() || sub.line > total || sub.category < last_category) __builtin_trap();
    last_category = sub.category;
  }
  return 0;
}
