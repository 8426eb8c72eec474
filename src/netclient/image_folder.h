// The local image folder named in the configuration sent with "scanner.open": the only place
// where a file named by the box may be written.
#pragma once
#include <string>

// ImagePath of section Scanner in a configuration text ("" when absent).
std::string ImagePathOfConfiguration(const char* text, size_t size);

void SetBoxImageFolder(const std::string& folder);
std::string BoxImageFolder();

// Opens name for writing ("wb") when it resolves to a plain file name directly inside the
// image folder (after ".", ".." and symbolic links of existing parents; a symbolic link at
// the name itself is refused too). Creates the image folder itself when it is missing, and
// no other directory. Null, with a level-3 line naming the path, when refused.
FILE* OpenInImageFolder(const std::string& name);
// True when name would be accepted by OpenInImageFolder (nothing but a missing image folder
// itself is created).
bool InsideImageFolder(const std::string& name);
