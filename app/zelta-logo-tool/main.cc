// zelta-logo-tool: prepares a BMP file for a receipt printer the way the logo window does, for
// scripts and measurements.
//
//   zelta-logo-tool prepare IN.bmp --width DOTS [--fit] [--color bw|two|color] [--diffusion]
//                   --out PREPARED.bmp [--packet FILE --key KC]
//
// Writes the prepared bitmap as a 24-bit BMP and, with --packet, the NV definition packet (GS 8 L
// function 67, or 255 in colour) that a download sends for it, all writes in one file. Messages go to
// standard error; any failure ends with exit status 1 (2 for a bad command line).
#include <malloc.h>
#include <unistd.h>
#include "bmp_check.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "download/raster_conversion.h"
#include "download/raster_packets.h"
#include "image/fit_handler.h"
#include "image/logo_slots.h"
#include "image/read_bmp_file.h"
#include "imglib/zelta_img.h"
#include "platform/ui_hooks.h"
#include "shared/pubblic_var.h"

namespace zelta {
namespace {

// Every text the routines would show goes to standard error; prompts are answered Cancel.
class StderrUi : public UiHooks {
 public:
  MsgBoxResult MsgBox(const std::string& text, MsgBoxButtons, MsgBoxIcon, const std::string&) override {
    Print(text);
    return MsgBoxResult::kCancel;
  }
  void ShowMessageWindow(const std::string& text, Form*) override { Print(text); }
  bool OpenFiles(const std::string&, const std::string&, std::vector<std::string>&) override { return false; }
  void DoEvents() override {}
  double Timer() override { return MonotonicSeconds(); }
  uint32_t GetTickCount() override { return MonotonicMilliseconds(); }

 private:
  static void Print(std::string text) {
    for (char& c : text) {
      if (c == '\r') c = '\n';
    }
    std::string clean;
    for (size_t i = 0; i < text.size(); ++i) {
      if (!(text[i] == '\n' && i + 1 < text.size() && text[i + 1] == '\n')) clean.push_back(text[i]);
    }
    std::cerr << clean << "\n";
  }
};

int Usage(const std::string& why) {
  std::cerr << "zelta-logo-tool: " << why << "\n"
            << "usage: zelta-logo-tool prepare IN.bmp --width DOTS [--fit] [--color bw|two|color] "
               "[--diffusion] --out PREPARED.bmp [--packet FILE --key KC]\n";
  return 2;
}

std::string ProgramFolder() {
  std::vector<char> buf(4096);
  const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return "./";
  std::string path(buf.data(), static_cast<size_t>(n));
  return path.substr(0, path.rfind('/') + 1);
}

struct Options {
  std::string in, out, packet, key;
  int width = 0;
  bool fit = false;
  bool diffusion = false;
  int32_t colour_code = 2;
};

int Run(const Options& o) {
  AppFolder = ProgramFolder();
  SetCurrentPath(AppFolder, static_cast<int32_t>(AppFolder.size()));

  // The reader refuses a file that is no BMP with the not-loaded message only; say why first.
  if (const std::string why = WhyNotABmpFile(o.in); !why.empty()) {
    std::cerr << "zelta-logo-tool: " << why << "\nThe new logo <" << o.in << "> is not loaded.\n";
    return 1;
  }
  HBitmap loaded = ReadBmpFile(o.in);
  if (!loaded) {
    std::cerr << "Raise error on load the current picture.\nThe new logo <" << o.in << "> is not loaded.\n";
    return 1;
  }
  LogoWindowState state;
  InitLogoWindowState(state);
  const int16_t i = AllocateLogoSlot(state);
  LogoSlot& slot = state.Slot(i);
  slot.picLoad.inner_w = loaded->width();
  slot.picLoad.inner_h = loaded->height();
  LoadedBitmaps(i) = std::move(loaded);
  slot.cmbPaperWidth.items = {{std::to_string(o.width) + " dots", o.width}};
  slot.cmbPaperWidth.selected = 0;
  slot.cmbColor.items = {{"", o.colour_code}};
  slot.cmbColor.selected = 0;
  slot.chkFit = o.fit ? 1 : 0;
  slot.chkErrorDiffusion = o.diffusion ? 1 : 0;
  chkFit_Click(state, i);
  const Dib* prepared = PreparedBitmaps(i).get();
  if (!slot.picThumbFrame.enabled || !prepared) return 1;
  if (!WriteBmpFile(o.out, *prepared)) {
    std::cerr << "zelta-logo-tool: cannot write " << o.out << "\n";
    return 1;
  }
  if (o.packet.empty()) return 0;

  ColorTable table;
  if (!ReadLogoColorTable(slot.picPreview.tag, table)) return 1;
  std::array<std::vector<Bytes>, 3> planes;
  std::string error;
  ColorTableConverter converter;
  if (!converter.Start(*prepared, table, o.colour_code, error) ||
      !ConvertWithColorTable(*prepared, table, o.colour_code, planes, error)) {
    std::cerr << "Raise error on convert the logo " << slot.picPreview.tag << ".\n" << error << "\n";
    return 1;
  }
  std::vector<std::vector<Bytes>> in_order;
  for (int index : {converter.first(), converter.second(), converter.third()}) {
    if (index >= 0) in_order.push_back(std::move(planes[static_cast<size_t>(index)]));
  }
  Writes writes;
  if (!NvRasterWrites(o.key, o.colour_code, prepared->width(), prepared->height(), in_order, writes)) {
    std::cerr << "zelta-logo-tool: the logo cannot be framed as a packet (size or key code)\n";
    return 1;
  }
  std::ofstream f(o.packet, std::ios::binary | std::ios::trunc);
  for (const Bytes& w : writes) f.write(w.data(), static_cast<std::streamsize>(w.size()));
  f.close();
  if (!f) {
    std::cerr << "zelta-logo-tool: cannot write " << o.packet << "\n";
    return 1;
  }
  return 0;
}

}  // namespace
}  // namespace zelta

int main(int argc, char** argv) {
  using zelta::Usage;
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] != "prepare") return Usage("the only command is prepare");
  zelta::Options o;
  for (size_t k = 1; k < args.size(); ++k) {
    const std::string& a = args[k];
    auto value = [&](std::string& out) {
      if (k + 1 >= args.size()) return false;
      out = args[++k];
      return true;
    };
    std::string v;
    if (a == "--width") {
      if (!value(v)) return Usage("--width needs a number of dots");
      char* end = nullptr;
      const long n = std::strtol(v.c_str(), &end, 10);
      if (*end || n < 1 || n > 65535) return Usage("--width must be 1 to 65535 dots");
      o.width = static_cast<int>(n);
    } else if (a == "--fit") {
      o.fit = true;
    } else if (a == "--diffusion") {
      o.diffusion = true;
    } else if (a == "--color") {
      if (!value(v)) return Usage("--color needs bw, two or color");
      if (v == "bw") {
        o.colour_code = 2;
      } else if (v == "two") {
        o.colour_code = 1;
      } else if (v == "color") {
        o.colour_code = 3;
      } else {
        return Usage("--color must be bw, two or color");
      }
    } else if (a == "--out") {
      if (!value(o.out)) return Usage("--out needs a file");
    } else if (a == "--packet") {
      if (!value(o.packet)) return Usage("--packet needs a file");
    } else if (a == "--key") {
      if (!value(o.key)) return Usage("--key needs a key code");
    } else if (o.in.empty() && a.rfind("--", 0) != 0) {
      o.in = a;
    } else {
      return Usage("unknown argument " + a);
    }
  }
  if (o.in.empty() || o.out.empty() || o.width == 0) return Usage("IN.bmp, --width and --out are needed");
  if (!o.packet.empty() && o.key.size() != 2) return Usage("--packet needs --key with two characters");
  // One short run: large blocks stay on the heap for reuse instead of being mapped and unmapped each
  // time, which spares their page faults.
  mallopt(M_MMAP_THRESHOLD, 64 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  zelta::StderrUi ui;
  zelta::InstallUiHooks(&ui);
  const int rc = zelta::Run(o);
  zelta::InstallUiHooks(nullptr);
  zelta::ResetPubblicVar();
  return rc;
}
