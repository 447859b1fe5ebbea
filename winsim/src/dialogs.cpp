/* dialogs.cpp: the common open-file dialog, answered from a script.
 *
 * Behaviour reproduced (Win32 documentation of GetOpenFileName and OPENFILENAME for Windows
 * 95/98): the structure is accepted in its Windows 95 size (76 bytes on 32-bit Windows) or
 * in the full size of the headers, anything else fails with CDERR_STRUCTSIZE; the text in
 * the file buffer when the dialog opens is its initial file name; OK writes the full path of
 * the file into the buffer and sets nFileOffset and nFileExtension; a name typed without an
 * extension gets the default extension (its first three letters); without OFN_FILEMUSTEXIST
 * a typed name of a missing file is given back as it is; a path that does not fit nMaxFile
 * fails with FNERR_BUFFERTOOSMALL, the size needed being stored in the first two bytes of
 * the buffer; cancel returns 0 and leaves the buffer alone; the dialog starts in the current
 * directory and, without OFN_NOCHANGEDIR, leaves it at the folder where the file was picked. */
#include "internal.h"

#include <commdlg.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <deque>

namespace winsim {
namespace {

enum { WINDOWS95_STRUCT_SIZE = 76 };

std::deque<winsim_dialog_answer> answers;
std::vector<winsim_dialog_opening> openings;
int unscripted = 0;

/* The filter list: pairs of texts ended by an empty text, so two zeros in a row. */
std::string filter_bytes(const char *filter) {
    if (!filter)
        return std::string();
    size_t n = 0;
    while (!(filter[n] == '\0' && filter[n + 1] == '\0'))
        n++;
    return std::string(filter, n + 2);
}

bool other_fields_zero(const OPENFILENAMEA &o) {
    return !o.hInstance && !o.lpstrCustomFilter && o.nMaxCustFilter == 0 && o.nFilterIndex == 0 &&
           !o.lpstrFileTitle && o.nMaxFileTitle == 0 && !o.lpstrInitialDir && o.nFileOffset == 0 &&
           o.nFileExtension == 0 && o.lCustData == 0 && !o.lpfnHook && !o.lpTemplateName;
}

/* Offset of the file name in a path: after its last backslash, never inside a double-byte
 * character (whose second byte may be 0x5C). */
size_t name_offset(const std::string &path) {
    size_t name = 0;
    for (size_t i = 0; i < path.size(); i++) {
        if (lead_byte((unsigned char)path[i]) && i + 1 < path.size())
            i++;
        else if (path[i] == '\\')
            name = i + 1;
    }
    return name;
}

/* The path that the dialog gives back for an answer. */
std::string answer_path(const winsim_dialog_answer &a, const char *default_extension) {
    if (a.action == WINSIM_DIALOG_CHOOSE) {
        resolved_path r = resolve(a.path);
        if (!r.valid || !host_is_file(r.host)) {
            fprintf(stderr, "winsim: the dialog cannot choose the missing file %s\n",
                    a.path.c_str());
            abort();
        }
        return r.windows;
    }
    std::string path = a.path;
    const std::string &folder = current_directory();
    if (!path.empty() && path[0] == '\\')
        path = folder.substr(0, 2) + path; /* the current drive's root */
    else if (path.size() < 2 || path[1] != ':')
        path = folder + (folder.back() == '\\' ? "" : "\\") + path;
    if (default_extension && *default_extension &&
        path.find('.', name_offset(path)) == std::string::npos)
        path += "." + std::string(default_extension).substr(0, 3); /* three letters at most */
    return path;
}

} // namespace

void reset_dialogs() {
    answers.clear();
    openings.clear();
    unscripted = 0;
}

} // namespace winsim

using namespace winsim;

void winsim_script_dialogs(const std::vector<winsim_dialog_answer> &list) {
    answers.assign(list.begin(), list.end());
}
const std::vector<winsim_dialog_opening> &winsim_dialog_openings() {
    return openings;
}
int winsim_unscripted_dialogs() {
    return unscripted;
}
int winsim_unused_dialog_answers() {
    return (int)answers.size();
}

extern "C" {

BOOL WINAPI GetOpenFileNameA(LPOPENFILENAMEA settings) {
    if (enter("GetOpenFileNameA"))
        return FALSE;
    if (!settings || (settings->lStructSize != WINDOWS95_STRUCT_SIZE &&
                      settings->lStructSize != sizeof(OPENFILENAMEA)))
        return FALSE; /* CDERR_STRUCTSIZE */
    const OPENFILENAMEA &o = *settings;
    winsim_dialog_opening opening{};
    opening.struct_size = o.lStructSize;
    opening.owner = o.hwndOwner;
    opening.filter = filter_bytes(o.lpstrFilter);
    opening.file_buffer = o.lpstrFile;
    opening.file_capacity = o.nMaxFile;
    if (o.lpstrFile)
        opening.initial_file = std::string(o.lpstrFile, strnlen(o.lpstrFile, o.nMaxFile));
    opening.title = o.lpstrTitle ? o.lpstrTitle : "";
    opening.flags = o.Flags;
    opening.default_extension = o.lpstrDefExt ? o.lpstrDefExt : "";
    opening.other_fields_zero = other_fields_zero(o);
    opening.result = FALSE;
    if (answers.empty()) {
        unscripted++;
        openings.push_back(opening);
        return FALSE;
    }
    winsim_dialog_answer answer = answers.front();
    answers.pop_front();
    opening.scripted = true;
    if (answer.action == WINSIM_DIALOG_CANCEL || !o.lpstrFile) {
        openings.push_back(opening);
        return FALSE;
    }
    std::string path = answer_path(answer, o.lpstrDefExt);
    if (path.size() + 1 > o.nMaxFile) {
        /* FNERR_BUFFERTOOSMALL: the size needed goes into the first two bytes. */
        if (o.nMaxFile >= 2) {
            WORD size = (WORD)(path.size() + 1);
            memcpy(o.lpstrFile, &size, sizeof size);
        }
        openings.push_back(opening);
        return FALSE;
    }
    memcpy(o.lpstrFile, path.c_str(), path.size() + 1);
    size_t name = name_offset(path);
    size_t dot = path.find('.', name);
    settings->nFileOffset = (WORD)name;
    settings->nFileExtension = (WORD)(dot == std::string::npos ? path.size() : dot + 1);
    resolved_path folder = resolve(path.substr(0, name));
    if (folder.valid && host_is_dir(folder.host))
        current_directory() = folder.windows;
    opening.result = TRUE;
    openings.push_back(opening);
    return TRUE;
}

} // extern "C"
