#include "printer/printer_machine.h"

#include <algorithm>

#include "printer/emu_codes.h"

namespace zelta::emu {
namespace {

constexpr int kDotsPerMm = 8;
constexpr int kCutFeedDots = 96;  // from the print head to the cutter
constexpr int kMaxRasterWidth = 8192;
constexpr int kMaxRasterHeight = 2304;

uint8_t U8(const std::string& s, size_t i) { return i < s.size() ? static_cast<uint8_t>(s[i]) : 0; }
int Le16(const std::string& s, size_t i) { return U8(s, i) | (U8(s, i + 1) << 8); }
bool ValidKey(uint8_t c) { return c >= kKeyMin && c <= kKeyMax; }

}  // namespace

EmuTiming EmuTiming::Realistic() {
  EmuTiming t;
  t.print_mm_per_s = 150;
  t.cut_s = 0.3;
  t.nv_write_s = 0.2;
  t.nv_write_s_per_kb = 0.01;
  t.nv_delete_s = 0.5;
  t.nv_clear_s = 3.0;
  return t;
}

PrinterMachine::PrinterMachine(const EmuModel& model, NvMemory& memory, Paper& paper, EmuTiming timing,
                               ReplyFn reply, NvChangedFn nv_changed)
    : model_(model),
      memory_(memory),
      paper_(paper),
      timing_(timing),
      reply_(std::move(reply)),
      nv_changed_(std::move(nv_changed)) {}

double PrinterMachine::PrintTime(int rows) const {
  if (timing_.print_mm_per_s <= 0 || rows <= 0) return 0;
  return rows / (timing_.print_mm_per_s * kDotsPerMm);
}

double PrinterMachine::NvWriteTime(size_t bytes) const {
  return timing_.nv_write_s + timing_.nv_write_s_per_kb * static_cast<double>(bytes) / 1024.0;
}

uint8_t PrinterMachine::InkOfPlane(size_t plane) const {
  static constexpr uint8_t kInks[] = {kInkBlack, kInkRed, kInkBlue};
  return plane < 3 ? kInks[plane] : static_cast<uint8_t>(kInkBlack);
}

double PrinterMachine::Execute(const std::string& c, bool whole) {
  if (c.empty() || !whole) return 0;
  const uint8_t lead = U8(c, 0);
  if (c.size() == 1) return Text(lead);
  switch (lead) {
    case kEsc:
      return Esc(c);
    case kFs:
      return Fs(c);
    case kGs:
      return Gs(c);
    default:
      return 0;  // DLE commands: real-time requests are answered on arrival, the rest do nothing here
  }
}

double PrinterMachine::Text(uint8_t byte) {
  if (byte == kLf) {
    const int before = paper_.Rows();
    FlushLine();
    if (paper_.Rows() == before) paper_.PrintTextLine("", mode_);
    return PrintTime(paper_.Rows() - before);
  }
  if (byte == kHt) {
    do line_.push_back(' ');
    while (line_.size() % 8 != 0);
    return 0;
  }
  if (byte < 0x20 || byte == 0x7F) return 0;  // other control codes do nothing
  line_.push_back(static_cast<char>(byte));
  const int cell = (mode_ & 0x01 ? 9 : 12) * (mode_ & 0x20 ? 2 : 1);
  if (static_cast<int>(line_.size()) * cell >= paper_.Width()) {
    const int before = paper_.Rows();
    FlushLine();  // the line is full: it prints, as on paper
    return PrintTime(paper_.Rows() - before);
  }
  return 0;
}

void PrinterMachine::FlushLine() {
  if (line_.empty()) return;
  paper_.PrintTextLine(line_, mode_);
  line_.clear();
}

void PrinterMachine::Abandon() {
  blocks_.clear();
  line_.clear();
}

double PrinterMachine::Esc(const std::string& c) {
  const uint8_t op = U8(c, 1);
  const int before = paper_.Rows();
  switch (op) {
    case '@':
      mode_ = 0;
      line_.clear();
      return 0;
    case '!':
      mode_ = U8(c, 2);
      return 0;
    case 'd':
      FlushLine();
      paper_.Feed(30 * U8(c, 2));
      return PrintTime(paper_.Rows() - before);
    case 'J':
      FlushLine();
      paper_.Feed(U8(c, 2));
      return PrintTime(paper_.Rows() - before);
    case '?':
      if (model_.esc_q_id && (U8(c, 2) == 0 || U8(c, 2) == '0')) {
        const std::string text = kEscQModelText;
        std::string reply;
        reply.push_back('_');
        reply.push_back(static_cast<char>(text.size() + 1));
        reply.push_back('0');
        reply += text;
        reply.push_back('\0');
        reply_(reply);
      }
      return 0;
    default:
      return 0;
  }
}

double PrinterMachine::Fs(const std::string& c) {
  if (model_.nv_bit_images == 0) return 0;
  switch (U8(c, 1)) {
    case 'q':
      return DefineBitImages(c);
    case 'p':
      return PrintBitImage(U8(c, 2), U8(c, 3));
    default:
      return 0;
  }
}

double PrinterMachine::Gs(const std::string& c) {
  const uint8_t op = U8(c, 1);
  if (op == 'I') {
    const uint8_t n = U8(c, 2);
    if (n == 1 || n == 49) reply_(std::string(1, static_cast<char>(model_.id)));
    if (n == 2 || n == 50) reply_(std::string(1, static_cast<char>(model_.type_id)));
    if (n == 3 || n == 51) reply_(std::string(1, '\x10'));
    return 0;
  }
  if (op == 'V') {
    return Cut(c.size() >= 4 ? kCutFeedDots + U8(c, 3) : 0);
  }
  if (op == 'v') return RasterImage(c);
  if ((op == '(' || op == '8') && U8(c, 2) == 'L' && model_.nv_graphics > 0) {
    const size_t start = op == '(' ? 5 : 7;
    return c.size() > start ? Graphics(c.substr(start)) : 0;
  }
  return 0;
}

double PrinterMachine::Graphics(const std::string& body) {
  if (body.size() < 2 || U8(body, 0) != 48) return 0;
  const uint8_t fn = U8(body, 1);
  auto reply_number = [this](uint8_t id, uint32_t value) {
    std::string r;
    r.push_back(static_cast<char>(kBlockHeader));
    r.push_back(static_cast<char>(id));
    r += std::to_string(value);
    r.push_back('\0');
    reply_(r);
  };
  switch (fn) {
    case 0:
    case kFnCapacity:
      if (body.size() == 2) reply_number(kIdCapacity, memory_.GraphicsCapacity());
      return 0;
    case 3:
    case kFnRemaining:
      if (body.size() == 2) reply_number(kIdRemaining, memory_.GraphicsRemaining());
      return 0;
    case 2:
    case kFnPrintBuffer:
      return body.size() == 2 && model_.print_buffer ? PrintPrintBuffer() : 0;
    case kFnKeyList:
      if (body == std::string("\x30\x40KC", 4)) SendKeyList();
      return 0;
    case kFnDeleteAll:
      if (body.substr(2) != "CLR") return 0;
      memory_.DeleteAllGraphics();
      nv_changed_();
      return timing_.nv_clear_s;
    case kFnDeleteKey:
      if (body.size() != 4 || !ValidKey(U8(body, 2)) || !ValidKey(U8(body, 3))) return 0;
      if (memory_.DeleteGraphic(body.substr(2, 2))) nv_changed_();
      return timing_.nv_delete_s;
    case kFnPrintKey: {
      const int sx = U8(body, 4), sy = U8(body, 5);
      if (body.size() != 6 || sx < 1 || sx > 2 || sy < 1 || sy > 2) return 0;
      return PrintStored(body.substr(2, 2), sx, sy);
    }
    case kFnDefineRaster:
      return DefineRaster(body, false);
    case kFnDefineColour:
      return model_.colours >= 3 ? DefineRaster(body, true) : 0;
    case kFnStoreBuffer:
      return model_.print_buffer ? StoreInPrintBuffer(body) : 0;
    default:
      return 0;
  }
}

// Function 67: 48 67 a kc1 kc2 b xL xH yL yH, then b times: colour byte and rows.
// Function 255: 48 255 a kc1 kc2 6 xL xH yL yH 0, then three times: colour byte and rows.
double PrinterMachine::DefineRaster(const std::string& body, bool colour_form) {
  const size_t head = colour_form ? 11 : 10;
  if (body.size() < head || U8(body, 2) != 48) return 0;
  if (!ValidKey(U8(body, 3)) || !ValidKey(U8(body, 4))) return 0;
  const int b = colour_form ? (U8(body, 5) == 6 && U8(body, 10) == 0 ? 3 : 0) : U8(body, 5);
  if (b < 1 || b > model_.colours || (!colour_form && b > 2)) return 0;
  NvGraphic g;
  g.width = Le16(body, 6);
  g.height = Le16(body, 8);
  if (g.width < 1 || g.width > kMaxRasterWidth || g.height < 1 || g.height > kMaxRasterHeight) return 0;
  const size_t plane_bytes = static_cast<size_t>(g.BytesPerRow()) * g.height;
  if (body.size() != head + static_cast<size_t>(b) * (1 + plane_bytes)) return 0;
  g.planes.assign(b, std::string());
  size_t pos = head;
  for (int i = 0; i < b; ++i) {
    const int colour = U8(body, pos) - kColour1;
    if (colour < 0 || colour >= b || !g.planes[colour].empty()) return 0;
    g.planes[colour] = body.substr(pos + 1, plane_bytes);
    pos += 1 + plane_bytes;
  }
  g.charged = static_cast<uint32_t>(body.size());
  if (!memory_.DefineGraphic(body.substr(3, 2), std::move(g))) return 0;
  nv_changed_();
  return NvWriteTime(body.size());
}

// Function 112: 48 112 a bx by c xL xH yL yH rows.
double PrinterMachine::StoreInPrintBuffer(const std::string& body) {
  if (body.size() < 10 || U8(body, 2) != 48) return 0;
  const int bx = U8(body, 3), by = U8(body, 4), colour = U8(body, 5) - kColour1;
  const int width = Le16(body, 6), rows = Le16(body, 8);
  if (bx < 1 || bx > 2 || by < 1 || by > 2 || colour < 0 || colour >= model_.colours) return 0;
  if (width < 1 || width > kMaxRasterWidth || rows < 1 || rows > kMaxRasterHeight) return 0;
  const int bpr = (width + 7) / 8;
  if (body.size() != 10 + static_cast<size_t>(bpr) * rows) return 0;
  if (bpr != buffer_bytes_per_row_ || rows != buffer_rows_) {
    buffer_planes_.assign(model_.colours, std::string());
    buffer_bytes_per_row_ = bpr;
    buffer_rows_ = rows;
  }
  buffer_sx_ = bx;
  buffer_sy_ = by;
  buffer_planes_[colour] = body.substr(10);
  return 0;
}

double PrinterMachine::PrintPrintBuffer() {
  if (buffer_planes_.empty()) return 0;
  FlushLine();
  std::vector<const std::string*> planes;
  std::vector<uint8_t> inks;
  for (size_t i = 0; i < buffer_planes_.size(); ++i) {
    if (buffer_planes_[i].empty()) continue;
    planes.push_back(&buffer_planes_[i]);
    inks.push_back(InkOfPlane(i));
  }
  const int before = paper_.Rows();
  paper_.PrintRows(planes, inks, buffer_bytes_per_row_, buffer_rows_, buffer_sx_, buffer_sy_);
  buffer_planes_.clear();
  buffer_bytes_per_row_ = buffer_rows_ = 0;
  return PrintTime(paper_.Rows() - before);
}

double PrinterMachine::PrintStored(const std::string& key, int sx, int sy) {
  const NvGraphic* g = memory_.FindGraphic(key);
  if (!g) return 0;
  FlushLine();
  std::vector<const std::string*> planes;
  std::vector<uint8_t> inks;
  for (size_t i = 0; i < g->planes.size(); ++i) {
    planes.push_back(&g->planes[i]);
    inks.push_back(InkOfPlane(i));
  }
  const int before = paper_.Rows();
  paper_.PrintRows(planes, inks, g->BytesPerRow(), g->height, sx, sy);
  return PrintTime(paper_.Rows() - before);
}

// FS q n, then n times: xL xH yL yH and x × y × 8 bytes of columns.
double PrinterMachine::DefineBitImages(const std::string& c) {
  const int n = U8(c, 2);
  std::vector<NvBitImage> images;
  size_t pos = 3;
  for (int k = 0; k < n; ++k) {
    if (pos + 4 > c.size()) return 0;
    NvBitImage im;
    im.x_units = Le16(c, pos);
    im.y_units = Le16(c, pos + 2);
    pos += 4;
    const size_t bytes = static_cast<size_t>(im.x_units) * im.y_units * 8;
    if (c.size() - pos < bytes) return 0;
    im.columns = c.substr(pos, bytes);
    pos += bytes;
    images.push_back(std::move(im));
  }
  if (n == 1 && (images[0].x_units == 0 || images[0].y_units == 0)) {
    memory_.ClearBitImages();  // a single image of zero size clears the memory
    nv_changed_();
    return timing_.nv_clear_s;
  }
  for (const NvBitImage& im : images) {
    if (im.x_units < 1 || im.x_units > 1023 || im.y_units < 1 || im.y_units > 288) return 0;
  }
  if (!memory_.DefineBitImages(std::move(images))) return 0;
  nv_changed_();
  return NvWriteTime(c.size());
}

double PrinterMachine::PrintBitImage(int n, int mode) {
  const NvBitImage* im = memory_.FindBitImage(n);
  if (!im || (mode > 3 && (mode < '0' || mode > '3'))) return 0;
  FlushLine();
  const int width = im->x_units * 8, height = im->y_units * 8, bpr = im->x_units;
  std::string rows(static_cast<size_t>(bpr) * height, '\0');
  for (int x = 0; x < width; ++x) {
    for (int y = 0; y < height; ++y) {
      const uint8_t byte = U8(im->columns, static_cast<size_t>(x) * im->y_units + y / 8);
      if (byte & (0x80 >> (y % 8)))
        rows[static_cast<size_t>(y) * bpr + x / 8] |= static_cast<char>(0x80 >> (x % 8));
    }
  }
  const int m = mode & 3;
  const int before = paper_.Rows();
  paper_.PrintRows({&rows}, {kInkBlack}, bpr, height, (m & 1) ? 2 : 1, (m & 2) ? 2 : 1);
  return PrintTime(paper_.Rows() - before);
}

// GS v 0 m xL xH yL yH rows: x bytes per row, y rows, black dots.
double PrinterMachine::RasterImage(const std::string& c) {
  if (c.size() < 8 || U8(c, 2) != '0') return 0;
  const int m = U8(c, 3) & 3, bpr = Le16(c, 4), rows = Le16(c, 6);
  if (bpr < 1 || rows < 1 || c.size() != 8 + static_cast<size_t>(bpr) * rows) return 0;
  FlushLine();
  const std::string data = c.substr(8);
  const int before = paper_.Rows();
  paper_.PrintRows({&data}, {kInkBlack}, bpr, rows, (m & 1) ? 2 : 1, (m & 2) ? 2 : 1);
  return PrintTime(paper_.Rows() - before);
}

double PrinterMachine::Cut(int feed_dots) {
  FlushLine();
  const int before = paper_.Rows();
  paper_.Feed(feed_dots);
  const double t = PrintTime(paper_.Rows() - before) + timing_.cut_s;
  paper_.Cut();
  return t;
}

void PrinterMachine::SendKeyList() {
  blocks_.clear();
  const std::vector<std::string> keys = memory_.KeyCodes();
  size_t i = 0;
  do {
    std::string block;
    block.push_back(static_cast<char>(kBlockHeader));
    block.push_back(static_cast<char>(kIdKeyList));
    const size_t end = std::min(keys.size(), i + kKeysPerBlock);
    block.push_back(static_cast<char>(end < keys.size() ? kBlockMore : kBlockLast));
    for (; i < end; ++i) block += keys[i];
    block.push_back('\0');
    blocks_.push_back(std::move(block));
  } while (i < keys.size());
  reply_(blocks_.front());
  if (static_cast<uint8_t>(blocks_.front()[2]) == kBlockLast) blocks_.clear();
}

bool PrinterMachine::Answer(uint8_t byte) {
  if (blocks_.empty()) return false;
  if (byte == kAck) {
    blocks_.pop_front();
    if (!blocks_.empty()) {
      reply_(blocks_.front());
      if (static_cast<uint8_t>(blocks_.front()[2]) == kBlockLast) blocks_.clear();
    }
    return true;
  }
  if (byte == kNak) {
    reply_(blocks_.front());
    return true;
  }
  blocks_.clear();
  return byte == kCan;
}

}  // namespace zelta::emu
