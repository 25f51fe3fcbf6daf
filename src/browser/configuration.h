// What the program takes from its surroundings: its folder and name, its INI file, the model names of
// printer model IDs, and the registry key of its settings.
#pragma once

#include <cstdint>
#include <string>

namespace zelta {

// The registry key of the program's settings and its values.
inline constexpr char kZeltaKey[] = "SOFTWARE\\Zelta\\";
inline constexpr char kInstallationTypeValue[] = "InstallationType";
inline constexpr char kMainServerValue[] = "MainServer";

// Settles the program's folder (into AppFolder, with one trailing '/') and name from the path the
// program was started with (argv[0]; a symlink keeps its own name, which selects the variant).
void InitProgramPaths(const std::string& argv0);

// The program's file name without extension, upper-cased: "LOGO", "OPOSETUP", "DEMO", ...
std::string ProgramVariant();

// AppFolder + the program's file name without extension + ".INI" (Logo → Logo.INI).
std::string ProgramIni();

// The model name of a printer model ID, from section "PRINTER ID" of ProgramIni (read afresh on each
// call into a 256-character buffer; an entry matches when the low or the high byte of its value equals
// model_id) with its brand from "PRINTER BRAND", else from the built-in table. brand: in, the brand wanted
// ("" for any); out, the brand of the model returned. A "PRINTER ID" value that is not a whole number from
// -32768 to 32767 returns "" and, when error is given, a description in it.
std::string GetPrinterModel(uint8_t model_id, std::string& brand, std::string* error = nullptr);

}  // namespace zelta
