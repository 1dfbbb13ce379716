#include "text_choice.h"

#include <cstring>
#include <stdexcept>

#include "kx8rt/files/zip_utils.h"
#include "kx8rt/platform/file_system.h"
#include "kx8rt/platform/streams.h"

using namespace kx8;

namespace kx8tool {

const char* const kTextChoiceUsage =
    "      --mask \"*.txt;*.xml\"   file masks, taken in order (default *)\n"
    "      -r                     sub-folders too\n"
    "      --zips                 walk zip archives found in the folders (an archive PATH is always walked)\n"
    "      --exclude-dirs LIST    folders never entered, e.g. \"temp;old\"\n"
    "      --exclude-ext LIST     extensions never taken, e.g. \".exe;.dll\"\n"
    "      --hidden               hidden files and folders too\n";

int ParseTextChoiceOption(int argc, char** argv, int i, TextChoiceOptions& o) {
  const char* a = argv[i];
  auto value = [&]() -> UnicodeString {
    if (i + 1 >= argc) throw std::invalid_argument(std::string(a) + " needs a value");
    return Utf8ToUtf16(argv[i + 1]);
  };
  if (!std::strcmp(a, "-r") || !std::strcmp(a, "--recurse")) return o.recurse = true, 1;
  if (!std::strcmp(a, "--zips")) return o.zips = true, 1;
  if (!std::strcmp(a, "--hidden")) return o.hidden = true, 1;
  if (!std::strcmp(a, "--mask")) return o.mask = value(), 2;
  if (!std::strcmp(a, "--exclude-dirs")) return o.excludeDirs = value(), 2;
  if (!std::strcmp(a, "--exclude-ext")) return o.excludeExts = value(), 2;
  return 0;
}

namespace {

TPeruseDir MakeWalker(const TextChoiceOptions& o, bool zips) {
  // "._" files are resource forks of another system, never texts; system entries (FIFOs, devices)
  // are never read. Archives named by the mask are still walked by the zip pass, not listed.
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

// True when some archive of the folder cannot be opened (checked only after a walk came back empty).
bool HasUnreadableArchive(const UnicodeString& folder, int32_t opened) {
  TSearchRec sr;
  int32_t seen = 0;
  for (int32_t rc = FindFirst(IncludeTrailingPathDelimiter(folder) + u"*.zip", faAnyFile, sr); rc == 0; rc = FindNext(sr)) {
    if (sr.Attr & faDirectory) continue;
    if (++seen > opened) return true;
  }
  return false;
}

}  // namespace

std::vector<ChosenText> ChooseTexts(const std::vector<std::string>& paths, const TextChoiceOptions& o,
                                    std::vector<std::string>& problems) {
  std::vector<ChosenText> out;
  for (const std::string& p8 : paths) {
    const UnicodeString path = ExcludeTrailingPathDelimiter(Utf8ToUtf16(p8));
    if (DirectoryExists(path)) {
      TPeruseDir walker = MakeWalker(o, o.zips);
      auto walkOne = [&](const UnicodeString& folder) {
        TMySearchRecList list;
        const int32_t zipsBefore = walker.ZipsExamined();
        // The walk ends at an archive it cannot open, skipping the folder's files; say so.
        const bool any = walker.HandleAllFilesIn(folder, &list);
        if (!any && o.zips && HasUnreadableArchive(folder, walker.ZipsExamined() - zipsBefore))
          problems.push_back(Utf16ToUtf8(folder) + ": an archive there cannot be read; the folder's walk stopped");
        Collect(out, folder, list);
      };
      walker.OnZipProblem = [&](TObject&) { problems.push_back(p8 + ": an archive could not be read whole"); };
      walkOne(path);
      if (o.recurse) {
        walker.OnFoundDir = walkOne;
        walker.ProcessAllSubDirectories(path);
      }
    } else if (FileExists(path) && IsAZipFile(path)) {
      TPeruseDir walker = MakeWalker(o, true);
      TMySearchRecList list;
      try {
        walker.AddAZip(&list, ExtractFilePath(path), ExtractFileName(path));
      } catch (const std::exception& e) {
        problems.push_back(p8 + ": " + e.what());
      }
      Collect(out, ExtractFilePath(path), list);
    } else if (FileExists(path)) {
      TSearchRec sr;
      if (FindFirst(path, faAnyFile, sr) != 0) {
        problems.push_back(p8 + ": cannot be read");
        continue;
      }
      ChosenText t;
      t.rec.ShortName = sr.Name;
      t.rec.Size = static_cast<int32_t>(static_cast<uint32_t>(sr.Size));
      t.rec.Attr = sr.Attr;
      if (!UnixTimeToLocalDateTime(sr.Time, t.rec.DateTime)) t.rec.DateTime = 25569.0;
      t.fullName = path;
      out.push_back(std::move(t));
    } else {
      problems.push_back(p8 + ": no such file or folder");
    }
  }
  return out;
}

std::string ReadChosenTextBytes(const ChosenText& t) {
  if (t.rec.Number_Within_Zip > 0) {
    TZipArchive zip;
    zip.Open(ZipFileFullFileName(t.fullName, UnicodeString()));
    return zip.ExtractToString(t.rec.Number_Within_Zip - 1);
  }
  TMemoryStream ms;
  ms.LoadFromFile(t.fullName);
  return std::string(reinterpret_cast<const char*>(ms.Memory()), static_cast<size_t>(ms.Size()));
}

}  // namespace kx8tool
