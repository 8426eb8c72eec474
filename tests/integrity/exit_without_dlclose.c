/* An application that loads liblumora.so with dlopen, initialises it locally through one call
   and ends with exit() without dlclose: the library's unload work then runs at process end.
   Argument: the example configuration file. */
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

typedef int (*Paramcount)(void);
typedef int (*FirstOld)(char*);

int main(int argc, char** argv) {
    char dir[] = "/tmp/lumora-exit-XXXXXX";
    char path[4096], command[8192];
    const char* libdir = getenv("LUMORA_LIBDIR");
    void* library;
    FILE* f;
    char name[1024];
    int count;
    if (argc < 2 || !mkdtemp(dir)) return 2;
    snprintf(command, sizeof command, "cp '%s' '%s/lumora.ini'", argv[1], dir);
    if (system(command) != 0) return 2;
    snprintf(path, sizeof path, "%s/zrconfig.ini", dir);
    f = fopen(path, "w");
    if (!f) return 2;
    fprintf(f, "[Paths]\nConfig=lumora.ini\nImageDir=images\n[Log]\nTarget=file:log.txt\nLevel=8\n");
    fclose(f);
    setenv("LUMORA_ZRCONFIG", path, 1);
    snprintf(path, sizeof path, "%s/registry.ini", dir);
    setenv("LUMORA_REGISTRY", path, 1);

    snprintf(path, sizeof path, "%s/liblumora.so", libdir && *libdir ? libdir : ".");
    library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        fprintf(stderr, "dlopen %s: %s\n", path, dlerror());
        return 1;
    }
    /* Both calls initialise the library locally. */
    count = ((Paramcount)dlsym(library, "Get_Paramcount"))();
    ((FirstOld)dlsym(library, "Get_FirstOldImageName"))(name);
    printf("parameter sets: %d\n", count);
    snprintf(command, sizeof command, "rm -rf '%s'", dir);
    if (system(command) != 0) return 2;
    exit(count > 0 ? 0 : 3); /* no dlclose */
}
