// The web view's HTTP API against a server started in-process on a free port of 127.0.0.1: lines in the
// shape of kx8 concord --json, paging, sorting, cancelling, limits and the requests it refuses.
#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>

#include "web_view.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// Holds every search at its start until Release, so that a test can act while one is running.
struct Gate {
  std::mutex m;
  std::condition_variable cv;
  bool open = true;
  void Close() {
    std::lock_guard<std::mutex> l(m);
    open = false;
  }
  void Release() {
    {
      std::lock_guard<std::mutex> l(m);
      open = true;
    }
    cv.notify_all();
  }
  void Wait() {
    std::unique_lock<std::mutex> l(m);
    cv.wait(l, [&] { return open; });
  }
};

class WebViewApi : public ::testing::Test {
 protected:
  fs::path dir = fs::temp_directory_path() / ("kx8_web_view_" + std::to_string(getpid()));
  fs::path root = dir / "corpus";
  Gate gate;
  std::unique_ptr<kx8tool::WebView> view;
  std::unique_ptr<httplib::Client> client;

  void SetUp() override {
    fs::create_directories(root);
    Write("a.txt", "a bank and a bank\n");
    Write("b.txt", "The bank zeta. A bank alpha. Her bank Mike. This bank beta.\n");
    Write("ar.txt", "\xD8\xB0\xD9\x87\xD8\xA8 \xD8\xA7\xD9\x84\xD9\x88\xD9\x84\xD8\xAF \xD8\xA5\xD9\x84\xD9\x89 "
                    "\xD8\xA7\xD9\x84\xD9\x85\xD8\xAF\xD8\xB1\xD8\xB3\xD8\xA9\n");  // "the boy went to school"
    // Outside the corpus, and a link to it from inside: neither may be searched.
    fs::create_directories(dir / "outside");
    std::ofstream(dir / "outside" / "secret.txt") << "bank secret\n";
    fs::create_symlink(dir / "outside" / "secret.txt", root / "link.txt");
  }
  void TearDown() override {
    gate.Release();
    client.reset();
    view.reset();
    fs::remove_all(dir);
  }
  void Write(const std::string& name, const std::string& bytes) { std::ofstream(root / name, std::ios::binary) << bytes; }

  void Start(kx8tool::WebViewOptions o = {}) {
    o.paths = {kx8::Utf8ToUtf16(root.string())};
    o.bind = "127.0.0.1";
    o.port = 0;
    o.workers = 1;
    o.before_search = [this] { gate.Wait(); };
    view = std::make_unique<kx8tool::WebView>(o);
    std::string error;
    const int port = view->Start(error);
    ASSERT_GT(port, 0) << error;
    client = std::make_unique<httplib::Client>("127.0.0.1", port);
    client->set_read_timeout(30, 0);
  }
  // The status and the parsed body of a request.
  std::pair<int, json> Get(const std::string& path) {
    auto r = client->Get(path.c_str());
    if (!r) return {-1, json()};
    return {r->status, json::parse(r->body, nullptr, false)};
  }
  std::pair<int, json> Post(const std::string& path, const json& body) {
    auto r = client->Post(path.c_str(), body.dump(), "application/json");
    if (!r) return {-1, json()};
    return {r->status, json::parse(r->body, nullptr, false)};
  }
  int Search(const json& body) {
    const auto [status, j] = Post("/api/search", body);
    EXPECT_EQ(status, 200) << j.dump();
    return j.value("id", -1);
  }
  // The lines of a search once it has finished.
  json Lines(int id, int offset = 0, int count = 100) {
    WaitDone(id);
    const auto [status, j] = Get("/api/lines?id=" + std::to_string(id) + "&offset=" + std::to_string(offset) +
                                 "&count=" + std::to_string(count));
    EXPECT_EQ(status, 200) << j.dump();
    return j;
  }
  json WaitDone(int id) {
    for (int i = 0; i < 2000; ++i) {
      const auto [status, j] = Get("/api/status?id=" + std::to_string(id));
      if (status != 200 || !j.value("running", true)) return j;
      usleep(10000);
    }
    ADD_FAILURE() << "search " << id << " did not finish";
    return json();
  }
  std::vector<std::string> Column(const json& page, const std::string& field) {
    std::vector<std::string> out;
    for (const auto& l : page["lines"]) out.push_back(l[field].get<std::string>());
    return out;
  }
  static std::vector<std::string> Words(const json& page, bool right, int n) {
    // The n-th word right (or left) of each line's hit, as the spans the page colours with give it.
    std::vector<std::string> out;
    for (const auto& l : page["lines"]) {
      const std::u16string text = kx8::Utf8ToUtf16(l[right ? "right" : "left"].get<std::string>());
      const auto& spans = l[right ? "rwords" : "lwords"];
      out.push_back(static_cast<int>(spans.size()) >= n
                        ? kx8::Utf16ToUtf8(text.substr(spans[n - 1][0].get<size_t>(), spans[n - 1][1].get<size_t>()))
                        : "");
    }
    return out;
  }
};

fs::path ToolPath() {
  std::error_code ec;
  const auto self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : self.parent_path() / "tools" / "kx8" / "kx8";
}

TEST_F(WebViewApi, LinesHaveTheShapeAndValuesOfConcordJson) {
  Start();
  const json page = Lines(Search({{"word", "bank"}}));
  ASSERT_EQ(page["total"], 6);  // a.txt 2, b.txt 4; the linked secret.txt is not searched
  ASSERT_EQ(page["lines"].size(), 6u);
  const json& first = page["lines"][0];
  EXPECT_EQ(first["pos"], 3);
  EXPECT_EQ(first["word"], 2);
  EXPECT_EQ(first["hit"], "bank");
  EXPECT_EQ(first["rtl"], false);
  if (!fs::exists(ToolPath())) GTEST_SKIP() << "kx8 not built: the comparison with concord --json is skipped";
  const std::string out = (dir / "concord.txt").string();
  const std::string cmd = "'" + ToolPath().string() + "' concord --json -j1 bank '" + root.string() + "' >" + out + " 2>/dev/null";
  ASSERT_EQ(std::system(cmd.c_str()) >> 8, 0);
  std::ifstream in(out);
  std::string line;
  size_t i = 0;
  while (std::getline(in, line)) {
    const json c = json::parse(line);
    // concord follows the link out of the corpus; the web view does not.
    if (c["file"].get<std::string>().ends_with("link.txt")) continue;
    ASSERT_LT(i, page["lines"].size());
    const json& w = page["lines"][i];
    for (const char* f : {"file", "pos", "percent", "word", "sentence", "paragraph", "left", "hit", "right"})
      EXPECT_EQ(w[f], c[f]) << f << " of line " << i;
    ++i;
  }
  EXPECT_EQ(i, 6u);
}

TEST_F(WebViewApi, PagesCoverEveryHitOnceAndRefuseBadRanges) {
  std::string many;
  for (int i = 0; i < 250; ++i) many += "w" + std::to_string(i) + " bank ";
  Write("many.txt", many);
  Start();
  const int id = Search({{"word", "bank"}});
  WaitDone(id);
  std::vector<int64_t> numbers;
  for (const int offset : {0, 100, 200, 256}) {
    const json page = Lines(id, offset, 100);
    EXPECT_EQ(page["total"], 256);
    EXPECT_EQ(page["lines"].size(), static_cast<size_t>(std::clamp(256 - offset, 0, 100))) << offset;
    for (const auto& l : page["lines"]) numbers.push_back(l["n"].get<int64_t>());
  }
  ASSERT_EQ(numbers.size(), 256u);
  for (size_t i = 0; i < numbers.size(); ++i) EXPECT_EQ(numbers[i], static_cast<int64_t>(i) + 1);
  for (const std::string bad : {"count=0", "count=1001", "offset=-1", "count=ten", "wait=99999"})
    EXPECT_EQ(Get("/api/lines?id=" + std::to_string(id) + "&" + bad).first, 400) << bad;
  EXPECT_EQ(Get("/api/lines?id=999").first, 404);
  EXPECT_EQ(Get("/api/lines").first, 404);
}

TEST_F(WebViewApi, SortsOnUpToThreeKeysAsConcordDoes) {
  Start();
  const int id = Search({{"word", "bank"}, {"max", -1}});
  WaitDone(id);
  struct Case {
    std::string keys;
    bool right;
    int n;
    std::vector<std::string> words;
  };
  // A hit without a word there (the end of a.txt) sorts first; words compare without case.
  const Case cases[] = {
      {"R1", true, 1, {"", "alpha", "and", "beta", "Mike", "zeta"}},
      {"-R1", true, 1, {"zeta", "Mike", "beta", "and", "alpha", ""}},
      {"L1,R1", false, 1, {"a", "A", "a", "Her", "The", "This"}},
  };
  for (const Case& c : cases) {
    const auto [status, j] = Post("/api/sort", {{"id", id}, {"keys", c.keys}});
    ASSERT_EQ(status, 200) << c.keys << j.dump();
    EXPECT_EQ(Words(Lines(id), c.right, c.n), c.words) << c.keys;
  }
  // The ties on L1 ("a", "a", "A") are broken by R1.
  EXPECT_EQ(Words(Lines(id), true, 1), (std::vector<std::string>{"", "alpha", "and", "Mike", "zeta", "beta"}));
  ASSERT_EQ(Post("/api/sort", {{"id", id}, {"keys", "-file"}}).first, 200);
  const json byFile = Lines(id);
  EXPECT_TRUE(byFile["lines"][0]["file"].get<std::string>().ends_with("b.txt"));
  EXPECT_EQ(byFile["lines"][0]["pos"], 50);
  ASSERT_EQ(Post("/api/sort", {{"id", id}, {"keys", ""}}).first, 200);  // back to text order
  EXPECT_EQ(Lines(id)["lines"][0]["pos"], 3);
  for (const std::string bad : {"R10", "X1", "R1,R2,R3,L1", ",", "R5"})
    EXPECT_EQ(Post("/api/sort", {{"id", id}, {"keys", bad}}).first, 400) << bad;
  // A word beyond R3 is kept when the search is asked to sort on it, and the sort is then applied.
  const json far = Lines(Search({{"word", "bank"}, {"sort", "-L2"}}));
  EXPECT_EQ(far["sort"], "-L2");
  EXPECT_EQ(Words(far, false, 2), (std::vector<std::string>{"zeta", "Mike", "and", "alpha", "", ""}));
}

TEST_F(WebViewApi, CancelStopsARunningSearchAndRunningSearchesAreLimited) {
  kx8tool::WebViewOptions o;
  o.max_running_searches = 1;
  gate.Close();
  Start(o);
  const int id = Search({{"word", "bank"}});
  const auto [busy, why] = Post("/api/search", {{"word", "bank"}});
  EXPECT_EQ(busy, 429) << why.dump();
  EXPECT_EQ(Post("/api/sort", {{"id", id}, {"keys", "R1"}}).first, 409);  // not while it runs
  const auto [cancelled, state] = Post("/api/cancel", {{"id", id}});
  EXPECT_EQ(cancelled, 200) << state.dump();
  gate.Release();
  const json done = WaitDone(id);
  EXPECT_EQ(done["running"], false);
  EXPECT_EQ(done["stopped"], true);
  EXPECT_EQ(done["hits"], 0);
  // With the first finished there is room again, and an uncancelled search finds everything.
  const int next = Search({{"word", "bank"}});
  EXPECT_EQ(WaitDone(next)["stopped"], false);
  EXPECT_EQ(Lines(next)["total"], 6);
  EXPECT_EQ(Post("/api/cancel", {{"id", 12345}}).first, 404);
}

TEST_F(WebViewApi, RefusesWhatItShouldNotServe) {
  kx8tool::WebViewOptions o;
  o.max_request_bytes = 4096;
  Start(o);
  // No request names a file: paths that try to are not found, and nothing of the file comes back.
  for (const std::string path : {"/etc/passwd", "/../../../../etc/passwd", "/api/../../etc/passwd",
                                 "/%2e%2e/%2e%2e/etc/passwd", "/api/texts/../../../etc/passwd", "/api/file?name=/etc/passwd"}) {
    auto r = client->Get(path.c_str());
    ASSERT_TRUE(r) << path;
    EXPECT_TRUE(r->status == 404 || r->status == 400) << path << " " << r->status;
    EXPECT_EQ(r->body.find("root:"), std::string::npos) << path;
  }
  // A link inside the corpus to a file outside it is not searched.
  const int id = Search({{"word", "secret"}});
  EXPECT_EQ(Lines(id)["total"], 0);
  const auto [status, texts] = Get("/api/texts?id=" + std::to_string(id));
  ASSERT_EQ(status, 200);
  for (const auto& t : texts["texts"]) EXPECT_EQ(t["file"].get<std::string>().find("link.txt"), std::string::npos);

  struct Bad {
    std::string body, contentType;
    int status;
    std::string error;  // part of the message
  };
  const Bad bads[] = {
      {R"({"word": ""})", "application/json", 400, "nothing to search for"},
      {R"({"word": "*"})", "application/json", 400, "nothing to search for in \"*\""},
      {R"({"word": "===="})", "application/json", 400, "nothing to search for"},
      {R"({"word": "bank"})", "text/plain", 415, "JSON"},
      {R"({"word": "bank")", "application/json", 400, "word"},
      {R"({"word": 7})", "application/json", 400, "word"},
      {R"({"word": "bank", "context": 201})", "application/json", 400, "context"},
      {R"({"word": "bank", "case": "yes"})", "application/json", 400, "bad request"},
      {R"(["bank"])", "application/json", 400, "word"},
      {R"({"word": "bank", "sort": "Q1"})", "application/json", 400, "sort"},
      {json{{"word", std::string(1001, 'a')}}.dump(), "application/json", 400, "longer than 1000"},
      {json{{"word", "bank"}, {"pad", std::string(8000, 'x')}}.dump(), "application/json", 413, ""},
  };
  for (const Bad& b : bads) {
    auto r = client->Post("/api/search", b.body, b.contentType.c_str());
    ASSERT_TRUE(r) << b.body.substr(0, 40);
    EXPECT_EQ(r->status, b.status) << b.body.substr(0, 40) << " " << r->body;
    const json j = json::parse(r->body, nullptr, false);
    ASSERT_TRUE(j.is_object() && j.contains("error")) << r->body;
    EXPECT_NE(j["error"].get<std::string>().find(b.error), std::string::npos) << r->body;
  }
  // A request line longer than the server takes.
  auto longUri = client->Get(("/api/status?id=" + std::string(9000, '1')).c_str());
  ASSERT_TRUE(longUri);
  EXPECT_EQ(longUri->status, 414);
  // A request by another host name (a page elsewhere rebinding its name to 127.0.0.1) is refused.
  auto r = client->Get("/api/status", {{"Host", "evil.example:8024"}});
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 403);
}

TEST_F(WebViewApi, TextsCarryHitsPerMillionAndOnePlotPositionPerHit) {
  std::string many;
  for (int i = 0; i < 10050; ++i) many += "bank ";
  Write("dense.txt", many);
  Start();
  const int id = Search({{"word", "bank"}});
  WaitDone(id);
  const auto [status, j] = Get("/api/texts?id=" + std::to_string(id));
  ASSERT_EQ(status, 200);
  std::map<std::string, json> byName;
  for (const auto& t : j["texts"]) byName[fs::path(t["file"].get<std::string>()).filename()] = t;
  ASSERT_EQ(byName.size(), 4u);  // a, b, ar, dense; not the link
  EXPECT_EQ(byName["a.txt"]["hits"], 2);
  EXPECT_EQ(byName["a.txt"]["words"], 5);
  EXPECT_DOUBLE_EQ(byName["a.txt"]["per_million"].get<double>(), 400000.0);
  EXPECT_EQ(byName["a.txt"]["positions"].size(), 2u);
  EXPECT_EQ(byName["b.txt"]["positions"].size(), 4u);
  EXPECT_EQ(byName["ar.txt"]["hits"], 0);
  const auto& pos = byName["b.txt"]["positions"];
  EXPECT_TRUE(std::is_sorted(pos.begin(), pos.end()));
  EXPECT_GT(pos[0].get<double>(), 0.0);
  EXPECT_LT(pos[3].get<double>(), 100.0);
  // Past ten thousand hits a text's positions come binned, one per occupied hundredth of a percent.
  const json& dense = byName["dense.txt"];
  EXPECT_EQ(dense["hits"], 10050);
  EXPECT_EQ(dense["binned"], true);
  EXPECT_LE(dense["positions"].size(), 10001u);
  EXPECT_GT(dense["positions"].size(), 9000u);
}

TEST_F(WebViewApi, WordListSortsPagesAndDownloads) {
  Start();
  const auto [status, j] = Get("/api/wordlist?count=3");
  ASSERT_EQ(status, 200) << j.dump();
  EXPECT_EQ(j["words"][0]["word"], "bank");
  EXPECT_EQ(j["words"][0]["freq"], 6);  // what the concordance of "bank" finds
  EXPECT_EQ(j["words"][0]["rank"], 1);
  EXPECT_EQ(j["words"].size(), 3u);
  const int64_t types = j["types"];
  const json alpha = Get("/api/wordlist?sort=word&count=1000").second;
  ASSERT_EQ(alpha["words"].size(), static_cast<size_t>(types));
  EXPECT_EQ(alpha["words"][0]["word"], "a");
  EXPECT_EQ(alpha["words"][1]["word"], "alpha");
  const json last = Get("/api/wordlist?sort=-freq&count=1").second;
  EXPECT_EQ(last["words"][0]["rank"], types);
  EXPECT_EQ(Get("/api/wordlist?sort=size").first, 400);
  auto csv = client->Get("/api/wordlist.csv");
  ASSERT_TRUE(csv);
  EXPECT_EQ(csv->status, 200);
  EXPECT_EQ(csv->get_header_value("Content-Type"), "text/csv; charset=utf-8");
  EXPECT_EQ(csv->body.rfind("rank,word,freq,percent\r\n1,\"bank\",6,", 0), 0u) << csv->body.substr(0, 80);
  EXPECT_EQ(std::count(csv->body.begin(), csv->body.end(), '\n'), types + 1);
}

TEST_F(WebViewApi, RightToLeftLinesAndColouredWordSpans) {
  Start();
  const json ar = Lines(Search({{"word", "\xD8\xA5\xD9\x84\xD9\x89"}}));  // "to"
  ASSERT_EQ(ar["total"], 1);
  EXPECT_EQ(ar["lines"][0]["rtl"], true);
  EXPECT_EQ(Words(ar, true, 1), std::vector<std::string>{"\xD8\xA7\xD9\x84\xD9\x85\xD8\xAF\xD8\xB1\xD8\xB3\xD8\xA9"});
  EXPECT_EQ(Words(ar, false, 2), std::vector<std::string>{"\xD8\xB0\xD9\x87\xD8\xA8"});
  const json en = Lines(Search({{"word", "alpha"}}));
  EXPECT_EQ(en["lines"][0]["rtl"], false);
  EXPECT_EQ(Words(en, false, 1), std::vector<std::string>{"bank"});
  EXPECT_EQ(Words(en, false, 3), std::vector<std::string>{"zeta"});
  EXPECT_EQ(Words(en, true, 1), std::vector<std::string>{"Her"});
}

TEST(WebViewDirection, FirstStrongCharacterDecides) {
  const std::pair<std::u16string, int> cases[] = {
      {u"", 0},           {u"123 ,.", 0},        {u"abc", -1},         {u"12 \u05E9\u05DC\u05D5\u05DD", 1},
      {u"\u0627 abc", 1}, {u"abc \u0627", -1},   {u"\u00E9t\u00E9", -1}, {u"\uFB50", 1},
      {u"\u4E2D", -1},    {u"(\u0710)", 1},
  };
  for (const auto& [s, dir] : cases) EXPECT_EQ(kx8tool::FirstStrongDirection(s), dir) << kx8::Utf16ToUtf8(s);
}

TEST_F(WebViewApi, ThePageIsSelfContainedAndUsesThePalette) {
  Start();
  auto r = client->Get("/");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 200);
  EXPECT_EQ(r->get_header_value("Content-Type"), "text/html; charset=utf-8");
  EXPECT_NE(r->get_header_value("Content-Security-Policy").find("default-src 'none'"), std::string::npos);
  EXPECT_NE(r->body.find(".node { color: #FF0000"), std::string::npos);  // clRed
  EXPECT_NE(r->body.find(".c1 { color: #0000FF"), std::string::npos);    // clBlue
  for (const char* external : {"<script src", "<link", "@import", "https://", "url("})
    EXPECT_EQ(r->body.find(external), std::string::npos) << external;
}

}  // namespace
