// Writes src/common/text/cp932_tables.inc: the code tables the core converts text
// with, read from glibc's iconv so that a build without iconv gives the same
// bytes as iconv does.
//
// usage: cp932_tables OUTPUT_FILE   (cmake --build <dir> --target generate_cp932_tables)
//
// Every assumption the converters make about the tables is checked here; the
// file is written only when all of them hold.

#include <iconv.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

constexpr int kCells = 94;           // 0xA1..0xFE, each byte of an EUC-JP character
constexpr unsigned kTrailLo = 0x40;  // CP932 trail bytes: 0x40..0xFC
constexpr unsigned kTrailHi = 0xFC;

bool IsLead(unsigned b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

std::vector<unsigned> Range(unsigned first, unsigned last) {
  std::vector<unsigned> labels;
  for (unsigned v = first; v <= last; ++v) labels.push_back(v);
  return labels;
}

std::vector<unsigned> Leads() {
  std::vector<unsigned> leads = Range(0x81, 0x9F);
  for (unsigned lead : Range(0xE0, 0xFC)) leads.push_back(lead);
  return leads;
}

class Iconv final {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
    }
  }
  ~Iconv() { iconv_close(cd_); }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  // The whole of input converted, or nothing when any of it fails.
  std::optional<std::string> Convert(std::string_view input) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* in_ptr = const_cast<char*>(input.data());
    size_t in_left = input.size();
    char buffer[64];
    char* out_ptr = buffer;
    size_t out_left = sizeof buffer;
    if (iconv(cd_, &in_ptr, &in_left, &out_ptr, &out_left) == static_cast<size_t>(-1)) {
      return std::nullopt;
    }
    if (iconv(cd_, nullptr, nullptr, &out_ptr, &out_left) == static_cast<size_t>(-1)) {
      return std::nullopt;
    }
    return std::string(buffer, static_cast<size_t>(out_ptr - buffer));
  }

 private:
  iconv_t cd_;
};

void Require(bool condition, const std::string& what) {
  if (!condition) throw std::runtime_error("unexpected iconv result: " + what);
}

std::string Hex(unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, value < 0x100 ? "0x%02X" : "0x%04X", value);
  return text;
}

// CP932 bytes as one code: a single byte, or lead << 8 | trail. 0 for no
// character or more than one.
std::uint16_t Cp932Code(const std::optional<std::string>& bytes) {
  if (!bytes || bytes->empty() || bytes->size() > 2) return 0;
  const auto b0 = static_cast<unsigned char>((*bytes)[0]);
  if (bytes->size() == 1) return IsLead(b0) ? 0 : b0;
  if (!IsLead(b0)) return 0;
  return static_cast<std::uint16_t>(b0 << 8 | static_cast<unsigned char>((*bytes)[1]));
}

std::string Utf32(char32_t c) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i)
    bytes[static_cast<size_t>(i)] = static_cast<char>((c >> (8 * i)) & 0xFF);
  return bytes;
}

std::string Utf8(char32_t c) {
  std::string s;
  if (c < 0x80) {
    s += static_cast<char>(c);
  } else if (c < 0x800) {
    s += static_cast<char>(0xC0 | (c >> 6));
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    s += static_cast<char>(0xE0 | (c >> 12));
    s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    s += static_cast<char>(0xF0 | (c >> 18));
    s += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  }
  return s;
}

// The one code point bytes decode to, or 0 when iconv refuses them.
char32_t Decode(Iconv& to_utf32, std::string_view bytes) {
  const auto utf32 = to_utf32.Convert(bytes);
  if (!utf32) return 0;
  Require(utf32->size() == 4, "CP932 bytes give other than one code point");
  char32_t c = 0;
  for (size_t i = 4; i-- > 0;) c = c << 8 | static_cast<unsigned char>((*utf32)[i]);
  Require(c <= 0xFFFF, "CP932 bytes give a code point beyond the BMP");
  return c;
}

struct Tables {
  std::vector<std::uint16_t> euc_two_byte;
  std::vector<std::uint16_t> euc_three_byte;
  std::vector<std::uint16_t> single_byte;  // 0x80..0xFF
  std::vector<std::uint16_t> double_byte;  // leads in order, trails 0x40..0xFC
  std::vector<std::uint16_t> encoding = std::vector<std::uint16_t>(0x10000);  // by code point
  std::vector<char32_t> dropped;  // converted to nothing at all
};

std::vector<std::uint16_t> EucTable(std::string_view prefix) {
  Iconv euc_to_cp932("CP932", "EUC-JP-MS");
  std::vector<std::uint16_t> table;
  for (int row = 0; row < kCells; ++row) {
    for (int cell = 0; cell < kCells; ++cell) {
      std::string euc(prefix);
      euc += static_cast<char>(0xA1 + row);
      euc += static_cast<char>(0xA1 + cell);
      const auto cp932 = euc_to_cp932.Convert(euc);
      const std::uint16_t code = Cp932Code(cp932);
      Require(code != 0 || !cp932, "EUC-JP-MS character gives other than one CP932 character");
      table.push_back(code);
    }
  }
  return table;
}

std::string Bytes(std::initializer_list<unsigned> values) {
  std::string s;
  for (unsigned v : values) s += static_cast<char>(v);
  return s;
}

void ReadDecodings(Tables& t) {
  Iconv to_utf32("UTF-32LE", "CP932");
  for (unsigned b = 0; b < 0x80; ++b)
    Require(Decode(to_utf32, Bytes({b})) == b, "ASCII byte " + Hex(b));
  for (unsigned b = 0x80; b < 0x100; ++b) {
    const char32_t c = Decode(to_utf32, Bytes({b}));
    Require(!IsLead(b) || c == 0, "lead byte alone " + Hex(b));
    t.single_byte.push_back(static_cast<std::uint16_t>(c));
  }
  for (unsigned lead = 0x81; lead < 0x100; ++lead) {
    if (!IsLead(lead)) continue;
    for (unsigned trail = 0; trail < 0x100; ++trail) {
      const char32_t c = Decode(to_utf32, Bytes({lead, trail}));
      if (trail >= kTrailLo && trail <= kTrailHi) {
        t.double_byte.push_back(static_cast<std::uint16_t>(c));
      } else {
        Require(c == 0, "pair outside the trail range " + Hex(lead << 8 | trail));
      }
    }
  }
}

void ReadEncodings(Tables& t) {
  Iconv from_utf32("CP932", "UTF-32LE");
  Iconv from_utf8("CP932", "UTF-8");
  for (char32_t c = 0; c <= 0x10FFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    const auto cp932 = from_utf32.Convert(Utf32(c));
    Require(from_utf8.Convert(Utf8(c)) == cp932, "UTF-8 and UTF-32 differ at " + Hex(c));
    if (c > 0xFFFF) {
      Require(!cp932 || cp932->empty(), "code point beyond the BMP converts " + Hex(c));
      if (cp932) t.dropped.push_back(c);
      continue;
    }
    const std::uint16_t code = Cp932Code(cp932);
    if (c < 0x80) {
      Require(cp932 && code == c, "ASCII code point " + Hex(c));
    } else if (cp932) {
      Require(code != 0, "code point gives other than one CP932 character " + Hex(c));
    }
    t.encoding[c] = code;
  }
  Require(t.dropped.size() == 0x80 && t.dropped.front() == 0xE0000 && t.dropped.back() == 0xE007F,
          "the code points iconv drops are other than the tag characters U+E0000..U+E007F");
}

// Where iconv's choice differs from the decoding tables read backwards, the
// later code winning for a code point several codes decode to: the
// converters build that inverse and apply these pairs over it.
std::vector<std::pair<std::uint16_t, std::uint16_t>> EncodeExceptions(const Tables& t) {
  std::vector<std::uint16_t> inverse(0x10000);
  for (unsigned c = 0; c < 0x80; ++c) inverse[c] = static_cast<std::uint16_t>(c);
  for (unsigned i = 0; i < t.single_byte.size(); ++i) {
    if (t.single_byte[i]) inverse[t.single_byte[i]] = static_cast<std::uint16_t>(0x80 + i);
  }
  const std::vector<unsigned> leads = Leads();
  const size_t trails = kTrailHi - kTrailLo + 1;
  for (size_t i = 0; i < t.double_byte.size(); ++i) {
    if (t.double_byte[i] == 0) continue;
    inverse[t.double_byte[i]] =
        static_cast<std::uint16_t>(leads[i / trails] << 8 | (kTrailLo + i % trails));
  }
  std::vector<std::pair<std::uint16_t, std::uint16_t>> exceptions;
  for (unsigned c = 0; c < 0x10000; ++c) {
    if (inverse[c] != t.encoding[c]) exceptions.emplace_back(c, t.encoding[c]);
  }
  return exceptions;
}

// Writes values in rows of row_size, each row under a comment with its label.
void WriteRows(std::ostream& out, const std::vector<std::uint16_t>& values, size_t row_size,
               const std::vector<unsigned>& labels, const char* label_name) {
  constexpr size_t kPerLine = 12;
  Require(values.size() == row_size * labels.size(), "table size");
  for (size_t row = 0; row < labels.size(); ++row) {
    out << "  // " << label_name << " " << Hex(labels[row]) << "\n";
    for (size_t i = 0; i < row_size; ++i) {
      const std::uint16_t v = values[row * row_size + i];
      out << (i % kPerLine == 0 ? "  " : " ") << (v ? Hex(v) : "0") << ',';
      if (i % kPerLine == kPerLine - 1 || i == row_size - 1) out << '\n';
    }
  }
}

std::string Render(const Tables& t) {
  std::ostringstream out;
  out << "// Generated by tools/generators/cp932_tables.cpp from glibc iconv; do not edit.\n"
         "// Regenerate with: cmake --build <build dir> --target generate_cp932_tables\n\n"
         "// EUC-JP-MS two-byte characters (first and second byte 0xA1..0xFE) as\n"
         "// CP932 codes (lead << 8 | trail, or one byte), 0 where CP932 has none.\n"
         "constexpr std::uint16_t kEucTwoByte[] = {\n";
  WriteRows(out, t.euc_two_byte, kCells, Range(0xA1, 0xFE), "first byte");
  out << "};\n\n// The same for the three-byte characters: 0x8F, second byte, third byte.\n"
         "constexpr std::uint16_t kEucThreeByte[] = {\n";
  WriteRows(out, t.euc_three_byte, kCells, Range(0xA1, 0xFE), "second byte");
  out << "};\n\n// Code points of the CP932 single bytes 0x80..0xFF, 0 where none.\n"
         "constexpr std::uint16_t kSingleByteToUnicode[] = {\n";
  WriteRows(out, t.single_byte, 0x80, {0x80}, "byte");
  out << "};\n\n// Code points of the CP932 pairs: lead bytes 0x81..0x9F and 0xE0..0xFC, trail\n"
         "// bytes 0x40..0xFC; 0 where unassigned.\n"
         "constexpr std::uint16_t kDoubleByteToUnicode[] = {\n";
  WriteRows(out, t.double_byte, kTrailHi - kTrailLo + 1, Leads(), "lead");
  out << "};\n\n// Code points whose CP932 code (0: none) differs from the inverse of the\n"
         "// tables above, where the last code that decodes to a code point wins:\n"
         "// one-way forms such as U+00A5 to 0x5C, and NEC codes chosen over IBM ones.\n"
         "constexpr Encoding kEncodeExceptions[] = {\n";
  const auto exceptions = EncodeExceptions(t);
  constexpr size_t kPerLine = 5;
  for (size_t i = 0; i < exceptions.size(); ++i) {
    out << (i % kPerLine == 0 ? "  " : " ") << '{' << Hex(exceptions[i].first) << ", "
        << (exceptions[i].second ? Hex(exceptions[i].second) : "0") << "},";
    if (i % kPerLine == kPerLine - 1 || i + 1 == exceptions.size()) out << '\n';
  }
  out << "};\n";
  return out.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FILE\n", argv[0]);
    return 2;
  }
  try {
    Tables t;
    t.euc_two_byte = EucTable("");
    t.euc_three_byte = EucTable("\x8F");
    ReadDecodings(t);
    ReadEncodings(t);
    std::ofstream file(argv[1], std::ios::binary);
    file << Render(t);
    if (!file.flush()) throw std::runtime_error(std::string("cannot write ") + argv[1]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "cp932_tables: %s\n", e.what());
    return 1;
  }
  return 0;
}
