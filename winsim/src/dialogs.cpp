/* dialogs.cpp: the common open-file dialog, answered from a script. */
#include "internal.h"

namespace winsim {
void reset_dialogs() {}
} // namespace winsim
