// kx8 serve: the concordance of the texts under each path in a browser, served from this machine.
// The server is the web view (web_view.h); this command parses the arguments and waits for a signal.
#include <CLI/CLI.hpp>
#include <kx8rt/platform/strings.h>

#include <pthread.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "corpus_options.h"
#include "web_view.h"

int ServeMain(int argc, char** argv) {
  CLI::App app{"kx8 serve: a concordance of the texts under each PATH to look at in a browser, with sorting, "
               "colours, plots and a word list (served on this machine only, unless --bind says otherwise)",
               "kx8 serve"};
  kx8tool::CorpusCliOptions corpus;
  std::vector<std::string> paths;
  int port = 8024, jobs = 0;
  std::string bind = "127.0.0.1";
  app.add_option("--port", port, "port to listen on (default 8024; 0: any free port)")->check(CLI::Range(0, 65535));
  app.add_option("--bind", bind, "address to listen on (default 127.0.0.1: this machine only)");
  app.add_option("-j,--jobs", jobs, "texts searched at once (default: the machine's cores)")->check(CLI::Range(0, 64));
  corpus.Add(app);
  app.add_option("paths", paths, "PATH... (the only texts the page can search)")->required();
  if (int status = 0; !kx8tool::ParseCommandLine(app, argc, argv, status)) return status;
  if (!corpus.CodepageOk("serve")) return 2;
  kx8tool::WebViewOptions o;
  o.paths = kx8tool::CorpusCliOptions::Paths(paths);
  o.choice = corpus.Choice();
  o.word_rule = corpus.Rule();
  o.codepage = static_cast<uint16_t>(corpus.codepage);
  o.workers = jobs;
  o.bind = bind;
  o.port = port;
  // The server's threads inherit a mask without SIGINT and SIGTERM, so that this thread alone waits for them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  kx8tool::WebView view(o);
  std::string error;
  const int bound = view.Start(error);
  if (bound < 0) {
    std::fprintf(stderr, "kx8 serve: %s\n", error.c_str());
    return 2;
  }
  const bool v6 = bind.find(':') != std::string::npos;
  std::printf("kx8 serve: http://%s%s%s:%d/ (Ctrl-C stops)\n", v6 ? "[" : "", bind.c_str(), v6 ? "]" : "", bound);
  std::fflush(stdout);
  int signal = 0;
  sigwait(&stopSignals, &signal);
  view.Stop();
  return 0;
}
