// Choosing the texts of a corpus: the paths a user names, walked with file masks, sub-folders, zip
// archives, excluded folders and extensions and hidden files, as every command of a tool chooses them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "kx8rt/containers/search_recs.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

// Which texts under the paths are taken.
struct TCorpusTextChoice {
  UnicodeString mask = u"*";   // file masks, ";" between them, taken in order
  bool recurse = false;        // sub-folders too
  bool zips = false;           // walk the zip archives found in folders (an archive named as a path always is)
  UnicodeString exclude_dirs;  // folders never entered, "temp;old"
  UnicodeString exclude_exts;  // extensions never taken, ".exe;.dll"
  bool hidden = false;         // hidden files and folders too
};

// One chosen text: a file, or an entry of an archive.
struct TCorpusText {
  UnicodeString full_name;  // the path as the user will read it; an entry as "archive.zip/entry"
  UnicodeString archive;    // the archive's path for an entry, else empty
  int32_t entry = -1;       // 0-based entry index within the archive, -1 for a plain file
  int64_t size = 0;         // bytes (uncompressed for an entry)
  TMySearchRec rec;         // what the walk found (name, date, attributes)
  // The text itself when a caller hands it over in memory (a string of a script, a pasted text) rather
  // than naming a file; read from here with no file behind it.
  std::shared_ptr<const UnicodeString> held;
  bool InArchive() const { return entry >= 0; }
};

// A text given in memory, to be searched or counted like a file called name.
inline TCorpusText HeldCorpusText(const UnicodeString& name, std::shared_ptr<const UnicodeString> text) {
  TCorpusText t;
  t.full_name = name;
  t.size = text ? static_cast<int64_t>(text->size()) * 2 : 0;
  t.rec.ShortName = name;
  t.rec.Size64 = t.size;
  t.held = std::move(text);
  return t;
}

// Told of a path that could not be taken whole, with the reason.
using TCorpusProblemEvent = std::function<void(const UnicodeString& path, const UnicodeString& reason)>;

// The texts under each path, in the order the paths are given: a folder is walked with the choice (its
// sub-folders when recurse), an archive named as a path is always walked (entries matching the mask),
// any other file is taken as it is. A missing path, an unreadable folder or archive is reported through
// onProblem and the rest is still taken. A relative path is taken from the current folder.
std::vector<TCorpusText> ChooseCorpusTexts(const std::vector<UnicodeString>& paths, const TCorpusTextChoice& choice,
                                           const TCorpusProblemEvent& onProblem);

// Takes a batch of texts found by a walk (they may be moved from); false to take no more.
using TCorpusTextsEvent = std::function<bool(std::vector<TCorpusText>& texts)>;

// The same walk, handing the texts on as it finds them: a batch for each folder, archive or file, in the
// order ChooseCorpusTexts lists them, problems told between them where they are met. Once onTexts has
// said no more, the walk ends at the next folder.
void WalkCorpusTexts(const std::vector<UnicodeString>& paths, const TCorpusTextChoice& choice,
                     const TCorpusProblemEvent& onProblem, const TCorpusTextsEvent& onTexts);

}  // namespace kx8
