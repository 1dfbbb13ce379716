// kx8: the command-line face of the run-time library.
#include <kx8rt/kx8rt.h>

int main(int, char**) { return 0; }
