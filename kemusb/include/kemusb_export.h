#pragma once
/*
 * The one export macro of kemusb. Every exported function is a plain C name
 * with default visibility; everything else in the library is hidden. The
 * Windows calling convention and decorated names do not exist here: the
 * calling-convention macro is empty and names are exported undecorated.
 */

#ifdef __cplusplus
#define KEMUSB_EXTERN_C extern "C"
#else
#define KEMUSB_EXTERN_C
#endif

#define KEMUSB_API KEMUSB_EXTERN_C __attribute__((visibility("default")))
#define KEMUSB_CALL
