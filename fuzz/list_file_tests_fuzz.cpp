// Writes arbitrary bytes to a file and asks every list-file test about it: the 32-bit signature tests,
// the 16-bit test and the batch-archive test. None may raise; each answers true or false.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "kx8rt/definitions/list_types.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kx8;
  static const std::string path = "/tmp/kx8_list_file_fuzz_" + std::to_string(::getpid()) + ".lst";
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  TKX_MainFile_rec rec;
  rec.filename = Utf8ToUtf16(path);
  for (int t = 0; t <= tt_no_tool_at_all; ++t) IsATamrind32BitFileForTool(rec, static_cast<tool_type>(t));
  WhichToolsTamrind32BitFile(rec);
  WasATamrind32BitFile(rec);
  IsAnOldTamrindFile(rec);
  IsABatchZipFileForListType(rec);
  if (size >= TCheckSignature::kDiskSize) {
    TCheckSignature sig = TCheckSignature::FromBytes(data);
    DiskFileType(sig);
    TMemoryStream ms;
    ms.Write(data, static_cast<int32_t>(size));
    ms.SetPosition(0);
    DiskSignatureISOKForToolAndList(sig, tt_tallier, static_cast<TTamrindList>(data[0] % kListTypeCount), ms, reading);
  }
  std::remove(path.c_str());
  return 0;
}
