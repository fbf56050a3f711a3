// DownloadToFile through WinINet, the system's own HTTP client, so that the
// user's proxy and certificate settings apply.

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include "common/network/download.h"
#include "common/network/download_transfer.h"
#include "common/platform/windows_text.h"
#include "messages/download_text.h"

namespace valmeric {
namespace {

using download::HopEnd;
using download::Transfer;
using Clock = std::chrono::steady_clock;

// Addresses and the headers read here are ASCII.
std::wstring Widen(std::string_view ascii) {
  return std::wstring(ascii.begin(), ascii.end());
}

std::string Narrow(std::wstring_view text) {
  std::string out;
  for (const wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

// The WinINet errors a run can meet, each with the kind it belongs to and a
// few Japanese words of its own (download_text.h), shown with its number in
// parentheses.
struct WinInetErrorRow {
  DWORD code;
  DownloadFailure kind;
  const char* words;
};

// Newer than the MinGW-w64 headers.
constexpr DWORD kDecodingFailed = 12175;  // ERROR_INTERNET_DECODING_FAILED

constexpr WinInetErrorRow kWinInetErrors[] = {
    {ERROR_INTERNET_OUT_OF_HANDLES, DownloadFailure::kSession, download_text::kWinInetOutOfHandles},
    {ERROR_INTERNET_TIMEOUT, DownloadFailure::kTimedOut, download_text::kWinInetTimeout},
    {ERROR_INTERNET_INTERNAL_ERROR, DownloadFailure::kOther, download_text::kWinInetInternalError},
    {ERROR_INTERNET_INVALID_URL, DownloadFailure::kBadAddress, download_text::kWinInetInvalidUrl},
    {ERROR_INTERNET_UNRECOGNIZED_SCHEME, DownloadFailure::kBadAddress,
     download_text::kWinInetUnrecognizedScheme},
    {ERROR_INTERNET_NAME_NOT_RESOLVED, DownloadFailure::kNameNotResolved,
     download_text::kWinInetNameNotResolved},
    {ERROR_INTERNET_OPERATION_CANCELLED, DownloadFailure::kCancelled,
     download_text::kWinInetOperationCancelled},
    {ERROR_INTERNET_CANNOT_CONNECT, DownloadFailure::kConnectFailed,
     download_text::kWinInetCannotConnect},
    {ERROR_INTERNET_CONNECTION_ABORTED, DownloadFailure::kConnectionBroken,
     download_text::kWinInetConnectionAborted},
    {ERROR_INTERNET_CONNECTION_RESET, DownloadFailure::kConnectionBroken,
     download_text::kWinInetConnectionReset},
    {ERROR_INTERNET_SEC_CERT_DATE_INVALID, DownloadFailure::kCertificateExpired,
     download_text::kWinInetCertDateInvalid},
    {ERROR_INTERNET_SEC_CERT_CN_INVALID, DownloadFailure::kCertificateWrongName,
     download_text::kWinInetCertNameInvalid},
    {ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED, DownloadFailure::kTls,
     download_text::kWinInetClientCertNeeded},
    {ERROR_INTERNET_INVALID_CA, DownloadFailure::kCertificateUntrusted,
     download_text::kWinInetInvalidCa},
    {ERROR_INTERNET_SEC_CERT_ERRORS, DownloadFailure::kTls, download_text::kWinInetCertErrors},
    {ERROR_INTERNET_SEC_CERT_NO_REV, DownloadFailure::kTls,
     download_text::kWinInetCertNoRevocation},
    {ERROR_INTERNET_SEC_CERT_REV_FAILED, DownloadFailure::kTls,
     download_text::kWinInetCertRevocationFailed},
    {ERROR_HTTP_INVALID_SERVER_RESPONSE, DownloadFailure::kBadAnswer,
     download_text::kWinInetInvalidServerResponse},
    {ERROR_INTERNET_SECURITY_CHANNEL_ERROR, DownloadFailure::kTls,
     download_text::kWinInetSecurityChannel},
    {ERROR_INTERNET_SEC_INVALID_CERT, DownloadFailure::kTls, download_text::kWinInetInvalidCert},
    {ERROR_INTERNET_SEC_CERT_REVOKED, DownloadFailure::kTls, download_text::kWinInetCertRevoked},
    {kDecodingFailed, DownloadFailure::kBadAnswer, download_text::kWinInetDecodingFailed},
};

// A failed request: the kind of its WinINet error, and the error's words
// with its number.
HopEnd WinInetFailure(DWORD code) {
  for (const WinInetErrorRow& row : kWinInetErrors) {
    if (row.code == code) {
      return {false, {}, row.kind, "WinINet " + std::to_string(code) + ": " + row.words};
    }
  }
  // One of ours does not know: WinINet's own text, in the system's language.
  std::string words = "WinINet " + std::to_string(code);
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
      GetModuleHandleW(L"wininet.dll"), code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = n > 0 && text != nullptr ? std::wstring(text, n) : std::wstring();
  LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                              message.back() == L' ' || message.back() == L'.')) {
    message.pop_back();
  }
  if (!message.empty()) words += ": " + Utf8FromWide(message);
  return {false, {}, DownloadFailure::kOther, words};
}

// One request, carried out on a thread of its own so that the caller can give
// it up at any moment. WinINet's calls block; closing the request's handle
// makes a blocked call return on Windows. Where it does not (Wine), the
// thread is left to end by itself, touching nothing but this shared state.
struct Exchange final {
  static constexpr size_t kMaxQueuedChunks = 64;

  std::string url;
  std::uint64_t max_body_bytes = 0;
  HINTERNET request = nullptr;
  std::atomic<bool> connected = false;

  std::mutex mutex;
  std::condition_variable changed;
  // Written by the request's thread.
  bool answered = false;
  long status = 0;
  long retry_after_s = -1;
  std::string redirect_to;
  std::string content_encoding;
  bool announced_oversized = false;
  std::deque<std::string> chunks;  // body read and not yet stored
  bool done = false;               // the request ended by itself
  bool ok = false;
  DownloadFailure failure = DownloadFailure::kNone;
  std::string error;
  bool finished = false;  // the thread touches nothing any more
  // Written by the caller.
  bool abandoned = false;

  static void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID, DWORD) {
    if (status == INTERNET_STATUS_CONNECTED_TO_SERVER && context != 0) {
      reinterpret_cast<Exchange*>(context)->connected = true;
    }
  }
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
  // The stall and overall limits are applied while waiting for the request;
  // WinINet's own receive limit must not cut in before them.
  DWORD io_ms = static_cast<DWORD>(settings.transfer_timeout_ms);
  InternetSetOptionW(session.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &connect_ms,
                     sizeof connect_ms);
  InternetSetOptionW(session.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &io_ms, sizeof io_ms);
  InternetSetOptionW(session.get(), INTERNET_OPTION_SEND_TIMEOUT, &io_ms, sizeof io_ms);
  InternetSetStatusCallbackW(session.get(), &Exchange::OnStatus);
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
  if (!length || length->empty() || length->size() > 18 ||
      length->find_first_not_of("0123456789") != std::string::npos) {
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

// No cache on the way may answer for the server (INTERNET_FLAG_PRAGMA_NOCACHE
// and these headers say so). Compression is offered here and decoded by the
// shared body sink, not by WinINet (INTERNET_OPTION_HTTP_DECODING stays off),
// so that a compressed body cut short is known for what it is, as with
// libcurl.
constexpr wchar_t kRequestHeaders[] =
    L"Cache-Control: no-cache\r\nPragma: no-cache\r\nAccept-Encoding: gzip, deflate\r\n";

constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_COOKIES |
                                INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTH |
                                INTERNET_FLAG_NO_AUTO_REDIRECT;

void EndExchange(Exchange& ex, bool ok, DownloadFailure failure, std::string error) {
  {
    std::lock_guard lock(ex.mutex);
    ex.done = true;
    ex.ok = ok;
    ex.failure = failure;
    ex.error = std::move(error);
  }
  ex.changed.notify_all();
}

void EndExchange(Exchange& ex, const HopEnd& end) {
  EndExchange(ex, end.ok, end.failure, end.error);
}

// Reads the body in chunks of 1000 bytes into the queue, until its end or
// until the caller gives the request up.
void ReadBody(Exchange& ex) {
  const std::optional<std::uint64_t> announced = PlainContentLength(ex.request);
  if (announced && *announced > ex.max_body_bytes) {
    {
      std::lock_guard lock(ex.mutex);
      ex.announced_oversized = true;
    }
    EndExchange(ex, false, DownloadFailure::kOversized, {});
    return;
  }
  char buffer[1000];
  std::uint64_t got = 0;
  for (;;) {
    DWORD n = 0;
    if (!InternetReadFile(ex.request, buffer, sizeof buffer, &n)) {
      EndExchange(ex, WinInetFailure(GetLastError()));
      return;
    }
    if (n == 0) break;
    got += n;
    {
      std::unique_lock lock(ex.mutex);
      ex.changed.wait(
          lock, [&] { return ex.abandoned || ex.chunks.size() < Exchange::kMaxQueuedChunks; });
      if (ex.abandoned) return;
      ex.chunks.emplace_back(buffer, n);
    }
    ex.changed.notify_all();
  }
  if (announced && got < *announced) {
    EndExchange(ex, false, DownloadFailure::kConnectionBroken,
                "Content-Length " + std::to_string(*announced) + ", " + std::to_string(got));
  } else {
    EndExchange(ex, true, DownloadFailure::kNone, {});
  }
}

// The request's thread: sends it, reads the answer's head and its body (a
// redirect's too, which is held to the same size limit).
void RunExchange(const std::shared_ptr<Exchange>& shared) {
  Exchange& ex = *shared;
  if (!HttpSendRequestW(ex.request, kRequestHeaders, static_cast<DWORD>(-1), nullptr, 0)) {
    EndExchange(ex, WinInetFailure(GetLastError()));
  } else {
    ex.connected = true;
    const long status = QueryStatus(ex.request);
    const std::optional<std::string> retry_after = QueryHeader(ex.request, HTTP_QUERY_RETRY_AFTER);
    std::string target = RedirectTarget(ex.request, status, ex.url);
    const std::optional<std::string> encoding =
        QueryHeader(ex.request, HTTP_QUERY_CONTENT_ENCODING);
    {
      std::lock_guard lock(ex.mutex);
      ex.answered = true;
      ex.status = status;
      ex.retry_after_s =
          retry_after ? download::ParseRetryAfter(*retry_after, std::time(nullptr)) : -1;
      ex.redirect_to = std::move(target);
      ex.content_encoding = encoding.value_or(std::string());
    }
    ReadBody(ex);
  }
  {
    std::lock_guard lock(ex.mutex);
    ex.finished = true;
  }
  ex.changed.notify_all();
}

// The limits a request is held to while the caller waits for it.
class HopLimits final {
 public:
  HopLimits(const DownloadSettings& settings, const download::Deadline& deadline,
            const CancelToken* cancel)
      : settings_(settings), deadline_(deadline), cancel_(cancel), started_(Clock::now()) {}

  void Received(size_t n) { received_ += n; }

  // Why the request must be given up now; kNone while it may go on.
  DownloadFailure Check(bool connected) {
    const auto now = Clock::now();
    if (cancel_ != nullptr && cancel_->IsCancelled()) return DownloadFailure::kCancelled;
    if (deadline_.Left().count() <= 0) return DownloadFailure::kTimedOut;
    if (!connected) {
      return now - started_ > std::chrono::seconds(settings_.connect_timeout_s)
                 ? DownloadFailure::kConnectTimeout
                 : DownloadFailure::kNone;
    }
    return Stalled(now) ? DownloadFailure::kStalled : DownloadFailure::kNone;
  }

  // The limit a failure of Check passed, in figures.
  std::string Limit(DownloadFailure failure) const {
    switch (failure) {
      case DownloadFailure::kTimedOut:
        return std::to_string(settings_.transfer_timeout_ms) + " ms";
      case DownloadFailure::kConnectTimeout:
        return std::to_string(settings_.connect_timeout_s) + " s";
      case DownloadFailure::kStalled:
        return "< " + std::to_string(settings_.min_bytes_per_s) + " bytes/s, " +
               std::to_string(settings_.stall_timeout_s) + " s";
      default:
        return {};
    }
  }

 private:
  struct Sample {
    Clock::time_point at;
    std::uint64_t bytes;
  };

  // True when, over the last stall_timeout_s seconds since the connection
  // was made, the body came slower than min_bytes_per_s.
  bool Stalled(Clock::time_point now) {
    const auto window = std::chrono::seconds(settings_.stall_timeout_s);
    samples_.push_back({now, received_});
    while (samples_.size() > 1 && samples_[1].at <= now - window) samples_.pop_front();
    const Sample& first = samples_.front();
    if (first.at > now - window) return false;
    const auto need = static_cast<std::uint64_t>(settings_.min_bytes_per_s) *
                      static_cast<std::uint64_t>(settings_.stall_timeout_s);
    return received_ - first.bytes < need;
  }

  const DownloadSettings& settings_;
  const download::Deadline& deadline_;
  const CancelToken* cancel_;
  const Clock::time_point started_;
  std::uint64_t received_ = 0;
  std::deque<Sample> samples_;
};

constexpr auto kTick = std::chrono::milliseconds(20);

// Stores the body as it comes and watches the limits. The reason to give the
// request up, kNone when it ended by itself. body_started tells whether the
// answer's body began in the sink.
DownloadFailure Attend(Exchange& ex, Transfer& t, HopLimits& limits, bool& body_started) {
  for (;;) {
    std::deque<std::string> chunks;
    bool done = false;
    {
      std::unique_lock lock(ex.mutex);
      ex.changed.wait_for(lock, kTick, [&] { return ex.done || !ex.chunks.empty(); });
      chunks.swap(ex.chunks);
      done = ex.done;
      if (!body_started && !chunks.empty()) {
        t.body.StartAnswer(ex.content_encoding, ex.redirect_to.empty());
        body_started = true;
      }
    }
    ex.changed.notify_all();  // room in the queue
    for (const std::string& chunk : chunks) {
      limits.Received(chunk.size());
      if (!t.body.Take(chunk.data(), chunk.size())) return DownloadFailure::kLocalFile;
    }
    if (done) return DownloadFailure::kNone;
    if (const DownloadFailure reason = limits.Check(ex.connected);
        reason != DownloadFailure::kNone) {
      return reason;
    }
  }
}

// Closes the request's handles, which ends a blocked call on Windows, and
// waits a moment for the thread; one still blocked (Wine) is left to end by
// itself.
void Abandon(Exchange& ex, std::thread& thread, HINTERNET connection) {
  {
    std::lock_guard lock(ex.mutex);
    ex.abandoned = true;
  }
  ex.changed.notify_all();
  InternetCloseHandle(ex.request);
  InternetCloseHandle(connection);
  std::unique_lock lock(ex.mutex);
  if (ex.changed.wait_for(lock, std::chrono::milliseconds(25), [&] { return ex.finished; })) {
    lock.unlock();
    thread.join();
  } else {
    thread.detach();
  }
}

HopEnd PerformHop(HINTERNET session, Transfer& t, const std::string& url, HopLimits limits) {
  const std::optional<download::UrlParts> parts = download::ParseAbsoluteUrl(url);
  if (!parts || (parts->scheme != "http" && parts->scheme != "https")) {
    return {false, {}, DownloadFailure::kBadAddress, url};
  }
  std::string host = parts->host;
  if (host.size() > 1 && host.front() == '[') host = host.substr(1, host.size() - 2);
  const auto ex = std::make_shared<Exchange>();
  ex->url = url;
  ex->max_body_bytes = t.settings.max_body_bytes;
  const auto context = reinterpret_cast<DWORD_PTR>(ex.get());
  HINTERNET connection = InternetConnectW(session, Widen(host).c_str(),
                                          static_cast<INTERNET_PORT>(std::stoi(parts->port)),
                                          nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, context);
  if (connection == nullptr) return WinInetFailure(GetLastError());
  const DWORD flags = kRequestFlags | (parts->scheme == "https" ? INTERNET_FLAG_SECURE : 0);
  ex->request = HttpOpenRequestW(connection, L"GET", Widen(parts->path + parts->query).c_str(),
                                 nullptr, nullptr, nullptr, flags, context);
  if (ex->request == nullptr) {
    const DWORD code = GetLastError();
    InternetCloseHandle(connection);
    return WinInetFailure(code);
  }
  std::thread thread(RunExchange, ex);
  bool body_started = false;
  const DownloadFailure reason = Attend(*ex, t, limits, body_started);
  if (reason != DownloadFailure::kNone) {
    Abandon(*ex, thread, connection);
  } else {
    thread.join();
    InternetCloseHandle(ex->request);
    InternetCloseHandle(connection);
  }
  std::lock_guard lock(ex->mutex);
  if (ex->answered) {
    t.status = ex->status;
    t.retry_after_s = ex->retry_after_s;
  }
  if (body_started) {
    const download::BodyFault fault = t.body.EndAnswer(reason == DownloadFailure::kNone && ex->ok);
    if (fault.failure != DownloadFailure::kNone) return {false, {}, fault.failure, fault.words};
  }
  if (reason != DownloadFailure::kNone) {
    t.cancelled = reason == DownloadFailure::kCancelled;
    return {false, {}, reason, limits.Limit(reason)};
  }
  if (ex->announced_oversized) t.body.MarkOversized();
  return {ex->ok, ex->redirect_to, ex->failure, ex->error};
}

}  // namespace

DownloadOutcome DownloadToFile(const std::string& url, const std::string& file,
                               const DownloadSettings& settings, const CancelToken* cancel) {
  const std::string_view agent = download::DrawUserAgent();
  if (!settings.ca_file.empty()) {
    DownloadOutcome outcome;
    outcome.failure = DownloadFailure::kNotSupported;
    outcome.error = DownloadFailureText(outcome.failure, "--ca-file");
    return outcome;
  }
  Transfer t(file, settings);
  const Session session = OpenSession(agent, settings);
  if (!session) {
    DownloadOutcome outcome;
    const HopEnd failure = WinInetFailure(GetLastError());
    outcome.failure = DownloadFailure::kSession;
    outcome.error = DownloadFailureText(outcome.failure, failure.error);
    return outcome;
  }
  const download::Deadline deadline{std::chrono::milliseconds(settings.transfer_timeout_ms)};
  const HopEnd end = download::FollowRedirects(
      url, settings, [&](const std::string& hop_url, std::chrono::milliseconds) {
        return PerformHop(session.get(), t, hop_url, HopLimits(settings, deadline, cancel));
      });
  return download::FinishDownload(t, end);
}

}  // namespace valmeric
