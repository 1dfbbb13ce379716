#include "kx8rt/files/tool_identity.h"

#include <unistd.h>

#include <string>
#include <vector>

#include "kx8rt/platform/format.h"

namespace kx8 {

UnicodeString Tool_Name(tool_type tool) {
  switch (tool) {
    case tt_tallier: return u"Tallier";
    case tt_kwicker: return u"Kwicker";
    case tt_salience: return u"Salience";
    case tt_Letterrun: return u"Letterrun";
    case tt_KXcogrid: return u"KXCogrid";
    case tt_twin_pane: return u"Twin Pane";
    // The reserved slot gets a real name so that its executable name is never empty: an empty name
    // would let SetCurrentTool take a nameless executable for the spare tool instead of no tool.
    case tt_spare_tool: return u"Spare Tool";
    case tt_near_pairs: return u"Near Pairs";
    case tt_file_kit: return u"File Kit";
    case tt_glyph_profiler: return u"Glyph Profiler";
    case tt_locale_picker: return u"Locale Picker";
    // Not a catalogue message: executable names are built from these names, so they must never be
    // translated.
    case tt_call_tool: return Format(u"KX%d General API DLL", {KX_major_version});
    case tt_page_viewer: return u"Page Viewer";
    case tt_corpus_auditor: return u"Corpus Auditor";
    case tt_update_probe: return u"Tamrind update probe";
    case tt_text_recoder: return u"Text Recoder";
    case tt_hub: return u"Tamrind";
    default: return UnicodeString();
  }
}

UnicodeString GetShortToolFilename(tool_type tool) {
  UnicodeString name = Tool_Name(tool);
  if (name.empty()) return name;
  for (char16_t& c : name)
    if (c == u' ') c = u'_';
  name += IntToStr(KX_major_version);
  name += tool == tt_call_tool ? u".dll" : u".exe";
  return name;
}

UnicodeString RunningExecutablePath() {
  std::vector<char> buf(4096);
  for (;;) {
    const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return UnicodeString();
    if (static_cast<size_t>(n) < buf.size()) return Utf8ToUtf16(std::string_view(buf.data(), static_cast<size_t>(n)));
    buf.resize(buf.size() * 2);  // the path may have been cut short
  }
}

namespace {

// Splits a path at its last "/": the folder with its trailing delimiter, and the file name.
void SplitPath(const UnicodeString& path, UnicodeString& folder, UnicodeString& file) {
  const size_t slash = path.rfind(u'/');
  if (slash == UnicodeString::npos) {
    folder.clear();
    file = path;
  } else {
    folder = path.substr(0, slash + 1);
    file = path.substr(slash + 1);
  }
}

}  // namespace

UnicodeString GetFullToolFilename(tool_type tool) {
  UnicodeString folder, file;
  SplitPath(RunningExecutablePath(), folder, file);
  return folder + GetShortToolFilename(tool);
}

tool_type ToolFromExecutableName(const UnicodeString& fileName) {
  for (int t = tt_tallier; t <= tt_no_tool_at_all; ++t) {
    const auto tool = static_cast<tool_type>(t);
    if (SameText(GetShortToolFilename(tool), fileName)) return tool;
  }
  return tt_no_tool_at_all;
}

void SetCurrentTool() {
  UnicodeString folder, file;
  SplitPath(RunningExecutablePath(), folder, file);
  current_tool_var = ToolFromExecutableName(file);
}

}  // namespace kx8
