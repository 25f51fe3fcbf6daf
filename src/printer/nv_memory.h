// The non-volatile memories of the virtual printer: NV graphics (logos stored under two-byte key codes)
// and NV bit images (numbered images of the older models), kept in a state file across restarts.
// Not thread-safe: the virtual printer guards it with its own lock.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace zelta::emu {

// One stored logo. planes[i] is colour i + 1 (black, red, third colour): height rows of
// bytes_per_row() bytes each, bit 7 of the first byte the leftmost dot.
struct NvGraphic {
  int width = 0;
  int height = 0;
  std::vector<std::string> planes;
  uint32_t charged = 0;  // bytes this logo takes from the free space
  int BytesPerRow() const { return (width + 7) / 8; }
};

// One NV bit image: x_units × 8 columns of y_units bytes each, bit 7 of a column's first byte the top.
struct NvBitImage {
  int x_units = 0;
  int y_units = 0;
  std::string columns;
};

class NvMemory {
 public:
  NvMemory(uint32_t graphics_capacity, uint32_t bit_image_capacity);

  uint32_t GraphicsCapacity() const { return graphics_capacity_; }
  // Capacity less the charge of every stored logo.
  uint32_t GraphicsRemaining() const;
  // Stores g under key, replacing a logo with the same key. Fails, changing nothing, when g.charged
  // does not fit into the free space plus what the replaced logo takes.
  bool DefineGraphic(const std::string& key, NvGraphic g);
  bool DeleteGraphic(const std::string& key);
  void DeleteAllGraphics();
  const NvGraphic* FindGraphic(const std::string& key) const;
  // Key codes in the printer's order (ascending byte order).
  std::vector<std::string> KeyCodes() const;

  uint32_t BitImageCapacity() const { return bit_image_capacity_; }
  // Replaces every NV bit image by images (numbered from 1). Fails, changing nothing, when their
  // columns together exceed the capacity.
  bool DefineBitImages(std::vector<NvBitImage> images);
  void ClearBitImages() { bit_images_.clear(); }
  // Image n (1-based), or null.
  const NvBitImage* FindBitImage(int n) const;
  size_t BitImageCount() const { return bit_images_.size(); }

  // The whole memory as bytes of the state file, and back. Deserialize checks every length and
  // leaves the memory unchanged when the bytes are not a state of this memory's capacities.
  std::string Serialize(uint8_t model_id) const;
  bool Deserialize(const std::string& bytes, uint8_t model_id, std::string& error);

 private:
  uint32_t graphics_capacity_;
  uint32_t bit_image_capacity_;
  std::map<std::string, NvGraphic> graphics_;
  std::vector<NvBitImage> bit_images_;
};

// Writes bytes to path through a temporary file in the same folder and a rename, so that a crash
// leaves either the old or the new file. False with error on failure (the old file is kept).
bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string& error);
// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& bytes);
// Removes the temporary files that WriteFileAtomically left beside path when its process was killed
// in the middle (those of processes that no longer run); returns how many.
int RemoveStaleTemporaries(const std::string& path);

}  // namespace zelta::emu
