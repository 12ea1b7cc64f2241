/* pbokit.dll: packs a folder into a PBO archive and unpacks one.
 *
 * The three working functions share one frame. `owner` owns every error box
 * the call shows (caption "Error has occured", OK only). `bar` is a progress
 * bar control and `label` any window that takes a text by WM_SETTEXT; the
 * library sends them the range 0..1000, the position and a percentage text
 * ("42 %") at each progress point, and keeps the calling thread's message
 * queue moving there. Paths are zero-terminated ANSI strings; a destination
 * may be the empty string. Nothing of the arguments is kept after a call.
 *
 * Every function uses the stdcall convention and is exported undecorated
 * under its own name, leading underscore included. The result of a working
 * function is exactly 0 (failure, after an error box) or 1 (success); the
 * low byte alone is enough to test it.
 *
 * Usable from C and C++. A caller that loads the library at run time can use
 * the PFN_ typedefs with GetProcAddress(module, "_PackPbo") and so on. */
#ifndef PBOKIT_H
#define PBOKIT_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Packs every file below `source` into "<name>.pbo" with stored entries, in
 * `destination` or, when it is empty, beside the source folder. An archive
 * already there is kept as "<name>.pbo.bak".
 * @return 1 when the archive has been written; 0 after an error box. */
BOOL WINAPI _PackPbo(HWND owner, const char* source, const char* destination,
                     HWND bar, HWND label);

/* As _PackPbo, but every entry is LZSS-compressed and carries a checksum. */
BOOL WINAPI _CompressPbo(HWND owner, const char* source,
                         const char* destination, HWND bar, HWND label);

/* Unpacks `archive` into a folder named after it (without its extension)
 * inside `destination` or, when it is empty, beside the archive. An old
 * folder of that name is deleted first. Each file gets the entry's time.
 * A checksum mismatch is shown in a box; the file is written all the same.
 * @return 1 when every entry has been written; 0 after an error box (no
 *         archive, an archive that cannot be read or is cut short or
 *         damaged, an entry name that would leave the output folder, a file
 *         that cannot be written). Entries written before a failure stay. */
BOOL WINAPI _DecompressPbo(HWND owner, const char* archive,
                           const char* destination, HWND bar, HWND label);

/* @return the library's information text: five lines joined by "\r\n",
 *         no line break after the last. The same constant pointer on every
 *         call; the caller neither frees nor changes it. */
const char* WINAPI _GetInfoDll(void);

typedef BOOL(WINAPI* PFN_PackPbo)(HWND, const char*, const char*, HWND, HWND);
typedef BOOL(WINAPI* PFN_CompressPbo)(HWND, const char*, const char*, HWND,
                                      HWND);
typedef BOOL(WINAPI* PFN_DecompressPbo)(HWND, const char*, const char*, HWND,
                                        HWND);
typedef const char*(WINAPI* PFN_GetInfoDll)(void);

#ifdef __cplusplus
}
#endif

#endif /* PBOKIT_H */
