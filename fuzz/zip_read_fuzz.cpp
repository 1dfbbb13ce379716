// Feeds arbitrary bytes to the zip reader as an archive file: open, list every entry and extract each
// to memory. Any failure must be an EZipError (or EListError), never a crash or a leak.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/zip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  char name[] = "/tmp/kx8_zip_fuzz_XXXXXX";
  const int fd = ::mkstemp(name);
  if (fd < 0) return 0;
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  ::close(fd);
  try {
    kx8::TZipArchive z;
    z.Open(kx8::Utf8ToUtf16(name));
    (void)z.Comment();
    const int32_t n = z.Count();
    for (int32_t i = 0; i < n && i < 64; ++i) {
      try {
        (void)z.Name(i);
        (void)z.Size(i);
        (void)z.DateTime(i);
        (void)z.Attributes(i);
        (void)kx8::IsSafeZipEntryName(z.Name(i));
        (void)z.ExtractToString(i);
      } catch (const kx8::EZipError&) {
      }
    }
  } catch (const kx8::EZipError&) {
  }
  ::unlink(name);
  return 0;
}
