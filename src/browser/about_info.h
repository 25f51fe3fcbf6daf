// The texts of the About box, from the program's version information.
#pragma once

#include <string>

namespace zelta {

struct AboutTexts {
  std::string caption;      // "About " + program title
  std::string title;        // product name
  std::string description;  // file description
  std::string version;      // "Release " + major.minor.revision
};

// version: the program's version as it stands in its version information ("1.15.0001"), each part
// written in the box without leading zeros.
AboutTexts MakeAboutTexts(const std::string& product, const std::string& description,
                          const std::string& version);

// The texts of this program.
AboutTexts ProgramAboutTexts();

}  // namespace zelta
