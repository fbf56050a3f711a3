#include "site_server.h"

#include <httplib.h>
#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <thread>

#include "euc_jp.h"
#include "listed_facilities.h"

namespace valmeric::sitesim {
namespace {

constexpr const char* kHtmlType = "text/html; charset=EUC-JP";
constexpr std::size_t kCacheBudget = 256u << 20;

// A whole-field decimal number, or -1.
int ParseNumber(std::string_view text) {
  int value = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || ptr != text.data() + text.size() || value < 0) return -1;
  return value;
}

std::string Param(const httplib::Request& req, const char* name) {
  return req.has_param(name) ? req.get_param_value(name) : std::string();
}

// Filler for oversized bodies: harmless comment lines.
std::string PaddingBlock() {
  std::string block = "<!-- ";
  while (block.size() < 64 * 1024 - 5) block += "padding padding padding padding padding\n";
  block += " -->\n";
  return block;
}

// text as gzip; empty when zlib fails.
std::string Gzip(const std::string& text) {
  z_stream stream{};
  if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) !=
      Z_OK) {
    return {};
  }
  std::string out(deflateBound(&stream, static_cast<uLong>(text.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const bool ended = deflate(&stream, Z_FINISH) == Z_STREAM_END;
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return ended ? out : std::string();
}

}  // namespace

SiteServer::SiteServer(const FacilityModel& model, FaultOptions faults)
    : model_(model),
      renderer_(model, faults.next_link),
      faults_(std::move(faults)),
      cache_(kCacheBudget) {}

SiteStats SiteServer::stats() const {
  return SiteStats{requests_.load(), result_pages_.load(), fault_count_.load()};
}

void SiteServer::Mount(httplib::Server& server) {
  server.Get(".*",
             [this](const httplib::Request& req, httplib::Response& res) { Handle(req, res); });
}

void SiteServer::SleepMs(int ms) const {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!stopping_ && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 10)));
  }
}

void SiteServer::SendHtml(httplib::Response& res, int status, const std::string& utf8) {
  res.status = status;
  res.set_content(Utf8ToEucJp(utf8), kHtmlType);
}

void SiteServer::Handle(const httplib::Request& req, httplib::Response& res) {
  if (HandleControl(req, res)) return;
  HandleSite(req, res);
}

bool SiteServer::HandleControl(const httplib::Request& req, httplib::Response& res) {
  const std::string& path = req.path;
  if (path == "/_sim/health") {
    res.set_content("ok\n", "text/plain; charset=UTF-8");
    return true;
  }
  if (path == "/_sim/stats") {
    SiteStats s = stats();
    res.set_content("requests=" + std::to_string(s.requests) +
                        "\nresult_pages=" + std::to_string(s.result_pages) +
                        "\nfaults=" + std::to_string(s.faults) + "\n",
                    "text/plain; charset=UTF-8");
    return true;
  }
  if (path == "/_sim/listed" || path == "/_sim/changes") {
    auto query = ParseListedQuery(Param(req, "pref_no"), Param(req, "ctgr"));
    const std::string pages = Param(req, "pages");
    if (!query || (pages != "" && pages != "first" && pages != "all")) {
      res.status = 400;
      res.set_content(
          "pref_no and ctgr must be 'all' or comma lists of numbers in range, pages 'first' or "
          "'all'\n",
          "text/plain; charset=UTF-8");
      return true;
    }
    query->decode_references = Param(req, "decode") != "0";
    query->all_pages = pages == "all";
    res.set_content(
        path == "/_sim/changes" ? ChangesTsv(model_, *query) : ListedFacilitiesTsv(model_, *query),
        "text/tab-separated-values; charset=UTF-8");
    return true;
  }
  if (path == "/_fault/loop") {
    int n = std::max(0, ParseNumber(Param(req, "n")));
    res.set_redirect("/_fault/loop?n=" + std::to_string(n + 1), 302);
    return true;
  }
  if (path == "/_fault/big") {
    const std::size_t size = static_cast<std::size_t>(std::max(1, faults_.options().oversize_mb))
                             << 20;
    auto block = std::make_shared<const std::string>(PaddingBlock());
    res.set_content_provider(
        size, "text/html; charset=EUC-JP",
        [block, this](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
          if (stopping_) return false;
          std::size_t at = offset % block->size();
          std::size_t n = std::min(length, block->size() - at);
          sink.write(block->data() + at, n);
          return true;
        });
    return true;
  }
  return false;
}

void SiteServer::HandleSite(const httplib::Request& req, httplib::Response& res) {
  const std::uint64_t request = requests_++;
  const FaultOptions& opt = faults_.options();
  if (opt.latency_ms > 0) SleepMs(opt.latency_ms);

  auto fail = [&](int status) {
    ++fault_count_;
    if (status == 429) res.set_header("Retry-After", std::to_string(opt.retry_after_s));
    SendHtml(res, status, renderer_.ErrorPage(status));
  };
  if (faults_.Dead(result_pages_.load())) return fail(503);

  // Route first, so a fault only ever replaces a page that exists.
  const std::string& path = req.path;
  enum class Kind { kCity, kSubCategories, kResult } kind;
  std::string key;
  std::function<std::string()> make;
  bool cacheable = true;
  if (path == "/doko/city.php") {
    int pref = ParseNumber(Param(req, "pref_no"));
    if (model_.data().CitiesOf(pref).empty()) return SendHtml(res, 404, renderer_.NotFoundPage());
    if (pref == opt.fail_pref) return fail(500);
    kind = Kind::kCity;
    key = "city:" + std::to_string(pref);
    make = [this, pref] { return renderer_.CityPage(pref); };
  } else if (path == "/doko/kamoku.php") {
    int pref = ParseNumber(Param(req, "pref_no"));
    int city = ParseNumber(Param(req, "city_no"));
    if (pref < 1 || pref > SiteData::kPrefectures || city < 0 || city > 999) {
      return SendHtml(res, 404, renderer_.NotFoundPage());
    }
    kind = Kind::kSubCategories;
    key = "kamoku:" + std::to_string(pref) + ":" + std::to_string(city);
    make = [this, pref, city] { return renderer_.SubCategoryPage(pref, city); };
  } else if (path.starts_with("/doko/kekka.php/")) {
    // /doko/kekka.php/PPCCCSSS/ : two-digit prefecture, three-digit city, sub-category.
    std::string_view rest(path);
    rest.remove_prefix(std::string_view("/doko/kekka.php/").size());
    if (rest.ends_with('/')) rest.remove_suffix(1);
    // With page-numbered paths, PPCCCSSS/page/N/ is page N as well as ?page=N.
    int path_page = -1;
    const std::size_t page_segment = rest.find("/page/");
    if (opt.next_link == NextLinkForm::kPath && page_segment != std::string_view::npos) {
      path_page = ParseNumber(rest.substr(page_segment + 6));
      rest = rest.substr(0, page_segment);
      if (path_page < 1) rest = {};
    }
    const bool digits = rest.size() > 5 && std::all_of(rest.begin(), rest.end(),
                                                       [](char c) { return c >= '0' && c <= '9'; });
    int pref = digits ? ParseNumber(rest.substr(0, 2)) : -1;
    int city = digits ? ParseNumber(rest.substr(2, 3)) : -1;
    int sub_code = digits ? ParseNumber(rest.substr(5)) : -1;
    int city_index = digits ? model_.data().FindCity(pref, city) : -1;
    const refdata::SubCategory* sub = digits ? model_.data().FindSubCategory(sub_code) : nullptr;
    int page = req.has_param("page") ? ParseNumber(Param(req, "page")) : 1;
    if (path_page > 0) page = req.has_param("page") ? -1 : path_page;
    if (city_index < 0 || sub == nullptr || page < 1 || !path.ends_with('/')) {
      return SendHtml(res, 404, renderer_.NotFoundPage());
    }
    const int city_key = pref * 1000 + city;
    const auto listed = [city_key](const std::vector<int>& cities) {
      return std::find(cities.begin(), cities.end(), city_key) != cities.end();
    };
    if (listed(opt.gone_cities)) {
      ++fault_count_;
      return SendHtml(res, 404, renderer_.NotFoundPage());
    }
    if (listed(opt.empty_cities)) {
      return SendHtml(res, 200, renderer_.ResultPage(city_index, *sub, page, true));
    }
    kind = Kind::kResult;
    key = "kekka:" + std::to_string(city_index) + ":" + std::to_string(sub_code);
    cacheable = page == 1;
    make = [this, city_index, sub, page] { return renderer_.ResultPage(city_index, *sub, page); };
  } else {
    return SendHtml(res, 404, renderer_.NotFoundPage());
  }

  FaultDecision fault = faults_.Decide(request);
  if (fault.kind == FaultKind::kFail) return fail(fault.status);
  if (fault.kind == FaultKind::kRedirectLoop) {
    ++fault_count_;
    res.set_redirect("/_fault/loop?n=1", 302);
    return;
  }
  if (fault.kind != FaultKind::kNone) ++fault_count_;

  auto utf8_to_page = [&make] { return Utf8ToEucJp(make()); };
  PageCache::Page page = cacheable ? cache_.Get(key, utf8_to_page)
                                   : std::make_shared<const std::string>(utf8_to_page());
  if (kind == Kind::kResult) ++result_pages_;
  SendPage(res, 200, std::move(page), fault.kind, kind == Kind::kResult && opt.oversize_results);
}

void SiteServer::SendPage(httplib::Response& res, int status, PageCache::Page page, FaultKind fault,
                          bool pad) {
  res.status = status;
  if (fault == FaultKind::kNone && !pad) {
    res.set_content(*page, kHtmlType);
    return;
  }
  if (fault == FaultKind::kGzipCut) {
    // A type the server does not compress again on its own.
    const std::string whole = Gzip(*page);
    res.set_header("Content-Encoding", "gzip");
    res.set_content(whole.substr(0, whole.size() * 2 / 3), "application/octet-stream");
    return;
  }
  // Streamed bodies: the page, then padding when oversized. A dropped
  // response stops half-way and closes; a stalled one pauses half-way.
  const std::size_t padding =
      pad ? static_cast<std::size_t>(std::max(1, faults_.options().oversize_mb)) << 20 : 0;
  const std::size_t total = page->size() + padding;
  const std::size_t half = page->size() / 2;
  auto block = std::make_shared<const std::string>(pad ? PaddingBlock() : std::string());
  auto stalled = std::make_shared<bool>(false);
  const int stall_ms = faults_.options().stall_ms;
  res.set_content_provider(total, kHtmlType,
                           [this, page, block, half, fault, stalled, stall_ms](
                               std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                             if (stopping_) return false;
                             if (offset < page->size()) {
                               std::size_t end = page->size();
                               if (fault != FaultKind::kNone && offset < half) end = half;
                               if (fault != FaultKind::kNone && offset == half) {
                                 if (fault == FaultKind::kDrop) return false;
                                 if (fault == FaultKind::kStall && !*stalled) {
                                   *stalled = true;
                                   SleepMs(stall_ms);
                                 }
                               }
                               std::size_t n = std::min(length, end - offset);
                               return sink.write(page->data() + offset, n);
                             }
                             std::size_t at = (offset - page->size()) % block->size();
                             std::size_t n = std::min(length, block->size() - at);
                             return sink.write(block->data() + at, n);
                           });
}

}  // namespace valmeric::sitesim
