// kx8 files: the texts a folder walk chooses under each path, with size, date and name (and, on request,
// the kind of list file each is), as lines or as JSON.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

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

}  // namespace

int FilesMain(int argc, char** argv) {
  kx8tool::TextChoiceOptions choice;
  SortKey sort = SortKey::none;
  bool json = false, kind = false;
  std::vector<std::string> paths;
  for (int i = 0; i < argc; ++i) {
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
  }
  if (paths.empty()) {
    std::fputs(kFilesUsage, stderr);
    std::fputs(kx8tool::kTextChoiceUsage, stderr);
    return 2;
  }

  std::vector<std::string> problems;
  std::vector<ChosenText> texts = kx8tool::ChooseTexts(paths, choice, problems);
  auto key = [sort](const ChosenText& a, const ChosenText& b) {
    switch (sort) {
      case SortKey::name: return CompareNoCase(a.fullName, b.fullName) < 0;
      case SortKey::date: return a.rec.DateTime < b.rec.DateTime;
      case SortKey::size: return a.rec.Size < b.rec.Size;
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
  if (json) std::fputs("[", stdout);
  for (size_t i = 0; i < texts.size(); ++i) {
    const ChosenText& t = texts[i];
    const std::string name = Utf16ToUtf8(t.fullName);
    const std::string date = Utf16ToUtf8(FormatDateTime(dateFormat, t.rec.DateTime));
    const std::string k = kind ? KindOf(t) : std::string();
    if (json) {
      std::printf("%s\n  {\"name\": %s, \"size\": %u, \"date\": %s, \"zip_entry\": %d", i ? "," : "",
                  Json(name).c_str(), static_cast<uint32_t>(t.rec.Size), Json(date).c_str(), t.rec.Number_Within_Zip);
      if (kind) std::printf(", \"kind\": %s", Json(k).c_str());
      std::fputs("}", stdout);
    } else {
      std::printf("%12u  %s  %s", static_cast<uint32_t>(t.rec.Size), date.c_str(), name.c_str());
      if (kind && !k.empty()) std::printf("  [%s]", k.c_str());
      std::fputs("\n", stdout);
    }
  }
  if (json) std::fputs(texts.empty() ? "]\n" : "\n]\n", stdout);
  for (const std::string& p : problems) std::fprintf(stderr, "kx8 files: %s\n", p.c_str());
  return problems.empty() ? 0 : 1;
}
