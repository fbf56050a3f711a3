#include "common/download.h"

#include <curl/curl.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>

#include "common/site_host.h"

namespace valmeric {
namespace {

constexpr int kMaxRedirects = 10;

std::atomic<std::uint32_t> g_agent_seed{0};

int DrawAgentIndex() {
  std::uint32_t seed = g_agent_seed.load();
  while (!g_agent_seed.compare_exchange_weak(seed, NextAgentSeed(seed))) {
  }
  return AgentIndexForSeed(NextAgentSeed(seed));
}

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

// State of one transfer, shared by the curl callbacks.
struct Transfer {
  const std::string& path;
  const DownloadSettings& settings;
  std::unique_ptr<FILE, FileCloser> file;
  bool open_failed = false;
  bool write_failed = false;
  bool oversized = false;
  std::uint64_t received = 0;
  std::uint64_t written = 0;
  long status = 0;          // status of the response being received
  bool redirect = false;    // the response being received is a redirect with a place to go
  long retry_after_s = -1;

  bool EnsureFile() {
    if (file || open_failed) return static_cast<bool>(file);
    file.reset(std::fopen(path.c_str(), "wb"));
    open_failed = !file;
    return static_cast<bool>(file);
  }

  void Write(const char* data, size_t n) {
    if (n == 0 || !EnsureFile()) return;
    if (std::fwrite(data, 1, n, file.get()) != n) write_failed = true;
    written += n;
  }

  // Writes the body without its zero bytes: one stray zero must not cost the
  // text around it, and the page is later read as text that a zero would end.
  void Consume(const char* data, size_t n) {
    while (n > 0) {
      const void* zero = std::memchr(data, 0, n);
      const size_t keep = zero ? static_cast<size_t>(static_cast<const char*>(zero) - data) : n;
      Write(data, keep);
      const size_t step = zero ? keep + 1 : keep;
      data += step;
      n -= step;
    }
  }
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto& t = *static_cast<Transfer*>(user);
  const size_t n = size * count;
  if (t.redirect) return n;
  t.received += n;
  if (t.received > t.settings.max_body_bytes) {
    t.oversized = true;
    return 0;
  }
  t.EnsureFile();
  t.Consume(data, n);
  return t.write_failed ? 0 : n;
}

bool StartsWithNoCase(const char* line, size_t n, const char* prefix) {
  const size_t k = std::strlen(prefix);
  return n >= k && strncasecmp(line, prefix, k) == 0;
}

long ParseRetryAfter(std::string value) {
  while (!value.empty() && (value.back() == '\r' || value.back() == '\n' || value.back() == ' ')) {
    value.pop_back();
  }
  const size_t start = value.find_first_not_of(' ');
  if (start == std::string::npos) return -1;
  value = value.substr(start);
  if (value.find_first_not_of("0123456789") == std::string::npos && value.size() < 10) {
    return std::stol(value);
  }
  const time_t when = curl_getdate(value.c_str(), nullptr);
  if (when < 0) return -1;
  const time_t now = time(nullptr);
  return when > now ? static_cast<long>(when - now) : 0;
}

size_t OnHeader(char* line, size_t size, size_t count, void* user) {
  auto& t = *static_cast<Transfer*>(user);
  const size_t n = size * count;
  if (StartsWithNoCase(line, n, "HTTP/")) {  // a new response begins
    t.status = 0;
    const char* space = static_cast<const char*>(std::memchr(line, ' ', n));
    if (space) t.status = std::strtol(space + 1, nullptr, 10);
    t.redirect = false;
    t.retry_after_s = -1;
  } else if (StartsWithNoCase(line, n, "Location:")) {
    // A 3xx without a Location is an answer like any other: its body is kept.
    const std::string value(line + 9, n - 9);
    const bool has_target = value.find_first_not_of(" \t\r\n") != std::string::npos;
    t.redirect = t.status >= 300 && t.status < 400 && has_target;
  } else if (StartsWithNoCase(line, n, "Retry-After:")) {
    t.retry_after_s = ParseRetryAfter(std::string(line + 12, n - 12));
  }
  return n;
}

struct CurlHandle {
  CURL* handle = curl_easy_init();
  curl_slist* headers = nullptr;
  ~CurlHandle() {
    curl_slist_free_all(headers);
    if (handle) curl_easy_cleanup(handle);
  }
};

void SetCommonOptions(CURL* curl, CurlHandle& owner, Transfer& t, const char* agent) {
  owner.headers = curl_slist_append(owner.headers, "Cache-Control: no-cache");
  owner.headers = curl_slist_append(owner.headers, "Pragma: no-cache");
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, owner.headers);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, agent);
  curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(curl, CURLOPT_PROXY, "");
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
  // Offer compression and have libcurl decode it: the callbacks, and so the
  // size limit and the file, see the page itself. gzip and deflate only: they
  // are cheap for the site to make, where brotli at a server's default quality
  // costs it several milliseconds a page.
  curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "gzip, deflate");
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, t.settings.connect_timeout_s);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, t.settings.min_bytes_per_s);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, t.settings.stall_timeout_s);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!t.settings.ca_file.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, t.settings.ca_file.c_str());
  curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE,
                   static_cast<curl_off_t>(t.settings.max_body_bytes));
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &OnBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &t);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &OnHeader);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &t);
}

// Scheme, host and port of an absolute address, the port filled in from the
// scheme when absent; empty parts when it cannot be read.
struct Authority {
  std::string scheme, host, port;
};

Authority AuthorityOf(const std::string& url) {
  Authority authority;
  CURLU* parsed = curl_url();
  if (!parsed) return authority;
  if (curl_url_set(parsed, CURLUPART_URL, url.c_str(), CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK) {
    const std::pair<CURLUPart, std::string*> parts[] = {
        {CURLUPART_SCHEME, &authority.scheme}, {CURLUPART_HOST, &authority.host},
        {CURLUPART_PORT, &authority.port}};
    for (const auto& [part, text] : parts) {
      char* value = nullptr;
      if (curl_url_get(parsed, part, &value, CURLU_DEFAULT_PORT) == CURLUE_OK && value) {
        *text = value;
        for (char& c : *text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      }
      curl_free(value);
    }
  }
  curl_url_cleanup(parsed);
  return authority;
}

// True when a redirect may be followed to target (already passed through the
// origin): http or https, on the site's own host and port, which are the
// origin's when one is set.
bool StaysOnSite(const std::string& target, const SiteOrigin& origin) {
  const Authority to = AuthorityOf(target);
  if (to.scheme != "http" && to.scheme != "https") return false;
  if (!origin.str().empty()) {
    const Authority site = AuthorityOf(origin.str());
    return to.host == site.host && to.port == site.port;
  }
  const std::string default_port = to.scheme == "http" ? "80" : "443";
  return to.host == kSiteHost && to.port == default_port;
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

// Performs the request, following redirects ourselves so that every hop to the
// site host goes through the configured origin.
CURLcode PerformFollowingRedirects(CURL* curl, const std::string& url, Transfer& t,
                                   DownloadOutcome& outcome, const CancelToken* cancel) {
  std::string current = t.settings.origin.Apply(url);
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(t.settings.transfer_timeout_ms);
  for (int hop = 0;; ++hop) {
    // Every hop gets what is left of the one overall limit.
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return CURLE_OPERATION_TIMEDOUT;
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(left.count()));
    curl_easy_setopt(curl, CURLOPT_URL, current.c_str());
    const CURLcode rc = PerformCancellable(curl, cancel, outcome.cancelled);
    if (rc != CURLE_OK || !t.redirect) return rc;
    char* location = nullptr;
    curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &location);
    if (!location) {  // announced, but not one curl can follow: the body is the page
      t.redirect = false;
      return rc;
    }
    if (hop == kMaxRedirects) {
      outcome.error = "too many redirects";
      return CURLE_TOO_MANY_REDIRECTS;
    }
    current = t.settings.origin.Apply(location);
    if (!StaysOnSite(current, t.settings.origin)) {
      outcome.error = "redirect away from the site refused: " + std::string(location);
      return CURLE_UNSUPPORTED_PROTOCOL;  // the error text above tells why
    }
  }
}

}  // namespace

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

std::uint32_t NextAgentSeed(std::uint32_t seed) { return seed * 134775813u + 1u; }

int AgentIndexForSeed(std::uint32_t seed) {
  return static_cast<int>((static_cast<std::uint64_t>(seed) * 5u) >> 32);
}

DownloadOutcome DownloadToFile(const std::string& url, const std::string& file,
                               const DownloadSettings& settings, const CancelToken* cancel) {
  InitCurlOnce();
  DownloadOutcome outcome;
  const std::string agent(UserAgents()[static_cast<size_t>(DrawAgentIndex())]);
  CurlHandle curl;
  if (!curl.handle) {
    outcome.error = "cannot start an HTTP session";
    return outcome;
  }
  Transfer t{file, settings, nullptr};
  SetCommonOptions(curl.handle, curl, t, agent.c_str());
  const CURLcode rc = PerformFollowingRedirects(curl.handle, url, t, outcome, cancel);

  outcome.http_status = t.status;
  outcome.retry_after_s = t.retry_after_s;
  outcome.oversized = t.oversized || rc == CURLE_FILESIZE_EXCEEDED;
  outcome.local_error = t.open_failed || t.write_failed;
  outcome.transport_ok = rc == CURLE_OK;
  // A response arrived with an empty body: the file still becomes an empty one.
  if (outcome.transport_ok) t.EnsureFile();
  if (t.file && std::fclose(t.file.release()) != 0) outcome.local_error = true;
  outcome.bytes_written = t.written;
  if (outcome.cancelled) {
    outcome.transport_ok = false;
    outcome.error = "cancelled";
  } else if (outcome.oversized) {
    // Emptied, not removed, so the file stays the one the caller made.
    ::truncate(file.c_str(), 0);
    outcome.transport_ok = false;
    outcome.error = "body larger than the limit";
  } else if (outcome.local_error) {
    outcome.error = "cannot write " + file;
  } else if (rc != CURLE_OK && outcome.error.empty()) {
    outcome.error = curl_easy_strerror(rc);
  }
  return outcome;
}

}  // namespace valmeric
