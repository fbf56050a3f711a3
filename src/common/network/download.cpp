#include "common/network/download.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <cstring>
#include <utility>
#include <vector>

#include <zlib.h>

#include "common/network/download_transfer.h"
#include "common/network/site_host.h"
#include "common/platform/native_file.h"
#include "messages/download_text.h"

namespace valmeric {

const std::array<DownloadFailureRow, 20>& DownloadFailureTable() {
  static const std::array<DownloadFailureRow, 20> table = {{
      {DownloadFailure::kSession, download_text::kSession},
      {DownloadFailure::kNameNotResolved, download_text::kNameNotResolved},
      {DownloadFailure::kConnectFailed, download_text::kConnectFailed},
      {DownloadFailure::kConnectTimeout, download_text::kConnectTimeout},
      {DownloadFailure::kTimedOut, download_text::kTimedOut},
      {DownloadFailure::kStalled, download_text::kStalled},
      {DownloadFailure::kTls, download_text::kTls},
      {DownloadFailure::kCertificateExpired, download_text::kCertificateExpired},
      {DownloadFailure::kCertificateWrongName, download_text::kCertificateWrongName},
      {DownloadFailure::kCertificateUntrusted, download_text::kCertificateUntrusted},
      {DownloadFailure::kConnectionBroken, download_text::kConnectionBroken},
      {DownloadFailure::kBadAnswer, download_text::kBadAnswer},
      {DownloadFailure::kTooManyRedirects, download_text::kTooManyRedirects},
      {DownloadFailure::kRedirectAway, download_text::kRedirectAway},
      {DownloadFailure::kOversized, download_text::kOversized},
      {DownloadFailure::kNotSupported, download_text::kNotSupported},
      {DownloadFailure::kBadAddress, download_text::kBadAddress},
      {DownloadFailure::kLocalFile, download_text::kLocalFile},
      {DownloadFailure::kCancelled, download_text::kCancelled},
      {DownloadFailure::kOther, download_text::kOther},
  }};
  return table;
}

std::string DownloadFailureText(DownloadFailure kind, std::string_view library_text) {
  std::string text;
  for (const DownloadFailureRow& row : DownloadFailureTable()) {
    if (row.kind == kind) text = row.sentence;
  }
  if (text.empty()) text = DownloadFailureTable().back().sentence;
  if (!library_text.empty()) text.append("(").append(library_text).append(")");
  return text;
}

std::string HttpStatusText(long status) {
  const char* sentence = download_text::kNoPage;
  if (status == 404 || status == 410) {
    sentence = download_text::kPageNotFound;
  } else if (status == 401 || status == 403) {
    sentence = download_text::kAccessDenied;
  } else if (status == 429) {
    sentence = download_text::kServerBusy;
  } else if (status >= 500) {
    sentence = download_text::kServerError;
  }
  return std::string(sentence) + "(HTTP " + std::to_string(status) + ")";
}

bool DownloadOutcome::Fetched() const {
  return transport_ok && !local_error && http_status != 429 && http_status < 500;
}

const std::array<std::string_view, 5>& UserAgents() {
  static const std::array<std::string_view, 5> agents = {
      "Mozilla/5.0 (Windows NT 6.2; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
      "Chrome/52.0.2743.116 Safari/537.36 Edge/15.15063",
      "Mozilla/5.0 (Windows NT 6.1; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
      "Chrome/52.0.2743.116 Safari/537.36 Edge/15.15063",
      "Mozilla/5.0 (Windows NT 6.3; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
      "Chrome/51.0.2704.79 Safari/537.36 Edge/14.14393",
      "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
      "Chrome/64.0.3282.140 Safari/537.36 Edge/17.17134",
      "Mozilla/5.0 (Windows NT 5.1; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
      "Chrome/58.0.3029.110 Safari/537.36 Edge/16.16299"};
  return agents;
}

std::uint32_t NextAgentSeed(std::uint32_t seed) {
  return seed * 134775813u + 1u;
}

int AgentIndexForSeed(std::uint32_t seed) {
  return static_cast<int>((static_cast<std::uint64_t>(seed) * 5u) >> 32);
}

namespace download {
namespace {

std::atomic<std::uint32_t> g_agent_seed{0};

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

std::string_view Trim(std::string_view text) {
  const size_t start = text.find_first_not_of(" \t\r\n");
  if (start == std::string_view::npos) return {};
  const size_t end = text.find_last_not_of(" \t\r\n");
  return text.substr(start, end - start + 1);
}

bool AllDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// Length of the scheme before ':' at the start of text, 0 when there is none.
size_t SchemeLength(std::string_view text) {
  if (text.empty() || !std::isalpha(static_cast<unsigned char>(text[0]))) return 0;
  for (size_t i = 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ':') return i;
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return 0;
  }
  return 0;
}

std::string DefaultPort(std::string_view scheme) {
  if (scheme == "http") return "80";
  if (scheme == "https") return "443";
  return {};
}

// Splits "host[:port]" (userinfo already gone); false when the port is no number.
bool SplitHostPort(std::string_view hostport, UrlParts& parts) {
  size_t host_end = hostport.size();
  if (!hostport.empty() && hostport.front() == '[') {
    const size_t close = hostport.find(']');
    if (close == std::string_view::npos) return false;
    host_end = close + 1;
  } else {
    host_end = std::min(host_end, hostport.find(':'));
  }
  parts.host = Lower(hostport.substr(0, host_end));
  const std::string_view rest = hostport.substr(host_end);
  if (rest.empty() || rest == ":") {
    parts.port = DefaultPort(parts.scheme);
    return true;
  }
  if (rest.front() != ':' || !AllDigits(rest.substr(1))) return false;
  unsigned port = 0;
  const auto digits = rest.substr(1);
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
  if (ec != std::errc() || end != digits.data() + digits.size() || port > 65535) return false;
  parts.port = std::to_string(port);
  return true;
}

// The path with its "." and ".." segments worked out.
std::string RemoveDotSegments(std::string_view path) {
  std::vector<std::string_view> kept;
  size_t start = 1;  // path begins with '/'
  while (start <= path.size()) {
    const size_t slash = std::min(path.find('/', start), path.size());
    const std::string_view segment = path.substr(start, slash - start);
    const bool last = slash == path.size();
    if (segment == "..") {
      if (!kept.empty()) kept.pop_back();
      if (last) kept.emplace_back();
    } else if (segment == ".") {
      if (last) kept.emplace_back();
    } else {
      kept.push_back(segment);
    }
    start = slash + 1;
  }
  std::string out;
  for (const std::string_view segment : kept) {
    out += '/';
    out += segment;
  }
  return out.empty() ? "/" : out;
}

int MonthOf(std::string_view token) {
  static constexpr std::string_view kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                                 "jul", "aug", "sep", "oct", "nov", "dec"};
  if (token.size() < 3) return 0;
  const std::string lower = Lower(token);
  for (int i = 0; i < 12; ++i) {
    if (lower.compare(0, 3, kMonths[i]) == 0) return i + 1;
  }
  return 0;
}

bool IsWeekdayOrZone(std::string_view token) {
  static constexpr std::string_view kWords[] = {"mon", "tue", "wed", "thu", "fri", "sat",
                                                "sun", "gmt", "utc", "ut",  "z"};
  const std::string lower = Lower(token);
  return std::any_of(std::begin(kWords), std::end(kWords), [&](std::string_view word) {
    return lower.compare(0, word.size(), word) == 0 && (word.size() >= 3 || lower == word);
  });
}

// Days since 1970-01-01 of a civil date (H. Hinnant's algorithm).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

struct DateFields {
  int day = 0, month = 0, year = -1, hour = -1, minute = 0, second = 0;
};

bool ReadTime(std::string_view token, DateFields& date) {
  int values[3] = {0, 0, 0};
  int count = 0;
  for (size_t start = 0; start <= token.size() && count < 3; ++count) {
    const size_t colon = std::min(token.find(':', start), token.size());
    const std::string_view part = token.substr(start, colon - start);
    if (!AllDigits(part) || part.size() > 2) return false;
    values[count] = std::stoi(std::string(part));
    start = colon + 1;
  }
  if (count < 2 || values[0] > 23 || values[1] > 59 || values[2] > 60) return false;
  date.hour = values[0];
  date.minute = values[1];
  date.second = values[2];
  return true;
}

bool ReadDateToken(std::string_view token, DateFields& date) {
  if (token.find(':') != std::string_view::npos) return ReadTime(token, date);
  if (const int month = MonthOf(token); month != 0) {
    date.month = month;
    return true;
  }
  if (AllDigits(token) && token.size() <= 4) {
    const int value = std::stoi(std::string(token));
    if (date.day == 0 && token.size() <= 2 && value >= 1 && value <= 31) {
      date.day = value;
    } else if (date.year < 0) {
      date.year = token.size() <= 2 ? value + (value < 70 ? 2000 : 1900) : value;
    } else {
      return false;
    }
    return true;
  }
  return IsWeekdayOrZone(token);
}

}  // namespace

std::string_view DrawUserAgent() {
  std::uint32_t seed = g_agent_seed.load();
  while (!g_agent_seed.compare_exchange_weak(seed, NextAgentSeed(seed))) {
  }
  return UserAgents()[static_cast<size_t>(AgentIndexForSeed(NextAgentSeed(seed)))];
}

// Inflates a gzip body, or a deflate one: in zlib's format, as HTTP means
// it, or as a raw stream, as some servers send it.
class BodySink::Inflater final {
 public:
  explicit Inflater(bool gzip) : deflate_(!gzip) {
    ready_ = inflateInit2(&stream_, gzip ? 15 + 16 : 15) == Z_OK;
  }
  ~Inflater() {
    if (ready_) inflateEnd(&stream_);
  }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  // Inflates the next bytes into sink. False when sink takes no more or the
  // bytes are not of the coding.
  bool Feed(const char* data, size_t n, BodySink& sink);
  bool fed() const { return fed_; }
  bool ended() const { return ended_; }
  const std::string& error() const { return error_; }

 private:
  void Refeed(const char* data, size_t n) {
    stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    stream_.avail_in = static_cast<uInt>(n);
  }

  z_stream stream_{};
  bool deflate_;
  bool ready_ = false;
  bool fed_ = false;
  bool ended_ = false;
  std::string error_;
};

bool BodySink::Inflater::Feed(const char* data, size_t n, BodySink& sink) {
  if (!ready_) {
    error_ = "inflateInit2";
    return false;
  }
  if (ended_) return true;  // bytes after the stream's end are no part of the page
  const bool first = !fed_;
  fed_ = true;
  Refeed(data, n);
  char buffer[16384];
  for (;;) {
    stream_.next_out = reinterpret_cast<Bytef*>(buffer);
    stream_.avail_out = sizeof buffer;
    const int rc = inflate(&stream_, Z_NO_FLUSH);
    if (rc == Z_DATA_ERROR && deflate_ && first && stream_.total_out == 0) {
      deflate_ = false;  // not zlib's format: read again as a raw stream
      inflateReset2(&stream_, -15);
      Refeed(data, n);
      continue;
    }
    if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
      error_ = stream_.msg != nullptr ? stream_.msg : "inflate " + std::to_string(rc);
      return false;
    }
    const size_t got = sizeof buffer - stream_.avail_out;
    if (got > 0 && !sink.Keep(buffer, got)) return false;
    ended_ = rc == Z_STREAM_END;
    // Done with these bytes when the stream ended, or when all are read and
    // nothing more waits to come out.
    if (ended_ || rc == Z_BUF_ERROR || (stream_.avail_in == 0 && stream_.avail_out != 0)) {
      return true;
    }
  }
}

void BodySink::InflaterDelete::operator()(Inflater* inflater) const {
  delete inflater;
}

BodySink::BodySink(std::string path, std::uint64_t max_bytes)
    : path_(std::move(path)), max_bytes_(max_bytes) {}

BodySink::~BodySink() = default;

void BodySink::Failed() {
  if (error_.empty()) error_ = StdioErrorText();
}

void BodySink::EnsureFile() {
  if (file_ || open_failed_) return;
  file_.reset(OpenStdioFile(path_, "wb"));
  open_failed_ = !file_;
  if (open_failed_) Failed();
}

void BodySink::Write(const char* data, size_t n) {
  if (n == 0) return;
  EnsureFile();
  if (!file_) return;
  if (std::fwrite(data, 1, n, file_.get()) != n) {
    write_failed_ = true;
    Failed();
  }
  written_ += n;
}

void BodySink::StartAnswer(std::string_view content_encoding, bool keep) {
  keep_ = keep;
  received_ = 0;
  inflater_.reset();
  unknown_coding_.clear();
  const std::string coding = Lower(Trim(content_encoding));
  if (coding.empty() || coding == "identity") return;
  if (coding == "gzip" || coding == "x-gzip") {
    inflater_.reset(new Inflater(true));
  } else if (coding == "deflate") {
    inflater_.reset(new Inflater(false));
  } else {
    unknown_coding_ = coding;
  }
}

bool BodySink::Take(const char* data, size_t n) {
  if (!unknown_coding_.empty()) return false;
  if (inflater_) return inflater_->Feed(data, n, *this);
  return Keep(data, n);
}

// The decoded body goes in without its zero bytes: one stray zero must not
// cost the text around it, and the page is later read as text that a zero
// would end.
bool BodySink::Keep(const char* data, size_t n) {
  received_ += n;
  if (received_ > max_bytes_) {
    oversized_ = true;
    return false;
  }
  if (!keep_) return true;
  EnsureFile();
  while (n > 0) {
    const void* zero = std::memchr(data, 0, n);
    const size_t keep = zero ? static_cast<size_t>(static_cast<const char*>(zero) - data) : n;
    Write(data, keep);
    const size_t step = zero ? keep + 1 : keep;
    data += step;
    n -= step;
  }
  return !write_failed_;
}

BodyFault BodySink::EndAnswer(bool complete) const {
  if (!unknown_coding_.empty()) {
    return {DownloadFailure::kBadAnswer,
            std::string(download_text::kUnknownEncoding) + ": Content-Encoding " + unknown_coding_};
  }
  if (!inflater_ || oversized_) return {};
  if (!inflater_->error().empty()) {
    return {DownloadFailure::kBadAnswer, "zlib: " + inflater_->error()};
  }
  // A stream cut short decodes without an error as far as it goes: only its
  // missing end tells.
  if (complete && inflater_->fed() && !inflater_->ended()) {
    return {DownloadFailure::kConnectionBroken, download_text::kCompressedBodyCut};
  }
  return {};
}

bool BodySink::Close() {
  if (!file_) return true;
  if (std::fclose(file_.release()) == 0) return true;
  Failed();  // the buffered end of the body reaches the disk only here
  return false;
}

// Emptied, not removed, so the file stays the one the caller made.
void BodySink::Empty() {
  TruncateFile(path_, 0);
}

HopEnd FollowRedirects(const std::string& url, const DownloadSettings& settings, const Hop& hop) {
  std::string current = settings.origin.Apply(url);
  const Deadline deadline{std::chrono::milliseconds(settings.transfer_timeout_ms)};
  bool secure = IsHttps(current);
  for (int hops = 0;; ++hops) {
    // Every hop gets what is left of the one overall limit.
    const std::chrono::milliseconds left = deadline.Left();
    if (left.count() <= 0) return {false, {}, DownloadFailure::kTimedOut, {}};
    HopEnd end = hop(current, left);
    if (!end.ok || end.redirect_to.empty()) return end;
    if (hops == kMaxRedirects) {
      return {false, {}, DownloadFailure::kTooManyRedirects, std::to_string(kMaxRedirects)};
    }
    current = settings.origin.Apply(end.redirect_to);
    // A download that has gone over https never falls back to plain http:
    // that is another site as far as the user's trust goes.
    if (!StaysOnSite(current, settings.origin) || (secure && !IsHttps(current))) {
      return {false, {}, DownloadFailure::kRedirectAway, end.redirect_to};
    }
    secure = secure || IsHttps(current);
  }
}

DownloadOutcome FinishDownload(Transfer& t, const HopEnd& end) {
  DownloadOutcome outcome;
  outcome.http_status = t.status;
  outcome.retry_after_s = t.retry_after_s;
  outcome.oversized = t.body.oversized();
  outcome.cancelled = t.cancelled;
  outcome.transport_ok = end.ok;
  // A response arrived with an empty body: the file still becomes an empty one.
  if (outcome.transport_ok) t.body.EnsureFile();
  const bool closed = t.body.Close();
  outcome.local_error = t.body.failed() || !closed;
  outcome.bytes_written = t.body.written();
  if (t.cancelled) {
    outcome.transport_ok = false;
    outcome.failure = DownloadFailure::kCancelled;
  } else if (outcome.oversized) {
    t.body.Empty();
    outcome.transport_ok = false;
    outcome.failure = DownloadFailure::kOversized;
  } else if (outcome.local_error) {
    outcome.failure = DownloadFailure::kLocalFile;
    // The path and the system's words, as the other file errors give them.
    const std::string& why = t.body.error();
    outcome.error = DownloadFailureText(outcome.failure,
                                        why.empty() ? t.body.path() : t.body.path() + ": " + why);
    return outcome;
  } else if (!end.ok) {
    outcome.failure = end.failure == DownloadFailure::kNone ? DownloadFailure::kOther : end.failure;
    outcome.error = DownloadFailureText(outcome.failure, end.error);
    return outcome;
  }
  if (outcome.failure != DownloadFailure::kNone)
    outcome.error = DownloadFailureText(outcome.failure);
  return outcome;
}

std::optional<UrlParts> ParseAbsoluteUrl(std::string_view url) {
  const size_t scheme_length = SchemeLength(url);
  if (scheme_length == 0 || url.substr(scheme_length + 1, 2) != "//") return std::nullopt;
  UrlParts parts;
  parts.scheme = Lower(url.substr(0, scheme_length));
  std::string_view rest = url.substr(scheme_length + 3);
  rest = rest.substr(0, rest.find('#'));
  const size_t authority_end = std::min(rest.find_first_of("/?"), rest.size());
  parts.authority = std::string(rest.substr(0, authority_end));
  const std::string_view authority(parts.authority);
  const size_t at = authority.rfind('@');
  if (!SplitHostPort(at == std::string_view::npos ? authority : authority.substr(at + 1), parts)) {
    return std::nullopt;
  }
  rest = rest.substr(authority_end);
  const size_t query = std::min(rest.find('?'), rest.size());
  parts.path = std::string(rest.substr(0, query));
  if (parts.path.empty()) parts.path = "/";
  parts.query = std::string(rest.substr(query));
  return parts;
}

namespace {

// An absolute address with the dot segments of its path worked out and its
// fragment dropped, as RFC 3986 resolves a reference that has a scheme; text
// that is no such address (mailto:, javascript:) stays as it is.
std::string WithoutDotSegments(std::string_view url) {
  const std::optional<UrlParts> parts = ParseAbsoluteUrl(url);
  if (!parts) return std::string(url);
  return std::string(url.substr(0, SchemeLength(url))) + "://" + parts->authority +
         RemoveDotSegments(parts->path) + parts->query;
}

}  // namespace

std::string ResolveReference(std::string_view base, std::string_view reference) {
  reference = Trim(reference);
  if (SchemeLength(reference) != 0) return WithoutDotSegments(reference);
  const std::optional<UrlParts> from = ParseAbsoluteUrl(base);
  if (!from) return {};
  if (reference.substr(0, 2) == "//")
    return WithoutDotSegments(from->scheme + ":" + std::string(reference));
  const std::string root = from->scheme + "://" + from->authority;
  reference = reference.substr(0, reference.find('#'));
  if (reference.empty()) return root + from->path + from->query;
  if (reference.front() == '?') return root + from->path + std::string(reference);
  const size_t query = std::min(reference.find('?'), reference.size());
  std::string path(reference.substr(0, query));
  if (path.front() != '/') path = from->path.substr(0, from->path.rfind('/') + 1) + path;
  return root + RemoveDotSegments(path) + std::string(reference.substr(query));
}

bool IsHttps(std::string_view url) {
  const std::optional<UrlParts> parts = ParseAbsoluteUrl(url);
  return parts && parts->scheme == "https";
}

bool StaysOnSite(std::string_view target, const SiteOrigin& origin) {
  const std::optional<UrlParts> to = ParseAbsoluteUrl(target);
  if (!to || (to->scheme != "http" && to->scheme != "https")) return false;
  if (!origin.str().empty()) {
    const std::optional<UrlParts> site = ParseAbsoluteUrl(origin.str());
    return site && to->host == site->host && to->port == site->port;
  }
  return to->host == Lower(kSiteHost) && to->port == DefaultPort(to->scheme);
}

std::optional<std::time_t> ParseHttpDate(std::string_view text) {
  DateFields date;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = std::min(text.find_first_of(" \t,-", start), text.size());
    const std::string_view token = text.substr(start, end - start);
    if (!token.empty() && !ReadDateToken(token, date)) return std::nullopt;
    start = end + 1;
  }
  if (date.day == 0 || date.month == 0 || date.year < 1970 || date.hour < 0) return std::nullopt;
  const long long days =
      DaysFromCivil(date.year, static_cast<unsigned>(date.month), static_cast<unsigned>(date.day));
  return static_cast<std::time_t>(days * 86400 + date.hour * 3600 + date.minute * 60 + date.second);
}

long ParseRetryAfter(std::string_view value, std::time_t now) {
  value = Trim(value);
  if (value.empty()) return -1;
  if (AllDigits(value) && value.size() < 10) return std::stol(std::string(value));
  const std::optional<std::time_t> when = ParseHttpDate(value);
  if (!when) return -1;
  return *when > now ? static_cast<long>(*when - now) : 0;
}

}  // namespace download
}  // namespace valmeric
