// Texts the benchmarks build their corpora from (what every Debian machine has), and a command run as a
// user runs it.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
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

struct RunResult {
  double seconds = 0;
  long maxRssKb = 0;
  int status = 0;
};

// Runs argv with stdout and stderr to /dev/null; wall time and the child's peak RSS.
inline RunResult RunOnce(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    FILE* devnull = std::fopen("/dev/null", "w");
    dup2(fileno(devnull), 1);
    dup2(fileno(devnull), 2);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  struct rusage ru {};
  wait4(pid, &status, 0, &ru);
  RunResult r;
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  r.maxRssKb = ru.ru_maxrss;
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

}  // namespace kx8bench
