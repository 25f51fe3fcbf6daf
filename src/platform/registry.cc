#include "platform/registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace zelta {
namespace {

constexpr size_t kValueBuffer = 128;

struct Entry {
  std::string name, value;
};
struct Key {
  std::string path;
  std::vector<Entry> entries;
};

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string NormalKey(std::string key) {
  while (!key.empty() && (key.back() == '\\' || key.back() == '/')) key.pop_back();
  return Lower(key);
}

// Values keep every byte but newlines, carriage returns, NUL and '%', which are written as %XX.
std::string Escape(const std::string& v) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : v) {
    auto u = static_cast<unsigned char>(c);
    if (u == '\n' || u == '\r' || u == 0 || u == '%') {
      out += '%';
      out += kHex[u >> 4];
      out += kHex[u & 15];
    } else {
      out += c;
    }
  }
  return out;
}

std::string Unescape(const std::string& v) {
  std::string out;
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i] == '%' && i + 2 < v.size() && std::isxdigit(static_cast<unsigned char>(v[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(v[i + 2]))) {
      out += static_cast<char>(std::stoi(v.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += v[i];
    }
  }
  return out;
}

std::vector<Key> Parse(std::istream& in) {
  std::vector<Key> keys;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      size_t end = line.rfind(']');
      keys.push_back({line.substr(1, end == std::string::npos ? std::string::npos : end - 1), {}});
      continue;
    }
    size_t eq = line.find('=');
    if (keys.empty() || eq == std::string::npos) continue;
    keys.back().entries.push_back({line.substr(0, eq), Unescape(line.substr(eq + 1))});
  }
  return keys;
}

bool Load(std::vector<Key>& keys) {
  std::ifstream in(RegistryPath(), std::ios::binary);
  if (!in) return false;
  keys = Parse(in);
  return true;
}

Key* FindKey(std::vector<Key>& keys, const std::string& key) {
  std::string want = NormalKey(key);
  for (Key& k : keys) {
    if (NormalKey(k.path) == want) return &k;
  }
  return nullptr;
}

Entry* FindEntry(Key& key, const std::string& name) {
  std::string want = Lower(name);
  for (Entry& e : key.entries) {
    if (Lower(e.name) == want) return &e;
  }
  return nullptr;
}

// Holds the registry's lock file for the lifetime of the object.
class WriteLock {
 public:
  WriteLock() : fd_(::open((RegistryPath() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
    if (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~WriteLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool ok() const { return fd_ >= 0; }

 private:
  int fd_;
};

bool Save(const std::vector<Key>& keys) {
  std::ostringstream out;
  for (const Key& k : keys) {
    out << '[' << k.path << "]\n";
    for (const Entry& e : k.entries) out << e.name << '=' << Escape(e.value) << '\n';
    out << '\n';
  }
  const std::string text = out.str();
  const std::string path = RegistryPath();
  const std::string temp = path + ".tmp";
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0) {
      ::close(fd);
      ::unlink(temp.c_str());
      return false;
    }
    done += static_cast<size_t>(n);
  }
  bool ok = ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace

std::string RegistryPath() {
  const char* env = std::getenv("ZELTA_REGISTRY");
  return env && *env ? env : kDefaultRegistryPath;
}

int32_t RegReadString(const std::string& key, const std::string& value_name, std::string& value) {
  value.clear();
  std::vector<Key> keys;
  if (!Load(keys)) return kRegFileNotFound;
  Key* k = FindKey(keys, key);
  if (!k) return kRegFileNotFound;
  Entry* e = FindEntry(*k, value_name);
  if (!e) return kRegFileNotFound;
  // The stored data is the string and its terminating zero; a string stops at its first NUL.
  std::string data = e->value.substr(0, e->value.find('\0'));
  if (data.size() + 1 > kValueBuffer) return kRegMoreData;
  value = data;
  return kRegSuccess;
}

int32_t RegWriteString(const std::string& key, const std::string& value_name, const std::string& value) {
  WriteLock lock;
  if (!lock.ok()) return kRegAccessDenied;
  std::vector<Key> keys;
  if (!Load(keys)) return kRegFileNotFound;
  Key* k = FindKey(keys, key);
  if (!k) return kRegFileNotFound;
  std::string data = value.substr(0, value.find('\0'));
  if (Entry* e = FindEntry(*k, value_name)) {
    e->value = data;
  } else {
    k->entries.push_back({value_name, data});
  }
  return Save(keys) ? kRegSuccess : kRegAccessDenied;
}

int32_t RegCreateKey(const std::string& key) {
  WriteLock lock;
  if (!lock.ok()) return kRegAccessDenied;
  std::vector<Key> keys;
  Load(keys);
  if (FindKey(keys, key)) return kRegSuccess;
  std::string path = key;
  while (!path.empty() && path.back() == '\\') path.pop_back();
  keys.push_back({path, {}});
  return Save(keys) ? kRegSuccess : kRegAccessDenied;
}

}  // namespace zelta
