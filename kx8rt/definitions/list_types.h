// List types of the suite's saved files: their signatures, extensions, owning tools and display names,
// the 57-byte signature header that opens every list file, and the tests that recognise list files.
#pragma once

#include <array>
#include <cstdint>

#include "kx8rt/files/tool_identity.h"
#include "kx8rt/platform/sets.h"
#include "kx8rt/platform/streams.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

// Every kind of list a tool of the suite saves, in the fixed order stored files rely on.
enum TTamrindList : uint8_t {
  lt_word_list,
  lt_keyword_list,
  lt_KW_database_list,
  lt_detailed_consistency_relations_list,
  lt_detailed_consistency_list,
  lt_collocate_list,
  lt_VIDA_timeline_list,
  spare_lt_VIDA_as_word_list,
  spare_lt_associates_as_word_list,
  spare_lt_clumps_as_word_list,
  lt_concordance_list,
  lt_KW_plot_list,
  lt_concordance_plot_list,
  lt_concordance_cluster_list,
  lt_concordance_pattern_list,
  lt_kw_associate_list,
  lt_kw_clump_list,
  lt_filename_list,
  lt_kw_link_list,
  lt_statistics_list,
  lt_conc_timeline_list,
  lt_aligner_list,
  lt_aligner_plaintext_list,
  lt_wordlist_index_list,
  lt_kw_cluster_list,
  lt_none_in_use,
  lt_notes,
  lt_source_text,
  lt_index_relationship_list,
  lt_viewer_list,
  lt_cogrid_list,
  lt_markup_list,
  lt_sections_list,
  lt_letterrun_list,
  lT_letterrun_pattern_list,
  lt_boll,
  lt_boll2,
  lt_boll3,
  ly_boll4,
  lt_boll5,
  lt_bol6,
  lt_bol7,
  lt_sorting
};
inline constexpr int kListTypeCount = 43;

using TTamrindListSet = TSet<TTamrindList, kListTypeCount>;

// What a list file holds.
enum Tfile_Load_data_type : uint8_t { tamrin_only_data, graphic_data, text_data };

// The formats a list can be saved as.
enum TSave_as_format : uint8_t { as_txt, as_xml, as_Excel_spreadsheet, as_RTF, as_default_for_list, as_images };

// The grids the tools show.
enum TGrid_alternatives : uint8_t {
  grid_concordance,
  grid_clusters,
  grid_conc_plot,
  grid_patterns,
  grid_collocates,
  grid_detailed_consist,
  grid_alph_order,
  grid_freq_order,
  grid_statistics,
  grid_filenames,
  grid_conc_timeline,
  grid_keywords,
  grid_KWDbase,
  grid_vida_associates,
  grid_kw_Clusters,
  grid_kw_Clumps,
  grid_kw_plot,
  grid_kw_plot_links,
  grid_viewer_text,
  grid_viewer_aligned,
  grid_cogrid,
  grid_relations,
  grid_detailed_consist_relations,
  grid_breakdowns,
  grid_letterruns,
  grid_letterrun_patterns,
  grid_VIDA_Timeline,
  spare_8,
  spare_9,
  grid_none
};

// Direction of a signature check.
enum TWriteOrRead : uint8_t { writing, reading };

// The signature version each tool writes and expects, indexed by tool_type.
inline constexpr std::array<int32_t, 18> CurrentSignature = {37, 36, 37, 36, 37, 38, 36, 37, 36,
                                                             36, 36, 36, 36, 36, 36, 37, 37, 789};

// The signature text of each list type (8-bit), indexed by ordinal.
extern const std::array<AnsiString, kListTypeCount> list_signature32;
// The names that identified list files of the earlier 16-bit generation (ordinals 24 to 42 empty).
extern const std::array<AnsiString, kListTypeCount> old_list_signature16;

// List types that can be lemmatised, marked, and saved in the suite's own format.
extern const TTamrindListSet LemmatisableListTypes;
extern const TTamrindListSet MarkableListTypes;
extern const TTamrindListSet SaveableListTypes;

// The header that opens every saved list file: 57 bytes on disk, little-endian, no padding.
struct TCheckSignature {
  static constexpr int kDiskSize = 57;
  static constexpr int kMaxTypeChars = 40;
  int32_t signature = 0;    // version number, CurrentSignature[tool] when written now
  int32_t screen_res = 0;   // set by the saving tool
  int32_t save_height = 0;  // set by the saving tool
  int32_t save_width = 0;   // set by the saving tool
  // Length byte and 40 character bytes; bytes past the length are undefined on disk.
  std::array<uint8_t, 1 + kMaxTypeChars> type_of_data{};

  // The type text as the length byte gives it (a length above 40 is read as 40).
  AnsiString TypeOfData() const;
  // Stores s cut to 40 bytes; the unused bytes become zero.
  void SetTypeOfData(const AnsiString& s);
  // The 57 bytes as stored; and the reverse.
  std::array<uint8_t, kDiskSize> ToBytes() const;
  static TCheckSignature FromBytes(const uint8_t* bytes);
};

// A file to examine and what was learnt about it.
struct TKX_MainFile_rec {
  UnicodeString filename;
  bool OldModified = false;
  int32_t Number_within_Zipfile = 0;
  TTamrindList ListType = lt_none_in_use;
  std::array<int32_t, 4> spare{};  // reserved
};

// A file-type filter of the open and save dialogs: its description and its ";"-separated masks.
struct TFileTypesRec {
  UnicodeString display_str;
  UnicodeString mask_str;
};

inline const UnicodeString wordlist_index_file_extensions = u".types.tokens.stats.markup";
inline const UnicodeString cogrid_file_extensions = u".base_pairs.base_index.base_index_cg";

inline const TFileTypesRec TXT_FileTypes{u"Plain text files", u"*.txt"};
inline const TFileTypesRec All_FileTypes{u"All files", u"*.*"};
inline const TFileTypesRec Batch_Filetypes{u"Batch files", u"*.zip"};
inline const TFileTypesRec Aligner_Filetypes{u"Aligner files", u"*.ali;*.vwr;*.txt"};
inline const TFileTypesRec Letterrun_Filetypes{u"Letterrun files", u"*.cgr"};
inline const TFileTypesRec Kwicker_Filetypes{u"Kwicker files", u"*.cnc"};
inline const TFileTypesRec Salience_Filetypes{u"Salience files", u"*.kws;*.kdb"};
inline const TFileTypesRec RTF_Filetypes{u"Rich text files", u"*.rtf"};
inline const TFileTypesRec XML_Filetypes{u"XML files", u"*.xml"};
inline const TFileTypesRec WebText_Filetypes{u"Internet text files", u"*.htm;*.html;*.xml"};
inline const TFileTypesRec Tallier_Filetypes{u"Tallier files", u"*.lst;*.tokens;*.mut"};
inline const TFileTypesRec KXCogrid_Filetypes{u"KXCogrid files", u"*.base_index"};

// ---- list types, tools and extensions ----

// Default extension of a tool's files: ".lst", ".cnc", ".kws", ".cgr", ".base_pairs", ".vwr", ".txt"
// for tools 7 and 8, ".dat" for the others.
UnicodeString DefaultExtFromToolType(tool_type tool);
// Default extension of a list type (with its dot); empty for the types without one.
UnicodeString DefaultExtFromListType(TTamrindList list);
// ext without its leading "." when it is longer than one character and starts with one.
UnicodeString WithoutDotDefaultExt(const UnicodeString& ext);
UnicodeString DotlessDefaultExtFromListType(TTamrindList list);
// Extension for saving list in the given format.
UnicodeString DefaultExtFromSaveASFormat(TSave_as_format format, TTamrindList list);
// The list type an extension (with its dot, any case) stands for; lt_bol7 when none.
TTamrindList ListTypeFromFileExt(const UnicodeString& ext);
// The tool whose files carry name's extension (name itself when it begins with "."); tt_no_tool_at_all
// when none.
tool_type ToolTypeFromFileExt(const UnicodeString& name);
// The tool that owns a list type (current_tool_var for lt_notes and lt_bol7).
tool_type ToolTypeFromListType(TTamrindList list);
// What kind of data a list type's files hold.
Tfile_Load_data_type ListTypeToFileDataType(TTamrindList list);
// The list type a grid shows; lt_none_in_use for grids without one.
TTamrindList ListTypeFromGridAlternatives(TGrid_alternatives grid);
// True only for the word-list index; IsOrIsLikeTallier also for the word list.
bool IsLikeTallier(TTamrindList list);
bool IsOrIsLikeTallier(TTamrindList list);
// The signature text in UTF-16 without a trailing "32".
UnicodeString ListSignature(TTamrindList list);
// The display name from the message catalogue; empty for types without one.
UnicodeString ListTypeAsString(TTamrindList list);
// The suite's list-file extensions joined by ";" (".lst;.kws;...;.base_index_cg").
UnicodeString KXFileExtensions();

// ---- signatures and file recognition ----

// Writing: stamps sig with tool's version and list's signature text and writes its 57 bytes; true when
// all were written. Reading: reads 57 bytes into sig; true when all came and both the version and the
// text are the expected ones. Stream failures give false.
bool DiskSignatureISOKForToolAndList(TCheckSignature& sig, tool_type tool, TTamrindList list, TStream& stream,
                                     TWriteOrRead mode);
// The list type whose signature text sig carries; lt_none_in_use when none (ordinal 42 never).
TTamrindList DiskFileType(const TCheckSignature& sig);
// True when rec.filename is a current list file of tool (rec.ListType tells which list).
bool IsATamrind32BitFileForTool(TKX_MainFile_rec& rec, tool_type tool);
bool IsATamrind32BitFile(TKX_MainFile_rec& rec);
// The first tool whose current list file rec.filename is; tt_no_tool_at_all when none.
tool_type WhichToolsTamrind32BitFile(TKX_MainFile_rec& rec);
// True when rec.filename is a list file of an earlier 32-bit version (rec.ListType is set also for a
// current one).
bool WasATamrind32BitFile(TKX_MainFile_rec& rec);
// True when rec.filename is a list file of the 16-bit generation.
bool IsAnOldTamrindFile(TKX_MainFile_rec& rec);
// True when rec.filename is a zip archive whose comment marks a batch of saved lists; rec.ListType
// then names the list type.
bool IsABatchZipFileForListType(TKX_MainFile_rec& rec);

// The comment that marks a batch archive, followed by the list type's default extension.
inline const UnicodeString kBatchZipComment = u"Tamrin Batch file ";

// The extensions of a word-list index family, in backup and deletion order.
extern const std::array<UnicodeString, 7> index_file_extensions;
// Copies each existing file of name's index family to its extension + "_bak"; failures are silent.
void TryToBackupIndexFiles(const UnicodeString& name);
// Deletes each existing file of name's index family; failures are silent.
void TryToDeleteIndexFiles(const UnicodeString& name);

}  // namespace kx8
