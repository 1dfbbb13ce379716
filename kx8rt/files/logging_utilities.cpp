#include "kx8rt/files/logging_utilities.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>

#include "kx8rt/platform/datetime.h"
#include "kx8rt/platform/format.h"
#include "kx8rt/platform/message_box.h"

namespace kx8 {

namespace {

constexpr char16_t kCRLF[] = u"\r\n";

struct TLogState {
  UnicodeString fileName;
  std::vector<UnicodeString> pending;
};

// A function-local static, so that every unit whose unload code logs can make sure (by touching it
// first) that the state outlives that code.
TLogState& LogState() {
  static TLogState state;
  return state;
}

// Writes the whole buffer, retrying after interruptions and partial writes.
bool WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Opens f for appending; a new file is made with the UTF-16 LE signature. -1 on failure.
int OpenForAppending(const std::string& path, bool& created) {
  created = false;
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd >= 0) {
    created = true;
    return fd;
  }
  if (errno != EEXIST) return -1;
  return ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
}

bool AppendLogOutput(const UnicodeString& fileName, const UnicodeString& output) {
  bool created = false;
  const int fd = OpenForAppending(Utf16ToUtf8(fileName), created);
  if (fd < 0) return false;
  std::vector<uint8_t> bytes;
  bytes.reserve(output.size() * 2 + 2);
  if (created) {
    bytes.push_back(0xFF);
    bytes.push_back(0xFE);
  }
  for (char16_t c : output) {
    bytes.push_back(static_cast<uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  const bool written = WriteAll(fd, bytes.data(), bytes.size());
  const bool closed = ::close(fd) == 0;
  return written && closed;
}

// The writer shared by the log and the detail logs.
void WriteToLog(const UnicodeString& fileName, const UnicodeString& text) {
  if (!global_keeping_log || fileName.empty()) return;
  TLogState& state = LogState();
  if (global_log_writing) {
    state.pending.push_back(text);
    return;
  }
  global_log_writing = true;
  try {
    UnicodeString output;
    if (!state.pending.empty()) {
      for (const UnicodeString& p : state.pending) {
        output += p;
        output += kCRLF;
      }
      output += kCRLF;
      state.pending.clear();
    }
    output += LogToolTag(current_tool_var);
    output += text;
    if (!AppendLogOutput(fileName, output)) global_keeping_log = false;
  } catch (...) {
    // Logging must never disturb the caller: any failure just ends logging for this run.
    global_keeping_log = false;
  }
  global_log_writing = false;
}

void LogMessageBoxQuestion(const UnicodeString& line) { AddToLogFile(line); }

// Start-up and unload of the unit: lets unanswered message boxes reach the log, and at unload sends
// out what is still pending.
struct TLogUnload {
  TLogUnload() {
    LogState();
    Global_MessageBoxLogProc = &LogMessageBoxQuestion;
  }
  ~TLogUnload() {
    Global_MessageBoxLogProc = nullptr;
    FlushPendingLogTexts();
  }
};
TLogUnload logUnload;

}  // namespace

void SetLogFilename(const UnicodeString& name) { LogState().fileName = name; }

UnicodeString GetLogFilename() { return LogState().fileName; }

const std::vector<UnicodeString>& PendingLogTexts() { return LogState().pending; }

UnicodeString LogToolTag(tool_type tool) {
  switch (tool) {
    case tt_tallier: return u"(T): ";
    case tt_kwicker: return u"(KW): ";
    case tt_salience: return u"(S): ";
    case tt_Letterrun: return u"(LRN): ";
    case tt_KXcogrid: return u"(GRD): ";
    case tt_twin_pane: return u"(TP): ";
    case tt_spare_tool: return u"(SP): ";  // the reserved slot gets a tag of its own, like any tool
    case tt_near_pairs: return u"(NP): ";
    case tt_file_kit: return u"(FK): ";
    case tt_glyph_profiler: return u"(GP): ";
    case tt_locale_picker: return u"(LP): ";
    case tt_call_tool: return u"(CT): ";
    case tt_page_viewer: return u"(PV): ";
    case tt_corpus_auditor: return u"(AUD): ";
    case tt_text_recoder: return u"(TR): ";
    case tt_hub: return u"(KX" + IntToStr(KX_major_version) + u"): ";
    default: return u"(?\?)";  // tt_update_probe, tt_no_tool_at_all and anything beyond
  }
}

void AddToLogFile(const UnicodeString& s, bool addLineBreak) {
  if (!global_keeping_log) return;
  WriteToLog(LogState().fileName, addLineBreak ? s + kCRLF : s);
}

void AddToLogFile(const UnicodeString& s) { AddToLogFile(s, true); }

void AddToDetailLogFile(const UnicodeString& fname, const UnicodeString& s) {
  if (!global_keeping_log) return;
  WriteToLog(fname, s + kCRLF);
}

void StartNewLogSection(const UnicodeString& compilation) {
  AddToLogFile(u"**********", true);
  if (!compilation.empty()) AddToLogFile(Format(u"Compilation %s. ", {compilation}), false);
  AddToLogFile(Format(u"LOG STARTED at %s", {DateTimeToStr(Now())}), true);
}

void StartNewLogSection() { StartNewLogSection(UnicodeString()); }

void ClearLogFile(const UnicodeString& name) {
  if (name.empty()) return;
  std::error_code ec;
  const std::filesystem::path path(Utf16ToUtf8(name));
  // Only files: a folder of that name is left alone.
  if (std::filesystem::is_regular_file(path, ec)) std::filesystem::remove(path, ec);
}

void ClearLogFile() { ClearLogFile(LogState().fileName); }

void FlushPendingLogTexts() {
  TLogState& state = LogState();
  if (state.pending.empty()) return;
  // The waiting texts go out once, joined into one text; leaving them in the list as well would
  // make the writer put them out twice.
  UnicodeString joined;
  for (size_t i = 0; i < state.pending.size(); ++i) {
    if (i > 0) joined += kCRLF;
    joined += state.pending[i];
  }
  state.pending.clear();
  AddToLogFile(joined, true);
}

}  // namespace kx8
