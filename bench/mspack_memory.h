/* libmspack's SZDD expansion from memory to memory; -1 on failure. */
#pragma once

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

long MspackSzddExpand(const unsigned char* in, size_t inLength, unsigned char* out,
                      size_t outCapacity);

#ifdef __cplusplus
}
#endif
