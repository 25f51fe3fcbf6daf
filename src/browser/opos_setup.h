// The OPOS service-object registry entries that the "OPOSETUP" program writes for a connected
// printer: its port and printer name under the model's POSPrinter keys and, for the models that have
// them, the keys of the line display, cash drawer, MICR and check scanner.
#pragma once

#include <cstdint>
#include <string>

namespace zelta {

// The OPOS set-up for a printer of model_id (32, 46 or 161) whose model name is model, on port, named
// printer_name, shown in the tree as node_text. Asks and reports with message boxes; false when no
// window is to open (the user said No, or the set-up did not hold).
bool OposSetup(uint8_t model_id, const std::string& model, const std::string& port,
               const std::string& printer_name, const std::string& node_text);

}  // namespace zelta
