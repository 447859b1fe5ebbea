/* text.h: small text helpers shared by the removal steps: comparisons of INI lines that
 * touch only the single-byte letters a to z and A to Z. */
#ifndef KMW48RMV_TEXT_H
#define KMW48RMV_TEXT_H

/* 1 when the first `length` bytes of `text` begin with the zero-terminated `prefix`,
 * ignoring the case of ASCII letters; 0 when they differ or `text` is shorter.  `text`
 * need not be zero-terminated and may hold zero bytes. */
int ascii_prefix_equal(const char *text, int length, const char *prefix);

#endif
