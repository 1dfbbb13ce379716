#include "kx8rt/definitions/list_types.h"
#include "kx8rt/platform/little_endian.h"

#include <cstring>

#include "kx8rt/files/logging_utilities.h"  // the log sits with the file routines; only this source needs it
#include "kx8rt/platform/file_system.h"
#include "kx8rt/platform/format.h"
#include "kx8rt/platform/messages.h"
#include "kx8rt/platform/zip.h"

namespace kx8 {

namespace {

constexpr int kCurrentTool = -1;  // the Tool column's "current": current_tool_var

// How a display name is built: nothing, the word alone, the word in "%s list", or in "%s Timeline List".
enum NameForm : uint8_t { nf_none, nf_alone, nf_list, nf_timeline };

struct ListTypeRow {
  const char16_t* ext;
  int tool;
  Tfile_Load_data_type kind;
  NameForm form;
  const TKXMessage* word;
};

const ListTypeRow kRows[kListTypeCount] = {
    {u".lst", 0, tamrin_only_data, nf_list, &KXListWordWord},
    {u".kws", 2, tamrin_only_data, nf_list, &KXListWordKeyWord},
    {u".kdb", 2, tamrin_only_data, nf_alone, &KXListWordSalienceDatabase},
    {u".lst", 0, tamrin_only_data, nf_list, &KXListWordDetailedConsistencyRelations},
    {u".lst", 0, tamrin_only_data, nf_list, &KXListWordDetailedConsistency},
    {u".col", 1, tamrin_only_data, nf_list, &KXListWordCollocate},
    {u".kdb_tl", 2, tamrin_only_data, nf_timeline, nullptr},
    {u"", 16, tamrin_only_data, nf_none, nullptr},
    {u"", 16, tamrin_only_data, nf_none, nullptr},
    {u"", 16, tamrin_only_data, nf_none, nullptr},
    {u".cnc", 1, tamrin_only_data, nf_list, &KXListWordConcordance},
    {u".kpl", 2, graphic_data, nf_list, &KXListWordSaliencePlot},
    {u".cpl", 1, graphic_data, nf_list, &KXListWordConcordancePlot},
    {u".ccl", 1, tamrin_only_data, nf_list, &KXListWordConcordanceCluster},
    {u".cpt", 1, tamrin_only_data, nf_list, &KXListWordConcordancePattern},
    {u".ass", 2, tamrin_only_data, nf_list, &KXListWordAssociate},
    {u".clp", 2, tamrin_only_data, nf_list, &KXListWordClump},
    {u".fil", 16, text_data, nf_list, &KXListWordFilename},
    {u".klk", 2, tamrin_only_data, nf_list, &KXListWordLink},
    {u".lst", 0, tamrin_only_data, nf_list, &KXListWordStatistics},
    {u".tml", 1, tamrin_only_data, nf_timeline, nullptr},
    {u".ali", 5, tamrin_only_data, nf_list, &KXListWordAligner},
    {u".txt", 5, text_data, nf_list, &KXListWordText},
    {u".tokens", 0, tamrin_only_data, nf_list, &KXListWordWordlistIndex},
    {u"", 2, tamrin_only_data, nf_list, &KXListWordSalienceCluster},
    {u"", 16, tamrin_only_data, nf_none, nullptr},
    {u"", kCurrentTool, text_data, nf_alone, &KXListWordNotes},
    {u"", 16, text_data, nf_alone, &KXListWordSourceText},
    {u".mut", 0, tamrin_only_data, nf_list, &KXListWordRelationships},
    {u".vwr", 5, tamrin_only_data, nf_list, &KXListWordViewer},
    {u".base_pairs", 4, tamrin_only_data, nf_list, &KXListWordKXCogrid},
    {u"", 16, tamrin_only_data, nf_list, &KXListWordMarkup},
    {u"", 16, tamrin_only_data, nf_list, &KXListWordSection},
    {u".cgr", 3, tamrin_only_data, nf_list, &KXListWordLetterrun},
    {u"", 3, tamrin_only_data, nf_list, &KXListWordLetterrunPattern},
    {u"", 16, tamrin_only_data, nf_none, nullptr},
    {u"", 16, tamrin_only_data, nf_none, nullptr},
    {u"", 16, tamrin_only_data, nf_none, nullptr},
    {u"", 16, tamrin_only_data, nf_none, nullptr},
    {u"", 16, tamrin_only_data, nf_none, nullptr},
    {u"", 16, tamrin_only_data, nf_none, nullptr},
    {u"", kCurrentTool, tamrin_only_data, nf_none, nullptr},
    {u"", 16, tamrin_only_data, nf_alone, &KXListWordSort},
};

bool ValidList(TTamrindList list) { return static_cast<int>(list) < kListTypeCount; }

// Signed 32-bit fields through the library's little-endian codec.
void PutI32(uint8_t* p, int32_t v) { PutLE32(p, static_cast<uint32_t>(v)); }
int32_t GetI32(const uint8_t* p) { return static_cast<int32_t>(GetLE32(p)); }

// Reads the first count bytes of a file opened read-only with sharing allowed, when it holds at least
// minSize bytes; every failure answers false.
bool ReadFileHead(const UnicodeString& name, uint8_t* out, int32_t count, int64_t minSize) {
  try {
    if (name.empty() || !FileExists(name)) return false;
    TFileStream fs(name, fmOpenRead | fmShareDenyNone);
    if (fs.Size() < minSize) return false;
    return fs.Read(out, count) == count;
  } catch (const std::exception&) {
    return false;
  }
}

bool ReadHeader(const TKX_MainFile_rec& rec, TCheckSignature& sig) {
  uint8_t bytes[TCheckSignature::kDiskSize];
  if (!ReadFileHead(rec.filename, bytes, TCheckSignature::kDiskSize, TCheckSignature::kDiskSize + 1)) return false;
  sig = TCheckSignature::FromBytes(bytes);
  return true;
}

}  // namespace

const std::array<AnsiString, kListTypeCount> list_signature32 = {
    "Word List32",
    "Key Word List32",
    "Salience Database32",
    "Detailed Consistency Relations List32",
    "Detailed Consistency List32",
    "Collocate List32",
    "VIDA TimelineList32",
    "K32",
    "A32",
    "C32",
    "Concordance32",
    "Salience Plot32",
    "Concordance Plot32",
    "Concordance Cluster List32",
    "Concordance Pattern List32",
    "Associate List32",
    "Clump List32",
    "Filename List32",
    "Link List32",
    "Statistics List32",
    "Timeline List32",
    "Aligner List32",
    " Text List32",
    "Wordlist Index List32",
    "Salience ClusterList32",
    "",
    "Notes",
    "source text",
    "Mutual Information List32",
    "Viewer List32",
    "KXCogrid List32",
    "Markup List32",
    "Section List32",
    "Letterrun List32",
    "Letterrun Pattern List32",
    "lt_boll",
    "lt_boll2",
    "lt_boll3",
    "ly_boll4",
    "lt_boll5",
    "lt_bol6",
    "lt_bol7",
    "lt_bol8",
};

const std::array<AnsiString, kListTypeCount> old_list_signature16 = {
    "Word Lister", "Key Word List", "Salience Database (v. 2)", "Simple Consistency List",
    "Detailed Consistency List", "Collocate List", "Salience as Tallier", "KWDBase as Tallier",
    "Associates as Tallier", "Clumps as Tallier", "Concordancer", "Salience Plot", "Concordance Plot",
    "Concordance Cluster List", "Concordance Pattern List", "Associate List", "Clump List", "Filename List",
    "Link List", "Statistics List", "Ratio Stats List", "Aligner List", " Text List", "Wordlist Index List",
};

const TTamrindListSet LemmatisableListTypes = {
    lt_word_list, lt_keyword_list, lt_detailed_consistency_list, lt_collocate_list, lt_VIDA_timeline_list,
    lt_KW_plot_list, lt_concordance_plot_list, lt_concordance_cluster_list, lt_kw_associate_list,
    lt_kw_clump_list, lt_conc_timeline_list, lt_wordlist_index_list, lt_kw_cluster_list, lt_letterrun_list,
    lT_letterrun_pattern_list};
const TTamrindListSet MarkableListTypes = LemmatisableListTypes;
const TTamrindListSet SaveableListTypes = {
    lt_word_list, lt_keyword_list, lt_KW_database_list, lt_detailed_consistency_list, lt_VIDA_timeline_list,
    lt_concordance_list, lt_statistics_list, lt_aligner_list, lt_aligner_plaintext_list,
    lt_wordlist_index_list, lt_index_relationship_list, lt_viewer_list, lt_cogrid_list, lt_letterrun_list,
    lT_letterrun_pattern_list};

const std::array<UnicodeString, 7> index_file_extensions = {u".markup",     u".types",      u".tokens",
                                                            u".base_pairs", u".base_index", u".base_index_cg",
                                                            u".stats"};

// ---- TCheckSignature ----

AnsiString TCheckSignature::TypeOfData() const {
  const size_t n = type_of_data[0] > kMaxTypeChars ? kMaxTypeChars : type_of_data[0];
  return AnsiString(reinterpret_cast<const char*>(type_of_data.data() + 1), n);
}

void TCheckSignature::SetTypeOfData(const AnsiString& s) {
  type_of_data.fill(0);
  const size_t n = s.size() > static_cast<size_t>(kMaxTypeChars) ? kMaxTypeChars : s.size();
  type_of_data[0] = static_cast<uint8_t>(n);
  std::memcpy(type_of_data.data() + 1, s.data(), n);
}

std::array<uint8_t, TCheckSignature::kDiskSize> TCheckSignature::ToBytes() const {
  std::array<uint8_t, kDiskSize> b{};
  PutI32(&b[0], signature);
  PutI32(&b[4], screen_res);
  PutI32(&b[8], save_height);
  PutI32(&b[12], save_width);
  std::memcpy(&b[16], type_of_data.data(), type_of_data.size());
  return b;
}

TCheckSignature TCheckSignature::FromBytes(const uint8_t* bytes) {
  TCheckSignature s;
  s.signature = GetI32(bytes);
  s.screen_res = GetI32(bytes + 4);
  s.save_height = GetI32(bytes + 8);
  s.save_width = GetI32(bytes + 12);
  std::memcpy(s.type_of_data.data(), bytes + 16, s.type_of_data.size());
  return s;
}

// ---- list types, tools and extensions ----

UnicodeString DefaultExtFromToolType(tool_type tool) {
  switch (static_cast<int>(tool)) {
    case 0: return u".lst";
    case 1: return u".cnc";
    case 2: return u".kws";
    case 3: return u".cgr";
    case 4: return u".base_pairs";
    case 5: return u".vwr";
    case 7:
    case 8: return u".txt";
    default: return u".dat";
  }
}

UnicodeString DefaultExtFromListType(TTamrindList list) {
  return ValidList(list) ? UnicodeString(kRows[list].ext) : UnicodeString();
}

UnicodeString WithoutDotDefaultExt(const UnicodeString& ext) {
  if (ext.size() > 1 && ext[0] == u'.') return ext.substr(1);
  return ext;
}

UnicodeString DotlessDefaultExtFromListType(TTamrindList list) {
  return WithoutDotDefaultExt(DefaultExtFromListType(list));
}

UnicodeString DefaultExtFromSaveASFormat(TSave_as_format format, TTamrindList list) {
  switch (format) {
    case as_txt: return u".txt";
    case as_xml: return u".xml";
    case as_Excel_spreadsheet: return u".xlsx";
    case as_RTF: return u".rtf";
    case as_default_for_list: return DefaultExtFromListType(list);
    case as_images: return u".bmp";
  }
  return UnicodeString();
}

TTamrindList ListTypeFromFileExt(const UnicodeString& ext) {
  const UnicodeString e = LowerCase(ext);
  if (e == u".dcl") return lt_detailed_consistency_list;
  if (e == u".srt") return lt_aligner_plaintext_list;
  if (e == u".mut") return lt_index_relationship_list;
  if (e == u".lst") return lt_word_list;
  // Containment, not equality: a fragment such as ".tok" names the index family too.
  if (wordlist_index_file_extensions.find(e) != UnicodeString::npos) return lt_wordlist_index_list;
  if (cogrid_file_extensions.find(e) != UnicodeString::npos) return lt_cogrid_list;
  if (e == u".cnc") return lt_concordance_list;
  if (e == u".cgr") return lt_letterrun_list;
  if (e == u".kws") return lt_keyword_list;
  if (e == u".kdb") return lt_KW_database_list;
  if (e == u".vwr") return lt_viewer_list;
  if (e == u".txt") return lt_aligner_plaintext_list;
  if (e == u".ali") return lt_aligner_list;
  return lt_bol7;
}

tool_type ToolTypeFromFileExt(const UnicodeString& name) {
  const UnicodeString e = (!name.empty() && name[0] == u'.') ? name : LowerCase(ExtractFileExt(name));
  if (e == u".cnc") return tt_kwicker;
  if (e == u".base_pairs" || e == u".base_index_cg") return tt_KXcogrid;
  if (e == u".kws" || e == u".kdb") return tt_salience;
  if (e == u".lst" || e == u".tokens" || e == u".types" || e == u".dcl" || e == u".mut") return tt_tallier;
  if (e == u".ali" || e == u".txt" || e == u".vwr") return tt_twin_pane;
  if (e == u".cgr") return tt_Letterrun;
  return tt_no_tool_at_all;
}

tool_type ToolTypeFromListType(TTamrindList list) {
  if (!ValidList(list)) return tt_no_tool_at_all;
  const int t = kRows[list].tool;
  return t == kCurrentTool ? current_tool_var : static_cast<tool_type>(t);
}

Tfile_Load_data_type ListTypeToFileDataType(TTamrindList list) {
  return ValidList(list) ? kRows[list].kind : tamrin_only_data;
}

TTamrindList ListTypeFromGridAlternatives(TGrid_alternatives grid) {
  switch (grid) {
    case grid_concordance: return lt_concordance_list;
    case grid_clusters: return lt_concordance_cluster_list;
    case grid_conc_plot: return lt_concordance_plot_list;
    case grid_patterns: return lt_concordance_pattern_list;
    case grid_collocates: return lt_collocate_list;
    case grid_detailed_consist:
    case grid_alph_order:
    case grid_freq_order:
    case grid_detailed_consist_relations: return lt_word_list;
    case grid_statistics: return lt_statistics_list;
    case grid_filenames: return lt_filename_list;
    case grid_conc_timeline: return lt_conc_timeline_list;
    case grid_keywords: return lt_keyword_list;
    case grid_KWDbase: return lt_KW_database_list;
    case grid_vida_associates: return lt_kw_associate_list;
    case grid_kw_Clumps: return lt_kw_clump_list;
    case grid_kw_plot: return lt_KW_plot_list;
    case grid_kw_plot_links: return lt_kw_link_list;
    case grid_viewer_text: return lt_viewer_list;
    case grid_viewer_aligned: return lt_aligner_list;
    case grid_relations: return lt_index_relationship_list;
    case grid_letterruns: return lt_letterrun_list;
    case grid_letterrun_patterns: return lT_letterrun_pattern_list;
    case grid_VIDA_Timeline: return lt_VIDA_timeline_list;
    default: return lt_none_in_use;
  }
}

bool IsLikeTallier(TTamrindList list) { return list == lt_wordlist_index_list; }

bool IsOrIsLikeTallier(TTamrindList list) { return list == lt_word_list || list == lt_wordlist_index_list; }

UnicodeString ListSignature(TTamrindList list) {
  if (!ValidList(list)) return UnicodeString();
  UnicodeString s = Latin1ToUtf16(list_signature32[list]);
  if (s.size() >= 2 && s.compare(s.size() - 2, 2, u"32") == 0) s.resize(s.size() - 2);
  return s;
}

UnicodeString ListTypeAsString(TTamrindList list) {
  if (!ValidList(list)) return UnicodeString();
  const ListTypeRow& r = kRows[list];
  switch (r.form) {
    case nf_none: return UnicodeString();
    case nf_alone: return LoadMessage(*r.word);
    case nf_list: return Format(KXXList, {LoadMessage(*r.word)});
    case nf_timeline:
      return Format(KXXTimelineList, {LoadMessage(ToolTypeFromListType(list) == tt_salience ? KXListWordVIDA
                                                                                          : KXListWordConcordance)});
  }
  return UnicodeString();
}

UnicodeString KXFileExtensions() {
  UnicodeString result;
  for (int i = 0; i < kListTypeCount; ++i) {
    if (i == 5 || i == 6 || (i >= 11 && i <= 18) || i == 20 || i == 22 || i == 24) continue;
    const UnicodeString ext = DefaultExtFromListType(static_cast<TTamrindList>(i));
    if (ext.size() >= 2 && result.find(ext) == UnicodeString::npos) result += ext + u";";
  }
  return result + u".types" + u";" + u".base_index_cg";
}

// ---- signatures and file recognition ----

bool DiskSignatureISOKForToolAndList(TCheckSignature& sig, tool_type tool, TTamrindList list, TStream& stream,
                                     TWriteOrRead mode) {
  if (static_cast<size_t>(tool) >= CurrentSignature.size() || !ValidList(list)) return false;
  try {
    if (mode == writing) {
      sig.signature = CurrentSignature[tool];
      sig.SetTypeOfData(list_signature32[list]);
      const auto bytes = sig.ToBytes();
      return stream.Write(bytes.data(), TCheckSignature::kDiskSize) == TCheckSignature::kDiskSize;
    }
    uint8_t bytes[TCheckSignature::kDiskSize];
    const int32_t got = stream.Read(bytes, TCheckSignature::kDiskSize);
    if (got != TCheckSignature::kDiskSize) return false;
    sig = TCheckSignature::FromBytes(bytes);
    return sig.signature == CurrentSignature[tool] && sig.TypeOfData() == list_signature32[list];
  } catch (const std::exception&) {
    return false;
  }
}

TTamrindList DiskFileType(const TCheckSignature& sig) {
  const AnsiString t = sig.TypeOfData();
  for (int i = 0; i < kListTypeCount - 1; ++i)
    if (list_signature32[i] == t) return static_cast<TTamrindList>(i);
  if (t == "Salience Database (v. 2)32") return lt_KW_database_list;
  return lt_none_in_use;
}

bool IsATamrind32BitFileForTool(TKX_MainFile_rec& rec, tool_type tool) {
  rec.ListType = lt_none_in_use;
  if (static_cast<size_t>(tool) >= CurrentSignature.size()) return false;
  TCheckSignature sig;
  if (!ReadHeader(rec, sig) || sig.signature != CurrentSignature[tool]) return false;
  rec.ListType = DiskFileType(sig);
  return rec.ListType < lt_sorting;
}

bool IsATamrind32BitFile(TKX_MainFile_rec& rec) { return IsATamrind32BitFileForTool(rec, current_tool_var); }

tool_type WhichToolsTamrind32BitFile(TKX_MainFile_rec& rec) {
  rec.ListType = lt_none_in_use;
  TCheckSignature sig;
  if (!ReadHeader(rec, sig)) return tt_no_tool_at_all;
  for (int t = 0; t <= 16; ++t) {
    if (CurrentSignature[t] != sig.signature) continue;
    const TTamrindList l = DiskFileType(sig);
    if (l < lt_sorting) {
      rec.ListType = l;
      return static_cast<tool_type>(t);
    }
  }
  return tt_no_tool_at_all;
}

bool WasATamrind32BitFile(TKX_MainFile_rec& rec) {
  rec.ListType = lt_none_in_use;
  TCheckSignature sig;
  if (!ReadHeader(rec, sig)) return false;
  const int32_t current = CurrentSignature[static_cast<size_t>(current_tool_var) < CurrentSignature.size()
                                               ? current_tool_var
                                               : tt_no_tool_at_all];
  if (sig.signature >= 35 && sig.signature < current) {
    rec.ListType = DiskFileType(sig);
    return rec.ListType < lt_sorting;
  }
  if (sig.signature >= 35 && sig.signature == current) rec.ListType = DiskFileType(sig);
  return false;
}

bool IsAnOldTamrindFile(TKX_MainFile_rec& rec) {
  rec.ListType = lt_none_in_use;
  uint8_t b[41];
  if (!ReadFileHead(rec.filename, b, 41, 42)) return false;
  size_t start = b[1] == 0 ? 2 : 1;
  size_t end = start;
  while (end < sizeof b && b[end] != 0) ++end;
  AnsiString name(reinterpret_cast<const char*>(b + start), end - start);
  if (name.size() > b[0]) name.resize(b[0]);
  for (int i = 0; i < kListTypeCount; ++i) {
    if (!old_list_signature16[i].empty() && old_list_signature16[i] == name) {
      rec.ListType = static_cast<TTamrindList>(i);
      return true;
    }
  }
  return false;
}

bool IsABatchZipFileForListType(TKX_MainFile_rec& rec) {
  rec.Number_within_Zipfile = 0;
  rec.ListType = lt_none_in_use;
  UnicodeString comment;
  try {
    if (!FileExists(rec.filename)) return false;
    TZipArchive zip;
    zip.Open(rec.filename);
    comment = zip.Comment();
  } catch (const std::exception&) {
    return false;
  }
  const size_t n = kBatchZipComment.size();
  if (comment.size() <= n || comment.compare(0, n, kBatchZipComment) != 0) return false;
  const UnicodeString rest = comment.substr(n);
  for (int i = 0; i < kListTypeCount; ++i) {
    if (DefaultExtFromListType(static_cast<TTamrindList>(i)) == rest) {
      rec.ListType = static_cast<TTamrindList>(i);
      return true;
    }
  }
  return false;
}

// Drives are always present on this platform, so only the file's existence is tested.
void TryToBackupIndexFiles(const UnicodeString& name) {
  if (global_keeping_log) AddToLogFile(Format(u"Trying to backup index files for %s", {name}));
  for (const UnicodeString& ext : index_file_extensions) {
    const UnicodeString from = ChangeFileExt(name, ext);
    if (!FileExists(from)) continue;
    const UnicodeString to = ChangeFileExt(name, ext + u"_bak");
    if (global_keeping_log) AddToLogFile(Format(u"Trying to copy %s to %s", {from, to}));
    CopyFile(from, to, false);
  }
}

void TryToDeleteIndexFiles(const UnicodeString& name) {
  for (const UnicodeString& ext : index_file_extensions) {
    const UnicodeString f = ChangeFileExt(name, ext);
    if (!FileExists(f)) continue;
    if (global_keeping_log) AddToLogFile(Format(u"Trying to delete %s", {f}));
    DeleteFile(f);
  }
}

}  // namespace kx8
