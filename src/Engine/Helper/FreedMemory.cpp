#include "Engine/Helper/FreedMemory.h"

// <cstdlib> brings the C library's feature macros (__GLIBC__) with it.
#include <cstdlib>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

void returnFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}
