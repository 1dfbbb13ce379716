#include "kx8rt/corpus/corpus_texts.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <iterator>

#include "kx8rt/files/perusedir.h"
#include "kx8rt/files/zip_utils.h"
#include "kx8rt/platform/file_system.h"
#include "kx8rt/platform/widemasks.h"
#include "kx8rt/platform/zip.h"

namespace kx8 {

namespace {

TPeruseDir MakeWalker(const TCorpusTextChoice& c, bool zips) {
  // "._" files are resource forks of another system, never texts; system entries (FIFOs, devices) are
  // never read. Archives named by the mask are still walked by the zip pass, not listed.
  TPeruseDirOptions o;
  o.file_mask = o.zip_mask = c.mask;
  o.excluded_dirs = c.exclude_dirs;
  o.excluded_exts = c.exclude_exts;
  o.zips = zips;
  o.hidden_files = o.hidden_folders = c.hidden;
  return TPeruseDir(o);
}

// The walk's records as texts; an archive entry's record names it "archive/entry".
void Collect(std::vector<TCorpusText>& out, const UnicodeString& folder, const TMySearchRecList& list) {
  for (int32_t i = 0; i < list.Count(); ++i) {
    TCorpusText t;
    t.rec = list.GetAMySearchRec(i);
    if (t.rec.Number_Within_Zip > 0) {
      t.full_name = t.rec.ShortName;
      t.archive = ZipFileFullFileName(t.full_name, UnicodeString());
      t.entry = t.rec.Number_Within_Zip - 1;
    } else {
      t.full_name = IncludeTrailingPathDelimiter(folder) + t.rec.ShortName;
    }
    t.size = WholeSize(t.rec);
    out.push_back(std::move(t));
  }
}

// Texts handed on at a time while a folder is listed.
constexpr int32_t kListedBatch = 64;

UnicodeString SystemReason(int err) { return Utf8ToUtf16(std::strerror(err)); }

// Every entry of an archive named as a path: entries matching the mask, without the walker's limit on
// how many an archive may hold.
void AddArchive(std::vector<TCorpusText>& out, const UnicodeString& archive, const TCorpusTextChoice& choice,
                const TCorpusProblemEvent& onProblem) {
  try {
    TZipArchive zip;
    zip.Open(archive);
    // The walker's own mask rules, so that an archive named as a path takes what a walk would.
    std::vector<UnicodeString> masks, excluded;
    BuildAMask(masks, choice.mask);
    BuildAMask(excluded, choice.exclude_exts);
    const int32_t count = zip.Count();
    for (int32_t i = 0; i < count; ++i) {
      const UnicodeString name = zip.Name(i);
      if (name.empty() || name.back() == u'/') continue;  // folder entries hold no text
      const size_t slash = name.find_last_of(u"/\\");
      const UnicodeString shortName = slash == UnicodeString::npos ? name : name.substr(slash + 1);
      if (WhereInAMask(shortName, masks) < 0 && WhereInAMask(name, masks) < 0) continue;
      if (!excluded.empty() && WhereInAMask(ExtractFileExt(name), excluded) >= 0) continue;
      if (!choice.hidden && !shortName.empty() && shortName[0] == u'.') continue;
      TCorpusText t;
      t.archive = archive;
      t.entry = i;
      t.full_name = archive + u"/" + name;
      t.size = zip.Size(i);
      t.rec.ShortName = t.full_name;
      t.rec.DateTime = zip.DateTime(i);
      t.rec.Size = static_cast<int32_t>(static_cast<uint32_t>(t.size));
      t.rec.Size64 = t.size;
      t.rec.Attr = static_cast<int32_t>(zip.Attributes(i));
      t.rec.Number_Within_Zip = static_cast<int16_t>(i + 1 <= INT16_MAX ? i + 1 : 0);
      out.push_back(std::move(t));
    }
  } catch (const std::exception& e) {
    if (onProblem) onProblem(archive, Utf8ToUtf16(e.what()));
  }
}

}  // namespace

void WalkCorpusTexts(const std::vector<UnicodeString>& paths, const TCorpusTextChoice& choice,
                     const TCorpusProblemEvent& onProblem, const TCorpusTextsEvent& onTexts) {
  bool more = true;
  std::vector<TCorpusText> batch;
  auto handOn = [&] {
    if (more && !batch.empty()) more = onTexts(batch);
    batch.clear();
  };
  for (const UnicodeString& given : paths) {
    if (!more) return;
    UnicodeString path = given.size() > 1 ? ExcludeTrailingPathDelimiter(given) : given;
    struct stat st {};
    if (::stat(Utf16ToNativeName(path).c_str(), &st) != 0) {
      if (onProblem) onProblem(given, SystemReason(errno));
      continue;
    }
    if (S_ISDIR(st.st_mode)) {
      if (::access(Utf16ToNativeName(path).c_str(), R_OK | X_OK) != 0) {
        if (onProblem) onProblem(given, SystemReason(errno));
        continue;
      }
      TPeruseDir walker = MakeWalker(choice, choice.zips);
      walker.OnProblem = [&](const UnicodeString& where, const UnicodeString& why) {
        if (onProblem) onProblem(where, why);
      };
      // A large folder is handed on as it is listed, so that its first texts are read meanwhile.
      const UnicodeString* listing = nullptr;  // the folder being listed
      auto takeListed = [&](TMySearchRecList& listed) {
        if (!more) return;
        Collect(batch, *listing, listed);
        listed.Clear();
        handOn();
      };
      walker.listed_batch = kListedBatch;
      walker.OnListed = takeListed;
      auto walkOne = [&](const UnicodeString& folder) {
        if (!more) return;  // the sub-folders are still listed, their files no longer read
        TMySearchRecList list;
        listing = &folder;
        walker.HandleAllFilesIn(folder, &list);
        takeListed(list);
      };
      walkOne(path);
      if (choice.recurse && more) {
        walker.OnFoundDir = walkOne;
        walker.ProcessAllSubDirectories(path);
      }
    } else if (S_ISREG(st.st_mode) && IsAZipFile(path)) {
      // A bare archive name is an archive in the current folder, not at the root.
      AddArchive(batch, path, choice, onProblem);
      handOn();
    } else if (S_ISREG(st.st_mode)) {
      TCorpusText t;
      t.full_name = path;
      t.size = static_cast<int64_t>(st.st_size);
      const size_t slash = path.rfind(u'/');
      t.rec.ShortName = slash == UnicodeString::npos ? path : path.substr(slash + 1);
      t.rec.Size = static_cast<int32_t>(static_cast<uint32_t>(st.st_size));
      t.rec.Size64 = t.size;
      t.rec.Attr = faArchive;
      if (!UnixTimeToLocalDateTime(static_cast<int64_t>(st.st_mtime), t.rec.DateTime)) t.rec.DateTime = 25569.0;
      batch.push_back(std::move(t));
      handOn();
    } else {
      if (onProblem) onProblem(given, u"not a file or folder that holds text");
    }
  }
}

std::vector<TCorpusText> ChooseCorpusTexts(const std::vector<UnicodeString>& paths, const TCorpusTextChoice& choice,
                                           const TCorpusProblemEvent& onProblem) {
  std::vector<TCorpusText> out;
  WalkCorpusTexts(paths, choice, onProblem, [&](std::vector<TCorpusText>& batch) {
    if (out.empty()) out.swap(batch);
    else std::move(batch.begin(), batch.end(), std::back_inserter(out));
    return true;
  });
  return out;
}

}  // namespace kx8
