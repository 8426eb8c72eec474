// Second names "_SC_<name>@<argument bytes>": each forwards to the plain function and returns
// its result unchanged (x86-64 has no callee-cleans convention to honour). The GNU linker
// reserves '@' for symbol versions, so the names are emitted with '$' in its place; the
// post-link step (tools/symfix) renames them in the dynamic string table and rebuilds the
// symbol hash table.
#include "lumora/lumora.h"

#define SECOND(ret, name, bytes, params, args)                                             \
    extern "C" LUMORA_API ret SC_##name params __asm__("_SC_" #name "$" #bytes);            \
    extern "C" ret SC_##name params { return name args; }

SECOND(int, Open_Scanner, 4, (int paramSet), (paramSet))
SECOND(int, Close_Scanner, 0, (void), ())
SECOND(int, Aktivate_Scanner, 0, (void), ())
SECOND(int, Deaktivate_Scanner, 0, (void), ())
SECOND(int, Get_Status, 0, (void), ())
SECOND(int, Get_LightStatus, 0, (void), ())
SECOND(int, ClearScanner, 4, (int mode), (mode))
SECOND(int, Get_ImageName, 4, (char* name), (name))
SECOND(int, Delete_Image, 4, (const char* name), (name))
SECOND(int, Set_ImageExtraHeader, 8, (int size, const void* data), (size, data))
SECOND(int, Get_ImageExtraHeader, 8, (const char* file, void* buffer), (file, buffer))
SECOND(int, Get_ImageInfo, 8, (ImageInfo * info, const char* file), (info, file))
SECOND(int, Read_DiskImage, 8, (unsigned short* pixels, const char* file), (pixels, file))
SECOND(int, Write_DiskImageEx, 76, (DiskImage image, const char* file), (image, file))
SECOND(int, Get_ImageValue, 16,
       (const unsigned short* pixels, int width, int height, ImageValue* out),
       (pixels, width, height, out))
SECOND(int, Invert_Image, 12, (unsigned short* pixels, int width, int height),
       (pixels, width, height))
SECOND(int, Opt_ImageGreyscale, 24,
       (unsigned short* pixels, int width, int height, int lowPpm, int highPpm, int type),
       (pixels, width, height, lowPpm, highPpm, type))
SECOND(int, Get_Prescanline, 4, (void* line), (line))
SECOND(int, Set_Prescanmode, 4, (int length), (length))
SECOND(int, Get_ScannerDiag, 4, (ScannerDiag * diag), (diag))
SECOND(int, Get_ScannerFeatures, 4, (ScannerFeatures * features), (features))
SECOND(int, Get_Serialnumber, 4, (char* text), (text))
SECOND(int, Run_Beltdrive, 4, (unsigned char speed), (speed))
SECOND(int, Run_BeltdriveEx, 4, (int speed), (speed))
SECOND(int, SetEraseMode, 4, (int mode), (mode))
SECOND(int, Get_Paramcount, 0, (void), ())
SECOND(int, Get_Paramname, 8, (char* name, int number), (name, number))
SECOND(int, Get_IniFileName, 4, (char* path), (path))
SECOND(int, Set_IniFileName, 4, (const char* path), (path))
SECOND(int, Get_DriverVersion, 4, (char* text), (text))
