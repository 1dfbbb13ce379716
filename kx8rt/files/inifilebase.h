// The suite's settings files: a memory-held ini file stored as UTF-16 with a fixed comment header, a
// backup of the previous file on every save, colours in two notations, and lists of strings kept as
// numbered keys of a section (optionally with tick marks).
#pragma once

#include "kx8rt/platform/colors.h"
#include "kx8rt/platform/ini_files.h"
#include "kx8rt/platform/string_list.h"

namespace kx8 {

// The texts of a true and a false flag in settings files.
inline const UnicodeString ident_YES = u"YES";
inline const UnicodeString ident_NO = u"NO";
// When true, multi-strings keep per-line tick marks ("[c" keys, object 1 on reading).
inline bool MEMINI_include_checklistbox_checkeds = false;

// The header lines written at the top of every saved settings file, in order.
inline constexpr const char16_t* MemIniHeaderLines[4] = {
    u"Automatically generated file. CAREFUL!!!", u"A program from Quillmark created this settings file.",
    u"; Delete it if you want.", u"; Modify it at your own risk!"};

// A ticked line read by ReadMultiString carries the plain integer 1 in its slot. For writing, a line is
// ticked when its slot holds an object or a non-zero integer; this object stands for the latter.
const TObject* MemIniTickMark();

class TMyMemIniFile : public TMemIniFile {
 public:
  // Opens (and loads, when it exists) the settings file; it is saved as UTF-16 little-endian.
  explicit TMyMemIniFile(const UnicodeString& AFilename);

  // Writes the header, an empty line and the sections, after backing up the file on disk.
  void UpdateFile() override;
  // Copies the file on disk to its ".ini.Backup"; false when there is no file name or no file.
  bool SaveABackup();
  // The backup's name: the extension replaced by ".ini.Backup".
  UnicodeString BackupFileName() const;

  // A colour as "r.g.b", a colour name or "$" hexadecimal (a leading "#" ignored); DefValue when absent
  // or when a dotted part is no number; other bad text raises EConvertError.
  TColor ReadColor(const UnicodeString& section, const UnicodeString& ValueName, TColor DefValue) const;
  // Writes a colour's name, or "$" and eight hexadecimal digits.
  void WriteColor(const UnicodeString& section, const UnicodeString& ValueName, TColor Value);

  // Replaces Strings by the section's lines in file order (a trailing count line "i=n" dropped).
  void ReadMultiString(const UnicodeString& section, TStringList& Strings) const;
  // Erases the section, then writes Strings (at most maxToWrite of them) as keys "[v0]", "[v1]"...
  void WriteMultiString(const UnicodeString& section, const TStringList& Strings);
  void WriteMultiString(const UnicodeString& section, const TStringList& Strings, int32_t maxToWrite);
  // Writes s under "[c" + i + "]" when tick marks are kept and obj is not null, else "[v" + i + "]".
  void WriteOneStringObj(const UnicodeString& section, const UnicodeString& s, int32_t i, const TObject* obj);
};

}  // namespace kx8
