#include "browser/opos_setup.h"

#include <utility>
#include <vector>

#include "browser/configuration.h"
#include "link/forms.h"
#include "link/status_texts.h"
#include "platform/registry.h"
#include "platform/ui_hooks.h"

namespace zelta {
namespace {

constexpr char kOposRoot[] = "SOFTWARE\\OleForRetail\\ServiceOPOS\\";
constexpr char kCommPort[] = "COMMPort";
constexpr char kMachineType[] = "MachineType";

// A further key: the service-object class and the suffix of its key name.
struct FurtherKey {
  const char* service;
  const char* control;
};

bool IsOposModel(uint8_t id) { return id == 32 || id == 46 || id == 161; }

void WriteFurtherKey(const FurtherKey& k, const std::string& model, const std::string& port,
                     const std::string& printer_name) {
  const std::string name = std::string(kOposRoot) + k.service + "\\" + model + k.control;
  const std::pair<const char*, const std::string*> values[] = {{kCommPort, &port},
                                                               {kMachineType, &printer_name}};
  for (const auto& [value, data] : values) {
    if (RegWriteString(name + "\\", value, *data) != kRegSuccess) {
      MsgBox(std::string("Error updating registry value '") + value + "' under '" + name + "' key.",
             MsgBoxButtons::kOk, MsgBoxIcon::kCritical);
    }
  }
}

}  // namespace

bool OposSetup(uint8_t model_id, const std::string& model, const std::string& port,
               const std::string& printer_name, const std::string& node_text) {
  if (!IsOposModel(model_id)) {
    std::string brand;
    if (printer_name == GetPrinterModel(161, brand) || printer_name == GetPrinterModel(46, brand = "")) {
      MsgBox(node_text + " is not a " + printer_name + ".", MsgBoxButtons::kOk, MsgBoxIcon::kInformation);
    } else {
      MsgBox("OPOS for " + printer_name + " not installed.", MsgBoxButtons::kOk, MsgBoxIcon::kCritical);
    }
    return false;
  }
  if (model != printer_name && MsgBox(node_text + " is a " + model + "." + "\r" + "Do you want to continue?",
                                      MsgBoxButtons::kYesNo, MsgBoxIcon::kQuestion) != MsgBoxResult::kYes) {
    return false;
  }
  SetStatusText(kPanelProgram, "Updating registry values for " + model + "...");

  // POSPrinter keys: MachineType only where COMMPort was written; one key written whole is enough.
  std::vector<std::string> printer_keys = {"Device"};
  if (model_id != 161) printer_keys.push_back("CDevice");
  bool held = false;
  for (const std::string& suffix : printer_keys) {
    const std::string key = std::string(kOposRoot) + "POSPrinter\\" + model + suffix;
    if (RegWriteString(key, kCommPort, port) == kRegSuccess &&
        RegWriteString(key, kMachineType, printer_name) == kRegSuccess) {
      held = true;
    }
  }
  if (!held) {
    MsgBox("OPOS for " + model + " not installed.", MsgBoxButtons::kOk, MsgBoxIcon::kCritical);
    return false;
  }

  static const FurtherKey kDisplayDrawer[] = {{"LineDisplay", "LineControl"},
                                              {"CashDrawer", "DrawerControl"}};
  static const FurtherKey kMicrScanner[] = {{"Micr", "MicrControl"}, {"CheckScanner", "CheckScannerControl"}};
  for (const FurtherKey& k :
       model_id == 161 ? std::vector<FurtherKey>(std::begin(kMicrScanner), std::end(kMicrScanner))
                       : std::vector<FurtherKey>(std::begin(kDisplayDrawer), std::end(kDisplayDrawer))) {
    WriteFurtherKey(k, model, port, printer_name);
  }
  return true;
}

}  // namespace zelta
