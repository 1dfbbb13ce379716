// The web view's server: searches run on threads of their own and keep their hits compactly (one fixed
// record a hit, the contexts in one UTF-8 arena, the sort-key words interned), so that a page of lines
// is a copy of a few records however many hits there are.
#include "web_view.h"

#include <httplib.h>  // from /usr/include, a system header: its own warnings stay out of ours

#include <kx8rt/corpus/concordance.h>
#include <kx8rt/corpus/corpus_word_lists.h>
#include <kx8rt/platform/locales.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "corpus_options.h"

namespace kx8tool {

using kx8::UnicodeString;
using nlohmann::json;
namespace fs = std::filesystem;

int FirstStrongDirection(std::u16string_view s) {
  for (const char16_t c : s) {
    if ((c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFC)) return 1;
    // Letters of the left-to-right scripts end the look; digits, spaces and punctuation are weak.
    if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= 0x00C0 && c <= 0x058F && c != 0xD7 && c != 0xF7) ||
        (c >= 0x0900 && c <= 0x1FFF) || (c >= 0x3040 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFB1C))
      return -1;
  }
  return 0;
}

namespace {

constexpr int32_t kColouredWords = 3;  // L1..L3 and R1..R3 are coloured and sortable by a click

// One hit as kept: its numbers and where its contexts lie in the arena.
struct StoredHit {
  int32_t text = 0;
  float percent = 0;
  int64_t pos = 0;
  int64_t word = 0, sentence = 0, paragraph = 0;
  uint64_t at = 0;  // left, node and right, one after the other, in the arena
  uint32_t leftLen = 0, nodeLen = 0, rightLen = 0;
};

struct TextInfo {
  std::string name;
  bool searched = false;
  std::string skipped;
  int64_t words = 0, hits = 0;
};

struct ViewHash {
  using is_transparent = void;
  size_t operator()(std::u16string_view s) const { return std::hash<std::u16string_view>{}(s); }
};

struct Search {
  int id = 0;
  std::unique_ptr<kx8::TConcordancer> conc;
  std::vector<int32_t> keyWords;  // the key words captured with each hit, in TConcordanceOptions order
  std::string word;               // the notation searched for, as typed
  std::string initialSort;        // applied when the search ends
  std::atomic<bool> cancelled{false};
  std::thread thread;

  // Touched by the search thread only until it ends (then read-only, under m).
  std::unordered_map<std::u16string, uint32_t, ViewHash, std::equal_to<>> wordIds;
  std::vector<std::u16string> words;

  std::mutex m;
  std::condition_variable cv;
  std::vector<StoredHit> hits;
  std::vector<uint32_t> keyIds;  // keyWords.size() per hit
  std::string arena;
  std::vector<TextInfo> texts;
  bool running = true, stopped = false;
  std::string error, sortSpec;
  std::vector<uint32_t> order;  // the sorted order of hits; empty: text order
  int64_t textsChosen = 0, characters = 0, words_ = 0;
  std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now(), finished;

  uint32_t Intern(std::u16string_view w) {
    const auto it = wordIds.find(w);
    if (it != wordIds.end()) return it->second;
    const uint32_t id = static_cast<uint32_t>(words.size());
    words.emplace_back(w);
    wordIds.emplace(words.back(), id);
    return id;
  }
};

void Reply(httplib::Response& res, int status, const json& body) {
  res.status = status;
  res.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace), "application/json; charset=utf-8");
}
void Fail(httplib::Response& res, int status, const std::string& why) { Reply(res, status, json{{"error", why}}); }

// A whole decimal parameter; false when present and not one (or outside lo..hi).
bool IntParam(const httplib::Request& req, const char* name, int64_t lo, int64_t hi, int64_t& v) {
  if (!req.has_param(name)) return true;
  const std::string s = req.get_param_value(name);
  int64_t x = 0;
  const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), x);
  if (ec != std::errc() || p != s.data() + s.size() || x < lo || x > hi) return false;
  v = x;
  return true;
}

bool IsLoopback(const std::string& host) {
  return host == "localhost" || host == "::1" || host == "[::1]" || host.rfind("127.", 0) == 0;
}

// The canonical roots; a text is searched only when its file (or archive) lies under one of them, so
// that a link inside a folder cannot carry a search out of what the user named.
std::vector<fs::path> CanonicalRoots(const std::vector<UnicodeString>& paths) {
  std::vector<fs::path> roots;
  for (const auto& p : paths) {
    std::error_code ec;
    const fs::path c = fs::weakly_canonical(fs::path(kx8::Utf16ToNativeName(p)), ec);
    if (!ec) roots.push_back(c);
  }
  return roots;
}

bool UnderARoot(const fs::path& file, const std::vector<fs::path>& roots) {
  std::error_code ec;
  const fs::path c = fs::canonical(file, ec);
  if (ec) return false;
  for (const fs::path& r : roots) {
    auto ri = r.begin(), ci = c.begin();
    for (; ri != r.end() && ci != c.end() && *ri == *ci; ++ri, ++ci) {
    }
    if (ri == r.end()) return true;
  }
  return false;
}

std::string CsvField(const std::string& s) {
  std::string out = "\"";
  for (const char c : s) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + '"';
}

}  // namespace

struct WebView::Impl {
  WebViewOptions o;
  std::vector<fs::path> roots;
  httplib::Server server;
  std::thread listener;
  int port = -1;

  std::mutex searchesMutex;
  std::map<int, std::shared_ptr<Search>> searches;
  int nextId = 1;
  std::mutex parseMutex;  // parsing a search touches the library's process-wide tables

  struct WordList {
    bool ready = false;
    std::string error;
    std::vector<std::pair<std::string, int64_t>> words;  // in frequency order
    std::vector<uint32_t> alpha;                         // indices in collation order
    int64_t tokens = 0;
  };
  std::mutex wordListMutex;
  WordList wordList;

  explicit Impl(WebViewOptions options) : o(std::move(options)), roots(CanonicalRoots(o.paths)) {}

  std::shared_ptr<Search> Find(const httplib::Request& req, httplib::Response& res, const json* body = nullptr) {
    int64_t id = -1;
    if (body) {
      if (body->contains("id") && (*body)["id"].is_number_integer()) id = (*body)["id"].get<int64_t>();
    } else if (!IntParam(req, "id", 0, INT32_MAX, id)) {
      id = -1;
    }
    std::lock_guard<std::mutex> lock(searchesMutex);
    const auto it = searches.find(static_cast<int>(id));
    if (id < 0 || it == searches.end()) {
      Fail(res, 404, "no such search");
      return nullptr;
    }
    return it->second;
  }

  // The texts under the paths whose file (or archive) lies inside a root.
  std::vector<kx8::TCorpusText> ChooseTexts() const {
    std::vector<kx8::TCorpusText> chosen;
    const auto all = kx8::ChooseCorpusTexts(o.paths, o.choice, [](const UnicodeString&, const UnicodeString&) {});
    for (const auto& t : all) {
      const UnicodeString& file = t.InArchive() ? t.archive : t.full_name;
      if (UnderARoot(fs::path(kx8::Utf16ToNativeName(file)), roots)) chosen.push_back(t);
    }
    return chosen;
  }

  void RunSearch(const std::shared_ptr<Search>& s) {
    if (o.before_search) o.before_search();
    std::vector<kx8::TCorpusText> chosen;
    if (!s->cancelled.load()) chosen = ChooseTexts();
    {
      std::lock_guard<std::mutex> lock(s->m);
      s->textsChosen = static_cast<int64_t>(chosen.size());
      s->texts.resize(chosen.size());
      for (size_t i = 0; i < chosen.size(); ++i) s->texts[i].name = kx8::Utf16ToNativeName(chosen[i].full_name);
    }
    std::string flat;
    std::vector<uint32_t> ids;
    const size_t nKeys = s->keyWords.size();
    const kx8::TConcordanceHitEvent onHit = [&](const kx8::TConcordanceHit& h) {
      ids.clear();
      for (size_t k = 0; k < nKeys; ++k) ids.push_back(s->Intern(k < h.keys.size() ? h.keys[k] : std::u16string_view()));
      flat.clear();
      StoredHit sh;
      sh.text = h.text;
      sh.percent = static_cast<float>(h.percent);
      sh.pos = h.pos;
      sh.word = h.word, sh.sentence = h.sentence, sh.paragraph = h.paragraph;
      AppendFlatUtf8(flat, h.left);
      sh.leftLen = static_cast<uint32_t>(flat.size());
      AppendFlatUtf8(flat, h.node);
      sh.nodeLen = static_cast<uint32_t>(flat.size()) - sh.leftLen;
      AppendFlatUtf8(flat, h.right);
      sh.rightLen = static_cast<uint32_t>(flat.size()) - sh.leftLen - sh.nodeLen;
      std::lock_guard<std::mutex> lock(s->m);
      sh.at = s->arena.size();
      s->arena += flat;
      s->hits.push_back(sh);
      s->keyIds.insert(s->keyIds.end(), ids.begin(), ids.end());
      if ((s->hits.size() & 63) == 0) s->cv.notify_all();
    };
    const kx8::TConcordanceTextEvent onText = [&](const kx8::TConcordanceTextSummary& t) {
      // A cancel that came before the run began was cleared by it; pass it on now.
      if (s->cancelled.load()) s->conc->Cancel();
      std::lock_guard<std::mutex> lock(s->m);
      TextInfo& ti = s->texts[static_cast<size_t>(t.text)];
      ti.searched = t.searched;
      ti.skipped = kx8::Utf16ToUtf8(t.skipped_because);
      ti.words = t.words;
      ti.hits = t.hits;
      s->cv.notify_all();
    };
    std::string error;
    kx8::TConcordanceTotals totals;
    try {
      if (!s->cancelled.load()) totals = s->conc->RunTexts(std::move(chosen), onHit, onText);
    } catch (const std::exception& e) {
      error = e.what();
    }
    // Sorting needs each distinct word once, not the look-up of them.
    decltype(s->wordIds)().swap(s->wordIds);
    std::unique_lock<std::mutex> lock(s->m);
    s->stopped = totals.stopped || s->cancelled.load();
    s->characters = totals.characters;
    s->words_ = totals.words;
    s->error = error;
    if (!s->initialSort.empty() && error.empty()) {
      std::string why;
      SortLocked(*s, s->initialSort, why);
    }
    s->running = false;
    s->finished = std::chrono::steady_clock::now();
    lock.unlock();
    s->cv.notify_all();
  }

  // Orders the hits of a finished search by spec; false with the reason when a key cannot be had.
  static bool SortLocked(Search& s, const std::string& spec, std::string& why) {
    std::vector<kx8tool::SortKey> keys;
    if (!kx8tool::ParseSortKeys(spec, keys)) {
      why = "sort on one to three of R1..R9, L1..L9, word, file (\"-\" before a key: descending)";
      return false;
    }
    std::vector<int32_t> slot(keys.size(), -1);
    for (size_t i = 0; i < keys.size(); ++i) {
      if (keys[i].file) continue;
      const auto it = std::find(s.keyWords.begin(), s.keyWords.end(), keys[i].word);
      if (it == s.keyWords.end()) {
        why = "this search did not keep that word; search again with it among the sort keys";
        return false;
      }
      slot[i] = static_cast<int32_t>(it - s.keyWords.begin());
    }
    // Each distinct word gets its rank in collation order once; the hits then sort on integers.
    std::vector<std::string> collation(s.words.size());
    for (size_t w = 0; w < s.words.size(); ++w)
      if (!kx8::CompareStringSortKey(kx8::LOCALE_DEFAULT_LCID, kx8::NORM_IGNORECASE, s.words[w].data(),
                                     static_cast<int32_t>(s.words[w].size()), collation[w]))
        collation[w] = kx8::Utf16ToUtf8(s.words[w]);
    std::vector<uint32_t> byKey(s.words.size());
    for (uint32_t w = 0; w < byKey.size(); ++w) byKey[w] = w;
    std::sort(byKey.begin(), byKey.end(), [&](uint32_t a, uint32_t b) {
      const int c = collation[a].compare(collation[b]);
      return c != 0 ? c < 0 : s.words[a] < s.words[b];
    });
    std::vector<uint32_t> rank(s.words.size());
    for (size_t i = 0; i < byKey.size(); ++i)
      rank[byKey[i]] = i > 0 && collation[byKey[i]] == collation[byKey[i - 1]] ? rank[byKey[i - 1]] : static_cast<uint32_t>(i);
    const size_t nKeys = s.keyWords.size();
    std::vector<uint32_t> order(s.hits.size());
    for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
      for (size_t i = 0; i < keys.size(); ++i) {
        int c;
        if (keys[i].file) {
          const StoredHit &x = s.hits[a], &y = s.hits[b];
          c = x.text != y.text ? (x.text < y.text ? -1 : 1) : (x.pos < y.pos ? -1 : x.pos > y.pos);
        } else {
          const uint32_t x = rank[s.keyIds[a * nKeys + static_cast<size_t>(slot[i])]];
          const uint32_t y = rank[s.keyIds[b * nKeys + static_cast<size_t>(slot[i])]];
          c = x < y ? -1 : x > y;
        }
        if (c != 0) return keys[i].ascending ? c < 0 : c > 0;
      }
      return false;
    });
    s.order = std::move(order);
    s.sortSpec = spec;
    return true;
  }

  json StatusOf(Search& s) {
    const auto now = std::chrono::steady_clock::now();
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>((s.running ? now : s.finished) - s.started);
    json j{{"id", s.id},
           {"word", s.word},
           {"running", s.running},
           {"stopped", s.stopped},
           {"hits", s.hits.size()},
           {"texts", s.textsChosen},
           {"texts_done", s.conc->TextsDone()},
           {"elapsed_ms", elapsed.count()},
           {"sort", s.sortSpec}};
    if (!s.running) j["words"] = s.words_, j["characters"] = s.characters;
    if (!s.error.empty()) j["error"] = s.error;
    return j;
  }

  // The line as kx8 concord --json gives it, with the text's index, its direction and where the
  // words L1..L3 and R1..R3 lie in the contexts (UTF-16 offsets, as a page's script counts).
  json LineOf(const Search& s, const StoredHit& h, int64_t n) const {
    const std::string_view left(s.arena.data() + h.at, h.leftLen);
    const std::string_view node(s.arena.data() + h.at + h.leftLen, h.nodeLen);
    const std::string_view right(s.arena.data() + h.at + h.leftLen + h.nodeLen, h.rightLen);
    const UnicodeString l16 = kx8::Utf8ToUtf16(left), n16 = kx8::Utf8ToUtf16(node), r16 = kx8::Utf8ToUtf16(right);
    std::vector<std::pair<size_t, size_t>> lw, rw;
    kx8::ForEachCorpusWord(l16, o.word_rule, [&](size_t a, size_t len) { lw.emplace_back(a, len); });
    kx8::ForEachCorpusWord(r16, o.word_rule, [&](size_t a, size_t len) {
      if (rw.size() < kColouredWords) rw.emplace_back(a, len);
    });
    json lwords = json::array(), rwords = json::array();
    for (size_t i = 0; i < lw.size() && i < kColouredWords; ++i) lwords.push_back({lw[lw.size() - 1 - i].first, lw[lw.size() - 1 - i].second});
    for (const auto& [a, len] : rw) rwords.push_back({a, len});
    // A node of digits or punctuation takes the direction of the text after it, else before it.
    int dir = FirstStrongDirection(n16);
    if (dir == 0) dir = FirstStrongDirection(r16);
    if (dir == 0) dir = FirstStrongDirection(l16);
    const bool rtl = dir > 0;
    return json{{"n", n},
                {"file", s.texts[static_cast<size_t>(h.text)].name},
                {"pos", h.pos + 1},
                {"percent", std::round(static_cast<double>(h.percent) * 10) / 10},
                {"word", h.word},
                {"sentence", h.sentence},
                {"paragraph", h.paragraph},
                {"left", left},
                {"hit", node},
                {"right", right},
                {"text", h.text},
                {"rtl", rtl},
                {"lwords", lwords},
                {"rwords", rwords}};
  }

  void Routes() {
    const bool loopback = IsLoopback(o.bind);
    server.set_payload_max_length(o.max_request_bytes);
    server.set_read_timeout(10, 0);
    server.set_pre_routing_handler([this, loopback](const httplib::Request& req, httplib::Response& res) {
      // Bound to loopback, a request naming another host has come by a name that resolves here (a
      // page elsewhere trying to reach this server): refuse it.
      if (loopback) {
        std::string host = req.get_header_value("Host");
        if (!host.empty() && host.front() == '[') host = host.substr(0, host.find(']') + 1);
        else host = host.substr(0, host.find(':'));
        if (!IsLoopback(host)) {
          Fail(res, 403, "this server answers only to 127.0.0.1 and localhost");
          return httplib::Server::HandlerResponse::Handled;
        }
      }
      if (req.method == "POST" && req.get_header_value("Content-Type").rfind("application/json", 0) != 0) {
        // A form on another site cannot send JSON without asking first, so this also stops such posts.
        Fail(res, 415, "send JSON (Content-Type: application/json)");
        return httplib::Server::HandlerResponse::Handled;
      }
      res.set_header("X-Content-Type-Options", "nosniff");
      res.set_header("Cache-Control", "no-store");
      return httplib::Server::HandlerResponse::Unhandled;
    });
    server.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr ep) {
      // A field of the wrong type in a request body surfaces here; it is the request's fault.
      try {
        std::rethrow_exception(ep);
      } catch (const json::exception& e) {
        Fail(res, 400, std::string("bad request: ") + e.what());
      } catch (const std::exception& e) {
        Fail(res, 500, e.what());
      } catch (...) {
        Fail(res, 500, "internal error");
      }
    });
    server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
      if (res.body.empty()) {
        const char* why = res.status == 404 ? "not found" : res.status == 413 ? "request too large" : "bad request";
        Reply(res, res.status, json{{"error", why}});
      }
    });

    server.Get("/", [](const httplib::Request&, httplib::Response& res) {
      static const std::string page = WebViewPage();
      res.set_header("Content-Security-Policy",
                     "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; img-src data:; "
                     "connect-src 'self'; base-uri 'none'; form-action 'none'");
      res.set_header("Referrer-Policy", "no-referrer");
      res.set_content(page, "text/html; charset=utf-8");
    });

    server.Get("/api/status", [this](const httplib::Request& req, httplib::Response& res) {
      if (req.has_param("id")) {
        const auto s = Find(req, res);
        if (!s) return;
        std::lock_guard<std::mutex> lock(s->m);
        Reply(res, 200, StatusOf(*s));
        return;
      }
      json paths = json::array();
      for (const auto& p : o.paths) paths.push_back(kx8::Utf16ToNativeName(p));
      std::lock_guard<std::mutex> lock(searchesMutex);
      int running = 0;
      for (const auto& [id, s] : searches) {
        std::lock_guard<std::mutex> l2(s->m);
        running += s->running;
      }
      Reply(res, 200,
            json{{"paths", paths}, {"searches", searches.size()}, {"running", running},
                 {"limits", {{"request_bytes", o.max_request_bytes}, {"search_chars", o.max_search_chars},
                             {"running_searches", o.max_running_searches}, {"page_lines", o.max_page_lines}}}});
    });

    server.Post("/api/search", [this](const httplib::Request& req, httplib::Response& res) {
      const json body = json::parse(req.body, nullptr, false);
      if (body.is_discarded() || !body.is_object() || !body.contains("word") || !body["word"].is_string())
        return Fail(res, 400, "send {\"word\": \"...\"}");
      auto s = std::make_shared<Search>();
      s->word = body["word"].get<std::string>();
      kx8::TConcordanceOptions co;
      co.search_word = kx8::Utf8ToUtf16(s->word);
      if (co.search_word.size() > static_cast<size_t>(o.max_search_chars))
        return Fail(res, 400, "the search word is longer than " + std::to_string(o.max_search_chars) + " characters");
      co.case_sensitive = body.value("case", false);
      const json ctx = body.value("context", json(40));
      if (!ctx.is_number_integer() || ctx.get<int64_t>() < 0 || ctx.get<int64_t>() > 200)
        return Fail(res, 400, "context is 0 to 200 characters");
      co.context_chars = ctx.get<int32_t>();
      const json maxHits = body.value("max", json(-1));
      if (!maxHits.is_number_integer()) return Fail(res, 400, "max is a whole number");
      co.max_hits = maxHits.get<int64_t>();
      co.word_rule = o.word_rule;
      co.choice = o.choice;
      co.codepage = o.codepage;
      co.workers = o.workers;
      for (int32_t k = -kColouredWords; k <= kColouredWords; ++k) co.key_words.push_back(k);
      if (body.contains("sort")) {
        if (!body["sort"].is_string()) return Fail(res, 400, "sort is a text such as \"R1,L1\"");
        std::vector<kx8tool::SortKey> keys;
        s->initialSort = body["sort"].get<std::string>();
        if (!kx8tool::ParseSortKeys(s->initialSort, keys))
          return Fail(res, 400, "sort on one to three of R1..R9, L1..L9, word, file (\"-\" before a key: descending)");
        for (const SortKey& k : keys)
          if (!k.file && std::find(co.key_words.begin(), co.key_words.end(), k.word) == co.key_words.end())
            co.key_words.push_back(k.word);
      }
      s->keyWords = co.key_words;
      try {
        std::lock_guard<std::mutex> lock(parseMutex);
        s->conc = std::make_unique<kx8::TConcordancer>(co);
      } catch (const std::exception& e) {
        return Fail(res, 400, e.what());
      }
      std::vector<std::shared_ptr<Search>> evicted;
      {
        std::lock_guard<std::mutex> lock(searchesMutex);
        int running = 0;
        for (const auto& [id, old] : searches) {
          std::lock_guard<std::mutex> l2(old->m);
          running += old->running;
        }
        if (running >= o.max_running_searches)
          return Fail(res, 429, "too many searches running; wait or cancel one");
        // The oldest finished searches make room (their threads have ended; they are joined below).
        for (auto it = searches.begin(); it != searches.end() && static_cast<int32_t>(searches.size()) >= o.max_kept_searches;) {
          bool done;
          {
            std::lock_guard<std::mutex> l2(it->second->m);
            done = !it->second->running;
          }
          if (done) {
            evicted.push_back(it->second);
            it = searches.erase(it);
          } else {
            ++it;
          }
        }
        s->id = nextId++;
        searches[s->id] = s;
        s->thread = std::thread([this, s] { RunSearch(s); });
      }
      for (auto& e : evicted)
        if (e->thread.joinable()) e->thread.join();
      Reply(res, 200, json{{"id", s->id}});
    });

    server.Get("/api/lines", [this](const httplib::Request& req, httplib::Response& res) {
      int64_t offset = 0, count = 100, wait = 0;
      if (!IntParam(req, "offset", 0, INT64_MAX / 2, offset) || !IntParam(req, "count", 1, o.max_page_lines, count) ||
          !IntParam(req, "wait", 0, 10000, wait))
        return Fail(res, 400, "offset is 0 or more, count 1 to " + std::to_string(o.max_page_lines) + ", wait 0 to 10000 ms");
      const auto s = Find(req, res);
      if (!s) return;
      std::unique_lock<std::mutex> lock(s->m);
      // The first lines are sent as soon as they are found, not when the search ends.
      s->cv.wait_for(lock, std::chrono::milliseconds(wait),
                     [&] { return !s->running || static_cast<int64_t>(s->hits.size()) >= offset + count; });
      const int64_t total = static_cast<int64_t>(s->hits.size());
      json lines = json::array();
      for (int64_t i = offset; i < total && i < offset + count; ++i) {
        const uint32_t k = s->order.empty() ? static_cast<uint32_t>(i) : s->order[static_cast<size_t>(i)];
        lines.push_back(LineOf(*s, s->hits[k], i + 1));
      }
      Reply(res, 200, json{{"id", s->id}, {"offset", offset}, {"total", total}, {"running", s->running},
                           {"sort", s->sortSpec}, {"lines", lines}});
    });

    server.Post("/api/sort", [this](const httplib::Request& req, httplib::Response& res) {
      const json body = json::parse(req.body, nullptr, false);
      if (body.is_discarded() || !body.is_object()) return Fail(res, 400, "send {\"id\": N, \"keys\": \"R1,L1\"}");
      const auto s = Find(req, res, &body);
      if (!s) return;
      const std::string spec = body.value("keys", std::string());
      std::lock_guard<std::mutex> lock(s->m);
      if (s->running) return Fail(res, 409, "the search is still running; sort when it has finished");
      if (spec.empty()) {
        s->order.clear();
        s->sortSpec.clear();
      } else {
        std::string why;
        if (!SortLocked(*s, spec, why)) return Fail(res, 400, why);
      }
      Reply(res, 200, json{{"id", s->id}, {"sort", s->sortSpec}, {"total", s->hits.size()}});
    });

    server.Post("/api/cancel", [this](const httplib::Request& req, httplib::Response& res) {
      const json body = json::parse(req.body, nullptr, false);
      if (body.is_discarded() || !body.is_object()) return Fail(res, 400, "send {\"id\": N}");
      const auto s = Find(req, res, &body);
      if (!s) return;
      s->cancelled.store(true);
      s->conc->Cancel();
      std::lock_guard<std::mutex> lock(s->m);
      Reply(res, 200, StatusOf(*s));
    });

    server.Get("/api/texts", [this](const httplib::Request& req, httplib::Response& res) {
      const auto s = Find(req, res);
      if (!s) return;
      std::lock_guard<std::mutex> lock(s->m);
      // Hit positions per text for the dispersion plots; a text with very many hits is sent as the
      // hundredths of a percent that hold one, which is finer than a plot can draw.
      constexpr size_t kMaxPositions = 10000;
      std::vector<std::vector<float>> positions(s->texts.size());
      for (const StoredHit& h : s->hits) positions[static_cast<size_t>(h.text)].push_back(h.percent);
      json texts = json::array();
      for (size_t t = 0; t < s->texts.size(); ++t) {
        const TextInfo& ti = s->texts[t];
        json pos = json::array();
        const bool binned = positions[t].size() > kMaxPositions;
        int last = -1;
        for (const float p : positions[t]) {
          const int bin = static_cast<int>(std::lround(static_cast<double>(p) * 100));
          if (binned && bin == last) continue;
          last = bin;
          pos.push_back(bin / 100.0);
        }
        const int64_t hits = static_cast<int64_t>(positions[t].size());
        texts.push_back(json{{"file", ti.name},
                             {"searched", ti.searched},
                             {"skipped", ti.skipped},
                             {"words", ti.words},
                             {"hits", hits},
                             {"per_million", ti.words > 0 ? 1e6 * static_cast<double>(hits) / static_cast<double>(ti.words) : 0.0},
                             {"binned", binned},
                             {"positions", pos}});
      }
      Reply(res, 200, json{{"id", s->id}, {"running", s->running}, {"texts", texts}});
    });

    auto wordListView = [this](const httplib::Request& req, httplib::Response& res, std::vector<uint32_t>& view) -> bool {
      const std::string sort = req.has_param("sort") ? req.get_param_value("sort") : "freq";
      static const char* const sorts[] = {"freq", "-freq", "rank", "-rank", "word", "-word"};
      if (std::find(std::begin(sorts), std::end(sorts), sort) == std::end(sorts)) {
        Fail(res, 400, "sort is freq, rank or word (\"-\" before it: the other way)");
        return false;
      }
      std::lock_guard<std::mutex> lock(wordListMutex);
      if (!wordList.ready) {
        kx8::TCorpusWordListOptions wo;
        wo.word_rule = o.word_rule;
        wo.codepage = o.codepage;
        wo.choice = o.choice;
        try {
          // The same texts a search takes: each chosen file, or archive once, named as a path.
          std::vector<UnicodeString> files;
          for (const auto& t : ChooseTexts()) {
            const UnicodeString& file = t.InArchive() ? t.archive : t.full_name;
            if (files.empty() || files.back() != file) files.push_back(file);
          }
          const auto r = kx8::CorpusWordList(files, wo, nullptr, nullptr);
          for (int32_t i = 0; i < r.list->Count(); ++i)
            wordList.words.emplace_back(kx8::Utf16ToUtf8(r.list->StoredString(i)), r.list->Integers(i));
          wordList.tokens = r.tokens;
          std::vector<std::string> keys(wordList.words.size());
          for (size_t i = 0; i < keys.size(); ++i) {
            const UnicodeString w = r.list->StoredString(static_cast<int32_t>(i));
            if (!kx8::CompareStringSortKey(kx8::LOCALE_DEFAULT_LCID, kx8::NORM_IGNORECASE, w.data(),
                                           static_cast<int32_t>(w.size()), keys[i]))
              keys[i] = wordList.words[i].first;
          }
          wordList.alpha.resize(keys.size());
          for (uint32_t i = 0; i < keys.size(); ++i) wordList.alpha[i] = i;
          std::stable_sort(wordList.alpha.begin(), wordList.alpha.end(),
                           [&](uint32_t a, uint32_t b) { return keys[a] < keys[b]; });
        } catch (const std::exception& e) {
          wordList.error = e.what();
        }
        wordList.ready = true;
      }
      if (!wordList.error.empty()) {
        Fail(res, 500, wordList.error);
        return false;
      }
      const size_t n = wordList.words.size();
      view.resize(n);
      for (uint32_t i = 0; i < n; ++i) {
        const bool reverse = sort[0] == '-';
        const uint32_t k = reverse ? static_cast<uint32_t>(n - 1 - i) : i;
        view[i] = sort.find("word") != std::string::npos ? wordList.alpha[k] : k;
      }
      return true;
    };

    server.Get("/api/wordlist", [this, wordListView](const httplib::Request& req, httplib::Response& res) {
      int64_t offset = 0, count = 100;
      if (!IntParam(req, "offset", 0, INT64_MAX / 2, offset) || !IntParam(req, "count", 1, o.max_page_lines, count))
        return Fail(res, 400, "offset is 0 or more, count 1 to " + std::to_string(o.max_page_lines));
      std::vector<uint32_t> view;
      if (!wordListView(req, res, view)) return;
      std::lock_guard<std::mutex> lock(wordListMutex);
      json words = json::array();
      const double tokens = static_cast<double>(wordList.tokens);
      for (int64_t i = offset; i < static_cast<int64_t>(view.size()) && i < offset + count; ++i) {
        const uint32_t k = view[static_cast<size_t>(i)];
        const auto& [w, f] = wordList.words[k];
        words.push_back(json{{"rank", k + 1}, {"word", w}, {"freq", f},
                             {"percent", tokens > 0 ? 100.0 * static_cast<double>(f) / tokens : 0.0}});
      }
      Reply(res, 200, json{{"tokens", wordList.tokens}, {"types", wordList.words.size()}, {"offset", offset}, {"words", words}});
    });

    server.Get("/api/wordlist.csv", [this, wordListView](const httplib::Request& req, httplib::Response& res) {
      std::vector<uint32_t> view;
      if (!wordListView(req, res, view)) return;
      std::lock_guard<std::mutex> lock(wordListMutex);
      std::string csv = "rank,word,freq,percent\r\n";
      const double tokens = static_cast<double>(wordList.tokens);
      char num[64];
      for (const uint32_t k : view) {
        const auto& [w, f] = wordList.words[k];
        std::snprintf(num, sizeof num, ",%lld,%.4f\r\n", static_cast<long long>(f),
                      tokens > 0 ? 100.0 * static_cast<double>(f) / tokens : 0.0);
        csv += std::to_string(k + 1) + ',' + CsvField(w) + num;
      }
      res.set_header("Content-Disposition", "attachment; filename=\"wordlist.csv\"");
      res.set_content(csv, "text/csv; charset=utf-8");
    });
  }
};

WebView::WebView(WebViewOptions options) : f(std::make_unique<Impl>(std::move(options))) { f->Routes(); }

WebView::~WebView() { Stop(); }

int WebView::Start(std::string& error) {
  if (f->listener.joinable()) return f->port;
  int port = f->o.port;
  if (port == 0) port = f->server.bind_to_any_port(f->o.bind);
  else if (!f->server.bind_to_port(f->o.bind, port)) port = -1;
  if (port < 0) {
    error = "cannot listen on " + f->o.bind + (f->o.port ? ":" + std::to_string(f->o.port) : std::string());
    return -1;
  }
  f->port = port;
  f->listener = std::thread([this] { f->server.listen_after_bind(); });
  return port;
}

void WebView::Stop() {
  if (f->listener.joinable()) {
    f->server.stop();
    f->listener.join();
  }
  std::map<int, std::shared_ptr<Search>> searches;
  {
    std::lock_guard<std::mutex> lock(f->searchesMutex);
    searches.swap(f->searches);
  }
  for (auto& [id, s] : searches) {
    s->cancelled.store(true);
    s->conc->Cancel();
  }
  for (auto& [id, s] : searches)
    if (s->thread.joinable()) s->thread.join();
}

int WebView::Port() const { return f->port; }

}  // namespace kx8tool
