#include "kx8rt/platform/shared_memory.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kx8 {

std::string SharedMemoryObjectName(std::u16string_view name) {
  std::string result(1, '/');
  result += Utf16ToUtf8(name);
  for (size_t i = 1; i < result.size(); ++i)
    if (result[i] == '/' || result[i] == '\0') result[i] = '_';
  return result;
}

bool RemoveSharedMemory(std::u16string_view name) { return shm_unlink(SharedMemoryObjectName(name).c_str()) == 0; }

bool SharedMemoryExists(std::u16string_view name) {
  const int fd = shm_open(SharedMemoryObjectName(name).c_str(), O_RDONLY, 0);
  if (fd < 0) return false;
  close(fd);
  return true;
}

bool TSharedMemoryBlock::OpenOrCreate(std::u16string_view name, size_t NewSize) {
  Close();
  const std::string objectName = SharedMemoryObjectName(name);
  bool created = false;
  int fd = -1;
  // Open first, create only when there is none; a creator racing us makes the exclusive create fail,
  // and then its block is the one to open.
  for (int attempt = 0; attempt < 3 && fd < 0; ++attempt) {
    fd = shm_open(objectName.c_str(), O_RDWR, 0);
    if (fd >= 0 || errno != ENOENT || NewSize == 0) break;
    fd = shm_open(objectName.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    if (fd >= 0) {
      created = true;
      if (ftruncate(fd, static_cast<off_t>(NewSize)) != 0) {
        close(fd);
        shm_unlink(objectName.c_str());
        return false;
      }
    } else if (errno != EEXIST) {
      break;
    }
  }
  if (fd < 0) return false;

  struct stat st {};
  if (fstat(fd, &st) != 0 || st.st_size <= 0) {
    close(fd);
    if (created) shm_unlink(objectName.c_str());
    return false;
  }
  const size_t length = static_cast<size_t>(st.st_size);
  void* view = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (view == MAP_FAILED) {
    close(fd);
    if (created) shm_unlink(objectName.c_str());
    return false;
  }
  fObjectName = objectName;
  fFd = fd;
  fData = static_cast<uint8_t*>(view);
  fLength = length;
  fCreated = created;
  return true;
}

void TSharedMemoryBlock::Close() {
  if (fData) munmap(fData, fLength);
  if (fFd >= 0) close(fFd);
  if (fCreated) shm_unlink(fObjectName.c_str());
  fData = nullptr;
  fLength = 0;
  fFd = -1;
  fCreated = false;
  fObjectName.clear();
}

}  // namespace kx8
