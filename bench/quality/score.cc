// zelta-print-score ORIGINAL PRINT: how far a printed dot pattern looks from its original.
//
// ORIGINAL is a picture (netpbm P5 or P6), PRINT the dots (netpbm P4, P5 or P6; dark = dot) at the
// print's size. The original is reduced to the print's size by area averaging in linear light and
// turned into relative luminance (0 black, 1 paper); the dots become 0 (dot) and 1 (paper). Both are
// blurred with an 11 × 11 Gaussian of sigma 1.2, a model of the eye at reading distance, and the score
// is the mean squared difference. Prints the score; lower is better.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Plane {
  int w = 0, h = 0;
  std::vector<double> v;  // row-major
  double& at(int x, int y) { return v[static_cast<size_t>(y) * w + x]; }
  double at(int x, int y) const { return v[static_cast<size_t>(y) * w + x]; }
};

double ToLinear(double s) { return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4); }

// Reads a netpbm file as linear-light channels (1 or 3 planes). P4: 1 bit = black.
bool ReadNetpbm(const std::string& path, std::vector<Plane>& channels) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  std::string magic;
  f >> magic;
  auto next_int = [&](int& out) {
    while (true) {
      int c = f.peek();
      if (c == '#') {
        std::string line;
        std::getline(f, line);
      } else if (std::isspace(c)) {
        f.get();
      } else {
        break;
      }
    }
    return static_cast<bool>(f >> out);
  };
  int w, h, maxval = 1;
  if (!next_int(w) || !next_int(h)) return false;
  if (magic != "P4" && !next_int(maxval)) return false;
  f.get();
  const int n = magic == "P6" ? 3 : 1;
  channels.assign(n, Plane{w, h, std::vector<double>(static_cast<size_t>(w) * h)});
  std::vector<double> lut(maxval + 1);
  for (int i = 0; i <= maxval; ++i) lut[i] = ToLinear(static_cast<double>(i) / maxval);
  if (magic == "P4") {
    const int stride = (w + 7) / 8;
    std::vector<unsigned char> row(stride);
    for (int y = 0; y < h; ++y) {
      if (!f.read(reinterpret_cast<char*>(row.data()), stride)) return false;
      for (int x = 0; x < w; ++x) channels[0].at(x, y) = (row[x / 8] >> (7 - x % 8)) & 1 ? 0.0 : 1.0;
    }
    return true;
  }
  if (magic != "P5" && magic != "P6") return false;
  const int bytes = maxval > 255 ? 2 : 1;
  std::vector<unsigned char> row(static_cast<size_t>(w) * n * bytes);
  for (int y = 0; y < h; ++y) {
    if (!f.read(reinterpret_cast<char*>(row.data()), static_cast<std::streamsize>(row.size()))) return false;
    for (int x = 0; x < w; ++x) {
      for (int c = 0; c < n; ++c) {
        const size_t i = (static_cast<size_t>(x) * n + c) * bytes;
        const int v = bytes == 2 ? (row[i] << 8) | row[i + 1] : row[i];
        channels[c].at(x, y) = lut[std::min(v, maxval)];
      }
    }
  }
  return true;
}

// Area average of p onto w × h.
Plane Reduce(const Plane& p, int w, int h) {
  auto axis = [](int src, int dst) {
    std::vector<std::vector<std::pair<int, double>>> m(dst);
    const double s = static_cast<double>(src) / dst;
    for (int d = 0; d < dst; ++d) {
      const double a = d * s, b = (d + 1) * s;
      for (int i = static_cast<int>(a); i < src && i < b; ++i) {
        const double cover = std::min<double>(b, i + 1) - std::max<double>(a, i);
        if (cover > 0) m[d].push_back({i, cover / s});
      }
    }
    return m;
  };
  const auto mx = axis(p.w, w), my = axis(p.h, h);
  Plane tmp{w, p.h, std::vector<double>(static_cast<size_t>(w) * p.h)};
  for (int y = 0; y < p.h; ++y) {
    for (int x = 0; x < w; ++x) {
      double s = 0;
      for (auto [i, wt] : mx[x]) s += wt * p.at(i, y);
      tmp.at(x, y) = s;
    }
  }
  Plane out{w, h, std::vector<double>(static_cast<size_t>(w) * h)};
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      double s = 0;
      for (auto [i, wt] : my[y]) s += wt * tmp.at(x, i);
      out.at(x, y) = s;
    }
  }
  return out;
}

// 11 × 11 Gaussian, sigma 1.2, separable; edges repeat the border value.
Plane Blur(const Plane& p) {
  constexpr int r = 5;
  double k[2 * r + 1], sum = 0;
  for (int i = -r; i <= r; ++i) sum += k[i + r] = std::exp(-i * i / (2 * 1.2 * 1.2));
  for (double& v : k) v /= sum;
  Plane a = p, b = p;
  for (int y = 0; y < p.h; ++y) {
    for (int x = 0; x < p.w; ++x) {
      double s = 0;
      for (int i = -r; i <= r; ++i) s += k[i + r] * p.at(std::clamp(x + i, 0, p.w - 1), y);
      a.at(x, y) = s;
    }
  }
  for (int y = 0; y < p.h; ++y) {
    for (int x = 0; x < p.w; ++x) {
      double s = 0;
      for (int i = -r; i <= r; ++i) s += k[i + r] * a.at(x, std::clamp(y + i, 0, p.h - 1));
      b.at(x, y) = s;
    }
  }
  return b;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: zelta-print-score ORIGINAL.ppm PRINT.pbm\n";
    return 2;
  }
  std::vector<Plane> original, print;
  if (!ReadNetpbm(argv[1], original) || !ReadNetpbm(argv[2], print)) {
    std::cerr << "zelta-print-score: cannot read the pictures\n";
    return 1;
  }
  // The print's dots: a pixel is a dot when it is dark.
  Plane dots = print[0];
  for (size_t i = 0; i < dots.v.size(); ++i) {
    double lum = print.size() == 3 ? 0.2126 * print[0].v[i] + 0.7152 * print[1].v[i] + 0.0722 * print[2].v[i]
                                   : print[0].v[i];
    dots.v[i] = lum < 0.5 ? 0.0 : 1.0;
  }
  std::vector<Plane> reduced;
  for (const Plane& c : original) reduced.push_back(Reduce(c, dots.w, dots.h));
  Plane lum = reduced[0];
  if (reduced.size() == 3) {
    for (size_t i = 0; i < lum.v.size(); ++i) {
      lum.v[i] = 0.2126 * reduced[0].v[i] + 0.7152 * reduced[1].v[i] + 0.0722 * reduced[2].v[i];
    }
  }
  const Plane a = Blur(lum), b = Blur(dots);
  double mse = 0;
  for (size_t i = 0; i < a.v.size(); ++i) mse += (a.v[i] - b.v[i]) * (a.v[i] - b.v[i]);
  mse /= static_cast<double>(a.v.size());
  std::printf("%.4e\n", mse);
  return 0;
}
