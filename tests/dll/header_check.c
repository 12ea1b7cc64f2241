/* The library's header as a C caller sees it: it must compile as C, and
 * its typedefs must fit the functions it declares (the assignments below
 * fail to compile otherwise). Compiled only; nothing links it. */
#include "pbokit.h"

void pbokit_header_check(void);

void pbokit_header_check(void) {
  PFN_PackPbo pack = _PackPbo;
  PFN_CompressPbo compress = _CompressPbo;
  PFN_DecompressPbo decompress = _DecompressPbo;
  PFN_GetInfoDll info = _GetInfoDll;
  (void)pack;
  (void)compress;
  (void)decompress;
  (void)info;
}
