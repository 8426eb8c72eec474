/* A configuration service that offers only ZRCInit and ZRCGetDir. ZRCGetDir answers
   "/partial/<selector>/<number of ZRCInit calls so far>". */
#include <stdio.h>

#define EXPORT __attribute__((visibility("default")))

static int inits;

EXPORT int ZRCInit(void) {
    ++inits;
    return 0;
}

EXPORT int ZRCGetDir(int selector, char* out, int flags) {
    (void)flags;
    snprintf(out, 1024, "/partial/%d/%d", selector, inits);
    return 0;
}
