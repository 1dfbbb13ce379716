#include "kx8rt/platform/ini_files.h"

#include <sys/stat.h>

#include "kx8rt/platform/format.h"

namespace kx8 {

namespace {

bool FileExistsByName(const UnicodeString& name) {
  struct stat st;
  return !name.empty() && ::stat(Utf16ToUtf8(name).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

TMemIniFile::TMemIniFile(const UnicodeString& FileName) : TMemIniFile(FileName, std::nullopt) {}

TMemIniFile::TMemIniFile(const UnicodeString& FileName, const std::optional<TEncoding>& Encoding)
    : fFileName(FileName), fEncoding(Encoding) {
  if (!FileExistsByName(fFileName)) return;
  TStringList list;
  list.LoadFromFile(fFileName, Encoding);
  if (!fEncoding) fEncoding = list.Encoding();
  SetStrings(list);
}

const TMemIniFile::Section* TMemIniFile::FindSection(std::u16string_view name) const {
  for (const Section& s : fSections)
    if (SameText(s.name, name)) return &s;
  return nullptr;
}

TMemIniFile::Section* TMemIniFile::FindSection(std::u16string_view name) {
  return const_cast<Section*>(static_cast<const TMemIniFile*>(this)->FindSection(name));
}

TMemIniFile::Section& TMemIniFile::AddSection(const UnicodeString& name) {
  if (Section* s = FindSection(name)) return *s;
  fSections.push_back({name, {}});
  return fSections.back();
}

UnicodeString TMemIniFile::ReadString(const UnicodeString& Section, const UnicodeString& Ident,
                                      const UnicodeString& Default) const {
  if (const auto* s = FindSection(Section))
    for (const Entry& e : s->entries)
      if (e.hasEquals && SameText(e.key, Ident)) return e.value;
  return Default;
}

void TMemIniFile::WriteString(const UnicodeString& Section, const UnicodeString& Ident, const UnicodeString& Value) {
  auto& s = AddSection(Section);
  for (Entry& e : s.entries)
    if (e.hasEquals && SameText(e.key, Ident)) {
      e.value = Value;
      return;
    }
  s.entries.push_back({Ident, Value, true});
}

int32_t TMemIniFile::ReadInteger(const UnicodeString& Section, const UnicodeString& Ident, int32_t Default) const {
  int32_t v;
  return TryStrToInt(ReadString(Section, Ident, u""), v) ? v : Default;
}

void TMemIniFile::WriteInteger(const UnicodeString& Section, const UnicodeString& Ident, int32_t Value) {
  WriteString(Section, Ident, IntToStr(Value));
}

bool TMemIniFile::ReadBool(const UnicodeString& Section, const UnicodeString& Ident, bool Default) const {
  int32_t v;
  return TryStrToInt(ReadString(Section, Ident, u""), v) ? v != 0 : Default;
}

void TMemIniFile::WriteBool(const UnicodeString& Section, const UnicodeString& Ident, bool Value) {
  WriteString(Section, Ident, Value ? u"1" : u"0");
}

double TMemIniFile::ReadFloat(const UnicodeString& Section, const UnicodeString& Ident, double Default) const {
  double v;
  return TryStrToFloat(ReadString(Section, Ident, u""), v) ? v : Default;
}

void TMemIniFile::WriteFloat(const UnicodeString& Section, const UnicodeString& Ident, double Value) {
  WriteString(Section, Ident, FloatToStr(Value));
}

bool TMemIniFile::SectionExists(const UnicodeString& Section) const { return FindSection(Section) != nullptr; }

bool TMemIniFile::ValueExists(const UnicodeString& Section, const UnicodeString& Ident) const {
  if (const auto* s = FindSection(Section))
    for (const Entry& e : s->entries)
      if (e.hasEquals && SameText(e.key, Ident)) return true;
  return false;
}

void TMemIniFile::ReadSection(const UnicodeString& Section, TStringList& Strings) const {
  Strings.BeginUpdate();
  Strings.Clear();
  if (const auto* s = FindSection(Section))
    for (const Entry& e : s->entries)
      if (e.hasEquals) Strings.Add(e.key);
  Strings.EndUpdate();
}

void TMemIniFile::ReadSections(TStringList& Strings) const {
  Strings.BeginUpdate();
  Strings.Clear();
  for (const Section& s : fSections) Strings.Add(s.name);
  Strings.EndUpdate();
}

void TMemIniFile::ReadSectionValues(const UnicodeString& Section, TStringList& Strings) const {
  Strings.BeginUpdate();
  Strings.Clear();
  if (const auto* s = FindSection(Section))
    for (const Entry& e : s->entries) Strings.Add(e.hasEquals ? e.key + u"=" + e.value : e.key);
  Strings.EndUpdate();
}

void TMemIniFile::EraseSection(const UnicodeString& Section) {
  for (size_t i = 0; i < fSections.size(); ++i)
    if (SameText(fSections[i].name, Section)) {
      fSections.erase(fSections.begin() + static_cast<std::ptrdiff_t>(i));
      return;
    }
}

void TMemIniFile::DeleteKey(const UnicodeString& Section, const UnicodeString& Ident) {
  if (auto* s = FindSection(Section))
    for (size_t i = 0; i < s->entries.size(); ++i)
      if (s->entries[i].hasEquals && SameText(s->entries[i].key, Ident)) {
        s->entries.erase(s->entries.begin() + static_cast<std::ptrdiff_t>(i));
        return;
      }
}

void TMemIniFile::Clear() { fSections.clear(); }

void TMemIniFile::GetStrings(TStringList& List) const {
  List.BeginUpdate();
  List.Clear();
  for (const Section& s : fSections) {
    List.Add(u"[" + s.name + u"]");
    for (const Entry& e : s.entries) List.Add(e.hasEquals ? e.key + u"=" + e.value : e.key);
    List.Add(u"");
  }
  List.EndUpdate();
}

void TMemIniFile::SetStrings(const TStringList& List) {
  Clear();
  Section* current = nullptr;
  for (int32_t i = 0; i < List.Count(); ++i) {
    const UnicodeString line = Trim(List.Get(i));
    if (line.empty() || line[0] == u';') continue;
    if (line.front() == u'[' && line.back() == u']' && line.size() >= 2) {
      current = &AddSection(line.substr(1, line.size() - 2));
      continue;
    }
    if (!current) continue;  // nothing above the first section is kept
    const size_t eq = line.find(u'=');
    if (eq == UnicodeString::npos) current->entries.push_back({line, u"", false});
    else current->entries.push_back({line.substr(0, eq), line.substr(eq + 1), true});
  }
}

void TMemIniFile::UpdateFile() {
  TStringList list;
  GetStrings(list);
  list.SaveToFile(fFileName, fEncoding);
}

}  // namespace kx8
