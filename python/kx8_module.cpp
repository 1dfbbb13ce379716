// The compiled half of the Python package kx8: the corpus pipeline's concordance and word lists, called
// with the interpreter's lock released while the library works. Results are gathered here as plain
// columns and handed back as NumPy arrays and lists of str; the pure-Python half (kx8/__init__.py)
// checks arguments and makes the DataFrames, so that this file needs nothing of pandas.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <kx8rt/corpus/concordance.h>
#include <kx8rt/corpus/corpus_word_list_merging.h>
#include <kx8rt/corpus/corpus_word_lists.h>
#include <kx8rt/platform/char_classes.h>
#include <kx8rt/platform/exceptions.h>
#include <kx8rt/strings/word_lists.h>

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace py = pybind11;
using namespace kx8;

namespace {

// ---- conversions ----

py::str StrOfUtf16(std::u16string_view s) {
  // surrogatepass: a lone surrogate in a text comes back as the same lone code point, never an error.
  int byteorder = -1;  // little-endian, as the platform's char16_t is
  PyObject* o = PyUnicode_DecodeUTF16(reinterpret_cast<const char*>(s.data()), static_cast<Py_ssize_t>(s.size() * 2),
                                      "surrogatepass", &byteorder);
  if (o == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(o);
}

// A file name as Python spells it: the file system's bytes decoded as os.fsdecode does.
py::str StrOfName(const UnicodeString& name) {
  const std::string bytes = Utf16ToNativeName(name);
  PyObject* o = PyUnicode_DecodeFSDefaultAndSize(bytes.data(), static_cast<Py_ssize_t>(bytes.size()));
  if (o == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(o);
}

// A str as UTF-16; starts receives the UTF-16 index of every character beyond the first plane (two units
// each), from which a position in units is turned back into one in Python characters.
UnicodeString Utf16OfStr(const py::str& s, std::vector<int64_t>* starts) {
  PyObject* o = s.ptr();
  if (PyUnicode_READY(o) != 0) throw py::error_already_set();
  const Py_ssize_t n = PyUnicode_GET_LENGTH(o);
  const int kind = PyUnicode_KIND(o);
  const void* data = PyUnicode_DATA(o);
  UnicodeString out;
  out.reserve(static_cast<size_t>(n));
  for (Py_ssize_t i = 0; i < n; ++i) {
    const Py_UCS4 c = PyUnicode_READ(kind, data, i);
    if (c >= 0x10000) {
      if (starts) starts->push_back(static_cast<int64_t>(out.size()));
      out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
  }
  return out;
}

std::vector<UnicodeString> PathsOf(const std::vector<std::string>& paths) {
  std::vector<UnicodeString> out;
  for (const auto& p : paths) out.push_back(NativeNameToUtf16(p));
  return out;
}

// ---- options, read from the dict the Python half fills ----

template <typename T>
T Opt(const py::dict& o, const char* key, T fallback) {
  if (!o.contains(key)) return fallback;
  const py::handle v = o[key];
  if (v.is_none()) return fallback;
  return v.cast<T>();
}

UnicodeString OptText(const py::dict& o, const char* key, const UnicodeString& fallback = {}) {
  if (!o.contains(key) || o[key].is_none()) return fallback;
  return Utf16OfStr(py::str(o[key]), nullptr);
}

std::vector<UnicodeString> OptTexts(const py::dict& o, const char* key) {
  std::vector<UnicodeString> out;
  if (!o.contains(key) || o[key].is_none()) return out;
  for (const py::handle w : o[key]) out.push_back(Utf16OfStr(py::str(w), nullptr));
  return out;
}

TCorpusTextChoice ChoiceOf(const py::dict& o) {
  TCorpusTextChoice c;
  c.mask = OptText(o, "mask", u"*");
  c.recurse = Opt<bool>(o, "recurse", false);
  c.zips = Opt<bool>(o, "zips", false);
  c.exclude_dirs = OptText(o, "exclude_dirs");
  c.exclude_exts = OptText(o, "exclude_exts");
  c.hidden = Opt<bool>(o, "hidden", false);
  return c;
}

TCorpusWordRule RuleOf(const py::dict& o) {
  TCorpusWordRule r;
  r.middle_chars = OptText(o, "middle_chars", kCorpusDefaultMiddleChars);
  return r;
}

TConcordanceOptions ConcordanceOptionsOf(const py::str& word, const py::dict& o) {
  TConcordanceOptions c;
  c.search_word = Utf16OfStr(word, nullptr);
  c.search_file = OptText(o, "search_file");
  c.context_words = OptTexts(o, "context_words");
  c.exclusion_words = OptTexts(o, "exclusion_words");
  c.span = Opt<int32_t>(o, "span", 5);
  c.lemma_file = OptText(o, "lemma_file");
  c.stop_file = OptText(o, "stop_file");
  c.case_sensitive = Opt<bool>(o, "case_sensitive", false);
  c.max_hits = Opt<int64_t>(o, "max_hits", -1);
  c.word_rule = RuleOf(o);
  c.skip_punctuation = Opt<bool>(o, "skip_punctuation", false);
  c.codepage = Opt<uint16_t>(o, "codepage", 0);
  c.context_chars = Opt<int32_t>(o, "context", 40);
  c.choice = ChoiceOf(o);
  c.workers = Opt<int32_t>(o, "workers", 1);
  c.chunk_units = Opt<int32_t>(o, "chunk_units", c.chunk_units);
  return c;
}

// ---- concordance lines as columns ----

struct HitColumns {
  std::vector<int32_t> text;
  std::vector<int64_t> pos, word, sentence, paragraph;
  std::vector<double> percent;
  std::u16string arena;          // left, node, right of each hit in turn
  std::vector<uint32_t> lengths; // three a hit
  size_t Size() const { return pos.size(); }
  void Add(const TConcordanceHit& h, int64_t pos_) {
    text.push_back(h.text);
    pos.push_back(pos_);
    percent.push_back(h.percent);
    word.push_back(h.word);
    sentence.push_back(h.sentence);
    paragraph.push_back(h.paragraph);
    for (const std::u16string_view s : {h.left, h.node, h.right}) {
      arena.append(s);
      lengths.push_back(static_cast<uint32_t>(s.size()));
    }
  }
};

// What a run told besides its hits: paths that could not be walked, texts not searched.
struct RunNotes {
  std::vector<std::pair<UnicodeString, UnicodeString>> problems, skipped;
  std::vector<bool> unreadable;  // for each skipped text
  TConcordanceTotals totals;
};

template <typename T>
py::array_t<T> ArrayOf(const std::vector<T>& v) {
  return py::array_t<T>(static_cast<py::ssize_t>(v.size()), v.data());
}

py::list NotesList(const std::vector<std::pair<UnicodeString, UnicodeString>>& v) {
  py::list out;
  for (const auto& [name, why] : v) out.append(py::make_tuple(StrOfName(name), StrOfUtf16(why)));
  return out;
}

py::dict NotesDict(const RunNotes& n) {
  py::dict d;
  d["problems"] = NotesList(n.problems);
  d["skipped"] = NotesList(n.skipped);
  py::list unreadable;
  for (size_t i = 0; i < n.skipped.size(); ++i)
    if (n.unreadable[i]) unreadable.append(StrOfName(n.skipped[i].first));
  d["unreadable"] = unreadable;
  d["hits"] = n.totals.hits;
  d["texts"] = n.totals.texts;
  d["texts_searched"] = n.totals.texts_searched;
  d["characters"] = n.totals.characters;
  d["words"] = n.totals.words;
  d["stopped"] = n.totals.stopped;
  return d;
}

// The columns as a dict of arrays and lists; names (may be empty: no file column) gives each text's name.
py::dict ColumnsDict(const HitColumns& c, const std::deque<TCorpusText>* texts) {
  py::dict d;
  const size_t n = c.Size();
  if (texts) {
    std::vector<py::object> names(texts->size());
    py::list files(static_cast<py::ssize_t>(n));
    for (size_t i = 0; i < n; ++i) {
      py::object& name = names[static_cast<size_t>(c.text[i])];
      if (!name) name = StrOfName((*texts)[static_cast<size_t>(c.text[i])].full_name);
      files[i] = name;
    }
    d["file"] = files;
  }
  d["pos"] = ArrayOf(c.pos);
  d["percent"] = ArrayOf(c.percent);
  d["word"] = ArrayOf(c.word);
  d["sentence"] = ArrayOf(c.sentence);
  d["paragraph"] = ArrayOf(c.paragraph);
  py::list left(static_cast<py::ssize_t>(n)), node(static_cast<py::ssize_t>(n)), right(static_cast<py::ssize_t>(n));
  size_t at = 0;
  for (size_t i = 0; i < n; ++i) {
    py::list* cols[3] = {&left, &node, &right};
    for (int k = 0; k < 3; ++k) {
      const uint32_t len = c.lengths[i * 3 + static_cast<size_t>(k)];
      (*cols[k])[i] = StrOfUtf16(std::u16string_view(c.arena).substr(at, len));
      at += len;
    }
  }
  d["left"] = left;
  d["node"] = node;
  d["right"] = right;
  return d;
}

TConcordanceTextEvent TextNotes(RunNotes& notes, const TConcordancer& c) {
  return [&notes, &c](const TConcordanceTextSummary& s) {
    if (s.searched) return;
    notes.skipped.emplace_back(c.Texts()[static_cast<size_t>(s.text)].full_name, s.skipped_because);
    notes.unreadable.push_back(s.unreadable);
  };
}

// kx8.concord: every line at once.
py::tuple Concord(const py::str& word, const std::vector<std::string>& paths, const py::dict& options) {
  const TConcordanceOptions o = ConcordanceOptionsOf(word, options);
  HitColumns cols;
  RunNotes notes;
  std::unique_ptr<TConcordancer> c;
  {
    py::gil_scoped_release unlocked;
    c = std::make_unique<TConcordancer>(o);
    notes.totals = c->Run(
        PathsOf(paths), [&](const TConcordanceHit& h) { cols.Add(h, h.pos); }, TextNotes(notes, *c),
        [&](const UnicodeString& p, const UnicodeString& why) { notes.problems.emplace_back(p, why); });
  }
  return py::make_tuple(ColumnsDict(cols, &c->Texts()), NotesDict(notes));
}

// kx8.search: the lines of a str held in memory, positions in Python characters.
py::tuple Search(const py::str& text, const py::str& word, const py::dict& options) {
  const TConcordanceOptions o = ConcordanceOptionsOf(word, options);
  std::vector<int64_t> wide;  // UTF-16 indices of the characters that take two units
  auto held = std::make_shared<const UnicodeString>(Utf16OfStr(text, &wide));
  HitColumns cols;
  RunNotes notes;
  {
    py::gil_scoped_release unlocked;
    TConcordancer c(o);
    size_t before = 0;  // characters beyond the first plane before the current hit (hits come in order)
    notes.totals = c.RunTexts(
        {HeldCorpusText(u"<str>", held)},
        [&](const TConcordanceHit& h) {
          while (before < wide.size() && wide[before] < h.pos) ++before;
          cols.Add(h, h.pos - static_cast<int64_t>(before));
        },
        TextNotes(notes, c));
  }
  return py::make_tuple(ColumnsDict(cols, nullptr), NotesDict(notes));
}

// kx8.iconcord: the lines handed over in batches while the search goes on in a thread of its own, so that a
// result larger than memory can be streamed. At most a few batches wait; the search waits for the reader.
class ConcordStream {
 public:
  ConcordStream(const py::str& word, const std::vector<std::string>& paths, const py::dict& options, size_t batch)
      : fBatch(std::max<size_t>(batch, 1)) {
    const TConcordanceOptions o = ConcordanceOptionsOf(word, options);
    {
      py::gil_scoped_release unlocked;
      fConcordancer = std::make_unique<TConcordancer>(o);  // a bad search raises here, before any thread
    }
    fThread = std::thread([this, p = PathsOf(paths)] { Produce(p); });
  }
  ~ConcordStream() { Close(); }

  // The next batch as a dict of columns, or None at the end; a failure of the search is raised here.
  py::object Next() {
    HitColumns got;
    {
      py::gil_scoped_release unlocked;
      std::unique_lock<std::mutex> g(fLock);
      fReady.wait(g, [&] { return !fQueue.empty() || fDone; });
      if (!fQueue.empty()) {
        got = std::move(fQueue.front());
        fQueue.pop_front();
      }
    }
    fRoom.notify_all();
    if (got.Size() > 0) return ColumnsDict(got, &fConcordancer->Texts());
    if (fError) std::rethrow_exception(fError);
    return py::none();
  }

  // What the run told besides its hits (complete once Next has returned None).
  py::dict Notes() {
    std::lock_guard<std::mutex> g(fLock);
    return NotesDict(fNotes);
  }

  // Stops the search and waits for its thread.
  void Close() {
    if (!fThread.joinable()) return;
    fConcordancer->Cancel();
    {
      std::lock_guard<std::mutex> g(fLock);
      fClosed = true;
    }
    fRoom.notify_all();
    if (PyGILState_Check()) {
      py::gil_scoped_release unlocked;
      fThread.join();
    } else {
      fThread.join();
    }
  }

 private:
  void Produce(const std::vector<UnicodeString>& paths) {
    HitColumns cols;
    auto handOn = [&] {
      std::unique_lock<std::mutex> g(fLock);
      fRoom.wait(g, [&] { return fClosed || fQueue.size() < kQueued; });
      if (!fClosed) fQueue.push_back(std::move(cols));
      cols = HitColumns();
      fReady.notify_all();
    };
    try {
      RunNotes notes;
      notes.totals = fConcordancer->Run(
          paths,
          [&](const TConcordanceHit& h) {
            cols.Add(h, h.pos);
            if (cols.Size() >= fBatch) handOn();
          },
          TextNotes(notes, *fConcordancer),
          [&](const UnicodeString& p, const UnicodeString& why) { notes.problems.emplace_back(p, why); });
      if (cols.Size() > 0) handOn();
      std::lock_guard<std::mutex> g(fLock);
      fNotes = std::move(notes);
    } catch (...) {
      std::lock_guard<std::mutex> g(fLock);
      fError = std::current_exception();
    }
    {
      std::lock_guard<std::mutex> g(fLock);
      fDone = true;
    }
    fReady.notify_all();
  }

  static constexpr size_t kQueued = 4;
  const size_t fBatch;
  std::unique_ptr<TConcordancer> fConcordancer;
  std::thread fThread;
  std::mutex fLock;
  std::condition_variable fReady, fRoom;
  std::deque<HitColumns> fQueue;
  bool fDone = false, fClosed = false;
  std::exception_ptr fError;
  RunNotes fNotes;
};

// ---- word lists ----

TCorpusWordListOptions WordListOptionsOf(const py::dict& o) {
  TCorpusWordListOptions w;
  w.word_rule = RuleOf(o);
  w.codepage = Opt<uint16_t>(o, "codepage", 0);
  w.choice = ChoiceOf(o);
  w.min_length = Opt<int32_t>(o, "min_length", 1);
  w.by_frequency = Opt<bool>(o, "by_frequency", true);
  w.workers = Opt<int32_t>(o, "workers", 1);
  return w;
}

py::tuple ListColumns(const TStringList& list) {
  const auto n = static_cast<py::ssize_t>(list.Count());
  py::list words(n);
  std::vector<int64_t> freq(static_cast<size_t>(n));
  for (int32_t i = 0; i < list.Count(); ++i) {
    words[static_cast<size_t>(i)] = StrOfUtf16(list.StoredString(i));
    freq[static_cast<size_t>(i)] = list.Integers(i);
  }
  return py::make_tuple(words, ArrayOf(freq));
}

std::unique_ptr<TStringList> ListOfColumns(const py::sequence& words, const py::array_t<int64_t>& freq) {
  if (static_cast<py::ssize_t>(py::len(words)) != freq.size()) throw py::value_error("words and frequencies differ in length");
  auto list = std::make_unique<TStringList>();
  const auto f = freq.unchecked<1>();
  py::ssize_t i = 0;
  for (const py::handle w : words) {
    list->AddInteger(Utf16OfStr(py::str(w), nullptr), f(i));
    ++i;
  }
  return list;
}

// kx8.wordlist: (words, frequencies, notes).
py::tuple WordList(const std::vector<std::string>& paths, const py::dict& options) {
  const TCorpusWordListOptions o = WordListOptionsOf(options);
  TCorpusWordListResult r;
  RunNotes notes;
  {
    py::gil_scoped_release unlocked;
    r = CorpusWordList(
        PathsOf(paths), o,
        [&](const TCorpusWordListText& t) {
          if (t.read) return;
          notes.skipped.emplace_back(t.name, t.skipped_because);
          notes.unreadable.push_back(t.unreadable);
        },
        [&](const UnicodeString& p, const UnicodeString& why) { notes.problems.emplace_back(p, why); });
  }
  notes.totals.texts = r.texts;
  notes.totals.texts_searched = r.texts_read;
  py::dict d = NotesDict(notes);
  d["tokens"] = r.tokens;
  const py::tuple cols = ListColumns(*r.list);
  return py::make_tuple(cols[0], cols[1], d);
}

// kx8.merge_wordlists: the parts' (words, frequencies) in order, merged as the whole's list.
py::tuple MergeWordLists(const std::vector<std::pair<py::sequence, py::array_t<int64_t>>>& parts, bool byFrequency) {
  std::vector<std::unique_ptr<TStringList>> lists;
  for (const auto& [words, freq] : parts) lists.push_back(ListOfColumns(words, freq));
  std::unique_ptr<TStringList> merged;
  {
    py::gil_scoped_release unlocked;
    std::vector<const TStringList*> p;
    for (const auto& l : lists) p.push_back(l.get());
    merged = MergeCorpusWordLists(p, byFrequency);
  }
  return ListColumns(*merged);
}

// kx8.compare: the library's type and token differences and bag-of-words test, and each word's frequency
// in both lists (words met without case, in the form the first list has, else the second's).
py::tuple Compare(const py::sequence& wordsA, const py::array_t<int64_t>& freqA, const py::sequence& wordsB,
                  const py::array_t<int64_t>& freqB, double threshold, int64_t maxDiff, int64_t minFreq) {
  const auto a = ListOfColumns(wordsA, freqA);
  const auto b = ListOfColumns(wordsB, freqB);
  TTypeAndTokenAndSinglesDifferences diff;
  UnicodeString onlyOne, differing;
  int64_t diffA = 0, diffB = 0;
  std::vector<int32_t> order;  // lines of a, then lines of b missing from a (as -1 - index)
  std::vector<int64_t> fa, fb;
  {
    py::gil_scoped_release unlocked;
    diff = TypeAndTokenDifferences2SimpleWordLists(*a, *b, static_cast<float>(threshold), static_cast<float>(threshold),
                                                   onlyOne);
    differing = FirstDifferingWord(*a, *b, maxDiff, minFreq, diffA, diffB);
    std::unordered_map<UnicodeString, int32_t> inB;
    for (int32_t j = 0; j < b->Count(); ++j) inB.emplace(ToUpper(b->StoredString(j)), j);
    std::vector<bool> matched(static_cast<size_t>(b->Count()), false);
    for (int32_t i = 0; i < a->Count(); ++i) {
      const auto it = inB.find(ToUpper(a->StoredString(i)));
      order.push_back(i);
      fa.push_back(a->Integers(i));
      if (it == inB.end()) {
        fb.push_back(0);
      } else {
        fb.push_back(b->Integers(it->second));
        matched[static_cast<size_t>(it->second)] = true;
      }
    }
    for (int32_t j = 0; j < b->Count(); ++j) {
      if (matched[static_cast<size_t>(j)]) continue;
      order.push_back(-1 - j);
      fa.push_back(0);
      fb.push_back(b->Integers(j));
    }
  }
  py::list words(static_cast<py::ssize_t>(order.size()));
  for (size_t k = 0; k < order.size(); ++k)
    words[k] = StrOfUtf16(order[k] >= 0 ? a->StoredString(order[k]) : b->StoredString(-1 - order[k]));
  py::dict summary;
  summary["type_diffs"] = diff.type_diffs;
  summary["token_diffs"] = diff.token_diffs;
  summary["type_diff_pc"] = diff.type_diff_pc;
  summary["token_diff_pc"] = diff.token_diff_pc;
  summary["close"] = diff.show_it;
  summary["last_word_in_one_only"] = StrOfUtf16(onlyOne);
  summary["bag_of_words_alike"] = differing.empty();
  summary["differing_word"] = StrOfUtf16(differing);
  summary["differing_freq_a"] = diffA;
  summary["differing_freq_b"] = diffB;
  return py::make_tuple(words, ArrayOf(fa), ArrayOf(fb), summary);
}

}  // namespace

PYBIND11_MODULE(_kx8, m) {
  m.doc() = "The compiled half of kx8; use the functions of the kx8 package.";
  // Every error the library raises (a search it cannot parse, an unreadable search, lemma or stop file, a
  // code page that is not there) reaches Python as kx8.Kx8Error with the library's message.
  py::register_exception<kx8::Exception>(m, "Kx8Error");
  m.def("_concord", &Concord, py::arg("word"), py::arg("paths"), py::arg("options"));
  m.def("_search", &Search, py::arg("text"), py::arg("word"), py::arg("options"));
  m.def("_wordlist", &WordList, py::arg("paths"), py::arg("options"));
  m.def("_merge_wordlists", &MergeWordLists, py::arg("parts"), py::arg("by_frequency"));
  m.def("_compare", &Compare, py::arg("words_a"), py::arg("freq_a"), py::arg("words_b"), py::arg("freq_b"),
        py::arg("threshold"), py::arg("max_diff"), py::arg("min_freq"));
  py::class_<ConcordStream>(m, "_ConcordStream")
      .def(py::init<const py::str&, const std::vector<std::string>&, const py::dict&, size_t>(), py::arg("word"),
           py::arg("paths"), py::arg("options"), py::arg("batch"))
      .def("next", &ConcordStream::Next)
      .def("notes", &ConcordStream::Notes)
      .def("close", &ConcordStream::Close);
}
