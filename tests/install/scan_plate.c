/* A tiny application of the installed driver: opens the scanner with parameter set 1,
 * arms it, waits for one image, reads it and closes the scanner. Prints
 * "image <file> <width>x<height>" and exits 0 on success. */
#include <stdio.h>
#include <stdlib.h>

#include <lumora/lumora.h>

int main(void) {
    int r = Open_Scanner(1);
    if (r != 0 && r != LUMORA_W_OLD_IMAGES) {
        fprintf(stderr, "Open_Scanner: %d\n", r);
        return 1;
    }
    if (r == LUMORA_W_OLD_IMAGES) ApiInit();
    r = Aktivate_Scanner();
    if (r != 0 && r != LUMORA_W_AMBIENT_LIGHT) {
        fprintf(stderr, "Aktivate_Scanner: %d\n", r);
        Close_Scanner();
        return 1;
    }
    char name[1024] = "";
    for (long polls = 0; polls < 2000000 && !name[0]; polls++) {
        int status = Get_Status();
        if (status < 0 && status != LUMORA_E_STATUS_BUSY) {
            fprintf(stderr, "Get_Status: %d\n", status);
            break;
        }
        if (status > 0 && (status & LUMORA_STATUS_IMAGES_MASK)) Get_ImageName(name);
    }
    int result = 1;
    ImageInfo info;
    if (name[0] && Get_ImageInfo(&info, name) == 0) {
        unsigned short* pixels = malloc(sizeof *pixels * info.width * info.height);
        if (pixels && Read_DiskImage(pixels, name) == 0) {
            printf("image %s %ux%u\n", name, (unsigned)info.width, (unsigned)info.height);
            result = 0;
        }
        free(pixels);
    }
    Deaktivate_Scanner();
    Close_Scanner();
    return result;
}
