// DownloadToFile through libcurl.

#include <curl/curl.h>
#include <openssl/x509_vfy.h>
#include <string.h>
#include <strings.h>

#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <optional>

#include "common/network/download.h"
#include "common/network/download_transfer.h"
#include "messages/download_text.h"

namespace valmeric {
namespace {

using download::HopEnd;
using download::Transfer;

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// The shared transfer and what the callbacks learn of the response under way.
struct CurlTransfer final {
  Transfer& shared;
  bool redirect = false;           // the response being received is a redirect with a place to go
  std::string content_encoding{};  // of the response being received
  bool body_started = false;       // a byte of its body has come
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto& t = *static_cast<CurlTransfer*>(user);
  const size_t n = size * count;
  if (!t.body_started) {
    t.shared.body.StartAnswer(t.content_encoding, !t.redirect);
    t.body_started = true;
  }
  return t.shared.body.Take(data, n) ? n : 0;
}

bool StartsWithNoCase(const char* line, size_t n, const char* prefix) {
  const size_t k = std::strlen(prefix);
  return n >= k && strncasecmp(line, prefix, k) == 0;
}

size_t OnHeader(char* line, size_t size, size_t count, void* user) {
  auto& t = *static_cast<CurlTransfer*>(user);
  const size_t n = size * count;
  if (StartsWithNoCase(line, n, "HTTP/")) {  // a new response begins
    t.shared.status = 0;
    const char* space = static_cast<const char*>(std::memchr(line, ' ', n));
    if (space) t.shared.status = std::strtol(space + 1, nullptr, 10);
    t.redirect = false;
    t.shared.retry_after_s = -1;
    t.content_encoding.clear();
    t.body_started = false;
  } else if (StartsWithNoCase(line, n, "Content-Encoding:")) {
    t.content_encoding.assign(line + 17, n - 17);
  } else if (StartsWithNoCase(line, n, "Location:")) {
    // A 3xx without a Location is an answer like any other: its body is kept.
    const std::string value(line + 9, n - 9);
    const bool has_target = value.find_first_not_of(" \t\r\n") != std::string::npos;
    t.redirect = t.shared.status >= 300 && t.shared.status < 400 && has_target;
  } else if (StartsWithNoCase(line, n, "Retry-After:")) {
    t.shared.retry_after_s =
        download::ParseRetryAfter(std::string_view(line + 12, n - 12), std::time(nullptr));
  }
  return n;
}

struct CurlHandle final {
  CURL* handle = curl_easy_init();
  curl_slist* headers = nullptr;
  ~CurlHandle() {
    curl_slist_free_all(headers);
    if (handle) curl_easy_cleanup(handle);
  }
};

void SetCommonOptions(CURL* curl, CurlHandle& owner, CurlTransfer& t, const char* agent) {
  const DownloadSettings& settings = t.shared.settings;
  owner.headers = curl_slist_append(owner.headers, "Cache-Control: no-cache");
  owner.headers = curl_slist_append(owner.headers, "Pragma: no-cache");
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, owner.headers);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, agent);
  curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  // No proxy is set here: libcurl follows the environment as curl does
  // (http_proxy, https_proxy or HTTPS_PROXY, all_proxy, no_proxy or NO_PROXY),
  // which is how a user behind a proxy reaches the site.
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
  // Offer compression, and decode it in the shared body sink rather than in
  // libcurl, which takes a compressed body that stops before its end for a
  // whole one. gzip and deflate only: they are cheap for the site to make,
  // where brotli at a server's default quality costs it several milliseconds
  // a page.
  curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "gzip, deflate");
  curl_easy_setopt(curl, CURLOPT_HTTP_CONTENT_DECODING, 0L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, settings.connect_timeout_s);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, settings.min_bytes_per_s);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, settings.stall_timeout_s);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!settings.ca_file.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, settings.ca_file.c_str());
  curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE,
                   static_cast<curl_off_t>(settings.max_body_bytes));
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &OnBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &t);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &OnHeader);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &t);
}

// How often a transfer looks at its cancel request while it waits.
constexpr int kCancelPollMs = 50;

// Runs one request through a multi handle, so that the wait for the network
// can be cut short by a cancel request at any moment, even during a connect
// or a stalled body.
CURLcode PerformCancellable(CURL* curl, const CancelToken* cancel, bool& cancelled) {
  if (cancel == nullptr) return curl_easy_perform(curl);
  // One multi handle per thread, kept: making one costs a socket pair each time.
  struct MultiCleanup {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
  };
  thread_local const std::unique_ptr<CURLM, MultiCleanup> kept(curl_multi_init());
  CURLM* multi = kept.get();
  if (multi == nullptr) return CURLE_OUT_OF_MEMORY;
  curl_multi_add_handle(multi, curl);
  CURLcode result = CURLE_OK;
  for (;;) {
    int running = 0;
    if (curl_multi_perform(multi, &running) != CURLM_OK) {
      result = CURLE_RECV_ERROR;
      break;
    }
    if (running == 0) {
      int left = 0;
      const CURLMsg* message = curl_multi_info_read(multi, &left);
      result = message != nullptr && message->msg == CURLMSG_DONE ? message->data.result
                                                                  : CURLE_RECV_ERROR;
      break;
    }
    if (cancel->IsCancelled()) {
      cancelled = true;
      result = CURLE_ABORTED_BY_CALLBACK;
      break;
    }
    curl_multi_poll(multi, nullptr, 0, kCancelPollMs, nullptr);
  }
  curl_multi_remove_handle(multi, curl);
  return result;
}

bool Mentions(const char* message, const char* word) {
  return strcasestr(message, word) != nullptr;
}

// A stall and the overall limit both end in CURLE_OPERATION_TIMEDOUT;
// libcurl's own message tells them apart.
DownloadFailure TimeoutKind(const char* message) {
  if (Mentions(message, "too slow")) return DownloadFailure::kStalled;
  if (Mentions(message, "connection timed out") || Mentions(message, "failed to connect")) {
    return DownloadFailure::kConnectTimeout;
  }
  return DownloadFailure::kTimedOut;
}

// A certificate libcurl refused, by OpenSSL's verification result. libcurl
// checks the name itself once OpenSSL has passed the chain, and leaves no
// result of its own for it (X509_V_OK, or X509_V_ERR_UNSPECIFIED): its
// message speaks of the name.
DownloadFailure CertificateKind(long verify_result, const char* message) {
  switch (verify_result) {
    case X509_V_ERR_CERT_NOT_YET_VALID:
    case X509_V_ERR_CERT_HAS_EXPIRED:
      return DownloadFailure::kCertificateExpired;
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_CERT_UNTRUSTED:
      return DownloadFailure::kCertificateUntrusted;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
      return DownloadFailure::kCertificateWrongName;
    default:
      return Mentions(message, "name") ? DownloadFailure::kCertificateWrongName
                                       : DownloadFailure::kTls;
  }
}

// The kind of failure a libcurl result stands for, where the code alone tells.
DownloadFailure KindOfCode(CURLcode rc) {
  switch (rc) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return DownloadFailure::kNameNotResolved;
    case CURLE_COULDNT_CONNECT:
      return DownloadFailure::kConnectFailed;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_USE_SSL_FAILED:
      return DownloadFailure::kTls;
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
      return DownloadFailure::kConnectionBroken;
    // The address's scheme is checked before a request: a protocol libcurl
    // does not know is the answer's (a status line that is not HTTP).
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
      return DownloadFailure::kBadAnswer;
    case CURLE_FILESIZE_EXCEEDED:
      return DownloadFailure::kOversized;
    case CURLE_URL_MALFORMAT:
      return DownloadFailure::kBadAddress;
    case CURLE_WRITE_ERROR:
      return DownloadFailure::kLocalFile;
    case CURLE_ABORTED_BY_CALLBACK:
      return DownloadFailure::kCancelled;
    default:
      return DownloadFailure::kOther;
  }
}

// A failed request: its kind, and libcurl's error buffer, which names the
// reason, in the parentheses (the code's name only when the buffer is empty).
// Before any body byte, libcurl's "out of memory" is a header too large to
// hold, and a receive error that speaks of chunks or headers an answer
// malformed.
HopEnd CurlFailure(CURL* curl, CURLcode rc, const char* message, bool body_started) {
  DownloadFailure kind = KindOfCode(rc);
  std::string words = message;
  if (rc == CURLE_OPERATION_TIMEDOUT) {
    kind = TimeoutKind(message);
  } else if (rc == CURLE_PEER_FAILED_VERIFICATION) {
    long verify_result = X509_V_OK;
    curl_easy_getinfo(curl, CURLINFO_SSL_VERIFYRESULT, &verify_result);
    kind = CertificateKind(verify_result, message);
  } else if (rc == CURLE_RECV_ERROR) {
    const bool malformed = Mentions(message, "chunk") || Mentions(message, "header");
    kind = malformed ? DownloadFailure::kBadAnswer : DownloadFailure::kConnectionBroken;
  } else if (rc == CURLE_OUT_OF_MEMORY && !body_started) {
    kind = DownloadFailure::kBadAnswer;
    if (words.empty()) words = download_text::kHeaderTooLarge;
  }
  if (words.empty()) words = curl_easy_strerror(rc);
  return {false, {}, kind, words};
}

// One request; the redirect it answers with is followed by the shared code,
// so that every hop to the site host goes through the configured origin.
HopEnd PerformHop(CURL* curl, CurlTransfer& t, const std::string& url,
                  std::chrono::milliseconds left, const CancelToken* cancel) {
  const std::optional<download::UrlParts> parts = download::ParseAbsoluteUrl(url);
  if (!parts || (parts->scheme != "http" && parts->scheme != "https")) {
    return {false, {}, DownloadFailure::kBadAddress, url};
  }
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(left.count()));
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  char message[CURL_ERROR_SIZE] = "";
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, message);
  t.body_started = false;
  const CURLcode rc = PerformCancellable(curl, cancel, t.shared.cancelled);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
  if (rc == CURLE_FILESIZE_EXCEEDED) t.shared.body.MarkOversized();
  if (t.body_started) {
    const download::BodyFault fault = t.shared.body.EndAnswer(rc == CURLE_OK);
    if (fault.failure != DownloadFailure::kNone) return {false, {}, fault.failure, fault.words};
  }
  if (rc != CURLE_OK) return CurlFailure(curl, rc, message, t.body_started);
  if (!t.redirect) return {true, {}, DownloadFailure::kNone, {}};
  char* location = nullptr;
  curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &location);
  if (!location) {  // announced, but not one curl can follow: the body is the page
    t.redirect = false;
    return {true, {}, DownloadFailure::kNone, {}};
  }
  return {true, location, DownloadFailure::kNone, {}};
}

}  // namespace

DownloadOutcome DownloadToFile(const std::string& url, const std::string& file,
                               const DownloadSettings& settings, const CancelToken* cancel) {
  InitCurlOnce();
  const std::string agent(download::DrawUserAgent());
  CurlHandle curl;
  if (!curl.handle) {
    DownloadOutcome outcome;
    outcome.failure = DownloadFailure::kSession;
    outcome.error = DownloadFailureText(outcome.failure, "curl_easy_init");
    return outcome;
  }
  Transfer shared(file, settings);
  CurlTransfer t{shared};
  SetCommonOptions(curl.handle, curl, t, agent.c_str());
  const HopEnd end = download::FollowRedirects(
      url, settings, [&](const std::string& hop_url, std::chrono::milliseconds left) {
        return PerformHop(curl.handle, t, hop_url, left, cancel);
      });
  return download::FinishDownload(shared, end);
}

}  // namespace valmeric
