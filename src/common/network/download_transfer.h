#pragma once

// What the HTTP back ends of DownloadToFile (libcurl, WinINet) share: the agent
// draw, the body's way into the file, the redirect rules, Retry-After, the
// overall limit and the outcome. A back end only moves bytes.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/network/download.h"

namespace valmeric::download {

inline constexpr int kMaxRedirects = 10;

// The agent of the next request, from the process-wide draw.
std::string_view DrawUserAgent();

// Why a body that came whole as far as HTTP goes is still no page;
// failure is kNone when it is one.
struct BodyFault final {
  DownloadFailure failure = DownloadFailure::kNone;
  std::string words;  // shown in parentheses after the sentence
};

// The body on its way into the file, as it came over the wire: decoded here
// (gzip, deflate) for both back ends, so that the size limit and the file
// see the page itself and a compressed body that stops before its end is
// known for what it is. The file is made at the first byte kept (or at the
// end, for an empty body), zero bytes are dropped, and a body over the size
// limit is abandoned. A redirect's body is decoded and held to the limit,
// and not kept.
class BodySink final {
 public:
  BodySink(std::string path, std::uint64_t max_bytes);
  ~BodySink();
  BodySink(const BodySink&) = delete;
  BodySink& operator=(const BodySink&) = delete;

  // An answer's body begins: coded as its Content-Encoding says, and kept
  // in the file, or (a redirect's) only decoded and counted.
  void StartAnswer(std::string_view content_encoding, bool keep);
  // Takes the next bytes of the body as sent. False when the transfer must
  // stop: the body passed the limit, cannot be decoded, or the file took no
  // more. A file that cannot be created does not stop it.
  bool Take(const char* data, size_t n);
  // After the answer begun last: what keeps its body from being a page.
  // complete says that the transfer itself ended well; a compressed body
  // must then have reached its end too.
  BodyFault EndAnswer(bool complete) const;
  // For a back end that learns of the size before the body (Content-Length).
  void MarkOversized() { oversized_ = true; }
  void EnsureFile();
  // Closes the file; false when it could not be written out.
  bool Close();
  // Empties the file in place (an abandoned body leaves no byte of it).
  void Empty();

  bool oversized() const { return oversized_; }
  bool failed() const { return open_failed_ || write_failed_; }
  // The system's words for the first failure to create, write or close the file.
  const std::string& error() const { return error_; }
  std::uint64_t received() const { return received_; }
  std::uint64_t written() const { return written_; }
  const std::string& path() const { return path_; }

 private:
  struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  class Inflater;
  struct InflaterDelete {
    void operator()(Inflater* inflater) const;
  };
  bool Keep(const char* data, size_t n);
  void Write(const char* data, size_t n);
  // Keeps the system's words for the stdio call that just failed.
  void Failed();

  std::string path_;
  std::uint64_t max_bytes_;
  std::unique_ptr<std::FILE, FileCloser> file_;
  std::unique_ptr<Inflater, InflaterDelete> inflater_;  // null for a body sent as it is
  std::string unknown_coding_;  // a Content-Encoding this program does not decode
  bool keep_ = true;
  bool open_failed_ = false;
  bool write_failed_ = false;
  std::string error_;
  bool oversized_ = false;
  std::uint64_t received_ = 0;  // decoded bytes of the answer begun last
  std::uint64_t written_ = 0;
};

// One download: its settings, its body and what the last answer said.
struct Transfer final {
  Transfer(const std::string& file, const DownloadSettings& download_settings)
      : settings(download_settings), body(file, download_settings.max_body_bytes) {}
  const DownloadSettings& settings;
  BodySink body;
  long status = 0;          // of the last answer, 0 when none came
  long retry_after_s = -1;  // of the last answer
  bool cancelled = false;
};

// How one request ended.
struct HopEnd final {
  bool ok = false;          // a whole answer arrived
  std::string redirect_to;  // absolute target when the answer is a redirect; its body was skipped
  DownloadFailure failure = DownloadFailure::kNone;  // why it is not ok
  std::string error;  // the library's own words for it, shown after the sentence
};

// Sends one GET for url with at most `left` to spend, records the answer's
// status and Retry-After in the transfer and, unless the answer is a
// redirect, hands its body to the transfer's sink.
using Hop = std::function<HopEnd(const std::string& url, std::chrono::milliseconds left)>;

// Fetches url through the site origin, following redirects that stay on the
// site (at most kMaxRedirects), all within the settings' overall limit; once
// a hop has gone over https, a redirect to plain http is refused as one away
// from the site.
HopEnd FollowRedirects(const std::string& url, const DownloadSettings& settings, const Hop& hop);

// The outcome of the transfer after its last request: the file is created,
// closed, or emptied as the ending asks.
DownloadOutcome FinishDownload(Transfer& transfer, const HopEnd& end);

// The parts of an absolute address. Scheme and host are lower case; port is
// the scheme's default when none is written (empty for unknown schemes).
struct UrlParts final {
  std::string scheme, authority, host, port, path, query;
};
std::optional<UrlParts> ParseAbsoluteUrl(std::string_view url);

// reference (a redirect's Location) made absolute against base; empty when
// it cannot be.
std::string ResolveReference(std::string_view base, std::string_view reference);

// True when a redirect may be followed to target (already passed through the
// origin): http or https, on the site's own host and port, which are the
// origin's when one is set. FollowRedirects adds that a download once on
// https stays on it.
bool StaysOnSite(std::string_view target, const SiteOrigin& origin);
// True when url is an absolute https address (the scheme in any case).
bool IsHttps(std::string_view url);

// Seconds to wait from a Retry-After value (seconds or an HTTP date), -1 when
// it cannot be read.
long ParseRetryAfter(std::string_view value, std::time_t now);
// An HTTP date (RFC 9110: IMF-fixdate, RFC 850 or asctime form) as UTC seconds.
std::optional<std::time_t> ParseHttpDate(std::string_view text);

// The one overall limit of a download, redirects included.
class Deadline final {
 public:
  explicit Deadline(std::chrono::milliseconds limit)
      : end_(std::chrono::steady_clock::now() + limit) {}
  std::chrono::milliseconds Left() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(end_ -
                                                                 std::chrono::steady_clock::now());
  }

 private:
  std::chrono::steady_clock::time_point end_;
};

}  // namespace valmeric::download
