/* text.h: byte-string helpers of the removal steps, for texts in the ANSI code page, where a
 * character takes one byte or two (a lead byte and a trail byte). */
#ifndef KMW48RMV_TEXT_H
#define KMW48RMV_TEXT_H

/* Upper-cases the single-byte letters a to z of a zero-terminated text in place.  The second
 * byte of a double-byte character is never taken for a letter, so a Japanese name keeps its
 * bytes. */
void upper_case_ascii(char *text);

#endif
