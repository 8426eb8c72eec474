/*
 * lumora.h - C interface of the Lumora storage-phosphor plate scanner driver (liblumora.so).
 *
 * Compiles as C99 and as C++. Every function returns a 32-bit signed result: 0 on success,
 * a negative error code on failure, or a count / status word where the function says so.
 * Text buffers are supplied by the caller and NUL-terminated.
 *
 * Thirty functions are also exported under a second name "_SC_<name>@<argument bytes>",
 * for example "_SC_Open_Scanner@4". Those names contain '@' and cannot be spelled in C;
 * resolve them with dlsym(). They forward to the plain function unchanged.
 */
#ifndef LUMORA_LUMORA_H
#define LUMORA_LUMORA_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(LUMORA_BUILDING)
#define LUMORA_API __attribute__((visibility("default")))
#else
#define LUMORA_API
#endif

/* ---- Result codes ------------------------------------------------------------------------ */
enum {
    LUMORA_OK = 0,
    LUMORA_E_NO_FILENAME = -1,          /* no free image number, temp/image/info file not creatable */
    LUMORA_E_FILE = -1,                 /* an image, info, script or calibration file cannot be
                                           created or read, or is implausible */
    LUMORA_E_NOT_FOUND = -2,            /* parameter set not found, file not deletable, bad args */
    LUMORA_E_FIRMWARE = -3,
    LUMORA_E_NOT_OPEN = -4,             /* API does not exist or scanner not open */
    LUMORA_E_UNKNOWN_CTRL = -5,
    LUMORA_E_ARMED = -6,
    LUMORA_E_SCANNER_OPEN = -7,
    LUMORA_E_DISK_SPACE = -8,           /* not enough free disk space, or no memory */
    LUMORA_E_NO_PLATE_TYPE = -9,
    LUMORA_E_MODEL_CHANGED = -10,
    LUMORA_E_NO_CONFIG_FILE = -11,
    LUMORA_E_NO_CONFIG_SERVICE = -12,
    LUMORA_E_NO_MEMORY = -100,          /* in acquisition or reconstruction; range not usable */
    LUMORA_E_BUFFER_RAM = -101,
    LUMORA_E_RANGE = -102,              /* bad argument; also a calibration reference image that
                                           needs more than 5000 correction columns, or its path
                                           of 260 characters or more */
    LUMORA_E_BLOCK_READ = -200,
    LUMORA_E_INIT = -1001,
    LUMORA_E_FW_FILE = -1002,
    LUMORA_E_FW_CHECKSUM = -1003,
    LUMORA_E_FW_NOT_RUNNING = -1004,
    LUMORA_E_FW_CONFIG_STATUS = -1005,
    LUMORA_E_NO_STREAM = -1006,
    LUMORA_E_I2C_NACK = -1007,
    LUMORA_E_CONFIG_MISSING = -1008,
    LUMORA_E_INLET_BUSY = -1009,
    LUMORA_E_LASER_TEMP = -1010,
    LUMORA_E_PLATE_TIMEOUT = -1011,
    LUMORA_E_OLD_DATA = -1012,
    LUMORA_E_SERIAL = -1013,
    LUMORA_E_REF_SIZE = -1014,          /* calibration reference image too narrow or too short */
    LUMORA_E_REF_DARK = -1015,          /* reference image too dark (mean below 4915) */
    LUMORA_E_REF_BRIGHT = -1016,        /* reference image too bright (mean above 60000) */
    LUMORA_E_REF_PIXEL = -1017,         /* reference image pixel width not 95 ... 105 um */
    LUMORA_E_REF_UNIFORM = -1018,       /* reference image not uniform */
    LUMORA_E_ERASE_UNIT = -1151,
    LUMORA_E_REMOTE = -2001,
    LUMORA_E_BOX_ANSWER = -2002,       /* the network box answered with the wrong XML-RPC type */
    LUMORA_W_AMBIENT_LIGHT = -10000,
    LUMORA_E_NO_HIGH_VOLTAGE = -10000,  /* the high-voltage procedures found no usable voltage */
    LUMORA_W_OLD_IMAGES = -10001,
    LUMORA_W_BAD_SCRIPT = -10002,
    LUMORA_W_LAMP_LIFETIME = -10003,
    LUMORA_E_STATUS_BUSY = -12002,
    LUMORA_E_API_LOCK = -12003
};

/* ---- Status word returned by Get_Status (when not negative) ------------------------------ */
#define LUMORA_STATUS_IMAGES_MASK   0x000000FFu /* finished images not yet reported, <= 255 */
#define LUMORA_STATUS_INLET_MASK    0x0000FF00u /* inlet sensors */
#define LUMORA_STATUS_SLOTS_MASK    0x00FF0000u /* slot lines */
#define LUMORA_STATUS_PRESCAN       0x01000000u /* a prescan line is available */
#define LUMORA_STATUS_PLATE_IN_SCAN 0x02000000u
#define LUMORA_STATUS_ARMED         0x04000000u
#define LUMORA_STATUS_RECEIVING     0x08000000u /* image data are being received */
#define LUMORA_STATUS_ERASE_REPORT  0x10000000u /* Get_ScannerDiag has a report */

/* ---- Records ----------------------------------------------------------------------------- */

/* Description of an image, as kept in the info file beside it (natural alignment, 108 bytes). */
typedef struct ImageInfo {
    uint32_t size;            /*   0: 108 */
    uint32_t width;           /*   4 */
    uint32_t height;          /*   8 */
    uint32_t pixelSizeX;      /*  12: nanometres */
    uint32_t pixelSizeY;      /*  16: nanometres */
    uint8_t  bitsPerPixel;    /*  20: 16 */
    int32_t  startX;          /*  24: first pixel position of the plate in the scan line */
    uint8_t  sectorBits;      /*  28: 45-degree sectors of the scan window covered */
    uint16_t year;            /*  30 */
    uint8_t  month;           /*  32: 1 ... 12 */
    uint8_t  day;             /*  33 */
    uint8_t  hour;            /*  34 */
    uint8_t  minute;          /*  35 */
    uint8_t  second;          /*  36 */
    char     text[32];        /*  37: ends with 0 */
    uint16_t scanTime;        /*  70: seconds */
    uint8_t  reserved1[12];   /*  72 */
    uint16_t reserved2;       /*  84 */
    uint8_t  rotation;        /*  86: degrees, low 8 bits (270 is 14) */
    uint32_t resultPixelSize; /*  88: nanometres */
    float    scale;           /*  92 */
    uint16_t maxValue;        /*  96 */
    uint16_t meanValue;       /*  98 */
    uint8_t  paramSet;        /* 100 */
    uint16_t whiteLevel;      /* 102 */
    uint32_t extraHeaderSize; /* 104 */
} ImageInfo;                  /* 108 bytes */

/* Statistics filled by Get_ImageValue (24 bytes). */
typedef struct ImageValue {
    uint32_t size;      /*  0: 24 */
    uint16_t minimum;   /*  4 */
    uint16_t maximum;   /*  6 */
    double   mean;      /*  8 */
    double   deviation; /* 16: population standard deviation */
} ImageValue;

/*
 * Image handed to Write_DiskImageEx by value. The driver reads width, height, the two form
 * selectors, the white level and the pixel pointer; the other bytes are the caller's.
 * When formA and formB are both 1 the pixels are bytes (8-bit form), else 16-bit values.
 * Originally a 72-byte record with a 32-bit pointer at offset 68; on 64-bit Linux the pointer
 * takes its natural place at offset 72 and the record is 80 bytes.
 */
typedef struct DiskImage {
    int32_t  width;          /*  0 */
    int32_t  height;         /*  4 */
    uint8_t  caller1[8];     /*  8 */
    int32_t  formA;          /* 16 */
    uint16_t whiteLevel;     /* 20 */
    uint8_t  caller2[10];    /* 22 */
    int32_t  formB;          /* 32 */
    uint8_t  caller3[36];    /* 36 */
    void*    pixels;         /* 72 on 64-bit targets (68 in the 32-bit original) */
} DiskImage;

/* Device features filled by Get_ScannerFeatures (52 bytes; bytes not listed are left alone). */
typedef struct ScannerFeatures {
    uint32_t deviceTypeId;       /*  0 */
    uint8_t  slotCount;          /*  4: 2 or 4 */
    uint8_t  extraFeature;       /*  5 */
    uint8_t  intraFeature;       /*  6 */
    uint8_t  reserved1[6];       /*  7 */
    uint8_t  bleachingFeature;   /* 13 */
    uint16_t polygonSpeed;       /* 14: default polygon speed */
    uint16_t laserEmissionPower; /* 16: mW */
    uint8_t  reserved2[34];      /* 18 */
} ScannerFeatures;

/* Diagnosis filled by Get_ScannerDiag (bytes 0 ... 7 used; 24 bytes room for the remote form). */
typedef struct ScannerDiag {
    uint8_t  slot[4];      /* 0: erase flags of slots 1-4 (second model: regs 0x41, 0x49, 0, 0) */
    uint8_t  lamp[2];      /* 4: second model: registers 0x43, 0x4B */
    uint16_t reserved;     /* 6 */
    uint8_t  remote[16];   /* 8: room for the network box's longer answer */
} ScannerDiag;

/* ---- Exported variable --------------------------------------------------------------------- */
/* true: the network box (remote) or, after ApiInit, the configured interface; set to false
 * before the first call to force the local interface. C code sees it as a one-byte flag. */
#ifdef __cplusplus
LUMORA_API extern bool remote;
#else
LUMORA_API extern _Bool remote;
#endif

/* ---- Scanner ------------------------------------------------------------------------------- */
LUMORA_API int Open_Scanner(int paramSet);
LUMORA_API int Close_Scanner(void);
LUMORA_API int Aktivate_Scanner(void);
LUMORA_API int Deaktivate_Scanner(void);
LUMORA_API int Get_Status(void);
LUMORA_API int Get_LightStatus(void);
LUMORA_API int ClearScanner(int mode);
LUMORA_API int Get_ImageName(char* name);                 /* name: 1024 bytes */
LUMORA_API int Delete_Image(const char* name);
LUMORA_API int Get_FirstOldImageName(char* name);         /* name: 1024 bytes */
LUMORA_API int Get_NextOldImageName(char* name);          /* name: 1024 bytes */

/* ---- Image files --------------------------------------------------------------------------- */
LUMORA_API int Set_ImageExtraHeader(int size, const void* data);
LUMORA_API int Get_ImageExtraHeader(const char* imageFile, void* buffer);
LUMORA_API int Get_ImageInfo(ImageInfo* info, const char* imageFile);
LUMORA_API int Read_DiskImage(unsigned short* pixels, const char* imageFile);
LUMORA_API int Write_DiskImageEx(DiskImage image, const char* imageFile);

/* ---- Image utilities ----------------------------------------------------------------------- */
LUMORA_API int Get_ImageValue(const unsigned short* pixels, int width, int height, ImageValue* out);
LUMORA_API int Invert_Image(unsigned short* pixels, int width, int height);
LUMORA_API int Opt_ImageGreyscale(unsigned short* pixels, int width, int height, int lowPpm,
                                  int highPpm, int type);
LUMORA_API int Convert_Image16_8(const unsigned short* src, unsigned char* dst, int width,
                                 int height, uint32_t unused, unsigned short* white);
LUMORA_API int Convert_Image8_16(const unsigned char* src, unsigned short* dst, int width,
                                 int height, unsigned short white);
LUMORA_API int Check_Imo(const char* scriptPath);

/* ---- Control and service ------------------------------------------------------------------- */
LUMORA_API int Get_Prescanline(void* line);               /* line: up to 1024 bytes */
LUMORA_API int Set_Prescanmode(int length);
LUMORA_API int Get_ScannerDiag(ScannerDiag* diag);
LUMORA_API int Get_ScannerFeatures(ScannerFeatures* features);
LUMORA_API int Get_Serialnumber(char* text);              /* text: 64 bytes */
LUMORA_API int Run_Beltdrive(unsigned char speed);
LUMORA_API int Run_BeltdriveEx(int speed);
LUMORA_API int SetEraseMode(int mode);
LUMORA_API int Ext_ScannerCTRL(unsigned code, const void* in, int inSize, void* out, int outSize,
                               int* outLen);
LUMORA_API int Set_ImageFilterMode(int mode);
LUMORA_API int ATRIUM_Mode(int mode, int code);

/* ---- Configuration ------------------------------------------------------------------------- */
LUMORA_API int Get_Paramcount(void);
LUMORA_API int Get_Paramname(char* name, int number);     /* name: 260 bytes */
LUMORA_API int Get_IniFileName(char* path);               /* path: 260 bytes */
LUMORA_API int Set_IniFileName(const char* path);
LUMORA_API int Get_DriverVersion(char* text);             /* appends; whole buffer <= 80 bytes */
LUMORA_API int ApiInit(void);
LUMORA_API void ApiExit(void);

#ifdef __cplusplus
} /* extern "C" */
#endif

/* ---- Layout checks ------------------------------------------------------------------------- */
#ifdef __cplusplus
#define LUMORA_STATIC_ASSERT(c, m) static_assert(c, m)
#else
#define LUMORA_STATIC_ASSERT(c, m) _Static_assert(c, m)
#endif
#include <stddef.h>
LUMORA_STATIC_ASSERT(sizeof(ImageInfo) == 108, "ImageInfo is 108 bytes");
LUMORA_STATIC_ASSERT(offsetof(ImageInfo, startX) == 24, "ImageInfo.startX");
LUMORA_STATIC_ASSERT(offsetof(ImageInfo, sectorBits) == 28, "ImageInfo.sectorBits");
LUMORA_STATIC_ASSERT(offsetof(ImageInfo, year) == 30, "ImageInfo.year");
LUMORA_STATIC_ASSERT(offsetof(ImageInfo, text) == 37, "ImageInfo.text");
LUMORA_STATIC_ASSERT(offsetof(ImageInfo, scanTime) == 70, "ImageInfo.scanTime");
LUMORA_STATIC_ASSERT(offsetof(ImageInfo, reserved2) == 84, "ImageInfo.reserved2");
LUMORA_STATIC_ASSERT(offsetof(ImageInfo, rotation) == 86, "ImageInfo.rotation");
LUMORA_STATIC_ASSERT(offsetof(ImageInfo, resultPixelSize) == 88, "ImageInfo.resultPixelSize");
LUMORA_STATIC_ASSERT(offsetof(ImageInfo, scale) == 92, "ImageInfo.scale");
LUMORA_STATIC_ASSERT(offsetof(ImageInfo, maxValue) == 96, "ImageInfo.maxValue");
LUMORA_STATIC_ASSERT(offsetof(ImageInfo, paramSet) == 100, "ImageInfo.paramSet");
LUMORA_STATIC_ASSERT(offsetof(ImageInfo, whiteLevel) == 102, "ImageInfo.whiteLevel");
LUMORA_STATIC_ASSERT(offsetof(ImageInfo, extraHeaderSize) == 104, "ImageInfo.extraHeaderSize");
LUMORA_STATIC_ASSERT(sizeof(ImageValue) == 24, "ImageValue is 24 bytes");
LUMORA_STATIC_ASSERT(offsetof(ImageValue, mean) == 8, "ImageValue.mean");
LUMORA_STATIC_ASSERT(offsetof(ImageValue, deviation) == 16, "ImageValue.deviation");
LUMORA_STATIC_ASSERT(offsetof(DiskImage, formA) == 16, "DiskImage.formA");
LUMORA_STATIC_ASSERT(offsetof(DiskImage, whiteLevel) == 20, "DiskImage.whiteLevel");
LUMORA_STATIC_ASSERT(offsetof(DiskImage, formB) == 32, "DiskImage.formB");
LUMORA_STATIC_ASSERT(offsetof(DiskImage, pixels) == (sizeof(void*) == 8 ? 72 : 68), "DiskImage.pixels");
LUMORA_STATIC_ASSERT(sizeof(DiskImage) == (sizeof(void*) == 8 ? 80 : 72), "DiskImage size");
LUMORA_STATIC_ASSERT(sizeof(ScannerFeatures) == 52, "ScannerFeatures is 52 bytes");
LUMORA_STATIC_ASSERT(offsetof(ScannerFeatures, bleachingFeature) == 13, "ScannerFeatures.bleaching");
LUMORA_STATIC_ASSERT(offsetof(ScannerFeatures, polygonSpeed) == 14, "ScannerFeatures.polygonSpeed");
LUMORA_STATIC_ASSERT(offsetof(ScannerFeatures, laserEmissionPower) == 16, "ScannerFeatures.power");
LUMORA_STATIC_ASSERT(sizeof(ScannerDiag) == 24, "ScannerDiag is 24 bytes");

#endif /* LUMORA_LUMORA_H */
