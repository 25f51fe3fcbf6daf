// An array of owned bitmaps with bounds 1..UBound(), like the logo window's shared bitmap arrays.
#pragma once

#include <vector>

#include "platform/dib.h"

namespace zelta {

class BitmapArray {
 public:
  // Resizes to bounds 1..upper, keeping the bitmaps of the indices that remain and deleting the others.
  void ReDimPreserve(int upper) { items_.resize(upper > 0 ? static_cast<size_t>(upper) : 0); }
  int UBound() const { return static_cast<int>(items_.size()); }
  // Element i. Precondition: 1 <= i <= UBound().
  HBitmap& operator()(int i) { return items_[static_cast<size_t>(i - 1)]; }
  const HBitmap& operator()(int i) const { return items_[static_cast<size_t>(i - 1)]; }
  // True when i is within the bounds.
  bool Has(int i) const { return i >= 1 && i <= UBound(); }
  // Deletes every bitmap; the bounds stay.
  void DeleteAll() {
    for (HBitmap& h : items_) h.reset();
  }

 private:
  std::vector<HBitmap> items_;
};

}  // namespace zelta
