// Choosing texts for the kx8 subcommands through the library's folder walker: masks, sub-folders,
// zip archives, excluded folders and extensions, hidden files.
#pragma once

#include <string>
#include <vector>

#include "kx8rt/files/perusedir.h"

namespace kx8tool {

// The usage lines of the options below, for a subcommand's help text.
extern const char* const kTextChoiceUsage;

// What the user asked for.
struct TextChoiceOptions {
  kx8::UnicodeString mask = u"*";  // --mask "*.txt;*.xml"
  bool recurse = false;           // -r: sub-folders too
  bool zips = false;              // --zips: walk archives found in the folders
  kx8::UnicodeString excludeDirs; // --exclude-dirs "temp;old"
  kx8::UnicodeString excludeExts; // --exclude-ext ".exe;.dll"
  bool hidden = false;            // --hidden: hidden files and folders too
};

// One chosen text: its full name (an archive entry as "archive.zip/entry") and what the walk found.
struct ChosenText {
  kx8::UnicodeString fullName;
  kx8::TMySearchRec rec;
};

// When argv[i] is a text-choice option, stores it (with its value) and returns the number of
// arguments used (1 or 2); otherwise 0. A missing value raises std::invalid_argument.
int ParseTextChoiceOption(int argc, char** argv, int i, TextChoiceOptions& o);

// The texts under each path, in order: a folder is walked with the options (its sub-folders with -r);
// an archive named as a path is always walked, entries matching the mask; any other file is taken as
// it is. A path that does not exist, or a folder or archive that cannot be read, is reported in
// problems and skipped.
std::vector<ChosenText> ChooseTexts(const std::vector<std::string>& paths, const TextChoiceOptions& o,
                                    std::vector<std::string>& problems);

// The bytes of a chosen text, from its file or its archive; raises kx8::Exception (EZipError,
// EFOpenError) when it cannot be read.
std::string ReadChosenTextBytes(const ChosenText& t);

}  // namespace kx8tool
