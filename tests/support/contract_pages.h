#pragma once

// The pages of the download contract's routes, as the server sends them (the
// compressed ones before compression). Free of any server code, so that the
// tests built for Windows can see them.

#include <map>
#include <string>

namespace valmeric::test::contract {

// 1500 letters with a zero byte at 10 and at 1200, in two read chunks.
inline const std::string kZerosBody = [] {
  std::string body(1500, 'a');
  for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>('a' + i % 26);
  body[10] = '\0';
  body[1200] = '\0';
  return body;
}();

// Served compressed under /gzip/NAME and /deflate/NAME.
inline const std::map<std::string, std::string> kCompressedBodies = {
    {"page", "<html>\n<h1>\xA4\xA2</h1>\n</html>\n"},
    {"zeros", std::string("before\0after", 12)},
    {"huge", std::string(200000, 'x')},
};

// /big sends this many bytes, chunked.
inline constexpr size_t kBigBodyBytes = 200000;

}  // namespace valmeric::test::contract
