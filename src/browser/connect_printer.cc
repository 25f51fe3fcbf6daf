#include "browser/connect_printer.h"

#include "browser/configuration.h"
#include "browser/opos_setup.h"
#include "link/forms.h"
#include "link/status_texts.h"
#include "platform/computer_name.h"
#include "platform/ini_file.h"
#include "shared/bytes.h"
#include "shared/pubblic_var.h"

namespace zelta {
namespace {

constexpr char kEscQModel161[] = "VX-7800";

// What the routine knows about the selected node.
struct Target {
  bool net = false;
  std::string node_text, port, printer_name, server_name;
};

Target TargetOf(const ServerTree& tree, const TreeNode& node) {
  Target t;
  t.net = node.image == kImageNetPrinter;
  t.node_text = node.text;
  t.port = node.tag;
  size_t slash = node.key.find('\\');
  size_t from = t.net || slash == std::string::npos ? 0 : slash + 1;
  t.printer_name = node.key.substr(from, node.key.find(':', from) - from);
  if (t.net) {
    t.server_name = GetComputerName();
  } else if (const TreeNode* parent = tree.Node(node.parent)) {
    t.server_name = parent->key;
  }
  return t;
}

std::string HandOutError(const Target& t, const PrinterErrorInfo& info) {
  if (t.net) {
    return "Raised error " + Str(info.Number) + "  on connection with " + t.node_text + "." + "\r" +
           "Description: " + info.Description;
  }
  return "Raised error" + Str(info.Number) + " for " + t.printer_name + " on " + t.port + " of " +
         t.server_name + "." + "\r\n" + "Description: " + info.Description;
}

std::string IdentifyError(const Target& t, const PrinterErrorInfo& info) {
  if (t.net) {
    return "Raised error " + Str(info.Number) + "  on connection with " + t.node_text + "." + "\r\n" +
           "Description: " + info.Description;
  }
  return "Raised error" + Str(info.Number) + " on connection with " + t.printer_name + " on " + t.port +
         " of " + t.server_name + "." + "\r\n" + "Description: " + info.Description;
}

// Lets the printer go and forgets it: every failure after the claim ends here.
void DropPrinter(bool claimed) {
  if (PrinterObj && claimed) PrinterObj->ReleasePrinter();
  PrinterObj.reset();
}

bool IsKnownModel(uint8_t id) { return id == 32 || id == 46 || id == 36 || id == 10 || id == 161; }

// Chooses and opens the window of the program variant; false when none opens.
bool OpenVariantWindow(StartFormState& form, const Target& t, uint8_t id, const std::string& model) {
  const std::string variant = ProgramVariant();
  PrinterWindow window = PrinterWindow::kPrnForm;
  if (variant == "LOGO") {
    window = PrinterWindow::kLogoForm;
  } else if (variant == "DEMO") {
    if (GetPrivateProfileInt("BRASIL", "ENABLED", 0, ProgramIni()) == 1 && (id == 161 || id == 10)) {
      window = PrinterWindow::kPrnBraForm;
    }
  } else if (variant == "OPOSETUP") {
    PrinterObj.reset();
    if (!OposSetup(id, model, t.port, t.printer_name, t.node_text)) return false;
  } else if (variant != "SETUP" && variant != "MEMORY") {
    PrinterObj.reset();
    ShowMessage("Application unknown.");
    return false;
  }
  if (!form.open_printer_window || !form.open_printer_window(window, t.node_text)) {
    PrinterObj.reset();
    return false;
  }
  return true;
}

void Connect(StartFormState& form, const TreeNode& node) {
  Target t = TargetOf(form.tvwServerCollection, node);
  SetStatusText(kPanelProgram, "Connecting to " + t.server_name + "...");
  auto monitor = std::dynamic_pointer_cast<MonitorObject>(
      CreateRemoteObject(kProgIdMonitor, t.server_name, form.creation));
  if (form.creation.ClosePending) {
    monitor.reset();
    UnloadStartForm(form);
    return;
  }
  if (!monitor) return;
  SetStatusText(kPanelProgram, "Connecting to " + t.node_text + "...");
  int32_t result = 0;
  std::string name = t.printer_name, port = t.port;
  monitor->CheckPrinter(name, port, result);
  if (result != 0) {
    std::string text;
    monitor->GetResultText(result, text);
    ShowMessage("Raised error on connection with " + t.printer_name + " (on " + t.port + ") of " +
                t.server_name + "." + "\r" + "Description: " + text);
    return;
  }
  std::shared_ptr<PrinterObject> printer;
  name = t.printer_name;
  port = t.port;
  monitor->GetPrinter(name, port, printer);
  PrinterObj = printer;
  if (port.find('.') != std::string::npos) {
    // The server names the host the printer is reached at: show it in place of the host listed.
    TreeNode* shown = form.tvwServerCollection.Node(node.id);
    size_t paren = shown->text.find('(');
    shown->text =
        (paren == std::string::npos ? shown->text + "(" : shown->text.substr(0, paren + 1)) + port + ")";
    t.node_text = shown->text;
  }
  if (!PrinterObj) {
    PrinterErrorInfo info;
    monitor->GetLastError(info, result);
    monitor.reset();
    ShowMessage(HandOutError(t, info));
    return;
  }
  SetStatusText(kPanelProgram, "Checking " + t.node_text + "...");
  monitor.reset();

  PrinterErrorInfo info;
  if (PrinterObj->ClaimPrinter() != 0) {
    PrinterObj->GetLastError(info);
    PrinterObj.reset();
    ShowMessage("Raised error code " + Str(info.Number) + " for " + t.printer_name + " on " + t.port +
                " of " + t.server_name + "." + "\r" + "Extended error description: " + info.Description);
    return;
  }
  int32_t busy = 0;
  PrinterObj->GetBusyState(busy);
  if (busy != 0) {
    DropPrinter(true);
    ShowMessage(std::string("Printer offline.") + "\r" + "Please check printer and then try again...");
    return;
  }
  uint8_t id = 0;
  if (IdentifyPrinter(*PrinterObj, id) != 0) {
    PrinterObj->GetLastError(info);
    DropPrinter(true);
    ShowMessage(IdentifyError(t, info));
    return;
  }
  PrinterObj->ReleasePrinter();
  PrinterModelId = id;
  std::string brand;
  const std::string model = GetPrinterModel(id, brand);

  if (id == 176) {
    if (ProgramVariant() != "KDM410G") {
      PrinterObj.reset();
      ShowMessage(t.node_text + " is a " + model + "." + "\n" + "This application does not work with a " +
                  model + ".");
      return;
    }
    if (!form.open_printer_window || !form.open_printer_window(PrinterWindow::kPrnForm, t.node_text))
      PrinterObj.reset();
    return;
  }
  if (!IsKnownModel(id)) {
    PrinterObj.reset();
    ShowMessage(std::string("Printer unknown.") + "\r" + "Please verify printers and connections...");
    return;
  }
  OpenVariantWindow(form, t, id, model);
}

}  // namespace

int32_t IdentifyPrinter(PrinterObject& printer, uint8_t& model_id) {
  model_id = 0;
  int32_t kind = 0;
  printer.GetDeviceKind(kind);
  const bool gs_i = kind == 1;
  Bytes request = gs_i ? B({0x1d, 0x49, 0x01}) : B({0x1b, 0x3f, 0x30});
  int32_t written = 0;
  int32_t result = printer.WriteData(request, 3, written, kWriteRealTime);
  if (result != 0) return result;
  printer.GetDeviceKind(kind);
  std::string buffer;
  int32_t count = 0;
  if (kind == 1) {
    result = printer.ReadData(buffer, 1, count);
    if (result == 0 && !buffer.empty()) model_id = static_cast<uint8_t>(buffer[0]);
    return result;
  }
  result = printer.ReadData(buffer, 3, count);
  if (result != 0) return result;
  const int length = buffer.size() >= 2 ? static_cast<uint8_t>(buffer[1]) : 0;
  std::string text;
  if (length > 0) {
    result = printer.ReadData(text, length, count);
    if (result != 0) return result;
    if (!text.empty()) text.pop_back();
  }
  model_id = text == kEscQModel161 ? 161 : 0;
  return 0;
}

void ConnectSelectedPrinter(StartFormState& form) {
  if (form.busy) return;
  const TreeNode* node = form.tvwServerCollection.Node(form.tvwServerCollection.Selected());
  if (form.ItemHit && node && (node->image == kImagePrinter || node->image == kImageNetPrinter)) {
    SetBusy(form, true);
    TreeNode copy = *node;
    Connect(form, copy);
    if (form.unloaded) return;
  }
  SetStatusText(kPanelProgram, kTextReady);
  SetBusy(form, false);
}

}  // namespace zelta
