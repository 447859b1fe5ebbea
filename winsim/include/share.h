/* share.h: the C library's shared-access file opening (CRTDLL, msvcrt).  _fsopen opens a file in
 * the C library's text mode as the C library does it on Windows: reading turns CR LF into LF and
 * ends the input at a Ctrl-Z byte, writing turns LF into CR LF. */
#ifndef WINSIM_SHARE_H
#define WINSIM_SHARE_H

#include <stdio.h>

#define _SH_DENYRW 0x10
#define _SH_DENYWR 0x20
#define _SH_DENYRD 0x30
#define _SH_DENYNO 0x40

#ifdef __cplusplus
extern "C" {
#endif

FILE *_fsopen(const char *path, const char *mode, int share_flag);

#ifdef __cplusplus
}
#endif

#endif
