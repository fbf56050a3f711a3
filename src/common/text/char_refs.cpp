#include "common/text/char_refs.h"

#include <algorithm>
#include <array>
#include <optional>

#include "common/text/sjis_text.h"
#include "common/text/text_encoding.h"

namespace valmeric {
namespace {

struct NamedRef {
  std::string_view name;
  char32_t code_point;
};

// Sorted by name.
constexpr NamedRef kNamedRefs[] = {
#include "common/text/named_char_refs.inc"
};

// The longest reference body decoded: a long name, or "#x10FFFF".
constexpr size_t kLongestBody = 40;

std::optional<char32_t> LookUpName(std::string_view name) {
  // A no-break space has no place in CP932: it becomes a plain one.
  if (name == "nbsp") return U' ';
  const auto* end = std::end(kNamedRefs);
  const auto* ref =
      std::lower_bound(std::begin(kNamedRefs), end, name,
                       [](const NamedRef& r, std::string_view n) { return r.name < n; });
  if (ref == end || ref->name != name) return std::nullopt;
  return ref->code_point;
}

bool IsDigit(char c, bool hex) {
  return (c >= '0' && c <= '9') || (hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')));
}

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}

std::optional<char32_t> ParseNumber(std::string_view body) {
  const bool hex = !body.empty() && (body[0] == 'x' || body[0] == 'X');
  if (hex) body.remove_prefix(1);
  if (body.empty() || body.size() > 8) return std::nullopt;
  char32_t value = 0;
  for (char c : body) {
    if (!IsDigit(c, hex)) return std::nullopt;
    value = value * (hex ? 16 : 10) + static_cast<char32_t>(DigitValue(c));
  }
  return value;
}

// A line break, a tab or another control character (C0, DEL, C1).
bool IsControl(char32_t code_point) {
  return code_point < 0x20 || (code_point >= 0x7F && code_point <= 0x9F);
}

// Appends the decoded form of the reference body (between "&" and ";") to out,
// or returns false when it is not one that is decoded.
bool AppendDecoded(std::string_view body, std::string& out) {
  const bool numeric = !body.empty() && body[0] == '#';
  const auto code_point = numeric ? ParseNumber(body.substr(1)) : LookUpName(body);
  if (!code_point || *code_point == 0) return false;
  // A field is one line of a CSV file: &#13;&#10; in a name must not break it.
  if (IsControl(*code_point)) {
    out.push_back(' ');
    return true;
  }
  return AppendCodePointAsSjis(*code_point, out);
}

}  // namespace

std::string DecodeCharRefs(std::string_view text) {
  if (text.find('&') == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size());
  size_t at = 0;
  while (at < text.size()) {
    const auto b = static_cast<unsigned char>(text[at]);
    if (text[at] == '&') {
      // The ";" is looked for no further than the longest body: a search to
      // the field's end after every "&" makes a field of them quadratic.
      const std::string_view window = text.substr(at + 1, kLongestBody + 1);
      const size_t body = window.find(';');
      if (body != std::string_view::npos && AppendDecoded(window.substr(0, body), out)) {
        at += body + 2;
        continue;
      }
    }
    const size_t n = IsSjisLeadByte(b) && at + 1 < text.size() ? 2 : 1;
    out.append(text.substr(at, n));
    at += n;
  }
  return out;
}

std::string DecodeCharRefs(std::string&& text) {
  if (text.find('&') == std::string::npos) return std::move(text);
  return DecodeCharRefs(std::string_view(text));
}

}  // namespace valmeric
