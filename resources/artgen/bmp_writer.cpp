#include "resources/artgen/bmp_writer.h"

#include <algorithm>
#include <array>
#include <map>
#include <stdexcept>

namespace art {
namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

uint32_t Key(Rgb c) { return (uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | c.b; }

int Distance(Rgb a, Rgb b) {
  const int dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
  return dr * dr * 3 + dg * dg * 4 + db * db * 2;
}

}  // namespace

IndexedImage ToPalette(const Image& image) {
  IndexedImage out{image.width, image.height, {}, {}};
  std::map<uint32_t, int> exact;
  for (const Rgb& c : image.pixels) {
    if (exact.size() > 256) break;
    exact.emplace(Key(c), 0);
  }
  if (exact.size() <= 256) {
    int next = 0;
    for (auto& [key, index] : exact) {
      index = next++;
      out.palette.push_back({static_cast<uint8_t>(key >> 16), static_cast<uint8_t>(key >> 8),
                             static_cast<uint8_t>(key)});
    }
    out.indices.reserve(image.pixels.size());
    for (const Rgb& c : image.pixels) out.indices.push_back(static_cast<uint8_t>(exact[Key(c)]));
    return out;
  }
  // Popularity over 5-bit buckets; each palette entry is the mean of its bucket,
  // so no colour appears that the image does not approach. Pure black, which a
  // host leaves undrawn under transparency, keeps an entry of its own: black
  // pixels stay black and no other pixel is averaged or mapped into black.
  constexpr Rgb kBlack{0, 0, 0};
  struct Bucket {
    uint64_t r = 0, g = 0, b = 0, n = 0;
  };
  bool has_black = false;
  std::map<uint32_t, Bucket> buckets;
  for (const Rgb& c : image.pixels) {
    if (c == kBlack) {
      has_black = true;
      continue;
    }
    Bucket& bk = buckets[(uint32_t{c.r} >> 3 << 10) | (uint32_t{c.g} >> 3 << 5) | (c.b >> 3)];
    bk.r += c.r;
    bk.g += c.g;
    bk.b += c.b;
    ++bk.n;
  }
  std::vector<std::pair<uint32_t, Bucket>> ranked(buckets.begin(), buckets.end());
  std::stable_sort(ranked.begin(), ranked.end(),
                   [](const auto& a, const auto& b) { return a.second.n > b.second.n; });
  ranked.resize(std::min<size_t>(ranked.size(), has_black ? 255 : 256));
  if (has_black) out.palette.push_back(kBlack);
  const size_t first_colour = out.palette.size();
  // Means rounded up: a bucket without black never averages to black.
  const auto mean = [](uint64_t sum, uint64_t n) { return static_cast<uint8_t>((sum + n - 1) / n); };
  for (const auto& [key, bk] : ranked) {
    out.palette.push_back({mean(bk.r, bk.n), mean(bk.g, bk.n), mean(bk.b, bk.n)});
  }
  std::map<uint32_t, uint8_t> nearest;
  out.indices.reserve(image.pixels.size());
  for (const Rgb& c : image.pixels) {
    if (c == kBlack) {
      out.indices.push_back(0);
      continue;
    }
    auto it = nearest.find(Key(c));
    if (it == nearest.end()) {
      size_t best = first_colour;
      for (size_t i = first_colour + 1; i < out.palette.size(); ++i) {
        if (Distance(c, out.palette[i]) < Distance(c, out.palette[best])) best = i;
      }
      it = nearest.emplace(Key(c), static_cast<uint8_t>(best)).first;
    }
    out.indices.push_back(it->second);
  }
  return out;
}

std::vector<uint8_t> EncodeRle8(const IndexedImage& image) {
  std::vector<uint8_t> out;
  for (int y = image.height - 1; y >= 0; --y) {
    const uint8_t* row = &image.indices[static_cast<size_t>(y) * image.width];
    int x = 0;
    while (x < image.width) {
      int run = 1;
      while (x + run < image.width && run < 255 && row[x + run] == row[x]) ++run;
      if (run >= 3 || image.width - x < 3) {
        // Encoded run (a lone pixel or two at the row's end too).
        out.push_back(static_cast<uint8_t>(run));
        out.push_back(row[x]);
        x += run;
        continue;
      }
      // Absolute run: literal pixels up to the next run of three or more.
      int n = 0;
      while (x + n < image.width && n < 255) {
        if (x + n + 2 < image.width && row[x + n] == row[x + n + 1] && row[x + n] == row[x + n + 2]) break;
        ++n;
      }
      if (n < 3) {
        for (int i = 0; i < n; ++i) {
          out.push_back(1);
          out.push_back(row[x + i]);
        }
      } else {
        out.push_back(0);
        out.push_back(static_cast<uint8_t>(n));
        out.insert(out.end(), row + x, row + x + n);
        if (n % 2 != 0) out.push_back(0);  // absolute runs are word aligned
      }
      x += n;
    }
    out.push_back(0);
    out.push_back(y == 0 ? 1 : 0);  // end of bitmap after the top row, else end of line
  }
  return out;
}

std::vector<uint8_t> EncodeBmp(const Image& image, Depth depth) {
  if (image.width <= 0 || image.height <= 0 ||
      image.pixels.size() != static_cast<size_t>(image.width) * image.height) {
    throw std::invalid_argument("EncodeBmp: image size does not match its pixels");
  }
  std::vector<uint8_t> bits;
  std::vector<Rgb> palette;
  uint32_t compression = 0;
  uint16_t bpp = 24;
  if (depth == Depth::kRgb24) {
    const size_t stride = (static_cast<size_t>(image.width) * 3 + 3) & ~size_t{3};
    bits.resize(stride * image.height);
    for (int y = 0; y < image.height; ++y) {
      uint8_t* row = &bits[stride * (image.height - 1 - y)];
      for (int x = 0; x < image.width; ++x) {
        const Rgb c = image.At(x, y);
        row[x * 3] = c.b;
        row[x * 3 + 1] = c.g;
        row[x * 3 + 2] = c.r;
      }
    }
  } else {
    bpp = 8;
    IndexedImage indexed = ToPalette(image);
    palette = indexed.palette;
    if (depth == Depth::kPalette8Rle) {
      compression = 1;  // BI_RLE8
      bits = EncodeRle8(indexed);
    } else {
      const size_t stride = (static_cast<size_t>(image.width) + 3) & ~size_t{3};
      bits.resize(stride * image.height);
      for (int y = 0; y < image.height; ++y) {
        std::copy_n(&indexed.indices[static_cast<size_t>(y) * image.width], image.width,
                    &bits[stride * (image.height - 1 - y)]);
      }
    }
    palette.resize(256, Rgb{0, 0, 0});
  }
  const uint32_t header_size = 14 + 40 + static_cast<uint32_t>(palette.size()) * 4;
  std::vector<uint8_t> out;
  out.reserve(header_size + bits.size());
  out.push_back('B');
  out.push_back('M');
  Put32(out, header_size + static_cast<uint32_t>(bits.size()));
  Put32(out, 0);
  Put32(out, header_size);
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(image.width));
  Put32(out, static_cast<uint32_t>(image.height));
  Put16(out, 1);
  Put16(out, bpp);
  Put32(out, compression);
  Put32(out, static_cast<uint32_t>(bits.size()));
  Put32(out, 2835);  // 72 dpi
  Put32(out, 2835);
  Put32(out, palette.empty() ? 0 : 256);
  Put32(out, 0);
  for (const Rgb& c : palette) {
    out.push_back(c.b);
    out.push_back(c.g);
    out.push_back(c.r);
    out.push_back(0);
  }
  out.insert(out.end(), bits.begin(), bits.end());
  return out;
}

}  // namespace art
