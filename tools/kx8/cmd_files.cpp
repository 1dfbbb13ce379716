// kx8 files: the texts a folder walk chooses under each path, with size, date and name (and, on request,
// the kind of list file each is), as lines or as JSON.
//
// Exit status: 0 when texts were listed, 1 when none were found, 2 when some path, folder or archive
// could not be read (each named on stderr with the system's reason; the others are still listed) or
// the output could not be written.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "checked_output.h"
#include "kx8rt/definitions/list_types.h"
#include "kx8rt/files/zip_utils.h"
#include "kx8rt/platform/datetime.h"
#include "kx8rt/platform/file_system.h"
#include "text_choice.h"

using namespace kx8;
using kx8tool::ChosenText;

namespace {

const char* const kFilesUsage = "usage: kx8 files [options] PATH...\n"
                                "      --sort name|date|size|ext   order of the list (default: as walked)\n"
                                "      --json                     one JSON array instead of lines\n"
                                "      --kind                     the kind of list file each is\n";

enum class SortKey { none, name, date, size, ext };

// The list type of a file: from its signature header (current or earlier version, or the 16-bit
// generation), a batch archive's comment, and else its extension; "" when none applies.
std::string KindOf(const ChosenText& t) {
  if (t.rec.Number_Within_Zip == 0) {
    TKX_MainFile_rec rec;
    rec.filename = t.fullName;
    if (WhichToolsTamrind32BitFile(rec) != tt_no_tool_at_all && rec.ListType != lt_none_in_use)
      return Utf16ToUtf8(ListTypeAsString(rec.ListType));
    if (WasATamrind32BitFile(rec)) return Utf16ToUtf8(ListTypeAsString(rec.ListType)) + " (earlier version)";
    if (IsAnOldTamrindFile(rec)) return Utf16ToUtf8(ListTypeAsString(rec.ListType)) + " (16-bit)";
    if (IsAZipFile(t.fullName) && IsABatchZipFileForListType(rec))
      return "batch of " + Utf16ToUtf8(ListTypeAsString(rec.ListType));
  }
  const UnicodeString ext = ExtractFileExt(t.fullName);
  if (ext.empty()) return "";
  const TTamrindList l = ListTypeFromFileExt(ext);
  if (l == lt_bol7) return "";
  return Utf16ToUtf8(ListTypeAsString(l)) + " (by extension)";
}

std::string Json(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

int CompareNoCase(const UnicodeString& a, const UnicodeString& b) { return CompareText(a, b); }

TPeruseDir MakeWalker(const kx8tool::TextChoiceOptions& o, bool zips) {
  // As every subcommand chooses texts: "._" files and system entries never, archives by the zip pass.
  return TPeruseDir(o.mask, u"*", o.mask, o.excludeDirs, o.excludeExts, true, zips, false, false, o.hidden, o.hidden);
}

void Collect(std::vector<ChosenText>& out, const UnicodeString& folder, const TMySearchRecList& list) {
  for (int32_t i = 0; i < list.Count(); ++i) {
    ChosenText t;
    t.rec = list.GetAMySearchRec(i);
    t.fullName = t.rec.Number_Within_Zip > 0 ? t.rec.ShortName : IncludeTrailingPathDelimiter(folder) + t.rec.ShortName;
    out.push_back(std::move(t));
  }
}

// The texts under each path, as the other subcommands choose them, but with every folder, archive or
// path that cannot be read reported in problems with the walker's reason, and sizes kept whole.
std::vector<ChosenText> WalkPaths(const std::vector<std::string>& paths, const kx8tool::TextChoiceOptions& o,
                                  std::vector<std::string>& problems) {
  std::vector<ChosenText> out;
  auto problem = [&](const UnicodeString& path, const UnicodeString& reason) {
    problems.push_back(Utf16ToUtf8(path) + ": " + Utf16ToUtf8(reason));
  };
  for (const std::string& p8 : paths) {
    const UnicodeString path = ExcludeTrailingPathDelimiter(Utf8ToUtf16(p8));
    struct stat st;
    if (::stat(p8.c_str(), &st) != 0) {
      problems.push_back(p8 + ": " + std::strerror(errno));
    } else if (S_ISDIR(st.st_mode)) {
      TPeruseDir walker = MakeWalker(o, o.zips);
      walker.OnProblem = problem;
      auto walkOne = [&](const UnicodeString& folder) {
        TMySearchRecList list;
        walker.HandleAllFilesIn(folder, &list);
        Collect(out, folder, list);
      };
      walkOne(path);
      if (o.recurse) {
        walker.OnFoundDir = walkOne;
        walker.ProcessAllSubDirectories(path);
      }
    } else if (IsAZipFile(path)) {
      TPeruseDir walker = MakeWalker(o, true);
      walker.OnProblem = problem;
      TMySearchRecList list;
      try {
        walker.AddAZip(&list, ExtractFilePath(path), ExtractFileName(path));
      } catch (const std::exception& e) {
        problems.push_back(p8 + ": " + e.what());
      }
      Collect(out, ExtractFilePath(path), list);
    } else if (::access(p8.c_str(), R_OK) != 0) {
      problems.push_back(p8 + ": " + std::strerror(errno));
    } else {
      ChosenText t;
      t.rec.ShortName = ExtractFileName(path);
      t.rec.Size64 = static_cast<int64_t>(st.st_size);
      t.rec.Size = static_cast<int32_t>(static_cast<uint32_t>(t.rec.Size64));
      t.rec.Attr = FileGetAttr(path);
      if (!UnixTimeToLocalDateTime(static_cast<int64_t>(st.st_mtime), t.rec.DateTime)) t.rec.DateTime = 25569.0;
      t.fullName = path;
      out.push_back(std::move(t));
    }
  }
  return out;
}

}  // namespace

int FilesMain(int argc, char** argv) {
  kx8tool::CheckedStdout out;
  kx8tool::TextChoiceOptions choice;
  SortKey sort = SortKey::none;
  bool json = false, kind = false;
  std::vector<std::string> paths;
  for (int i = 0; i < argc; ++i) try {
    const int used = kx8tool::ParseTextChoiceOption(argc, argv, i, choice);
    if (used > 0) {
      i += used - 1;
      continue;
    }
    const char* a = argv[i];
    if (!std::strcmp(a, "--json")) {
      json = true;
    } else if (!std::strcmp(a, "--kind")) {
      kind = true;
    } else if (!std::strcmp(a, "--sort")) {
      if (i + 1 >= argc) throw std::invalid_argument("--sort needs name, date, size or ext");
      const std::string k = argv[++i];
      if (k == "name") sort = SortKey::name;
      else if (k == "date") sort = SortKey::date;
      else if (k == "size") sort = SortKey::size;
      else if (k == "ext") sort = SortKey::ext;
      else throw std::invalid_argument("--sort takes name, date, size or ext, not '" + k + "'");
    } else if (!std::strcmp(a, "--help") || !std::strcmp(a, "-h")) {
      std::fputs(kFilesUsage, stdout);
      std::fputs(kx8tool::kTextChoiceUsage, stdout);
      return 0;
    } else if (a[0] == '-' && a[1] != 0) {
      std::fprintf(stderr, "kx8 files: unknown option '%s'\n", a);
      std::fputs(kFilesUsage, stderr);
      std::fputs(kx8tool::kTextChoiceUsage, stderr);
      return 2;
    } else {
      paths.push_back(a);
    }
  } catch (const std::invalid_argument& e) {
    std::fprintf(stderr, "kx8 files: %s\n", e.what());
    return kx8tool::kExitFailure;
  }
  if (paths.empty()) {
    std::fputs(kFilesUsage, stderr);
    std::fputs(kx8tool::kTextChoiceUsage, stderr);
    return 2;
  }

  std::vector<std::string> problems;
  std::vector<ChosenText> texts = WalkPaths(paths, choice, problems);
  auto key = [sort](const ChosenText& a, const ChosenText& b) {
    switch (sort) {
      case SortKey::name: return CompareNoCase(a.fullName, b.fullName) < 0;
      case SortKey::date: return a.rec.DateTime < b.rec.DateTime;
      case SortKey::size: return WholeSize(a.rec) < WholeSize(b.rec);
      case SortKey::ext: {
        const int c = CompareNoCase(ExtractFileExt(a.fullName), ExtractFileExt(b.fullName));
        return c != 0 ? c < 0 : CompareNoCase(a.fullName, b.fullName) < 0;
      }
      case SortKey::none: break;
    }
    return false;
  };
  if (sort != SortKey::none) std::stable_sort(texts.begin(), texts.end(), key);

  const UnicodeString dateFormat = u"yyyy/mm/dd hh:nn:ss";
  if (json) out.Puts("[");
  for (size_t i = 0; i < texts.size() && !out.Failed(); ++i) {
    const ChosenText& t = texts[i];
    const std::string name = Utf16ToUtf8(t.fullName);
    const std::string date = Utf16ToUtf8(FormatDateTime(dateFormat, t.rec.DateTime));
    const std::string k = kind ? KindOf(t) : std::string();
    const long long size = static_cast<long long>(WholeSize(t.rec));
    if (json) {
      out.Printf("%s\n  {\"name\": %s, \"size\": %lld, \"date\": %s, \"zip_entry\": %d", i ? "," : "",
                 Json(name).c_str(), size, Json(date).c_str(), t.rec.Number_Within_Zip);
      if (kind) out.Printf(", \"kind\": %s", Json(k).c_str());
      out.Puts("}");
    } else {
      out.Printf("%12lld  %s  %s", size, date.c_str(), name.c_str());
      if (kind && !k.empty()) out.Printf("  [%s]", k.c_str());
      out.Puts("\n");
    }
  }
  if (json) out.Puts(texts.empty() ? "]\n" : "\n]\n");
  for (const std::string& p : problems) std::fprintf(stderr, "kx8 files: %s\n", p.c_str());
  if (!out.Flush()) return out.Report("files");
  if (!problems.empty()) return kx8tool::kExitFailure;
  return texts.empty() ? 1 : 0;
}
