// kx8 files: the texts a folder walk chooses under each path, with size, date and name (and, on request,
// the kind of list file each is), as lines or as JSON; texts are chosen as every corpus command chooses
// them.
//
// Exit status: 0 when texts were listed, 1 when none were found, 2 when some path, folder or archive
// could not be read (each named on stderr with the system's reason; the others are still listed) or
// the output could not be written.
#include <CLI/CLI.hpp>
#include <kx8rt/corpus/corpus_texts.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "corpus_options.h"
#include "kx8rt/definitions/list_types.h"
#include "kx8rt/files/zip_utils.h"
#include "kx8rt/platform/datetime.h"
#include "kx8rt/platform/file_system.h"
#include "output.h"

using namespace kx8;

namespace {

enum class SortKey { none, name, date, size, ext };

// The list type of a file: from its signature header (current or earlier version, or the 16-bit
// generation), a batch archive's comment, and else its extension; "" when none applies.
std::string KindOf(const TCorpusText& t) {
  if (!t.InArchive()) {
    TKX_MainFile_rec rec;
    rec.filename = t.full_name;
    if (WhichToolsTamrind32BitFile(rec) != tt_no_tool_at_all && rec.ListType != lt_none_in_use)
      return Utf16ToUtf8(ListTypeAsString(rec.ListType));
    if (WasATamrind32BitFile(rec)) return Utf16ToUtf8(ListTypeAsString(rec.ListType)) + " (earlier version)";
    if (IsAnOldTamrindFile(rec)) return Utf16ToUtf8(ListTypeAsString(rec.ListType)) + " (16-bit)";
    if (IsAZipFile(t.full_name) && IsABatchZipFileForListType(rec))
      return "batch of " + Utf16ToUtf8(ListTypeAsString(rec.ListType));
  }
  const UnicodeString ext = ExtractFileExt(t.full_name);
  if (ext.empty()) return "";
  const TTamrindList l = ListTypeFromFileExt(ext);
  if (l == lt_bol7) return "";
  return Utf16ToUtf8(ListTypeAsString(l)) + " (by extension)";
}

int CompareNoCase(const UnicodeString& a, const UnicodeString& b) { return CompareText(a, b); }

}  // namespace

int FilesMain(int argc, char** argv) {
  CLI::App app{"kx8 files: size, date and name of the texts chosen under each PATH", "kx8 files"};
  kx8tool::CorpusCliOptions corpus;
  std::string sortName;
  bool json = false, kind = false;
  std::vector<std::string> paths;
  app.add_option("--sort", sortName, "order of the list: name, date, size or ext (default: as walked)");
  app.add_flag("--json", json, "one JSON array instead of lines");
  app.add_flag("--kind", kind, "the kind of list file each is");
  corpus.AddChoice(app);
  app.add_option("paths", paths, "PATH...")->required();
  app.footer("Exit status: 0 texts listed, 1 none found, 2 a path could not be read or the output written.");
  if (int status = 0; !kx8tool::ParseCommandLine(app, argc, argv, status)) return status;
  if (!sortName.empty() && sortName != "name" && sortName != "date" && sortName != "size" && sortName != "ext") {
    std::fprintf(stderr, "kx8 files: --sort takes name, date, size or ext, not '%s'\n", sortName.c_str());
    return 2;
  }
  const SortKey sort = sortName == "name" ? SortKey::name : sortName == "date" ? SortKey::date
                       : sortName == "size" ? SortKey::size : sortName == "ext" ? SortKey::ext : SortKey::none;
  int64_t problems = 0;
  std::vector<TCorpusText> texts =
      ChooseCorpusTexts(kx8tool::CorpusCliOptions::Paths(paths), corpus.Choice(), [&](const UnicodeString& p, const UnicodeString& why) {
        ++problems;
        std::fprintf(stderr, "kx8 files: %s: %s\n", Utf16ToNativeName(p).c_str(), Utf16ToUtf8(why).c_str());
      });
  auto key = [sort](const TCorpusText& a, const TCorpusText& b) {
    switch (sort) {
      case SortKey::name: return CompareNoCase(a.full_name, b.full_name) < 0;
      case SortKey::date: return a.rec.DateTime < b.rec.DateTime;
      case SortKey::size: return a.size < b.size;
      case SortKey::ext: {
        const int c = CompareNoCase(ExtractFileExt(a.full_name), ExtractFileExt(b.full_name));
        return c != 0 ? c < 0 : CompareNoCase(a.full_name, b.full_name) < 0;
      }
      case SortKey::none: break;
    }
    return false;
  };
  if (sort != SortKey::none) std::stable_sort(texts.begin(), texts.end(), key);

  const UnicodeString dateFormat = u"yyyy/mm/dd hh:nn:ss";
  kx8tool::Output out;
  try {
    nlohmann::json list = nlohmann::json::array();
    for (const TCorpusText& t : texts) {
      const std::string name = Utf16ToNativeName(t.full_name);
      const std::string date = Utf16ToUtf8(FormatDateTime(dateFormat, t.rec.DateTime));
      const std::string k = kind ? KindOf(t) : std::string();
      if (json) {
        nlohmann::json j = {{"name", name}, {"size", t.size}, {"date", date}, {"zip_entry", t.InArchive() ? t.entry + 1 : 0}};
        if (kind) j["kind"] = k;
        list.push_back(std::move(j));
        continue;
      }
      char size[32];
      std::snprintf(size, sizeof size, "%12lld  ", static_cast<long long>(t.size));
      out.Put(size);
      out.Put(date);
      out.Put("  ");
      out.Put(name);
      if (kind && !k.empty()) out.Put("  [" + k + "]");
      out.Put('\n');
    }
    if (json) {
      out.Put(list.dump(2, ' ', false, nlohmann::json::error_handler_t::replace));
      out.Put('\n');
    }
    out.Flush();
  } catch (const kx8tool::OutputError& e) {
    std::fprintf(stderr, "kx8 files: %s\n", e.what());
    return 2;
  }
  if (problems > 0) return 2;
  return texts.empty() ? 1 : 0;
}
