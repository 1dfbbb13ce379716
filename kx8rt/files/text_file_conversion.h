// Converting a text file to UTF-16 LE with signature without ever putting its bytes at risk: files
// that are no text are refused, the original is kept under a backup name that no earlier backup
// holds, and the new text replaces the original in one rename, so that the file's name always holds
// either the whole original or the whole new text.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <vector>

#include "kx8rt/files/file_utils.h"
#include "kx8rt/platform/streams.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

// Why the bytes of a stream are no text that a conversion may rewrite; empty when they are text. Read
// whole: a known binary signature (executables, images, compressed and packed files, documents), a
// NUL byte outside a UTF-16 layout, a NUL character in UTF-16, UTF-16 of an odd length, or UTF-16
// big-endian without its signature (which the reader would take for little-endian). The stream is
// left at its start; a stream that fails to read raises EReadError.
UnicodeString NotTextReason(TStream& in);

// The backup names tried for fname, in order: "a.txt.bak", then "a.txt.2.bak", "a.txt.3.bak", ... (the
// whole name is kept so that a.txt and a.htm never share one). n counts from 1.
UnicodeString NumberedBackupFileNameOf(const UnicodeString& fname, int32_t n);

// What became of one conversion.
enum TConvertOutcome : uint8_t {
  co_converted,   // the name now holds the new text; the original is under BackupName
  co_already,     // already UTF-16 LE with signature: converting would give the same bytes; nothing done
  co_not_text,    // refused: no text (Reason says why); nothing changed
  co_in_use,      // refused: another conversion of the same file is running; nothing changed
  co_unreadable,  // the file could not be read (Reason has the system's reason); nothing changed
  co_not_written  // the new text or the backup could not be written (Reason); the original is in place
};

struct TConvertReport {
  TConvertOutcome Outcome = co_unreadable;
  UnicodeString Reason;          // why, for every outcome but co_converted
  UnicodeString BackupName;      // the backup made (co_converted)
  TKXFileFormat Format = fc_Unknown;  // the format the text was read in
  std::vector<UnicodeString> Notes;   // what the user should still know (other names of the file, ...)
};

// Rewrites fname as UTF-16 LE with signature (8-bit text in codepage, 0 meaning the system's), keeping
// its last-write time, modes and (where allowed) owner. The original is first kept under the first
// NumberedBackupFileNameOf name that does not exist (never over an existing file), the new text written
// to a temporary file beside it, flushed to the disk and renamed over the name. A symbolic link is
// followed and stays a link. Two conversions of one file at once are stopped by a lock on the file
// and by the exclusive creation of the temporary; a temporary left by a conversion that was killed is
// removed (and said so in Notes). Other hard links of the file keep the original (said so in Notes).
TConvertReport ConvertTextFileKeepingBackup(const UnicodeString& fname, uint16_t codepage);

}  // namespace kx8
