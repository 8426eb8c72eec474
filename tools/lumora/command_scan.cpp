// lumora scan: a scan session. Opens the scanner with a parameter set, arms it, polls the
// status at a steady rate, fetches every image as soon as it waits, and always disarms and
// closes at the end (plates done, time up, Ctrl-C or an error).
#include <signal.h>
#include <strings.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "commands.h"
#include "export/dicom_uid.h"
#include "export/png_export.h"
#include "plate_export.h"

namespace {

int RunScan(Library& library, const std::vector<std::string>& args);

volatile sig_atomic_t stopRequested = 0;
void OnSignal(int) { stopRequested = 1; }

struct Options {
    std::string set = "1";
    long plates = 0;       // 0: no limit
    double seconds = 0;    // 0: no limit
    bool png = false;
    bool png8 = false;
    long intervalMs = 50;
    std::vector<ExportFormat> save;  // --save: exports written beside each image
    ExportSettings exportSettings;
};

struct Api {
    decltype(&::Open_Scanner) open;
    decltype(&::Close_Scanner) close;
    decltype(&::Aktivate_Scanner) arm;
    decltype(&::Deaktivate_Scanner) disarm;
    decltype(&::Get_Status) status;
    decltype(&::Get_ImageName) imageName;
    decltype(&::Get_ImageInfo) imageInfo;
    decltype(&::Read_DiskImage) readImage;
    decltype(&::Get_Paramcount) paramCount;
    decltype(&::Get_Paramname) paramName;
    decltype(&::ApiInit) apiInit;
    decltype(&::Get_FirstOldImageName) firstOld;
    decltype(&::Get_NextOldImageName) nextOld;

    bool resolve(Library& l) {
        open = LUMORA_FUNCTION(l, Open_Scanner);
        close = LUMORA_FUNCTION(l, Close_Scanner);
        arm = LUMORA_FUNCTION(l, Aktivate_Scanner);
        disarm = LUMORA_FUNCTION(l, Deaktivate_Scanner);
        status = LUMORA_FUNCTION(l, Get_Status);
        imageName = LUMORA_FUNCTION(l, Get_ImageName);
        imageInfo = LUMORA_FUNCTION(l, Get_ImageInfo);
        readImage = LUMORA_FUNCTION(l, Read_DiskImage);
        paramCount = LUMORA_FUNCTION(l, Get_Paramcount);
        paramName = LUMORA_FUNCTION(l, Get_Paramname);
        apiInit = LUMORA_FUNCTION(l, ApiInit);
        firstOld = LUMORA_FUNCTION(l, Get_FirstOldImageName);
        nextOld = LUMORA_FUNCTION(l, Get_NextOldImageName);
        return open && close && arm && disarm && status && imageName && imageInfo && readImage &&
               paramCount && paramName && apiInit && firstOld && nextOld;
    }
};

bool ParseNumber(const std::string& text, double* out) {
    char* end = nullptr;
    double v = strtod(text.c_str(), &end);
    if (text.empty() || *end || v < 0) return false;
    *out = v;
    return true;
}

// Image files in the image folder (the scanner closed).
std::set<std::string> ImageFiles(Api& api) {
    std::set<std::string> names;
    char name[1024];
    for (int r = api.firstOld(name); r == 0; r = api.nextOld(name)) names.insert(name);
    return names;
}

// Parameter set by number, or by its name (without regard to case). -1 when unknown.
int FindSet(Api& api, const std::string& set) {
    double n;
    if (ParseNumber(set, &n) && n == double(int(n))) return int(n);
    int count = api.paramCount();
    for (int i = 1; i <= count; i++) {
        char name[260] = "";
        if (api.paramName(name, i) == 0 && strcasecmp(name, set.c_str()) == 0) return i;
    }
    return -1;
}

void SleepMs(long ms) {
    timespec t{ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&t, &t) != 0 && !stopRequested) {
    }
}

class Session {
public:
    Session(Api& api, Library& library, Options& o)
        : api_(api), library_(library), o_(o), tty_(isatty(STDOUT_FILENO)) {
        // The images of one session are one study and one series.
        o_.exportSettings.dicom.studyUid = NewDicomUid();
        o_.exportSettings.dicom.seriesUid = NewDicomUid();
    }

    // Fetches every waiting image. False when writing a preview failed (the image is kept).
    void FetchImages() {
        char name[1024];
        while (api_.imageName(name) > 0) {
            fetched_++;
            EndStatusLine();
            std::printf("image %ld: %s\n", fetched_, name);
            if (o_.png || o_.png8) Preview(name);
            Save(name);
            std::fflush(stdout);
        }
    }

    void ShowStatus(int word, double elapsed) {
        char line[160];
        std::snprintf(line, sizeof line,
                      "%6.1fs  plate in scan: %-3s  receiving: %-3s  images waiting: %3d  fetched: %ld",
                      elapsed, (word & LUMORA_STATUS_PLATE_IN_SCAN) ? "yes" : "no",
                      (word & LUMORA_STATUS_RECEIVING) ? "yes" : "no", word & 0xFF, fetched_);
        if (tty_) {
            std::printf("\r%s", line);
            open_ = true;
        } else if (line + 9 != last_) {  // without a terminal: only when something changed
            last_ = line + 9;
            std::printf("%s\n", line);
        }
        std::fflush(stdout);
    }

    // An image rebuilt at the open from what an interrupted session left in the scanner.
    void Recovered(const std::string& name) {
        fetched_++;
        std::printf("image %ld: %s (recovered from the scanner memory)\n", fetched_, name.c_str());
        if (o_.png || o_.png8) Preview(name.c_str());
        Save(name.c_str());
        std::fflush(stdout);
    }

    void EndStatusLine() {
        if (open_) std::printf("\n");
        open_ = false;
    }

    long fetched() const { return fetched_; }
    bool previewFailed() const { return previewFailed_; }

private:
    void Preview(const char* name) {
        ImageInfo info{};
        int r = api_.imageInfo(&info, name);
        if (r != 0 || info.width == 0 || info.height == 0 || info.width > 65535 || info.height > 65535) {
            std::fprintf(stderr, "lumora: %s: no image information for a preview (code %d)\n", name, r);
            previewFailed_ = true;
            return;
        }
        PlateImage image;
        image.info = info;  // the pixel size goes into the preview
        image.width = uint16_t(info.width);
        image.height = uint16_t(info.height);
        image.pixels.resize(size_t(info.width) * info.height);
        r = api_.readImage(image.pixels.data(), name);
        std::string png = std::string(name);
        png = png.substr(0, png.rfind('.')) + ".png";
        std::string error;
        if (r != 0)
            error = "cannot read the image (code " + std::to_string(r) + ")";
        else
            WritePng(image, o_.png8, png, &error);
        if (!error.empty()) {
            std::fprintf(stderr, "lumora: preview of %s: %s\n", name, error.c_str());
            previewFailed_ = true;
        } else {
            std::printf("  preview: %s\n", png.c_str());
        }
    }

    void Save(const char* name) {
        o_.exportSettings.dicom.instanceNumber = int(fetched_);
        for (ExportFormat format : o_.save) {
            std::string written;
            if (ExportImageFile(library_, name, format, o_.exportSettings, "", &written) != 0)
                previewFailed_ = true;
        }
    }

    Api& api_;
    Library& library_;
    Options& o_;
    bool tty_;
    bool open_ = false;
    long fetched_ = 0;
    bool previewFailed_ = false;
    std::string last_;
};

int RunScan(Library& library, const std::vector<std::string>& args) {
    Options o;
    for (size_t i = 0; i < args.size(); i++) {
        const std::string& a = args[i];
        auto value = [&](double* out) { return i + 1 < args.size() && ParseNumber(args[++i], out); };
        double v = 0;
        if (a == "--set" && i + 1 < args.size()) {
            o.set = args[++i];
        } else if (a == "--plates" && value(&v) && v >= 1 && v == double(long(v))) {
            o.plates = long(v);
        } else if (a == "--seconds" && value(&v) && v > 0) {
            o.seconds = v;
        } else if (a == "--interval" && value(&v) && v >= 1 && v <= 10000) {
            o.intervalMs = long(v);
        } else if (a == "--png") {
            o.png = true;
        } else if (a == "--png8") {
            o.png8 = true;
        } else if (a == "--save" && i + 1 < args.size()) {
            ExportFormat format;
            if (!ParseExportFormat(args[++i], &format) || format == ExportFormat::Png8)
                return UsageError("scan", "--save takes dicom, tiff or png16: " + args[i]);
            o.save.push_back(format);
        } else if (std::string error; TakeExportOption(args, &i, &o.exportSettings, &error)) {
            if (!error.empty()) return UsageError("scan", error);
        } else {
            return UsageError("scan", "unexpected argument: " + a);
        }
    }
    Api api{};
    if (!api.resolve(library)) return Failure(library.error().c_str(), LUMORA_E_INIT);

    int set = FindSet(api, o.set);
    if (set < 0) return Failure(("parameter set " + o.set).c_str(), LUMORA_E_NOT_FOUND);

    struct sigaction sa{};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    Session session(api, library, o);
    std::set<std::string> before = ImageFiles(api);
    int r = api.open(set);
    if (r == LUMORA_E_OLD_DATA) {
        // The scanner memory held data of an interrupted session: the open rebuilt those
        // images and asks for another open.
        std::printf("the scanner held data of an interrupted session: images rebuilt\n");
        for (const std::string& name : ImageFiles(api))
            if (!before.count(name)) session.Recovered(name);
        r = api.open(set);
    }
    if (r == LUMORA_W_OLD_IMAGES || r == LUMORA_W_LAMP_LIFETIME) {
        // The scanner is open; the warning returned the library to its loaded state.
        std::fprintf(stderr, "lumora: warning: %s (code %d)\n", Explain(r), r);
        int init = api.apiInit();
        if (init != 0) {
            api.close();
            return Failure("initialisation after the open", init);
        }
    } else if (r != 0) {
        return Failure("Open_Scanner", r);
    }
    std::printf("scanner open with parameter set %d\n", set);

    int result = api.arm();
    if (result == LUMORA_W_AMBIENT_LIGHT) {
        std::fprintf(stderr, "lumora: warning: %s (code %d)\n", Explain(result), result);
        result = 0;
    }
    bool armed = result == 0;
    const char* failedCall = armed ? nullptr : "Aktivate_Scanner";
    if (armed) std::printf("armed: feed plates%s\n", o.plates ? "" : " (Ctrl-C ends the session)");

    auto start = std::chrono::steady_clock::now();
    auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
    while (armed && !stopRequested) {
        int word = api.status();
        if (word < 0 && word != LUMORA_E_STATUS_BUSY) {
            result = word;
            failedCall = "Get_Status";
            break;
        }
        if (word >= 0) {
            if (word & 0xFF) session.FetchImages();
            session.ShowStatus(word, elapsed());
        }
        if (o.plates && session.fetched() >= o.plates) break;
        if (o.seconds && elapsed() >= o.seconds) break;
        SleepMs(o.intervalMs);
    }

    // Disarm, then take what is still on its way: data left in the scanner memory and images
    // finished meanwhile.
    if (armed) api.disarm();
    if (result == 0) {
        for (int polls = 0; polls < 2000; polls++) {
            int word = api.status();
            if (word < 0) break;
            if (word & 0xFF) session.FetchImages();
            if (!(word & (LUMORA_STATUS_RECEIVING | LUMORA_STATUS_PLATE_IN_SCAN))) break;
        }
    }
    session.FetchImages();
    session.EndStatusLine();
    int closed = api.close();
    if (stopRequested) std::printf("interrupted\n");
    std::printf("%ld image%s received\n", session.fetched(), session.fetched() == 1 ? "" : "s");
    if (failedCall) return Failure(failedCall, result);
    if (closed != 0) return Failure("Close_Scanner", closed);
    return session.previewFailed() ? 1 : 0;
}

}  // namespace

LUMORA_COMMAND(scan, "scan plates into image files",
               "usage: lumora scan [--set N|NAME] [--plates N] [--seconds S] [--png|--png8]\n"
               "                   [--interval MS] [--save dicom|tiff|png16 ...] [DICOM options]\n\n"
               "Opens the scanner with parameter set N (default 1) or the set of that name,\n"
               "arms it and polls its status every MS milliseconds (default 50), showing whether\n"
               "a plate is in the scan, whether data are being received and how many images\n"
               "wait. Every image is fetched as soon as it waits and its file name printed;\n"
               "images rebuilt at the open from an interrupted session's data are listed first;\n"
               "--png writes a 16-bit grayscale preview beside it, --png8 an 8-bit one with the\n"
               "image's range stretched. The session ends after N images (--plates), after S\n"
               "seconds (--seconds) or on Ctrl-C; the scanner is then disarmed, the remaining\n"
               "data are fetched, and it is closed.\n"
               "--save writes each image as it arrives also as DICOM (.dcm), 16-bit TIFF (.tif)\n"
               "or 16-bit PNG (.png) next to the driver's file (repeat it for several formats;\n"
               "the DICOM files of a session share one study and one series).\n\n"
               LUMORA_EXPORT_OPTIONS_USAGE,
               RunScan);
