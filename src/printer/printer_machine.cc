#include "printer/printer_machine.h"

#include <algorithm>

#include "printer/emu_codes.h"

namespace zelta::emu {
namespace {

constexpr int kDotsPerMm = 8;
constexpr int kCutFeedDots = 96;  // from the print head to the cutter

uint8_t U8(const std::string& s, size_t i) { return i < s.size() ? static_cast<uint8_t>(s[i]) : 0; }
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
      nv_changed_(std::move(nv_changed)),
      type_id_(model.type_id) {}

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

void PrinterMachine::SetPrintingOffered(bool on) {
  constexpr uint8_t kPrintingBit = 0x04;
  type_id_ = on ? (type_id_ | kPrintingBit) : (type_id_ & ~kPrintingBit);
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
    if (n == 2 || n == 50) reply_(std::string(1, static_cast<char>(type_id_)));
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
