#include "box_log.h"

#include <ctime>

bool BoxLog::Open(const std::string& path) {
    if (path.empty() || path == "-") return true;
    file_ = std::fopen(path.c_str(), "a");
    return file_ != nullptr;
}

BoxLog::~BoxLog() {
    if (file_) std::fclose(file_);
}

void BoxLog::Line(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    FILE* out = file_ ? file_ : stderr;
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::fprintf(out, "%s lumora-boxd: %s\n", stamp, text.c_str());
    std::fflush(out);
}
