// The web view of kx8 serve: a local HTTP server with one built-in page and a JSON API over the
// library's concordancer and corpus word list, searching only the texts under the paths it was given.
#pragma once

#include <kx8rt/corpus/corpus_texts.h>
#include <kx8rt/corpus/corpus_words.h>
#include <kx8rt/platform/strings.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kx8tool {

struct WebViewOptions {
  std::vector<kx8::UnicodeString> paths;  // the only texts any request can reach are chosen under these
  kx8::TCorpusTextChoice choice;
  kx8::TCorpusWordRule word_rule;
  uint16_t codepage = 0;
  int32_t workers = 0;                    // searches at once within one concordance; 0: the machine's cores
  std::string bind = "127.0.0.1";
  int port = 0;                           // 0: any free port
  // Limits on what a request may ask for.
  size_t max_request_bytes = 64 * 1024;   // body of a request
  int32_t max_search_chars = 1000;        // the search notation, in UTF-16 units
  int32_t max_running_searches = 2;       // searches running at once; more are refused with 429
  int32_t max_kept_searches = 8;          // finished searches kept for paging; the oldest go first
  int32_t max_page_lines = 1000;
  // Called on a search's own thread before it chooses its texts; lets a test hold a search running.
  std::function<void()> before_search;
};

// The server. Start binds and serves on threads of its own until Stop (or destruction), which cancels
// running searches and waits for them.
class WebView {
 public:
  explicit WebView(WebViewOptions options);
  ~WebView();
  WebView(const WebView&) = delete;
  WebView& operator=(const WebView&) = delete;

  // Binds to options.bind and options.port and starts serving; the port bound, or -1 with the reason
  // in error.
  int Start(std::string& error);
  void Stop();
  int Port() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> f;
};

// The built-in page (HTML, style and script in one), its colours taken from the suite's palette.
std::string WebViewPage();

// The direction of the first strongly directional character of s: 1 right-to-left (Hebrew, Arabic,
// Syriac, Thaana, N'Ko and their presentation forms), -1 left-to-right, 0 when s has none.
int FirstStrongDirection(std::u16string_view s);

}  // namespace kx8tool
