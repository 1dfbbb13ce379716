// The web view as a browser meets it: a server started in-process on 127.0.0.1, and over loopback the
// time from sending a search for "the" to holding its first page of 100 lines, over the common licences
// repeated 360 times (about 109 MB, built under /tmp). Then the whole search, a sort of every hit on
// R1 and a page from the middle of the sorted lines, and the process's peak memory with all hits kept.
#include <httplib.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "bench_texts.h"

#include "web_view.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point since) { return std::chrono::duration<double, std::milli>(Clock::now() - since).count(); }

using kx8bench::ReadAll;

json Body(const httplib::Result& r) { return r ? json::parse(r->body, nullptr, false) : json(); }

}  // namespace

int main() {
  const fs::path dir = fs::temp_directory_path() / "kx8_web_view_corpus";
  const fs::path file = dir / "licences.txt";
  if (!fs::exists(file)) {
    fs::create_directories(dir);
    const std::string once = kx8bench::LicenceTexts();
    std::ofstream out(file, std::ios::binary);
    for (int i = 0; i < 360; ++i) out << once;
  }
  std::printf("corpus: %s, %.1f MB\n", file.c_str(), static_cast<double>(fs::file_size(file)) / 1e6);

  kx8tool::WebViewOptions o;
  o.paths = {kx8::Utf8ToUtf16(dir.string())};
  o.bind = "127.0.0.1";
  kx8tool::WebView view(o);
  std::string error;
  const int port = view.Start(error);
  if (port < 0) {
    std::fprintf(stderr, "web_view_bench: %s\n", error.c_str());
    return 1;
  }
  httplib::Client client("127.0.0.1", port);
  client.set_read_timeout(120, 0);

  auto waitDone = [&](int id) {
    for (;;) {
      const json s = Body(client.Get(("/api/status?id=" + std::to_string(id)).c_str()));
      if (!s.is_object() || !s.value("running", true)) return s;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  };

  // First page, five times (each search cancelled once its page is in, so the next starts alone).
  std::vector<double> firstPage;
  for (int run = 0; run < 5; ++run) {
    const auto t0 = Clock::now();
    const json s = Body(client.Post("/api/search", R"({"word": "the"})", "application/json"));
    const int id = s.value("id", -1);
    const json page = Body(client.Get(("/api/lines?id=" + std::to_string(id) + "&offset=0&count=100&wait=10000").c_str()));
    const double ms = Ms(t0);
    if (!page.is_object() || page["lines"].size() != 100) {
      std::fprintf(stderr, "web_view_bench: no first page: %s\n", page.dump().substr(0, 200).c_str());
      return 1;
    }
    firstPage.push_back(ms);
    client.Post("/api/cancel", json{{"id", id}}.dump(), "application/json");
    waitDone(id);
  }
  std::sort(firstPage.begin(), firstPage.end());
  std::printf("search \"the\" + first page of 100 lines over loopback: best %.1f ms, median %.1f ms, worst %.1f ms\n",
              firstPage.front(), firstPage[firstPage.size() / 2], firstPage.back());

  // The whole search, kept; then every hit sorted on R1 and a page from the middle.
  auto t0 = Clock::now();
  const int id = Body(client.Post("/api/search", R"({"word": "the"})", "application/json")).value("id", -1);
  const json done = waitDone(id);
  const double searchMs = Ms(t0);
  const int64_t hits = done.value("hits", int64_t{0});
  std::printf("whole search: %lld hits in %.0f ms (%.1f MB/s)\n", static_cast<long long>(hits), searchMs,
              static_cast<double>(fs::file_size(file)) / 1e6 / (searchMs / 1000));
  t0 = Clock::now();
  const json sorted = Body(client.Post("/api/sort", json{{"id", id}, {"keys", "R1,L1"}}.dump(), "application/json"));
  const double sortMs = Ms(t0);
  t0 = Clock::now();
  const json middle = Body(client.Get(("/api/lines?id=" + std::to_string(id) + "&offset=" + std::to_string(hits / 2) + "&count=100").c_str()));
  const double pageMs = Ms(t0);
  std::printf("sort of every hit on R1,L1: %.0f ms (%s); a page from the middle: %.1f ms (%zu lines)\n", sortMs,
              sorted.value("sort", std::string("failed")).c_str(), pageMs, middle.is_object() ? middle["lines"].size() : 0);
  struct rusage ru {};
  getrusage(RUSAGE_SELF, &ru);
  std::printf("peak memory of the process with every hit kept: %.0f MB (%.0f bytes a hit at most)\n",
              static_cast<double>(ru.ru_maxrss) / 1024,
              hits ? static_cast<double>(ru.ru_maxrss) * 1024 / static_cast<double>(hits) : 0.0);
  view.Stop();
  return 0;
}
