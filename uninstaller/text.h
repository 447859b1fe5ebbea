/* text.h: small text helpers shared by the removal steps, for texts in the ANSI code page,
 * where a character takes one byte or two (a lead byte and a trail byte).  Only the
 * single-byte letters a to z and A to Z are ever changed or compared without case. */
#ifndef KMW48RMV_TEXT_H
#define KMW48RMV_TEXT_H

/* 1 when the first `length` bytes of `text` begin with the zero-terminated `prefix`,
 * ignoring the case of ASCII letters; 0 when they differ or `text` is shorter.  `text`
 * need not be zero-terminated and may hold zero bytes. */
int ascii_prefix_equal(const char *text, int length, const char *prefix);

/* Upper-cases the single-byte letters a to z of a zero-terminated text in place.  The second
 * byte of a double-byte character is never taken for a letter, so a Japanese name keeps its
 * bytes. */
void upper_case_ascii(char *text);

#endif
