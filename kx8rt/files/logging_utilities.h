// The plain-text diagnostic log: UTF-16 LE files, each text tagged with the running tool. Logging is
// off until a tool switches it on; a failing write switches it off again without a word.
#pragma once

#include <vector>

#include "kx8rt/files/tool_identity.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

// Logging on or off; every routine that logs tests it first.
inline bool global_keeping_log = false;

// True while the writer has a log file open. A text that arrives meanwhile (a re-entering call)
// waits in the pending list and goes out with the next write.
inline bool global_log_writing = false;

// Sets the log file's name; empty means no log.
void SetLogFilename(const UnicodeString& name);
// The log file's name.
UnicodeString GetLogFilename();

// The texts waiting for the next write, oldest first.
const std::vector<UnicodeString>& PendingLogTexts();

// The tag written before each text for a tool: "(T): " for the word lister, "(??)" for no tool.
UnicodeString LogToolTag(tool_type tool);

// Appends the running tool's tag and s (then CR LF when addLineBreak) to the log file.
void AddToLogFile(const UnicodeString& s, bool addLineBreak);
void AddToLogFile(const UnicodeString& s);
// The same writer on another file: the tag, s and CR LF (only while logging is on).
void AddToDetailLogFile(const UnicodeString& fname, const UnicodeString& s);

// Logs ten asterisks, then "Compilation <compilation>. " (when given, without a line break), then
// "LOG STARTED at <now>"; three separate writes, each tagged.
void StartNewLogSection(const UnicodeString& compilation);
void StartNewLogSection();

// Deletes the named file when the name is not empty and the file exists; the one-argument-less form
// deletes the log file.
void ClearLogFile(const UnicodeString& name);
void ClearLogFile();

// Writes the texts still pending as one text with a line break and empties the list; runs at unload.
void FlushPendingLogTexts();

}  // namespace kx8
