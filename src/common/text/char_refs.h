#pragma once

#include <string>
#include <string_view>

namespace valmeric {

// Decodes the HTML character references, named (&amp; &times; ...) and
// numeric (&#39; &#x27;), in Shift_JIS text, where CP932 can hold the
// character; &nbsp; becomes a plain space, and so does a reference to a line
// break, a tab or another control character (&#13;&#10; &Tab;), so that the
// text stays on one line. An unknown reference, one CP932 cannot hold
// (&copy;), or &#0; stays as written.
std::string DecodeCharRefs(std::string_view text);
std::string DecodeCharRefs(std::string&& text);  // reuses text when it holds no "&"

}  // namespace valmeric
