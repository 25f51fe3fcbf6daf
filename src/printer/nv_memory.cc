#include "printer/nv_memory.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace zelta::emu {
namespace {

constexpr char kMagic[] = "ZELTA-EMU-NV 1\n";

void Put16(std::string& out, uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// Reads little-endian numbers and byte runs, refusing to go past the end.
class Reader {
 public:
  explicit Reader(const std::string& s) : s_(s) {}
  bool Take(size_t n, std::string& out) {
    if (s_.size() - pos_ < n) return false;
    out = s_.substr(pos_, n);
    pos_ += n;
    return true;
  }
  bool U8(uint32_t& v) {
    if (pos_ >= s_.size()) return false;
    v = static_cast<uint8_t>(s_[pos_++]);
    return true;
  }
  bool U16(uint32_t& v) {
    uint32_t lo = 0, hi = 0;
    if (!U8(lo) || !U8(hi)) return false;
    v = lo | (hi << 8);
    return true;
  }
  bool U32(uint32_t& v) {
    uint32_t lo = 0, hi = 0;
    if (!U16(lo) || !U16(hi)) return false;
    v = lo | (hi << 16);
    return true;
  }
  bool AtEnd() const { return pos_ == s_.size(); }

 private:
  const std::string& s_;
  size_t pos_ = 0;
};

}  // namespace

NvMemory::NvMemory(uint32_t graphics_capacity, uint32_t bit_image_capacity)
    : graphics_capacity_(graphics_capacity), bit_image_capacity_(bit_image_capacity) {}

uint32_t NvMemory::GraphicsRemaining() const {
  uint64_t used = 0;
  for (const auto& [key, g] : graphics_) used += g.charged;
  return used >= graphics_capacity_ ? 0 : static_cast<uint32_t>(graphics_capacity_ - used);
}

bool NvMemory::DefineGraphic(const std::string& key, NvGraphic g) {
  uint64_t available = GraphicsRemaining();
  auto old = graphics_.find(key);
  if (old != graphics_.end()) available += old->second.charged;
  if (g.charged > available) return false;
  graphics_[key] = std::move(g);
  return true;
}

bool NvMemory::DeleteGraphic(const std::string& key) { return graphics_.erase(key) > 0; }

void NvMemory::DeleteAllGraphics() { graphics_.clear(); }

const NvGraphic* NvMemory::FindGraphic(const std::string& key) const {
  auto it = graphics_.find(key);
  return it == graphics_.end() ? nullptr : &it->second;
}

std::vector<std::string> NvMemory::KeyCodes() const {
  std::vector<std::string> keys;
  for (const auto& [key, g] : graphics_) keys.push_back(key);
  return keys;
}

bool NvMemory::DefineBitImages(std::vector<NvBitImage> images) {
  uint64_t total = 0;
  for (const NvBitImage& im : images) total += im.columns.size();
  if (total > bit_image_capacity_) return false;
  bit_images_ = std::move(images);
  return true;
}

const NvBitImage* NvMemory::FindBitImage(int n) const {
  if (n < 1 || static_cast<size_t>(n) > bit_images_.size()) return nullptr;
  return &bit_images_[n - 1];
}

std::string NvMemory::Serialize(uint8_t model_id) const {
  std::string out = kMagic;
  out.push_back(static_cast<char>(model_id));
  Put32(out, static_cast<uint32_t>(graphics_.size()));
  for (const auto& [key, g] : graphics_) {
    out += key;
    Put16(out, g.width);
    Put16(out, g.height);
    Put32(out, g.charged);
    out.push_back(static_cast<char>(g.planes.size()));
    for (const std::string& p : g.planes) out += p;
  }
  Put32(out, static_cast<uint32_t>(bit_images_.size()));
  for (const NvBitImage& im : bit_images_) {
    Put16(out, im.x_units);
    Put16(out, im.y_units);
    out += im.columns;
  }
  return out;
}

bool NvMemory::Deserialize(const std::string& bytes, uint8_t model_id, std::string& error) {
  Reader r(bytes);
  std::string magic;
  uint32_t id = 0, count = 0;
  if (!r.Take(sizeof(kMagic) - 1, magic) || magic != kMagic || !r.U8(id)) {
    error = "not a state file of the virtual printer";
    return false;
  }
  if (id != model_id) {
    error = "the state file belongs to model " + std::to_string(id);
    return false;
  }
  std::map<std::string, NvGraphic> graphics;
  uint64_t charged = 0;
  if (!r.U32(count) || count > 65536) {
    error = "bad logo count";
    return false;
  }
  for (uint32_t i = 0; i < count; ++i) {
    std::string key;
    uint32_t w = 0, h = 0, c = 0, planes = 0;
    if (!r.Take(2, key) || !r.U16(w) || !r.U16(h) || !r.U32(c) || !r.U8(planes) || w == 0 || h == 0 ||
        planes < 1 || planes > 3) {
      error = "bad logo record";
      return false;
    }
    NvGraphic g;
    g.width = static_cast<int>(w);
    g.height = static_cast<int>(h);
    g.charged = c;
    charged += c;
    for (uint32_t p = 0; p < planes; ++p) {
      std::string plane;
      if (!r.Take(static_cast<size_t>(g.BytesPerRow()) * g.height, plane)) {
        error = "logo data cut short";
        return false;
      }
      g.planes.push_back(std::move(plane));
    }
    graphics[key] = std::move(g);
  }
  std::vector<NvBitImage> images;
  uint64_t image_bytes = 0;
  if (!r.U32(count) || count > 255) {
    error = "bad bit image count";
    return false;
  }
  for (uint32_t i = 0; i < count; ++i) {
    NvBitImage im;
    uint32_t x = 0, y = 0;
    if (!r.U16(x) || !r.U16(y) || !r.Take(size_t{x} * 8 * y, im.columns)) {
      error = "bit image cut short";
      return false;
    }
    im.x_units = static_cast<int>(x);
    im.y_units = static_cast<int>(y);
    image_bytes += im.columns.size();
    images.push_back(std::move(im));
  }
  if (!r.AtEnd() || charged > graphics_capacity_ || image_bytes > bit_image_capacity_) {
    error = "state file does not fit this printer's memory";
    return false;
  }
  graphics_ = std::move(graphics);
  bit_images_ = std::move(images);
  return true;
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string& error) {
  const std::string tmp = path + ".tmp." + std::to_string(getpid());
  int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = tmp + ": " + std::strerror(errno);
    return false;
  }
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = tmp + ": " + std::strerror(errno);
      close(fd);
      unlink(tmp.c_str());
      return false;
    }
    done += static_cast<size_t>(n);
  }
  if (fsync(fd) != 0 || close(fd) != 0) {
    error = tmp + ": " + std::strerror(errno);
    unlink(tmp.c_str());
    return false;
  }
  if (rename(tmp.c_str(), path.c_str()) != 0) {
    error = path + ": " + std::strerror(errno);
    unlink(tmp.c_str());
    return false;
  }
  return true;
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  if (in.bad()) return false;
  bytes = ss.str();
  return true;
}

int RemoveStaleTemporaries(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string prefix = (slash == std::string::npos ? path : path.substr(slash + 1)) + ".tmp.";
  DIR* d = opendir(dir.c_str());
  if (!d) return 0;
  int removed = 0;
  while (dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string digits = name.substr(prefix.size());
    if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t pid = static_cast<pid_t>(std::stol(digits));
    if (pid <= 0 || pid == getpid() || kill(pid, 0) == 0 || errno != ESRCH) continue;  // its writer may run
    if (unlink((dir + name).c_str()) == 0) ++removed;
  }
  closedir(d);
  return removed;
}

}  // namespace zelta::emu
