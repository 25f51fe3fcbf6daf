#include "browser/about_info.h"

#include <sstream>

#include "browser/browser_state.h"
#include "browser/version_info.h"

namespace zelta {

AboutTexts MakeAboutTexts(const std::string& product, const std::string& description,
                          const std::string& version) {
  AboutTexts t{std::string("About ") + kProgramTitle, product, description, "Release"};
  std::istringstream parts(version);
  std::string part;
  const char* sep = " ";
  for (int i = 0; i < 3; ++i) {
    long n = 0;
    if (std::getline(parts, part, '.')) {
      try {
        n = std::stol(part);
      } catch (...) {
        n = 0;
      }
    }
    t.version += sep + std::to_string(n);
    sep = ".";
  }
  return t;
}

AboutTexts ProgramAboutTexts() { return MakeAboutTexts(kProductName, kFileDescription, kFileVersion); }

}  // namespace zelta
