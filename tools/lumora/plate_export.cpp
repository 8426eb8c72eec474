#include "plate_export.h"

#include <cstdio>

bool TakeExportOption(const std::vector<std::string>& args, size_t* i, ExportSettings* s,
                      std::string* error) {
    struct Field {
        const char* option;
        std::string* value;
    } fields[] = {{"--patient-name", &s->dicom.patientName},
                  {"--patient-id", &s->dicom.patientId},
                  {"--birth-date", &s->dicom.patientBirthDate},
                  {"--sex", &s->dicom.patientSex},
                  {"--study", &s->dicom.studyDescription},
                  {"--study-id", &s->dicom.studyId},
                  {"--accession", &s->dicom.accessionNumber},
                  {"--referring", &s->dicom.referringPhysician},
                  {"--institution", &s->dicom.institution},
                  {"--kind", &s->kind}};
    for (const Field& f : fields) {
        if (args[*i] != f.option) continue;
        if (*i + 1 >= args.size()) {
            *error = std::string(f.option) + " needs a value";
            return true;
        }
        *f.value = args[++*i];
        if (f.value == &s->kind && PlateKindFromName(s->kind) == PlateKind::Unknown)
            *error = "unknown plate kind: " + s->kind;
        return true;
    }
    return false;
}

namespace {

// The parameter set's name and plate kind from the configuration the library uses.
ExportFacts FactsOf(Library& library, const PlateImage& image, const ExportSettings& settings) {
    ExportFacts facts;
    auto iniFile = LUMORA_FUNCTION(library, Get_IniFileName);
    char path[260] = "";
    ParamSetFacts set;
    if (iniFile && iniFile(path) == 0 && ReadParamSetFacts(path, image.info.paramSet, &set)) {
        facts.paramSetName = set.name;
        facts.kind = set.kind;
    }
    if (!settings.kind.empty()) facts.kind = PlateKindFromName(settings.kind);
    return facts;
}

}  // namespace

int ExportImageFile(Library& library, const std::string& imagePath, ExportFormat format,
                    const ExportSettings& settings, const std::string& out, std::string* written) {
    PlateImage image;
    std::string error;
    int result = LoadPlateImage(imagePath.c_str(), &image, &error);
    std::string target = out;
    if (target.empty()) {
        const size_t dot = imagePath.rfind('.');
        const size_t slash = imagePath.rfind('/');
        const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
        target = (hasExtension ? imagePath.substr(0, dot) : imagePath) + ExportExtension(format);
    }
    if (result == LUMORA_OK) {
        result = ExportPlate(image, format, FactsOf(library, image, settings), settings.dicom,
                             target, &error);
    }
    if (result != LUMORA_OK) {
        std::fprintf(stderr, "lumora: %s: %s (code %d)\n", imagePath.c_str(), error.c_str(), result);
        return result;
    }
    std::printf("  %s: %s\n", ExportFormatName(format), target.c_str());
    *written = target;
    return LUMORA_OK;
}
