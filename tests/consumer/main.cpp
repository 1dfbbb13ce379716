// A separate project that finds the installed library, includes the umbrella header and calls it.
#include <kx8rt/kx8rt.h>

#include <cstdio>

int main() {
  const kx8::UnicodeString s = u"consumer";
  if (kx8::Pos(u"sum", s) != 4 || kx8::IntToStr(-42) != u"-42") {
    std::puts("kx8rt consumer: unexpected results");
    return 1;
  }
  std::puts("kx8rt consumer: ok");
  return 0;
}
