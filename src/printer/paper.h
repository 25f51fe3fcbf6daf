// The paper of the virtual printer: a roll of dots at the printer's resolution on which rasters,
// logos and text are printed. A cut ends the receipt and writes it as a PNG file.
// Not thread-safe: the virtual printer guards it with its own lock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zelta::emu {

// Dot colours on the paper, also the palette indices of the PNG files.
enum DotColour : uint8_t { kPaperWhite = 0, kInkBlack = 1, kInkRed = 2, kInkBlue = 3 };

class GlyphCache;

class Paper {
 public:
  // width: dots per line. dir: folder for the receipts' PNG files; empty keeps nothing. prefix: start
  // of every file name. max_rows: rows beyond this on one receipt are dropped.
  Paper(int width, std::string dir, std::string prefix, int max_rows);
  ~Paper();

  int Width() const { return width_; }
  int Rows() const { return static_cast<int>(dots_.size() / static_cast<size_t>(width_)); }
  // The colour of dot (x, y) of the receipt being printed.
  uint8_t Dot(int x, int y) const;

  // Prints planes of row data at the left margin and moves below them: plane i has height rows of
  // bytes_per_row bytes (bit 7 of the first byte leftmost) in colour colours[i]; a later plane's dot
  // covers an earlier one's. Each dot becomes sx × sy dots. Dots beyond the paper width are lost.
  void PrintRows(const std::vector<const std::string*>& planes, const std::vector<uint8_t>& colours,
                 int bytes_per_row, int height, int sx, int sy);
  // Prints one line of text in the print mode of ESC ! (bit 0 small font, bit 3 bold, bit 4 double
  // height, bit 5 double width, bit 7 underline); an empty line feeds one line.
  void PrintTextLine(const std::string& text, uint8_t mode);
  void Feed(int dots);

  // Ends the receipt: writes it (when something was printed and a folder is set) and starts a new one.
  // Returns the file written, or "" when none was.
  std::string Cut();
  // Every file written so far.
  const std::vector<std::string>& Files() const { return files_; }
  // The last error of writing a file, or "".
  const std::string& LastError() const { return last_error_; }

 private:
  void Grow(int rows);
  void Set(int x, int y, uint8_t colour);

  int width_;
  std::string dir_;
  std::string prefix_;
  int max_rows_;
  int y_ = 0;                  // the next row to print on
  std::vector<uint8_t> dots_;  // rows × width
  int sequence_ = 0;
  std::vector<std::string> files_;
  std::string last_error_;
  GlyphCache& glyphs_;
};

// Writes width × height palette indices (kPaperWhite...) as a PNG file. False with error on failure.
bool WritePalettePng(const std::string& path, const std::vector<uint8_t>& dots, int width, int height,
                     std::string& error);

}  // namespace zelta::emu
