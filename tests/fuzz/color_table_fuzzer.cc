// libFuzzer target: any text as a colour table file, then the conversion of a small picture with it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "download/raster_conversion.h"
#include "imglib/color_table.h"
#include "platform/dib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zelta::ColorTable table;
  std::string error;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (zelta::ParseColorTable(text, table, error) != zelta::ColorTableStatus::kOk) return 0;
  if (table.palette.empty() || table.palette.size() > zelta::kMaxColorTableEntries) __builtin_trap();
  zelta::HBitmap pic = zelta::CreateDib24(11, 3);
  for (size_t i = 0; i < pic->size(); ++i) pic->bits()[i] = static_cast<uint8_t>(i * 37);
  std::array<std::vector<zelta::Bytes>, 3> planes;
  for (int32_t code : {1, 2, 3}) (void)zelta::ConvertWithColorTable(*pic, table, code, planes, error);
  return 0;
}
