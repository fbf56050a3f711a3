#include "options.h"

#include <charconv>

namespace valmeric::sitesim {
namespace {

template <typename T>
bool ParseValue(const std::string& text, T& out) {
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return !text.empty() && ec == std::errc() && ptr == text.data() + text.size();
}

bool ParseRate(const std::string& text, double& out) {
  return ParseValue(text, out) && out >= 0.0 && out <= 1.0;
}

// A comma-separated list of whole numbers, each from low to high.
bool ParseList(const std::string& text, std::vector<int>& out, int low, int high) {
  out.clear();
  std::size_t start = 0;
  for (;;) {
    std::size_t comma = text.find(',', start);
    int code = 0;
    if (!ParseValue(text.substr(start, comma - start), code) || code < low || code > high)
      return false;
    out.push_back(code);
    if (comma == std::string::npos) return true;
    start = comma + 1;
  }
}

bool ParseNextLink(const std::string& text, NextLinkForm& out) {
  static constexpr std::pair<const char*, NextLinkForm> kForms[] = {
      {"query", NextLinkForm::kQuery}, {"rel", NextLinkForm::kRel},
      {"path", NextLinkForm::kPath},   {"relative", NextLinkForm::kRelative},
      {"loop", NextLinkForm::kLoop},   {"other-host", NextLinkForm::kOtherHost}};
  for (const auto& [name, form] : kForms) {
    if (text == name) {
      out = form;
      return true;
    }
  }
  return false;
}

}  // namespace

const char* UsageText() {
  return "usage: valmeric-sitesim [options]\n"
         "  --data DIR            reference data folder (cities.tsv, postal.tsv, "
         "subcategories.tsv)\n"
         "  --host HOST           address to listen on (default 127.0.0.1)\n"
         "  --port P              HTTP port, 0 picks a free one (default 0)\n"
         "  --tls-port P          also serve HTTPS on P (0 picks a free one); needs --cert, --key\n"
         "  --cert FILE, --key FILE   PEM certificate and private key for HTTPS\n"
         "  --port-file FILE      write the bound ports there (http=N, https=N lines)\n"
         "  --threads N           worker threads per listener (default 8)\n"
         "  --seed N              data and fault seed\n"
         "  --density F           facilities per city, relative to the usual (0-20, default 1)\n"
         "  --change-share S      show the data as changed later (0-0.5, default 0): a share S\n"
         "                        of the facilities gone, another share S with changed fields\n"
         "                        and S times as many new ones; /_sim/changes?pref_no=&ctgr=\n"
         "                        lists what a collection sees change\n"
         "  --next-link FORM      how a result page of several pages links to the next one:\n"
         "                        query (default): 次へ, /doko/kekka.php/PPCCCSSS/?page=N\n"
         "                        rel: <link rel=\"next\"> in the head, no 次へ anchor\n"
         "                        path: 次のページ, .../PPCCCSSS/page/N/ (served too)\n"
         "                        relative: ?page=N or ./?page=N, the text by (page +\n"
         "                        sub-category) mod 4: 次の20件 &gt;, ＞, &raquo;, &gt;\n"
         "                        loop: 次へ on every page, the last one back to page 1\n"
         "                        other-host: 次へ to http://other.example.invalid/...\n"
         "                        /_sim/listed?pref_no=&ctgr=&pages=all lists the facilities\n"
         "                        of every page, not just the first\n"
         "faults:\n"
         "  --latency-ms N        delay every page by N ms\n"
         "  --fail-rate R         answer a share R of pages with an error from --fail-codes\n"
         "  --fail-codes LIST     e.g. 500,503,429 (default 503)\n"
         "  --retry-after S       Retry-After seconds sent with 429 (default 1)\n"
         "  --drop-rate R         close the connection half-way through the body\n"
         "  --stall-rate R        pause half-way through the body for --stall-ms N (default 5000)\n"
         "  --redirect-loop-rate R  send pages round an endless redirect (/_fault/loop)\n"
         "  --gzip-cut-rate R     send pages gzip-compressed and cut after two thirds, with\n"
         "                        a Content-Length of what is sent\n"
         "  --oversize-mb N       size of /_fault/big, and of result pages with "
         "--oversize-results\n"
         "  --oversize-results    pad every result page to --oversize-mb\n"
         "  --fail-after N        after N result pages, answer everything with 503\n"
         "  --gone-cities LIST    result pages of these cities (PPCCC, e.g. 31201) answer 404\n"
         "  --empty-cities LIST   result pages of these cities list nothing\n"
         "  --fail-pref N         the city list of prefecture N answers 500\n";
}

std::optional<SimOptions> ParseOptions(const std::vector<std::string>& args,
                                       const std::string& default_data_dir, std::string& error) {
  SimOptions o;
  o.data_dir = default_data_dir;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      error = "help";
      return std::nullopt;
    }
    if (a == "--oversize-results") {
      o.faults.oversize_results = true;
      continue;
    }
    if (i + 1 >= args.size()) {
      error = a + " needs a value";
      return std::nullopt;
    }
    const std::string& v = args[++i];
    bool ok = true;
    if (a == "--data") {
      o.data_dir = v;
    } else if (a == "--host") {
      o.listen.host = v;
    } else if (a == "--port") {
      ok = ParseValue(v, o.listen.port) && o.listen.port >= 0 && o.listen.port <= 65535;
    } else if (a == "--tls-port") {
      ok = ParseValue(v, o.listen.tls_port) && o.listen.tls_port >= 0 && o.listen.tls_port <= 65535;
    } else if (a == "--cert") {
      o.listen.cert_file = v;
    } else if (a == "--key") {
      o.listen.key_file = v;
    } else if (a == "--port-file") {
      o.port_file = v;
    } else if (a == "--threads") {
      ok = ParseValue(v, o.listen.threads) && o.listen.threads >= 1 && o.listen.threads <= 256;
    } else if (a == "--seed") {
      ok = ParseValue(v, o.seed);
    } else if (a == "--density") {
      ok = ParseValue(v, o.density) && o.density > 0.0 && o.density <= 20.0;
    } else if (a == "--change-share") {
      ok = ParseValue(v, o.change_share) && o.change_share >= 0.0 && o.change_share <= 0.5;
    } else if (a == "--next-link") {
      ok = ParseNextLink(v, o.faults.next_link);
    } else if (a == "--latency-ms") {
      ok = ParseValue(v, o.faults.latency_ms) && o.faults.latency_ms >= 0;
    } else if (a == "--fail-rate") {
      ok = ParseRate(v, o.faults.fail_rate);
    } else if (a == "--fail-codes") {
      ok = ParseList(v, o.faults.fail_codes, 100, 599);
    } else if (a == "--retry-after") {
      ok = ParseValue(v, o.faults.retry_after_s) && o.faults.retry_after_s >= 0;
    } else if (a == "--drop-rate") {
      ok = ParseRate(v, o.faults.drop_rate);
    } else if (a == "--stall-rate") {
      ok = ParseRate(v, o.faults.stall_rate);
    } else if (a == "--stall-ms") {
      ok = ParseValue(v, o.faults.stall_ms) && o.faults.stall_ms >= 0;
    } else if (a == "--redirect-loop-rate") {
      ok = ParseRate(v, o.faults.redirect_loop_rate);
    } else if (a == "--gzip-cut-rate") {
      ok = ParseRate(v, o.faults.gzip_cut_rate);
    } else if (a == "--oversize-mb") {
      ok = ParseValue(v, o.faults.oversize_mb) && o.faults.oversize_mb >= 1 &&
           o.faults.oversize_mb <= 4096;
    } else if (a == "--fail-after") {
      ok = ParseValue(v, o.faults.fail_after) && o.faults.fail_after >= 0;
    } else if (a == "--gone-cities") {
      ok = ParseList(v, o.faults.gone_cities, 1000, 47999);
    } else if (a == "--empty-cities") {
      ok = ParseList(v, o.faults.empty_cities, 1000, 47999);
    } else if (a == "--fail-pref") {
      ok = ParseValue(v, o.faults.fail_pref) && o.faults.fail_pref >= 1 && o.faults.fail_pref <= 47;
    } else {
      error = "unknown option " + a;
      return std::nullopt;
    }
    if (!ok) {
      error = "bad value for " + a + ": " + v;
      return std::nullopt;
    }
  }
  if (o.listen.tls_port >= 0 && (o.listen.cert_file.empty() || o.listen.key_file.empty())) {
    error = "--tls-port needs --cert and --key";
    return std::nullopt;
  }
  o.faults.seed = o.seed;
  return o;
}

}  // namespace valmeric::sitesim
