#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/network/site_address.h"
#include "common/platform/cancel_token.h"

namespace valmeric {

struct DownloadSettings {
  SiteOrigin origin;    // where requests for the site host really go
  std::string ca_file;  // extra trusted certificates (tests); empty: the system's
  long connect_timeout_s = 30;
  // A transfer whose average rate stays under min_bytes_per_s for
  // stall_timeout_s seconds is given up. An honest page comes at many
  // kilobytes a second; a server that trickles a byte now and then to keep
  // the connection alive fails this at once.
  long stall_timeout_s = 30;
  long min_bytes_per_s = 1024;
  // The longest one download may take, redirects included: far beyond any
  // honest result page, short enough that an endless body cannot hold a run.
  long transfer_timeout_ms = 120000;
  std::uint64_t max_body_bytes = 64ull << 20;  // of the body as decoded
};

// Why a download brought no page. Both HTTP back ends sort their errors into
// these kinds, so that a user reads the same sentence whichever one ran.
enum class DownloadFailure {
  kNone,
  kSession,               // the HTTP library could not be started
  kNameNotResolved,       // the host name is not known
  kConnectFailed,         // the server refused or could not be reached
  kConnectTimeout,        // no connection within the connect limit
  kTimedOut,              // the whole download took longer than its limit
  kStalled,               // the body came too slowly
  kTls,                   // the TLS handshake failed, or a certificate fault not below
  kCertificateExpired,    // the server's certificate is out of its dates
  kCertificateWrongName,  // the server's certificate is for another name
  kCertificateUntrusted,  // no trusted authority vouches for the server's certificate
  kConnectionBroken,      // the connection broke, or the answer came incomplete
  kBadAnswer,             // the server's answer was not HTTP this program can read
  kTooManyRedirects,
  kRedirectAway,  // a redirect to another site
  kOversized,     // the body passed the size limit
  kNotSupported,  // an extra CA file, where the system's store alone applies
  kBadAddress,    // not an http or https address
  kLocalFile,     // the file could not be created or written
  kCancelled,
  kOther,
};

// One row of the table of failure kinds: the sentence a user reads.
struct DownloadFailureRow {
  DownloadFailure kind;
  const char* sentence;  // UTF-8
};
// Every kind but kNone, in one table.
const std::array<DownloadFailureRow, 20>& DownloadFailureTable();
// The sentence for kind, with the library's own text (an error string, a
// WinINet number) after it in parentheses when there is one.
std::string DownloadFailureText(DownloadFailure kind, std::string_view library_text = {});
// The sentence for an answer whose status is not a page: "(HTTP 403)" follows it.
std::string HttpStatusText(long status);

struct DownloadOutcome {
  bool transport_ok = false;  // a whole response arrived
  long http_status = 0;       // status of the last response, 0 when none came
  std::uint64_t bytes_written = 0;
  bool local_error = false;  // the file could not be created or written
  bool oversized = false;    // the body passed max_body_bytes and was abandoned
  bool cancelled = false;    // the transfer was stopped on request
  long retry_after_s = -1;   // the server's Retry-After, in seconds; -1 when absent
  DownloadFailure failure = DownloadFailure::kNone;
  std::string error;  // what went wrong, for messages: DownloadFailureText of failure

  // A page arrived: no transport or file error, and neither 429 nor a 5xx.
  bool Fetched() const;
};

// The browser user agents requests are sent with.
const std::array<std::string_view, 5>& UserAgents();

// The agent seed steps and the index it gives (0..4), exposed for tests.
std::uint32_t NextAgentSeed(std::uint32_t seed);
int AgentIndexForSeed(std::uint32_t seed);

// Fetches url with a plain GET (no cache, redirects followed up to 10, TLS
// verified, compressed answers decoded) and streams the body into file
// without its zero bytes. When no response arrives the file is left as it
// was. A body over the size limit is abandoned and its file emptied.
// When cancel is given, the transfer stops within about 50 ms of its request,
// whatever it is waiting for.
DownloadOutcome DownloadToFile(const std::string& url, const std::string& file,
                               const DownloadSettings& settings = {},
                               const CancelToken* cancel = nullptr);

}  // namespace valmeric
