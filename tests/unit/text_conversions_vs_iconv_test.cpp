// The conversions, which read the generated CP932 tables, against glibc's
// iconv, which the tables come from: every character, every byte pair and a
// wide sample of malformed text must come out byte for byte the same,
// replacements included.

#include <iconv.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <initializer_list>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common/text/euc_to_ansi.h"
#include "common/text/text_encoding.h"
#include "support/cp932_check.h"

namespace valmeric {
namespace {

using test::Hex;

class Iconv final {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
  }
  ~Iconv() { iconv_close(cd_); }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  // Converts input; where iconv stops at a sequence it cannot convert (or one
  // cut off at the end), appends replacement and steps over skip(input, at) bytes.
  template <typename SkipFn>
  std::string Convert(std::string_view input, std::string_view replacement, SkipFn skip) {
    std::string out;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    size_t at = 0;
    char buffer[1024];
    while (at < input.size()) {
      char* in_ptr = const_cast<char*>(input.data() + at);
      size_t in_left = input.size() - at;
      char* out_ptr = buffer;
      size_t out_left = sizeof buffer;
      const size_t rc = iconv(cd_, &in_ptr, &in_left, &out_ptr, &out_left);
      const int error = errno;
      out.append(buffer, static_cast<size_t>(out_ptr - buffer));
      at = input.size() - in_left;
      if (rc != static_cast<size_t>(-1) || error == E2BIG) continue;
      out.append(replacement);
      at += skip(input, at);
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
  }

 private:
  iconv_t cd_;
};

bool ByteInRange(std::string_view text, size_t at, unsigned lo, unsigned hi) {
  if (at >= text.size()) return false;
  const auto b = static_cast<unsigned char>(text[at]);
  return b >= lo && b <= hi;
}

// How many bytes one replacement stands for, in each encoding.
size_t EucSkip(std::string_view text, size_t at) {
  const auto b = static_cast<unsigned char>(text[at]);
  if (b == 0x8E) return ByteInRange(text, at + 1, 0xA1, 0xDF) ? 2 : 1;
  if (b == 0x8F) {
    return ByteInRange(text, at + 1, 0xA1, 0xFE) && ByteInRange(text, at + 2, 0xA1, 0xFE) ? 3 : 1;
  }
  if (b >= 0xA1 && b <= 0xFE) return ByteInRange(text, at + 1, 0xA1, 0xFE) ? 2 : 1;
  return 1;
}

size_t SjisSkip(std::string_view text, size_t at) {
  const auto b = static_cast<unsigned char>(text[at]);
  const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
  return lead && ByteInRange(text, at + 1, 0x40, 0xFC) ? 2 : 1;
}

size_t Utf8Skip(std::string_view text, size_t at) {
  const auto b = static_cast<unsigned char>(text[at]);
  size_t n = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
  size_t k = 1;
  while (k < n && ByteInRange(text, at + k, 0x80, 0xBF)) ++k;
  return k;
}

std::string IconvEucToAnsi(std::string_view euc) {
  thread_local Iconv converter("CP932", "EUC-JP-MS");
  return converter.Convert(euc.substr(0, euc.find('\0')), "?", EucSkip);
}

std::string IconvUtf8ToSjis(std::string_view utf8) {
  thread_local Iconv converter("CP932", "UTF-8");
  return converter.Convert(utf8, "?", Utf8Skip);
}

std::string IconvSjisToUtf8(std::string_view sjis) {
  thread_local Iconv converter("UTF-8", "CP932");
  return converter.Convert(sjis, "\xEF\xBF\xBD", SjisSkip);
}

// The converted text up to where iconv first stops, and that offset (npos
// when it converts the whole text).
std::string IconvUpToFirstFault(Iconv& converter, std::string_view text) {
  size_t first = std::string_view::npos;
  std::string out = converter.Convert(text, "", [&first](std::string_view t, size_t at) {
    first = at;
    return t.size() - at;
  });
  return out + " | " + std::to_string(first);
}

std::string IconvFindInvalidSjis(std::string_view sjis) {
  thread_local Iconv converter("UTF-8", "CP932");
  const std::string converted = IconvUpToFirstFault(converter, sjis);
  return converted.substr(converted.rfind(" | ") + 3);
}

std::string OursFindInvalidSjis(std::string_view sjis) {
  return std::to_string(FindInvalidSjis(sjis));
}

std::string IconvUtf8ToSjisChecked(std::string_view utf8) {
  thread_local Iconv converter("CP932", "UTF-8");
  return IconvUpToFirstFault(converter, utf8);
}

std::string OursUtf8ToSjisChecked(std::string_view utf8) {
  std::string out;
  const size_t fault = AppendUtf8AsSjisChecked(utf8, out);
  return out + " | " + std::to_string(fault);
}

std::string Utf8(char32_t c) {
  std::string s;
  if (c < 0x80) {
    s += static_cast<char>(c);
  } else if (c < 0x800) {
    s += static_cast<char>(0xC0 | c >> 6);
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    s += static_cast<char>(0xE0 | c >> 12);
    s += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    s += static_cast<char>(0xF0 | c >> 18);
    s += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    s += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  }
  return s;
}

std::string Bytes(std::initializer_list<unsigned> values) {
  std::string s;
  for (unsigned v : values) s += static_cast<char>(v);
  return s;
}

// Every pair of a byte from 0x80 and any byte, then an ASCII letter: all
// EUC-JP and CP932 two-byte characters, two-byte UTF-8, and their faults.
std::vector<std::string> EveryHighPair() {
  std::vector<std::string> inputs;
  for (unsigned first = 0x80; first <= 0xFF; ++first) {
    for (unsigned second = 0; second <= 0xFF; ++second)
      inputs.push_back(Bytes({first, second, 'x'}));
  }
  return inputs;
}

// 0x8F and every two bytes after it: the three-byte EUC-JP characters.
std::vector<std::string> EveryEucThreeByte() {
  std::vector<std::string> inputs;
  for (unsigned second = 0x80; second <= 0xFF; ++second) {
    for (unsigned third = 0; third <= 0xFF; ++third) inputs.push_back(Bytes({0x8F, second, third}));
  }
  return inputs;
}

// Every code point written as UTF-8 (surrogates too, which makes them
// malformed) between two letters.
std::vector<std::string> EveryCodePoint() {
  std::vector<std::string> inputs;
  for (char32_t c = 0; c <= 0x10FFFF; ++c) inputs.push_back("a" + Utf8(c) + "z");
  return inputs;
}

// Malformed UTF-8: each start byte from 0xC0 with three bytes chosen where
// the readers' bounds lie (continuation ranges, overlong and surrogate edges).
std::vector<std::string> Utf8Edges() {
  const unsigned edges[] = {0x41, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC2, 0xE3, 0xF0};
  std::vector<std::string> inputs;
  for (unsigned first = 0xC0; first <= 0xFF; ++first) {
    for (unsigned b1 : edges) {
      for (unsigned b2 : edges) {
        for (unsigned b3 : edges) inputs.push_back(Bytes({first, b1, b2, b3}));
      }
    }
  }
  return inputs;
}

// Text made of random pieces: any byte, CP932 and EUC-JP characters, UTF-8 of
// any code point; the same texts on every run.
std::vector<std::string> RandomPieces() {
  std::mt19937 random(20261209);
  auto pick = [&random](unsigned lo, unsigned hi) {
    return std::uniform_int_distribution<unsigned>(lo, hi)(random);
  };
  std::vector<std::string> inputs;
  for (int i = 0; i < 50000; ++i) {
    std::string text;
    for (unsigned n = pick(1, 8); n > 0; --n) {
      switch (pick(0, 4)) {
        case 0:
          text += Bytes({pick(0, 0xFF)});
          break;
        case 1:
          text += Bytes({pick(0x81, 0xFC), pick(0, 0xFF)});
          break;
        case 2:
          text += Bytes({pick(0xA1, 0xFE), pick(0xA1, 0xFE)});
          break;
        case 3:
          text += Utf8(pick(0x80, 0xFFFF));
          break;
        default:
          text += Utf8(pick(0x10000, 0x10FFFF));
          break;
      }
    }
    inputs.push_back(text);
  }
  return inputs;
}

TEST(TextConversionsVsIconv, EveryFunctionGivesIconvsBytesOnEveryInput) {
  struct Conversion {
    const char* name;
    std::string (*ours)(std::string_view);
    std::string (*iconv)(std::string_view);
  };
  const Conversion conversions[] = {
      {"EucToAnsi", EucToAnsi, IconvEucToAnsi},
      {"Utf8ToSjis", Utf8ToSjis, IconvUtf8ToSjis},
      {"SjisToUtf8", SjisToUtf8, IconvSjisToUtf8},
      {"FindInvalidSjis", OursFindInvalidSjis, IconvFindInvalidSjis},
      {"AppendUtf8AsSjisChecked", OursUtf8ToSjisChecked, IconvUtf8ToSjisChecked},
  };
  const struct {
    const char* name;
    std::vector<std::string> (*inputs)();
  } input_sets[] = {
      {"every high byte pair", EveryHighPair},
      {"every EUC-JP three-byte sequence", EveryEucThreeByte},
      {"every code point as UTF-8", EveryCodePoint},
      {"UTF-8 edges", Utf8Edges},
      {"random pieces", RandomPieces},
  };
  int mismatches = 0;
  for (const auto& set : input_sets) {
    for (const std::string& input : set.inputs()) {
      for (const Conversion& c : conversions) {
        const std::string ours = c.ours(input);
        const std::string expected = c.iconv(input);
        if (ours == expected) continue;
        ADD_FAILURE() << c.name << " on " << set.name << " input " << Hex(input) << ": got "
                      << Hex(ours) << "iconv gives " << Hex(expected);
        ASSERT_LT(++mismatches, 20) << "giving up";
      }
    }
  }
}

TEST(TextConversionsVsIconv, EveryCodePointAppendsAsIconvConvertsIt) {
  Iconv converter("CP932", "UTF-32LE");
  for (char32_t c = 1; c <= 0x110000; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    std::string ours = "kept";
    const bool converted = AppendCodePointAsSjis(c, ours);
    bool failed = false;
    const std::string utf32 = Bytes({c & 0xFF, c >> 8 & 0xFF, c >> 16 & 0xFF, c >> 24});
    const std::string expected = converter.Convert(utf32, "", [&failed](std::string_view, size_t) {
      failed = true;
      return size_t{4};
    });
    const bool iconv_converts = !failed && !expected.empty();
    ASSERT_EQ(converted, iconv_converts) << std::hex << static_cast<unsigned>(c);
    ASSERT_EQ(ours, "kept" + (converted ? expected : "")) << std::hex << static_cast<unsigned>(c);
  }
}

}  // namespace
}  // namespace valmeric
