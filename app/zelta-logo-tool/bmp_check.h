// The first look at an input file, before it is read as a picture: the "BM" magic and one colour
// plane, so that a refusal can say what is wrong with the file.
#pragma once

#include <string>

namespace zelta {

// "" when path starts like a BMP file; otherwise why it does not, as a sentence naming the file.
std::string WhyNotABmpFile(const std::string& path);

}  // namespace zelta
