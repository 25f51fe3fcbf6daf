#include "browser/configuration.h"

#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdlib>

#include "platform/ini_file.h"
#include "shared/pubblic_var.h"

namespace zelta {
namespace {

constexpr size_t kSectionBuffer = 256;
constexpr size_t kBrandBuffer = 128;
inline constexpr char kBuiltInBrand[] = "BRENNICA";

std::string& ProgramName() {
  static std::string name = "Logo";
  return name;
}

// A whole number from -32768 to 32767, blanks around it allowed.
bool ParseInt16(const std::string& text, int& value) {
  size_t i = text.find_first_not_of(' ');
  size_t end = text.find_last_not_of(' ');
  if (i == std::string::npos) return false;
  bool negative = false;
  if (text[i] == '-' || text[i] == '+') negative = text[i++] == '-';
  if (i > end) return false;
  long n = 0;
  for (; i <= end; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    n = n * 10 + (text[i] - '0');
    if (n > 32768) return false;
  }
  if (negative) n = -n;
  if (n < -32768 || n > 32767) return false;
  value = static_cast<int>(n);
  return true;
}

std::string BuiltInModel(uint8_t model_id) {
  switch (model_id) {
    case 176:
      return "KDM410G";
    case 10:
    case 161:
      return "KDM25";
    case 36:
      return "KDM410";
    case 32:
    case 46:
      return "KDT330";
    default:
      return "";
  }
}

}  // namespace

void InitProgramPaths(const std::string& argv0) {
  std::string path = argv0;
  if (path.find('/') == std::string::npos) {
    // Started through PATH: the folder is that of the running executable.
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    std::string exe = n > 0 ? std::string(buffer, static_cast<size_t>(n)) : "./" + argv0;
    path = exe.substr(0, exe.rfind('/') + 1) + argv0;
  } else if (path[0] != '/') {
    char cwd[4096];
    if (::getcwd(cwd, sizeof(cwd))) path = std::string(cwd) + "/" + path;
  }
  size_t slash = path.rfind('/');
  AppFolder = path.substr(0, slash + 1);
  // A link to the program (/usr/bin/Logo to /usr/lib/zelta-logo/Logo) finds the data files beside the
  // program it leads to, and keeps its own name.
  if (char* real = ::realpath(path.c_str(), nullptr)) {
    const std::string target = real;
    std::free(real);
    AppFolder = target.substr(0, target.rfind('/') + 1);
  }
  if (AppFolder.empty() || AppFolder.back() != '/') AppFolder += '/';
  std::string name = path.substr(slash + 1);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  ProgramName() = name;
}

std::string ProgramVariant() {
  std::string v = ProgramName();
  for (char& c : v) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return v;
}

std::string ProgramIni() { return AppFolder + ProgramName() + ".INI"; }

std::string GetPrinterModel(uint8_t model_id, std::string& brand, std::string* error) {
  const std::string ini = ProgramIni();
  const std::string section = GetPrivateProfileSection("PRINTER ID", kSectionBuffer, ini);
  size_t start = 0;
  for (;;) {
    size_t eq = section.find('=', start);
    if (eq == std::string::npos) break;
    size_t nul = section.find('\0', eq);
    if (nul == std::string::npos) break;  // cut off by the buffer: not considered
    size_t entry = section.rfind('\0', eq);
    entry = entry == std::string::npos || entry < start ? start : entry + 1;
    std::string name = section.substr(entry, eq - entry);
    std::string text = section.substr(eq + 1, nul - eq - 1);
    int value = 0;
    if (!ParseInt16(text, value)) {
      if (error) {
        *error = "The PRINTER ID entry " + name + "=" + text + " of " + ini +
                 " is not a whole number between -32768 and 32767.";
      }
      return "";
    }
    int16_t v = static_cast<int16_t>(value);
    if ((v & 255) == model_id || v / 256 == model_id) {
      std::string brand_read = GetPrivateProfileString("PRINTER BRAND", name, "", kBrandBuffer, ini);
      if (brand.empty() || brand == brand_read) {
        brand = brand_read;
        return name;
      }
    }
    start = nul + 1;
  }
  std::string model = BuiltInModel(model_id);
  brand = model.empty() ? "" : kBuiltInBrand;
  return model;
}

}  // namespace zelta
