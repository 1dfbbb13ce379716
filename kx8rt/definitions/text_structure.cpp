#include "kx8rt/definitions/text_structure.h"

#include <cstdlib>
#include <cstring>

#include "kx8rt/containers/stream_fields.h"
#include "kx8rt/definitions/list_types.h"
#include "kx8rt/files/tool_identity.h"
#include "kx8rt/platform/code_pages.h"
#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/yield.h"

namespace kx8 {

// ---- section starts ----

int SortSectionTags(void* a, void* b) {
  const int32_t pa = static_cast<TSectionStartHolder*>(a)->data.start_byte_position;
  const int32_t pb = static_cast<TSectionStartHolder*>(b)->data.start_byte_position;
  return pa < pb ? -1 : (pa > pb ? 1 : 0);
}


const TSectionStartHolder* TSectionStartsList::Holder(int32_t i) const {
  if (i < 0 || i >= Count()) return nullptr;
  return static_cast<const TSectionStartHolder*>(Get(i));
}

int32_t TSectionStartsList::AddOne(const TSectionTagRec& rec) {
  auto h = std::make_unique<TSectionStartHolder>(rec);
  const int32_t i = Add(h.get());
  h.release();
  return i;
}



TSectionTagRec TSectionStartsList::GetASection(int32_t i) const {
  if (const TSectionStartHolder* h = Holder(i)) return h->data;
  return TSectionTagRec{-1, {}};
}

bool TSectionStartsList::SaveToStream(TStream& stream) const {
  try {
    if (!WriteInt32(stream, Count())) return false;
    for (int32_t i = 0; i < Count(); ++i) {
      const TSectionStartHolder* h = Holder(i);
      if (!WriteInt32(stream, h->data.start_byte_position)) return false;
      WriteAString(stream, h->data.w);
    }
    return true;
  } catch (const Exception&) {
    return false;
  }
}

bool TSectionStartsList::ReadFromStream(TStream& stream) {
  try {
    int32_t n = 0;
    if (!ReadInt32(stream, n)) return false;
    // A negative count is damage, not an empty list.
    if (n < 0) return false;
    for (int32_t k = 0; k < n; ++k) {
      TSectionTagRec rec;
      if (!ReadInt32(stream, rec.start_byte_position)) return false;
      // The name's own length must arrive whole too, or the entry is not one.
      const int64_t before = stream.Position();
      uint8_t len[4];
      if (stream.Read(len, 4) != 4) return false;
      const int32_t units = static_cast<int32_t>(GetLE32(len));
      stream.SetPosition(before);
      if (units > 0 && stream.Size() - before - 4 < int64_t{units} * 2) return false;
      rec.w = ReadAString(stream, INT32_MAX);
      AddOne(rec);
    }
    return true;
  } catch (const Exception&) {
    return false;
  }
}

bool TSectionStartsList::SaveToFile(const UnicodeString& name) const {
  TFileStream f(name, fmCreate);
  TCheckSignature sig;
  if (!DiskSignatureISOKForToolAndList(sig, current_tool_var, lt_sections_list, f, writing)) return false;
  return SaveToStream(f);
}

bool TSectionStartsList::ReadFromFile(const UnicodeString& name) {
  TFileStream f(name, fmOpenRead | fmShareDenyNone);
  TCheckSignature sig;
  if (!DiskSignatureISOKForToolAndList(sig, current_tool_var, lt_sections_list, f, reading)) return false;
  return ReadFromStream(f);
}

std::pair<UnicodeString, int32_t> TSectionStartsList::SectionFromBytePosition(int32_t first_index,
                                                                            int32_t byte_pos) const {
  std::pair<UnicodeString, int32_t> found{UnicodeString(), 0};
  for (int32_t i = first_index < 0 ? 0 : first_index; i < Count(); ++i) {
    const TSectionStartHolder* h = Holder(i);
    if (h->data.start_byte_position > byte_pos) break;
    found = {h->data.w, i};
  }
  return found;
}

// ---- font runs ----

std::array<uint8_t, 72> ExtraFontRecToBytes(const TExtraFontRec& rec) {
  std::array<uint8_t, 72> b{};
  std::memcpy(b.data(), &rec, 72);
  return b;
}

TExtraFontRec ExtraFontRecFromBytes(const uint8_t* bytes, bool old28) {
  TExtraFontRec rec;
  const size_t n = old28 ? 28 : 72;
  // Booleans are copied through bytes, so that any stored byte becomes a valid bool.
  uint8_t raw[72] = {};
  std::memcpy(raw, bytes, n);
  for (size_t k : {size_t{28}, size_t{29}, size_t{33}}) raw[k] = raw[k] != 0;
  rec.basics.switch_on_at_char = static_cast<int32_t>(GetLE32(raw));
  rec.basics.switch_off_at_char = static_cast<int32_t>(GetLE32(raw + 4));
  for (int c = 0; c < 4; ++c) rec.basics.colour_rec.colours[c] = static_cast<TColor>(GetLE32(raw + 8 + 4 * c));
  rec.basics.spare_typefaces = Ttypeface_Set::FromBits(raw[24]);
  std::memcpy(rec.basics.align.data(), raw + 25, 3);
  rec.spare_Colour_word_ends_only = raw[28] != 0;
  rec.default_colours = raw[29] != 0;
  rec.applies_to = static_cast<TExtraFontCategory>(raw[30]);
  rec.default_typeface = Ttypeface_Set::FromBits(raw[31]);
  rec.highlight_typeface = Ttypeface_Set::FromBits(raw[32]);
  rec.spare_determined = raw[33] != 0;
  std::memcpy(rec.align.data(), raw + 34, 2);
  std::memcpy(rec.spareInts.data(), raw + 36, 36);
  return rec;
}


TExtraFontHolder* TExtraFontList::Holder(int32_t i) const {
  if (i < 0 || i >= Count()) return nullptr;
  return static_cast<TExtraFontHolder*>(Get(i));
}

void TExtraFontList::NoteTypefaces(const TExtraFontRec& rec) {
  if (!rec.default_typeface.Empty() || !rec.highlight_typeface.Empty()) fHasTypefaces = true;
}

void TExtraFontList::Clear() {
  TOwningList::Clear();
  fHasTypefaces = false;
}

int32_t TExtraFontList::AddOne(const TExtraFontRec& rec) {
  auto h = std::make_unique<TExtraFontHolder>(rec);
  const int32_t i = Add(h.get());
  h.release();
  NoteTypefaces(rec);
  return i;
}


TExtraFontRec TExtraFontList::GetAFontFrec(int32_t i) const {
  if (const TExtraFontHolder* h = Holder(i)) return h->data;
  return TExtraFontRec{};
}

void TExtraFontList::SetAFontFrec(int32_t i, const TExtraFontRec& rec) {
  if (TExtraFontHolder* h = Holder(i)) {
    h->data = rec;
    NoteTypefaces(rec);
  }
}

int32_t TExtraFontList::IndexOfStart(int32_t pos) const {
  for (int32_t i = 0; i < Count(); ++i) {
    const int32_t on = Holder(i)->data.basics.switch_on_at_char;
    if (on == pos) return i;
    if (sorted && on > pos) break;
  }
  return -1;
}

int32_t TExtraFontList::IndexOfStartAndEnd(int32_t from, int32_t to) const {
  for (int32_t i = 0; i < Count(); ++i) {
    const TExtraFontRecOld& b = Holder(i)->data.basics;
    if (b.switch_on_at_char < from || b.switch_on_at_char > to) continue;
    if (b.switch_off_at_char < 0 || (b.switch_off_at_char >= from && b.switch_off_at_char <= to)) return i;
  }
  return -1;
}

int32_t TExtraFontList::KeyOf(const TExtraFontHolder* h) const {
  return fSortVar == 0 ? h->data.basics.switch_on_at_char : static_cast<int32_t>(h->data.applies_to);
}

void TExtraFontList::SetBase(void* item, int32_t sort_var) {
  fSortVar = sort_var;
  fBaseKey = KeyOf(static_cast<TExtraFontHolder*>(item));
}

int32_t TExtraFontList::Compare(void* item) const {
  const int32_t k = KeyOf(static_cast<TExtraFontHolder*>(item));
  return k < fBaseKey ? -1 : (k > fBaseKey ? 1 : 0);
}

void TExtraFontList::SortOnStartpoints() {
  SetSortToAscend(sort_first_sort, true);
  current_sort_rec.current_sort_doing = sort_first_sort;
  current_sort_rec.current_sort_var = 0;
  DoASingleSort([this](void* item) { return Compare(item); }, 0);
}

bool TExtraFontList::XSaveToStream(TStream& stream, int32_t /*file_version*/) {
  if (fEFVersion < 3) fEFVersion = 3;
  try {
    if (!WriteInt32(stream, Count()) || !WriteInt32(stream, fEFVersion)) return false;
    for (int32_t i = 0; i < Count(); ++i) {
      const auto b = ExtraFontRecToBytes(Holder(i)->data);
      if (stream.Write(b.data(), 72) != 72) return false;
    }
    return true;
  } catch (const Exception&) {
    return false;
  }
}

bool TExtraFontList::XReadFromStream(TStream& stream, int32_t file_version) {
  fHasTypefaces = false;
  try {
    int32_t n = 0;
    if (!ReadInt32(stream, n)) return false;
    if (file_version >= 20) {
      // The count may be stored negated; its size is what matters. The smallest value has no
      // negation and cannot be a real count.
      if (n == INT32_MIN) return false;
      n = std::abs(n);
      if (!ReadInt32(stream, fEFVersion)) return false;
    } else {
      fEFVersion = 0;
    }
    if (n < 0) return false;
    const int32_t size = fEFVersion == 0 ? 28 : 72;
    uint8_t raw[72];
    for (int32_t k = 0; k < n; ++k) {
      if (stream.Read(raw, size) != size) return false;
      TExtraFontRec rec = ExtraFontRecFromBytes(raw, size == 28);
      if (fEFVersion < 3) {
        rec.default_typeface = rec.basics.spare_typefaces;
        rec.highlight_typeface = rec.basics.spare_typefaces;
      }
      AddOne(rec);
    }
    return true;
  } catch (const Exception&) {
    return false;
  }
}

// ---- streamable string list ----

bool TMyStreamableStringlist::SaveToStream(TStream& stream) {
  try {
    if (!WriteInt32(stream, -Count())) return false;
    for (int32_t i = 0; i < Count(); ++i) {
      MyYieldProcess();
      WriteAString(stream, Get(i));
    }
    return true;
  } catch (const Exception&) {
    return false;
  }
}

bool TMyStreamableStringlist::ReadFromStream(TStream& stream) {
  Clear();
  try {
    int32_t n = 0;
    if (!ReadInt32(stream, n)) return false;
    if (n == INT32_MIN) return false;
    const bool wide = n < 0;
    if (wide) n = -n;
    for (int32_t k = 0; k < n; ++k) {
      MyYieldProcess();
      if (wide) {
        const int64_t at = stream.Position();
        uint8_t len[4];
        if (stream.Read(len, 4) != 4) return false;
        const int32_t units = static_cast<int32_t>(GetLE32(len));
        if (units < 0 || (units > 0 && stream.Size() - at - 4 < int64_t{units} * 2)) return false;
        stream.SetPosition(at);
        Add(ReadAString(stream, INT32_MAX));
      } else {
        // The older form: one length byte and that many bytes in the system code page.
        uint8_t len = 0;
        if (stream.Read(&len, 1) != 1) return false;
        char bytes[255];
        if (stream.Read(bytes, len) != len) return false;
        Add(AnsiToUnicode(std::string_view(bytes, len)));
      }
    }
    return true;
  } catch (const Exception&) {
    return false;
  }
}

}  // namespace kx8
