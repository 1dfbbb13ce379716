// The memory-held ini file: the whole file is parsed into sections of key=value lines when it is
// opened, read and changed in memory, and written back as a whole by UpdateFile.
#pragma once

#include <optional>
#include <vector>

#include "kx8rt/platform/encoding.h"
#include "kx8rt/platform/string_list.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

class TMemIniFile : public TObject {
 public:
  // Opens FileName, loading it when it exists (encoding from its byte-order mark, else the system
  // 8-bit code page). A file that exists but cannot be read raises the stream's error.
  explicit TMemIniFile(const UnicodeString& FileName);
  TMemIniFile(const UnicodeString& FileName, const std::optional<TEncoding>& Encoding);

  const UnicodeString& FileName() const { return fFileName; }
  // The encoding UpdateFile writes in (none: the system 8-bit code page).
  const std::optional<TEncoding>& Encoding() const { return fEncoding; }
  void SetEncoding(const std::optional<TEncoding>& Value) { fEncoding = Value; }

  // Single values; sections and keys are found ignoring case.
  UnicodeString ReadString(const UnicodeString& Section, const UnicodeString& Ident, const UnicodeString& Default) const;
  void WriteString(const UnicodeString& Section, const UnicodeString& Ident, const UnicodeString& Value);
  // An integer in decimal or "$" hexadecimal; Default when absent or not a number.
  int32_t ReadInteger(const UnicodeString& Section, const UnicodeString& Ident, int32_t Default) const;
  void WriteInteger(const UnicodeString& Section, const UnicodeString& Ident, int32_t Value);
  // "0" is false, any other number true; Default when absent or not a number. Written as "1" or "0".
  bool ReadBool(const UnicodeString& Section, const UnicodeString& Ident, bool Default) const;
  void WriteBool(const UnicodeString& Section, const UnicodeString& Ident, bool Value);
  double ReadFloat(const UnicodeString& Section, const UnicodeString& Ident, double Default) const;
  void WriteFloat(const UnicodeString& Section, const UnicodeString& Ident, double Value);

  bool SectionExists(const UnicodeString& Section) const;
  bool ValueExists(const UnicodeString& Section, const UnicodeString& Ident) const;
  // The keys of a section, the section names, and a section's lines as key=value texts (lines that
  // had no "=" as they were), each into Strings after clearing it.
  void ReadSection(const UnicodeString& Section, TStringList& Strings) const;
  void ReadSections(TStringList& Strings) const;
  void ReadSectionValues(const UnicodeString& Section, TStringList& Strings) const;
  void EraseSection(const UnicodeString& Section);
  void DeleteKey(const UnicodeString& Section, const UnicodeString& Ident);
  void Clear();

  // The whole content as lines: "[section]", its lines, an empty line, for every section in order.
  void GetStrings(TStringList& List) const;
  // Replaces the content by parsing List: lines are trimmed; empty lines, lines beginning with ";" and
  // lines before the first section are dropped.
  void SetStrings(const TStringList& List);
  // Writes the whole content to the file in Encoding.
  virtual void UpdateFile();

 private:
  struct Entry {
    UnicodeString key;    // the whole line when it had no "="
    UnicodeString value;
    bool hasEquals = true;
  };
  struct Section {
    UnicodeString name;
    std::vector<Entry> entries;
  };
  const Section* FindSection(std::u16string_view name) const;
  Section* FindSection(std::u16string_view name);
  Section& AddSection(const UnicodeString& name);

  UnicodeString fFileName;
  std::optional<TEncoding> fEncoding;
  std::vector<Section> fSections;
};

}  // namespace kx8
