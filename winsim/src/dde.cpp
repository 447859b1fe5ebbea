/* dde.cpp: the DDE management library's client side and a Program Manager behind it. */
#include "internal.h"

namespace winsim {
void reset_dde() {}
} // namespace winsim
