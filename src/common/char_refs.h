#pragma once

#include <string>
#include <string_view>

namespace valmeric {

// Decodes the HTML character references &amp; &lt; &gt; &quot; &apos; and the
// numeric ones (&#39; &#x27;) in Shift_JIS text, where CP932 can hold the
// character. Any other reference, or one CP932 cannot hold, stays as written.
std::string DecodeCharRefs(std::string_view text);
std::string DecodeCharRefs(std::string&& text);  // reuses text when it holds no "&"

}  // namespace valmeric
