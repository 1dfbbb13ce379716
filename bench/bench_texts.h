// Texts the benchmarks build their corpora from: what every Debian machine has.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kx8bench {

inline std::string ReadAll(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The common licences, each file once, in name order.
inline std::string LicenceTexts() {
  std::vector<std::filesystem::path> sources;
  for (const auto& e : std::filesystem::directory_iterator("/usr/share/common-licenses"))
    if (e.is_regular_file()) sources.push_back(e.path());
  std::sort(sources.begin(), sources.end());
  std::string once;
  for (const auto& p : sources) once += ReadAll(p);
  return once;
}

}  // namespace kx8bench
