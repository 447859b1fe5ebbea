/* memory.cpp: the global memory functions.  A movable block has a handle apart from its
 * address; a block allocated without GMEM_ZEROINIT is filled with 0xCC so that code relying
 * on zeros that it did not ask for shows up.  GlobalAlloc fails with ERROR_NOT_ENOUGH_MEMORY
 * and GlobalLock with NULL (as for a discarded block); GlobalUnlock, GlobalHandle and
 * GlobalFree fail only for what is no block, so a failure that a test injects there changes
 * nothing. */
#include "internal.h"

#include <stdlib.h>
#include <string.h>

namespace winsim {
namespace {

struct block {
    void *memory;
    bool moveable;
    int locks;
};
std::map<uintptr_t, block> blocks; /* handle -> block */
uintptr_t next_handle = 0x7000000;

} // namespace

void end_process_memory() {
    for (auto &b : blocks)
        free(b.second.memory);
    blocks.clear();
}

} // namespace winsim

using namespace winsim;

int winsim_global_blocks_in_use() {
    return (int)blocks.size();
}

extern "C" {

HGLOBAL WINAPI GlobalAlloc(UINT flags, DWORD_PTR bytes) {
    if (fails("GlobalAlloc", ERROR_NOT_ENOUGH_MEMORY))
        return nullptr;
    void *memory = malloc(bytes ? bytes : 1);
    if (!memory)
        return nullptr;
    memset(memory, (flags & GMEM_ZEROINIT) ? 0 : 0xCC, bytes ? bytes : 1);
    bool moveable = (flags & GMEM_MOVEABLE) != 0;
    uintptr_t handle = moveable ? next_handle : (uintptr_t)memory;
    if (moveable)
        next_handle += 8;
    blocks[handle] = block{memory, moveable, 0};
    return (HGLOBAL)handle;
}

LPVOID WINAPI GlobalLock(HGLOBAL memory) {
    if (enter("GlobalLock"))
        return nullptr;
    auto it = blocks.find((uintptr_t)memory);
    if (it == blocks.end()) {
        set_last_error(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (it->second.moveable)
        it->second.locks++;
    return it->second.memory;
}

BOOL WINAPI GlobalUnlock(HGLOBAL memory) {
    enter("GlobalUnlock");
    auto it = blocks.find((uintptr_t)memory);
    if (it == blocks.end()) {
        set_last_error(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (it->second.locks > 0)
        it->second.locks--;
    set_last_error(NO_ERROR);
    return it->second.locks > 0 ? TRUE : FALSE;
}

HGLOBAL WINAPI GlobalHandle(LPCVOID pointer) {
    enter("GlobalHandle");
    for (const auto &b : blocks)
        if (b.second.memory == pointer)
            return (HGLOBAL)b.first;
    set_last_error(ERROR_INVALID_HANDLE);
    return nullptr;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL memory) {
    enter("GlobalFree");
    auto it = blocks.find((uintptr_t)memory);
    if (it == blocks.end()) {
        set_last_error(ERROR_INVALID_HANDLE);
        return memory;
    }
    free(it->second.memory);
    blocks.erase(it);
    return nullptr;
}

} // extern "C"
