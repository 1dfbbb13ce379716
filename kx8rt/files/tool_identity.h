// Tool identity: the suite's tools, their display and executable names, and the running tool.
#pragma once

#include <cstdint>

#include "kx8rt/platform/strings.h"

namespace kx8 {

// The suite's major version, part of every executable name (Kwicker8.exe).
inline constexpr int32_t KX_major_version = 8;

// Every program of the suite, in the fixed order that stored files rely on.
enum tool_type : uint8_t {
  tt_tallier,
  tt_kwicker,
  tt_salience,
  tt_Letterrun,
  tt_KXcogrid,
  tt_twin_pane,
  tt_spare_tool,
  tt_near_pairs,
  tt_file_kit,
  tt_glyph_profiler,
  tt_locale_picker,
  tt_call_tool,
  tt_page_viewer,
  tt_corpus_auditor,
  tt_update_probe,
  tt_text_recoder,
  tt_hub,
  tt_no_tool_at_all
};

// The running tool; set once at start-up by SetCurrentTool.
inline tool_type current_tool_var = tt_no_tool_at_all;

// Display name of a tool; empty for tt_no_tool_at_all and any ordinal beyond it.
UnicodeString Tool_Name(tool_type tool);

// Executable file name: the display name with blanks as "_", then "8" and ".exe" (".dll" for the
// call tool); empty when the display name is empty.
UnicodeString GetShortToolFilename(tool_type tool);

// The running executable's folder with a trailing "/" followed by GetShortToolFilename(tool).
UnicodeString GetFullToolFilename(tool_type tool);

// The first tool, in ordinal order, whose executable name equals fileName ignoring case;
// tt_no_tool_at_all when none does.
tool_type ToolFromExecutableName(const UnicodeString& fileName);

// Full path of the running executable (empty when the platform cannot say).
UnicodeString RunningExecutablePath();

// Sets current_tool_var from the running executable's file name.
void SetCurrentTool();

}  // namespace kx8
