/* console_start.cpp: the start of a console program without MinGW's C runtime start-up, for
 * the test programs that must run on the deliverables' own C library (CRTDLL.DLL, see
 * program_start.cpp).  They take no arguments. */
#include <stdlib.h>

int main();

/* The compiler makes main call __main first, which runs static constructors elsewhere; here
 * there are none (no_constructors.ld sees to that). */
extern "C" void __main() {}

extern "C" void mainCRTStartup() {
    exit(main());
}
