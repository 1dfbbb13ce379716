#include "kx8rt/files/inifilebase.h"

#include <sys/stat.h>

#include <filesystem>

#include "kx8rt/platform/exceptions.h"

namespace kx8 {

namespace {

bool IsFile(const UnicodeString& name) {
  struct stat st;
  return !name.empty() && ::stat(Utf16ToUtf8(name).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

const TObject* MemIniTickMark() {
  static const TObject tick;
  return &tick;
}

TMyMemIniFile::TMyMemIniFile(const UnicodeString& AFilename) : TMemIniFile(AFilename) {
  SetEncoding(TEncoding::Unicode());
}

UnicodeString TMyMemIniFile::BackupFileName() const {
  const std::u16string& name = FileName();
  const size_t slash = name.find_last_of(u'/');
  const size_t dot = name.find_last_of(u'.');
  const bool hasExt = dot != std::u16string::npos && (slash == std::u16string::npos || dot > slash);
  return (hasExt ? name.substr(0, dot) : name) + u".ini.Backup";
}

bool TMyMemIniFile::SaveABackup() {
  if (FileName().empty() || !IsFile(FileName())) return false;
  std::error_code ec;
  std::filesystem::copy_file(Utf16ToUtf8(FileName()), Utf16ToUtf8(BackupFileName()),
                             std::filesystem::copy_options::overwrite_existing, ec);
  return !ec;
}

void TMyMemIniFile::UpdateFile() {
  TStringList lines;
  GetStrings(lines);
  lines.Insert(0, u"");
  for (int h = 3; h >= 0; --h) {
    bool present = false;
    for (int32_t i = 0; i < lines.Count() && !present; ++i) present = lines.Get(i) == MemIniHeaderLines[h];
    if (!present) lines.Insert(0, MemIniHeaderLines[h]);
  }
  SaveABackup();
  lines.SaveToFile(FileName(), TEncoding::Unicode());
}

TColor TMyMemIniFile::ReadColor(const UnicodeString& section, const UnicodeString& ValueName, TColor DefValue) const {
  UnicodeString s = ReadString(section, ValueName, ColorToString(DefValue));
  const size_t d1 = s.find(u'.');
  if (d1 != UnicodeString::npos) {
    const size_t d2 = s.find(u'.', d1 + 1);
    const std::u16string_view v(s);
    const std::u16string_view r = v.substr(0, d1);
    const std::u16string_view g = d2 == UnicodeString::npos ? v.substr(d1 + 1) : v.substr(d1 + 1, d2 - d1 - 1);
    const std::u16string_view b = d2 == UnicodeString::npos ? std::u16string_view() : v.substr(d2 + 1);
    int32_t rv, gv, bv;
    if (!TryStrToInt(r, rv) || !TryStrToInt(g, gv) || !TryStrToInt(b, bv)) return DefValue;
    return (rv & 0xFF) + (gv & 0xFF) * 256 + (bv & 0xFF) * 65536;
  }
  if (!s.empty() && s[0] == u'#') s.erase(0, 1);
  return StringToColor(s);
}

void TMyMemIniFile::WriteColor(const UnicodeString& section, const UnicodeString& ValueName, TColor Value) {
  WriteString(section, ValueName, ColorToString(Value));
}

void TMyMemIniFile::ReadMultiString(const UnicodeString& section, TStringList& Strings) const {
  if (!SectionExists(section)) return;
  ReadSectionValues(section, Strings);
  if (Strings.Count() > 0) {
    const UnicodeString last = Strings.Get(Strings.Count() - 1);
    int32_t n;
    if (last.size() > 2 && last.compare(0, 2, u"i=") == 0 && TryStrToInt(std::u16string_view(last).substr(2), n))
      Strings.Delete(Strings.Count() - 1);
  }
  for (int32_t i = 0; i < Strings.Count(); ++i) {
    const UnicodeString line = Strings.Get(i);
    const size_t eq = line.find(u'=');
    if (eq == UnicodeString::npos) continue;
    if (MEMINI_include_checklistbox_checkeds && line.find(u"[c") != UnicodeString::npos)
      Strings.PutInteger(i, 1);
    Strings.Put(i, line.substr(eq + 1));
  }
}

void TMyMemIniFile::WriteMultiString(const UnicodeString& section, const TStringList& Strings) {
  WriteMultiString(section, Strings, 2147483647);
}

void TMyMemIniFile::WriteMultiString(const UnicodeString& section, const TStringList& Strings, int32_t maxToWrite) {
  EraseSection(section);
  const int32_t n = std::min(maxToWrite, Strings.Count());
  for (int32_t i = 0; i < n; ++i) {
    // A slot holding a plain integer counts as ticked when it is not 0, like a non-null object.
    const TObject* obj = Strings.SlotHoldsInteger(i) ? (Strings.Integers(i) ? MemIniTickMark() : nullptr)
                                                     : Strings.Objects(i);
    WriteOneStringObj(section, Strings.Get(i), i, obj);
  }
}

void TMyMemIniFile::WriteOneStringObj(const UnicodeString& section, const UnicodeString& s, int32_t i,
                                      const TObject* obj) {
  const bool ticked = MEMINI_include_checklistbox_checkeds && obj != nullptr;
  WriteString(section, (ticked ? u"[c" : u"[v") + IntToStr(i) + u"]", s);
}

}  // namespace kx8
