/* spooler.cpp: the print spooler (local printers, their drivers and job counts). */
#include "internal.h"

namespace winsim {
void reset_spooler() {}
} // namespace winsim
