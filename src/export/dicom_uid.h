// Fresh DICOM unique identifiers: "2.25." and the decimal value of a random (version 4) UUID,
// the root that needs no registration (ISO/IEC 9834-8). At most 44 characters.
#pragma once
#include <string>

std::string NewDicomUid();
