/* program_group.cpp: the product's Program Manager group, deleted over DDE when empty. */
#include <windows.h>

#include "program_group.h"

/* Not built yet. */
void remove_program_group() {}
