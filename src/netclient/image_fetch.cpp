// Fetching a finished image and its info file from the box into the local image folder, in
// chunks of 102400 bytes, and deleting it on the box afterwards.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "config/image_numbering.h"
#include "lumora/lumora.h"
#include "netclient/box_answer.h"
#include "netclient/client.h"
#include "netclient/image_folder.h"
#include "netclient/rpc_execute.h"
#include "platform/log_channel.h"
#include "platform/tools.h"

using XmlRpc::XmlRpcValue;

namespace {

constexpr int kChunkBytes = 102400;
constexpr int kChunkFailures = 3;    // consecutive failed chunk requests end the fetch
constexpr size_t kNameBytes = 1024;  // caller's name buffer

// The info file's name: the last three characters become "txt".
std::string MetadataPath(const std::string& name) {
    return name.size() < 3 ? std::string() : name.substr(0, name.size() - 3) + "txt";
}

// The image number of a name ".../LMnnnnnn.ext"; 0 for any other name.
int ImageNumber(const std::string& name) {
    const size_t slash = name.rfind('/');
    const std::string file = slash == std::string::npos ? name : name.substr(slash + 1);
    if (file.compare(0, 2, "LM") != 0) return 0;
    char* end = nullptr;
    const long number = std::strtol(file.c_str() + 2, &end, 10);
    return end != file.c_str() + 2 && *end == '.' && number > 0 && number <= 999999 ? int(number) : 0;
}

// Keeps the highest number fetched in the image folder's numbering record: the next open tells
// the box to number after it, also when the application has deleted the images by then.
void KeepNumber(const std::string& name) {
    const int number = ImageNumber(name);
    const std::string folder = BoxImageFolder();
    if (number > 0 && !folder.empty() && number > ReadNumberingFile(folder.c_str()))
        WriteNumberingFile(folder.c_str(), number);
}

bool WriteAll(FILE* file, const unsigned char* data, size_t size) {
    return size == 0 || std::fwrite(data, 1, size, file) == size;
}

// Steps 3 to 6: the info file, the size, the image file in chunks. 0 or an error code.
int FetchFiles(const std::string& name, const BoxBytes& metadata) {
    FILE* info = OpenInImageFolder(MetadataPath(name));
    if (!info) return LUMORA_E_FILE;
    bool written = WriteAll(info, metadata.data(), metadata.size());
    if (std::fclose(info) != 0 || !written) return LUMORA_E_FILE;

    const int size = client_GetFileSize(name.c_str());
    if (size <= 0) return LUMORA_E_FILE;

    FILE* image = OpenInImageFolder(name);
    if (!image) return LUMORA_E_FILE;
    std::vector<unsigned char> chunk(kChunkBytes);
    int offset = 0, failures = 0, outcome = 0;
    while (offset < size) {
        int count = client_GetFileData(name.c_str(), offset, kChunkBytes, chunk.data());
        if (count > 0) {
            if (!WriteAll(image, chunk.data(), size_t(count))) {
                outcome = LUMORA_E_FILE;
                break;
            }
            offset += count;
            failures = 0;
        } else if (++failures >= kChunkFailures) {
            outcome = count == 0 ? LUMORA_E_FILE : count;
            break;
        }
    }
    if (std::fclose(image) != 0 && outcome == 0) outcome = LUMORA_E_FILE;
    return outcome;
}

}  // namespace

int client_GetFileSize(const char* path) {
    const char* method = "file.getsize";
    XmlRpcValue answer;
    if (rpcexecute(method, XmlRpcValue(path ? path : ""), answer) != 0) return 0;
    int size = 0;
    return AnswerInt(method, answer, &size) ? size : 0;
}

int client_GetFileData(const char* path, int offset, int length, void* chunk) {
    const char* method = "file.getdata";
    XmlRpcValue params;
    params[0] = path ? path : "";
    params[1] = offset;
    params[2] = length;
    XmlRpcValue answer;
    if (rpcexecute(method, params, answer) != 0) return LUMORA_E_REMOTE;
    int result = 0;
    BoxBytes data;
    if (!AnswerStruct(method, answer) || !MemberInt(method, answer, "result", &result) ||
        !MemberBytes(method, answer, "data", &data))
        return LUMORA_E_BOX_ANSWER;
    if (result != 0) return result;
    // More than asked is cut to the request.
    size_t count = std::min({data.size(), size_t(kChunkBytes), size_t(std::max(length, 0))});
    if (count > 0 && chunk) std::memcpy(chunk, data.data(), count);
    return int(count);
}

int client_Delete_Image(const char* path) {
    const char* method = "image.delete";
    XmlRpcValue answer;
    if (rpcexecute(method, XmlRpcValue(path ? path : ""), answer) != 0) return LUMORA_E_REMOTE;
    int result = 0;
    return AnswerInt(method, answer, &result) ? result : LUMORA_E_BOX_ANSWER;
}

int client_Get_ImageName(char* nameOut) {
    const char* method = "image.name";
    if (nameOut) nameOut[0] = '\0';
    XmlRpcValue answer;
    if (rpcexecute(method, XmlRpcValue(), answer) != 0) return LUMORA_E_REMOTE;
    int result = 0;
    std::string name;
    BoxBytes metadata;
    if (!AnswerStruct(method, answer) || !MemberInt(method, answer, "result", &result) ||
        !MemberString(method, answer, "name", &name) ||
        !MemberBytes(method, answer, "metadata", &metadata))
        return LUMORA_E_BOX_ANSWER;
    if (result < 0) return result;
    if (name.empty() || metadata.empty()) return result;  // no image waits

    // The box names the file; only a plain file directly in the image folder is taken.
    if (name.size() >= kNameBytes) {
        LogPrint(LOG_ERROR, "box named a file longer than %zu characters: %.1000s refused",
                 kNameBytes - 1, name.c_str());
        return LUMORA_E_FILE;
    }
    if (!InsideImageFolder(name) || !InsideImageFolder(MetadataPath(name))) return LUMORA_E_FILE;

    int outcome = FetchFiles(name, metadata);
    if (outcome == 0) KeepNumber(name);
    if (outcome != 0) {
        result = outcome;
    } else if (result >= 1) {
        int deleted = client_Delete_Image(name.c_str());
        if (deleted != 0) result = deleted;
    }
    if (nameOut) strxcpy(nameOut, name.c_str(), kNameBytes);
    return result;
}
