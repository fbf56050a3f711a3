// DownloadToFile through WinINet, the system's own HTTP client, so that the
// user's proxy and certificate settings apply.

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include "common/download.h"
#include "common/download_transfer.h"

namespace valmeric {
namespace {

using download::HopEnd;
using download::Transfer;
using Clock = std::chrono::steady_clock;

// Addresses and the headers read here are ASCII.
std::wstring Widen(std::string_view ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::string Narrow(std::wstring_view text) {
  std::string out;
  for (const wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

std::string WinInetError(DWORD code) {
  switch (code) {
    case ERROR_INTERNET_TIMEOUT:
      return "Timeout was reached";
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
      return "could not resolve the host name";
    case ERROR_INTERNET_CANNOT_CONNECT:
      return "could not connect to the server";
    case ERROR_INTERNET_CONNECTION_ABORTED:
    case ERROR_INTERNET_CONNECTION_RESET:
      return "the connection broke";
    case ERROR_INTERNET_INVALID_CA:
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
    case ERROR_INTERNET_SEC_CERT_ERRORS:
    case ERROR_INTERNET_SEC_INVALID_CERT:
    case ERROR_INTERNET_SEC_CERT_REVOKED:
    case ERROR_INTERNET_SECURITY_CHANNEL_ERROR:
      return "the server's certificate was not accepted (WinINet error " + std::to_string(code) + ")";
    default:
      return "WinINet error " + std::to_string(code);
  }
}

// Watches the request under way from a thread of its own and closes its
// handles when the download is cancelled, passes its overall limit, takes too
// long to connect or stalls: WinINet's blocking calls return once their
// handle is closed.
class Watcher final {
 public:
  Watcher(const DownloadSettings& settings, const CancelToken* cancel)
      : settings_(settings),
        cancel_(cancel),
        deadline_(std::chrono::milliseconds(settings.transfer_timeout_ms)),
        thread_([this] { Run(); }) {}
  ~Watcher() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
    Close(Take());
  }
  Watcher(const Watcher&) = delete;
  Watcher& operator=(const Watcher&) = delete;

  // A new request: from here its handles are closed only through the watcher.
  void Begin(HINTERNET connection, HINTERNET request) {
    std::lock_guard lock(mutex_);
    handles_ = {connection, request};
    started_ = Clock::now();
    connected_ = false;
    received_ = 0;
    samples_.clear();
  }
  // Called on the request's thread, also from WinINet's status callback, so
  // it takes no lock that the watcher may hold while it closes a handle.
  void Connected() { connected_ = true; }
  void Received(size_t n) { received_ += n; }
  // Closes the request's handles; the reason it was given up, empty when it was not.
  std::string End() {
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return !closing_; });
    const Handles handles = Take();
    lock.unlock();
    Close(handles);
    lock.lock();
    return std::exchange(reason_, {});
  }
  bool cancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
  }

  static void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID, DWORD) {
    if (status == INTERNET_STATUS_CONNECTED_TO_SERVER && context != 0) {
      reinterpret_cast<Watcher*>(context)->Connected();
    }
  }

 private:
  struct Handles {
    HINTERNET connection = nullptr;
    HINTERNET request = nullptr;
  };
  struct Sample {
    Clock::time_point at;
    std::uint64_t bytes;
  };
  static constexpr auto kTick = std::chrono::milliseconds(25);

  void Run() {
    std::unique_lock lock(mutex_);
    while (!wake_.wait_for(lock, kTick, [this] { return stop_; })) {
      if (handles_.request == nullptr) continue;
      std::string reason = Check(Clock::now());
      if (reason.empty()) continue;
      cancelled_ = reason == "cancelled";
      reason_ = std::move(reason);
      closing_ = true;
      const Handles handles = Take();
      lock.unlock();
      Close(handles);  // the blocked call on the request's thread returns
      lock.lock();
      closing_ = false;
      wake_.notify_all();
    }
  }

  std::string Check(Clock::time_point now) {
    if (cancel_ != nullptr && cancel_->IsCancelled()) return "cancelled";
    if (deadline_.Left().count() <= 0) return "Timeout was reached";
    if (!connected_) {
      return now - started_ > std::chrono::seconds(settings_.connect_timeout_s)
                 ? "connection timeout: no answer from the server"
                 : "";
    }
    return Stalled(now) ? "timeout: under " + std::to_string(settings_.min_bytes_per_s) +
                              " bytes/s for " + std::to_string(settings_.stall_timeout_s) + " s"
                        : "";
  }

  // True when, over the last stall_timeout_s seconds since the connection
  // was made, the body came slower than min_bytes_per_s.
  bool Stalled(Clock::time_point now) {
    const auto window = std::chrono::seconds(settings_.stall_timeout_s);
    const std::uint64_t received = received_;
    samples_.push_back({now, received});
    while (samples_.size() > 1 && samples_[1].at <= now - window) samples_.pop_front();
    const Sample& first = samples_.front();
    if (first.at > now - window) return false;
    const auto need = static_cast<std::uint64_t>(settings_.min_bytes_per_s) *
                      static_cast<std::uint64_t>(settings_.stall_timeout_s);
    return received - first.bytes < need;
  }

  Handles Take() { return std::exchange(handles_, {}); }
  static void Close(const Handles& handles) {
    if (handles.request != nullptr) InternetCloseHandle(handles.request);
    if (handles.connection != nullptr) InternetCloseHandle(handles.connection);
  }

  const DownloadSettings& settings_;
  const CancelToken* cancel_;
  const download::Deadline deadline_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  bool closing_ = false;
  Handles handles_;
  Clock::time_point started_;
  std::atomic<bool> connected_ = false;
  std::atomic<std::uint64_t> received_ = 0;
  std::deque<Sample> samples_;
  std::string reason_;
  bool cancelled_ = false;
  std::thread thread_;  // last: it starts on a whole object
};

struct SessionCloser {
  void operator()(void* session) const { InternetCloseHandle(session); }
};
using Session = std::unique_ptr<void, SessionCloser>;

Session OpenSession(std::string_view agent, const DownloadSettings& settings) {
  Session session(
      InternetOpenW(Widen(agent).c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) return session;
  DWORD connect_ms = static_cast<DWORD>(settings.connect_timeout_s * 1000);
  // The watcher applies the stall and overall limits; WinINet's own receive
  // limit must not cut in before them.
  DWORD io_ms = static_cast<DWORD>(settings.transfer_timeout_ms);
  InternetSetOptionW(session.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &connect_ms, sizeof connect_ms);
  InternetSetOptionW(session.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &io_ms, sizeof io_ms);
  InternetSetOptionW(session.get(), INTERNET_OPTION_SEND_TIMEOUT, &io_ms, sizeof io_ms);
  InternetSetStatusCallbackW(session.get(), &Watcher::OnStatus);
  return session;
}

std::optional<std::string> QueryHeader(HINTERNET request, DWORD info) {
  std::wstring value(256, L'\0');
  DWORD size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  if (!HttpQueryInfoW(request, info, value.data(), &size, nullptr)) {
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::nullopt;
    value.assign(size / sizeof(wchar_t) + 1, L'\0');
    if (!HttpQueryInfoW(request, info, value.data(), &size, nullptr)) return std::nullopt;
  }
  value.resize(size / sizeof(wchar_t));
  return Narrow(value);
}

long QueryStatus(HINTERNET request) {
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                      nullptr)) {
    return 0;
  }
  return static_cast<long>(status);
}

// The body's length as sent, when the server gave it and nothing is to be decoded.
std::optional<std::uint64_t> PlainContentLength(HINTERNET request) {
  const std::optional<std::string> encoding = QueryHeader(request, HTTP_QUERY_CONTENT_ENCODING);
  if (encoding && !encoding->empty() && *encoding != "identity") return std::nullopt;
  const std::optional<std::string> length = QueryHeader(request, HTTP_QUERY_CONTENT_LENGTH);
  if (!length || length->empty() || length->find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  return std::stoull(*length);
}

// Where the answer sends us, resolved against url; empty when it is no
// redirect (a 3xx without a Location is an answer like any other).
std::string RedirectTarget(HINTERNET request, long status, const std::string& url) {
  if (status < 300 || status >= 400) return {};
  const std::optional<std::string> location = QueryHeader(request, HTTP_QUERY_LOCATION);
  if (!location) return {};
  return download::ResolveReference(url, *location);
}

// The Cache-Control header and INTERNET_FLAG_PRAGMA_NOCACHE keep caches on
// the way out of it; WinINet decodes what it is offered here.
constexpr wchar_t kRequestHeaders[] =
    L"Cache-Control: no-cache\r\nPragma: no-cache\r\nAccept-Encoding: gzip, deflate\r\n";

constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_COOKIES |
                                INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTH |
                                INTERNET_FLAG_NO_AUTO_REDIRECT;

// Reads the body in chunks of 1000 bytes into the sink. Empty when it came whole.
std::string ReadBody(HINTERNET request, Transfer& t, Watcher& watcher) {
  const std::optional<std::uint64_t> announced = PlainContentLength(request);
  if (announced && *announced > t.settings.max_body_bytes) {
    t.body.MarkOversized();
    return "body larger than the limit";
  }
  char buffer[1000];
  std::uint64_t got = 0;
  for (;;) {
    DWORD n = 0;
    if (!InternetReadFile(request, buffer, sizeof buffer, &n)) return WinInetError(GetLastError());
    if (n == 0) break;
    got += n;
    watcher.Received(n);
    if (!t.body.Take(buffer, n)) return "the body could not be stored";
  }
  if (announced && got < *announced) return "the connection closed before the whole body came";
  return {};
}

// Sends the request and reads its answer; handles already belong to the watcher.
HopEnd Exchange(HINTERNET request, Transfer& t, Watcher& watcher, const std::string& url) {
  if (!HttpSendRequestW(request, kRequestHeaders, static_cast<DWORD>(-1), nullptr, 0)) {
    return {false, {}, WinInetError(GetLastError())};
  }
  watcher.Connected();
  t.status = QueryStatus(request);
  const std::optional<std::string> retry_after = QueryHeader(request, HTTP_QUERY_RETRY_AFTER);
  t.retry_after_s = retry_after ? download::ParseRetryAfter(*retry_after, std::time(nullptr)) : -1;
  std::string target = RedirectTarget(request, t.status, url);
  if (!target.empty()) return {true, std::move(target), {}};
  std::string error = ReadBody(request, t, watcher);
  return {error.empty(), {}, std::move(error)};
}

HopEnd PerformHop(HINTERNET session, Transfer& t, Watcher& watcher, const std::string& url) {
  const std::optional<download::UrlParts> parts = download::ParseAbsoluteUrl(url);
  if (!parts || (parts->scheme != "http" && parts->scheme != "https")) {
    return {false, {}, "not an http or https address: " + url};
  }
  std::string host = parts->host;
  if (host.size() > 1 && host.front() == '[') host = host.substr(1, host.size() - 2);
  const auto context = reinterpret_cast<DWORD_PTR>(&watcher);
  HINTERNET connection = InternetConnectW(session, Widen(host).c_str(),
                                          static_cast<INTERNET_PORT>(std::stoi(parts->port)),
                                          nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, context);
  if (connection == nullptr) return {false, {}, WinInetError(GetLastError())};
  const DWORD flags = kRequestFlags | (parts->scheme == "https" ? INTERNET_FLAG_SECURE : 0);
  HINTERNET request = HttpOpenRequestW(connection, L"GET", Widen(parts->path + parts->query).c_str(),
                                       nullptr, nullptr, nullptr, flags, context);
  if (request == nullptr) {
    const DWORD code = GetLastError();
    InternetCloseHandle(connection);
    return {false, {}, WinInetError(code)};
  }
  BOOL decode = TRUE;
  InternetSetOptionW(request, INTERNET_OPTION_HTTP_DECODING, &decode, sizeof decode);
  watcher.Begin(connection, request);
  HopEnd end = Exchange(request, t, watcher, url);
  if (std::string reason = watcher.End(); !reason.empty()) {
    t.cancelled = watcher.cancelled();
    return {false, {}, std::move(reason)};
  }
  return end;
}

}  // namespace

DownloadOutcome DownloadToFile(const std::string& url, const std::string& file,
                               const DownloadSettings& settings, const CancelToken* cancel) {
  const std::string_view agent = download::DrawUserAgent();
  if (!settings.ca_file.empty()) {
    DownloadOutcome outcome;
    outcome.error = "an extra CA file is not supported here: the system's certificate store applies";
    return outcome;
  }
  Transfer t(file, settings);
  const Session session = OpenSession(agent, settings);
  if (!session) {
    DownloadOutcome outcome;
    outcome.error = "cannot start an HTTP session: " + WinInetError(GetLastError());
    return outcome;
  }
  Watcher watcher(settings, cancel);
  const HopEnd end = download::FollowRedirects(
      url, settings, [&](const std::string& hop_url, std::chrono::milliseconds) {
        return PerformHop(session.get(), t, watcher, hop_url);
      });
  return download::FinishDownload(t, end);
}

}  // namespace valmeric
