#include "Bitmaps.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "Streams.h"

namespace {

// Pictures larger than this are refused rather than allocated: 64 M pixels.
constexpr int64_t kMaxPixels = int64_t{1} << 26;

[[noreturn]] void InvalidBitmap() { throw EInvalidGraphic("Bitmap image is not valid"); }

// Little-endian reads from a byte block whose bounds the caller has checked.
uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
int32_t I32(const uint8_t* p) { return static_cast<int32_t>(U32(p)); }

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

int64_t StrideOf(int64_t width, int bits) { return ((width * bits + 31) / 32) * 4; }

RGBQUAD Quad(uint8_t r, uint8_t g, uint8_t b) { return RGBQUAD{b, g, r, 0}; }

// The palette a paletted bitmap gets when none is given: black and white, the
// sixteen standard colours, or those followed by a 6×6×6 colour cube and greys.
std::vector<RGBQUAD> DefaultColors(TPixelFormat format) {
  static const uint8_t vga[16][3] = {{0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                     {0, 0, 128},   {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                     {128, 128, 128}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
                                     {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
  std::vector<RGBQUAD> colors;
  switch (format) {
    case pf1bit:
      colors = {Quad(0, 0, 0), Quad(255, 255, 255)};
      break;
    case pf4bit:
    case pf8bit:
      for (const auto& c : vga) colors.push_back(Quad(c[0], c[1], c[2]));
      if (format == pf8bit) {
        for (int r = 0; r < 6; ++r)
          for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
              colors.push_back(Quad(static_cast<uint8_t>(r * 51), static_cast<uint8_t>(g * 51),
                                    static_cast<uint8_t>(b * 51)));
        for (int i = 0; colors.size() < 256; ++i) {
          auto v = static_cast<uint8_t>(8 + i * 10);
          colors.push_back(Quad(v, v, v));
        }
      }
      break;
    default:
      break;
  }
  return colors;
}

TPixelFormat FormatOfBits(int bits) {
  switch (bits) {
    case 1: return pf1bit;
    case 4: return pf4bit;
    case 8: return pf8bit;
    case 24: return pf24bit;
    default: return pf32bit;
  }
}

// BITMAPINFO with room for a full colour table or the three masks of 16 bits.
struct DibInfo {
  BITMAPINFOHEADER header{};
  RGBQUAD table[256]{};
};

void FillInfo(DibInfo& info, int width, int height, TPixelFormat format, const std::vector<RGBQUAD>& colors) {
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = width;
  info.header.biHeight = height;
  info.header.biPlanes = 1;
  info.header.biBitCount = static_cast<WORD>(format == pf15bit ? 16 : PixelFormatBits(format));
  info.header.biCompression = BI_RGB;
  if (format == pf16bit) {
    info.header.biCompression = BI_BITFIELDS;
    const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(info.table, masks, sizeof masks);
  } else if (!colors.empty()) {
    size_t n = std::min<size_t>(colors.size(), 256);
    std::copy_n(colors.begin(), n, info.table);
    info.header.biClrUsed = static_cast<DWORD>(n);
  }
}

// Channel decoding of a bit-field pixel: position and width of the mask.
struct Channel {
  int shift = 0;
  int bits = 0;
  uint8_t Get(uint32_t pixel, uint32_t mask) const {
    if (bits == 0) return 0;
    uint32_t max = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    uint64_t v = (pixel & mask) >> shift;
    return static_cast<uint8_t>((v * 255 + max / 2) / max);
  }
};

Channel ChannelOf(uint32_t mask) {
  Channel c;
  if (mask == 0) return c;
  c.shift = std::countr_zero(mask);
  uint32_t m = mask >> c.shift;
  c.bits = std::countr_one(m);
  // A mask with a gap cannot describe one channel.
  if (c.bits < 32 && (m >> c.bits) != 0) InvalidBitmap();
  return c;
}

// The parts of a DIB header that loading needs.
struct DibLayout {
  int width = 0;
  int height = 0;  // positive
  bool topDown = false;
  int bits = 0;
  uint32_t compression = BI_RGB;
  uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
  std::vector<RGBQUAD> colors;
  size_t pixelOffset = 0;  // from the start of the DIB
};

DibLayout ParseDibHeader(std::span<const uint8_t> dib, size_t filePixelOffset) {
  DibLayout d;
  if (dib.size() < 12) InvalidBitmap();
  const uint8_t* p = dib.data();
  uint32_t headerSize = U32(p);
  size_t tableEntry = 4;
  size_t pos = 0;
  uint32_t colorsUsed = 0;
  int64_t height = 0;
  if (headerSize == 12) {
    d.width = U16(p + 4);
    height = U16(p + 6);
    d.bits = U16(p + 10);
    tableEntry = 3;
    pos = 12;
  } else if (headerSize >= 40 && headerSize <= dib.size()) {
    d.width = I32(p + 4);
    height = I32(p + 8);
    d.bits = U16(p + 14);
    d.compression = U32(p + 16);
    colorsUsed = U32(p + 32);
    pos = headerSize;
    if (d.compression == BI_BITFIELDS || d.compression == 6 /* BI_ALPHABITFIELDS */) {
      int count = d.compression == BI_BITFIELDS ? 3 : 4;
      if (headerSize >= 52) {
        for (int i = 0; i < 3; ++i) d.masks[i] = U32(p + 40 + 4 * i);
        if (headerSize >= 56) d.masks[3] = U32(p + 52);
      } else {
        if (dib.size() < pos + 4 * static_cast<size_t>(count)) InvalidBitmap();
        for (int i = 0; i < count; ++i) d.masks[i] = U32(p + pos + 4 * i);
        pos += 4 * static_cast<size_t>(count);
      }
      d.compression = BI_BITFIELDS;
    }
  } else {
    InvalidBitmap();
  }
  if (height < 0) {
    d.topDown = true;
    height = -height;
  }
  if (d.width <= 0 || height <= 0 || height > std::numeric_limits<int>::max()) InvalidBitmap();
  d.height = static_cast<int>(height);
  if (int64_t{d.width} * d.height > kMaxPixels) InvalidBitmap();

  switch (d.compression) {
    case BI_RGB:
      if (d.bits != 1 && d.bits != 4 && d.bits != 8 && d.bits != 16 && d.bits != 24 && d.bits != 32) InvalidBitmap();
      break;
    case BI_RLE8:
      if (d.bits != 8 || d.topDown) InvalidBitmap();
      break;
    case BI_RLE4:
      if (d.bits != 4 || d.topDown) InvalidBitmap();
      break;
    case BI_BITFIELDS:
      if (d.bits != 16 && d.bits != 32) InvalidBitmap();
      break;
    default:
      InvalidBitmap();
  }

  size_t stored = 0;  // colour table entries present in the data
  if (d.bits <= 8) {
    size_t full = size_t{1} << d.bits;
    stored = colorsUsed != 0 && colorsUsed <= full ? colorsUsed : full;
  } else if (colorsUsed != 0 && colorsUsed <= 256) {
    stored = colorsUsed;  // an optional palette hint, skipped
  }
  if (dib.size() < pos + stored * tableEntry) InvalidBitmap();
  if (d.bits <= 8) {
    for (size_t i = 0; i < stored; ++i) {
      const uint8_t* e = p + pos + i * tableEntry;
      d.colors.push_back(RGBQUAD{e[0], e[1], e[2], 0});
    }
  }
  pos += stored * tableEntry;
  d.pixelOffset = filePixelOffset >= pos && filePixelOffset < dib.size() ? filePixelOffset : pos;
  return d;
}

// Expands run-length coded 8-bit or 4-bit pixels into one index byte per pixel,
// rows bottom-up. Runs that leave the picture are clipped; a truncated stream
// ends the picture where it stops.
std::vector<uint8_t> DecodeRle(std::span<const uint8_t> src, int width, int height, bool fourBit) {
  std::vector<uint8_t> out(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  size_t i = 0;
  int x = 0, y = 0;
  // x and y never pass width and height, however long the input goes on.
  auto put = [&](uint8_t index) {
    if (x >= width) return;
    out[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = index;
    ++x;
  };
  while (i + 1 < src.size() && y < height) {
    uint8_t count = src[i], value = src[i + 1];
    i += 2;
    if (count > 0) {
      for (int k = 0; k < count && x < width; ++k)
        put(fourBit ? static_cast<uint8_t>(k % 2 == 0 ? value >> 4 : value & 0x0F) : value);
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of picture
      break;
    } else if (value == 2) {  // move right and up
      if (i + 1 >= src.size()) break;
      x = std::min(x + src[i], width);
      y = std::min(y + src[i + 1], height);
      i += 2;
    } else {  // a literal run of `value` pixels, padded to a 16-bit boundary
      size_t bytes = fourBit ? (value + 1u) / 2 : value;
      if (i + bytes > src.size()) break;
      for (int k = 0; k < value; ++k) {
        uint8_t b = src[i + static_cast<size_t>(fourBit ? k / 2 : k)];
        put(fourBit ? static_cast<uint8_t>(k % 2 == 0 ? b >> 4 : b & 0x0F) : b);
      }
      i += (bytes + 1) & ~size_t{1};
    }
  }
  return out;
}

}  // namespace

int PixelFormatBits(TPixelFormat format) {
  switch (format) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf24bit: return 24;
    default: return 32;
  }
}

// ---------------------------------------------------------------------------
const TClassInfo& TGraphic::StaticClass() {
  static const TClassInfo info = DefineClass<TGraphic>("TGraphic");
  return info;
}

void TGraphic::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  Changed();
}

void TGraphic::Changed() {
  modified_ = true;
  if (OnChange) OnChange(this);
}

void TGraphic::LoadFromStream(TStream& stream) {
  int64_t size = stream.Size() - stream.Position();
  if (size < 0) size = 0;
  if (size > (int64_t{1} << 30)) throw EInvalidGraphic("Picture data is too large");
  std::vector<uint8_t> data(static_cast<size_t>(size));
  stream.ReadBuffer(data.data(), size);
  LoadFromData(data);
}

void TGraphic::SaveToStream(TStream& stream) const {
  std::vector<uint8_t> data = SaveToData();
  stream.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
}

std::vector<uint8_t> ReadGraphicFile(const std::string& fileName) {
  TFileStream file(fileName, fmOpenRead);
  int64_t size = file.Size();
  if (size > (int64_t{1} << 30)) throw EInvalidGraphic("Picture data is too large");
  std::vector<uint8_t> data(static_cast<size_t>(size));
  file.ReadBuffer(data.data(), size);
  return data;
}

void WriteGraphicFile(const std::string& fileName, std::span<const uint8_t> data) {
  TFileStream file(fileName, fmCreate);
  file.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
}

void TGraphic::LoadFromFile(const std::string& fileName) { LoadFromData(ReadGraphicFile(fileName)); }

void TGraphic::SaveToFile(const std::string& fileName) const { WriteGraphicFile(fileName, SaveToData()); }

// ---------------------------------------------------------------------------
TBitmapCanvas::~TBitmapCanvas() { FreeHandle(); }

void TBitmapCanvas::CreateHandle() {
  Gdi::Dc dc(CreateCompatibleDC(nullptr));
  if (!dc) throw EOutOfResources("Out of system resources");
  if (bitmap_.dib_) bitmapSel_.Select(dc.get(), bitmap_.dib_.get());
  dc_ = std::move(dc);
  SetHandle(dc_.get());
}

void TBitmapCanvas::FreeHandle() {
  SetHandle(nullptr);
  bitmapSel_.Restore();
  dc_.reset();
}

// ---------------------------------------------------------------------------
const TClassInfo& TBitmap::StaticClass() {
  static const TClassInfo info = DefineClass<TBitmap>("TBitmap", [](TClassBuilder<TBitmap>& c) {
    c.Bin("Data", &TBitmap::Data, &TBitmap::SetData);
  });
  return info;
}

TBitmap::TBitmap() = default;

TBitmap::TBitmap(int width, int height, TPixelFormat format) {
  format_ = format == pfDevice || format == pfCustom ? pf32bit : format;
  SetSize(width, height);
}

TBitmap::~TBitmap() { canvas_.reset(); }

TCanvas* TBitmap::Canvas() {
  if (!canvas_) canvas_ = std::make_unique<TBitmapCanvas>(*this);
  return canvas_.get();
}

HBITMAP TBitmap::Handle() const {
  if (canvas_) canvas_->FreeHandle();
  return dib_.get();
}

void TBitmap::FreeCanvasHandle() {
  if (canvas_) canvas_->FreeHandle();
}

void TBitmap::NewImage(int width, int height, TPixelFormat format, std::vector<RGBQUAD> colors) {
  if (format == pfDevice || format == pfCustom) format = pf32bit;
  if (PixelFormatBits(format) <= 8) {
    if (colors.empty()) colors = DefaultColors(format);
    colors.resize(std::min(colors.size(), size_t{1} << PixelFormatBits(format)));
  } else {
    colors.clear();
  }
  Gdi::Bitmap dib;
  void* bits = nullptr;
  if (width > 0 && height > 0) {
    if (int64_t{width} * height > kMaxPixels) throw EOutOfResources("Out of system resources");
    DibInfo info;
    FillInfo(info, width, height, format, colors);
    dib.reset(CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dib || !bits) throw EOutOfResources("Out of system resources");
    std::memset(bits, 0, static_cast<size_t>(StrideOf(width, PixelFormatBits(format)) * height));
  }
  // A bitmap with one side 0 is empty but keeps the other side, so that setting
  // the height and then the width gives a picture of both.
  // The canvas lets go of the old DIB before it is freed and takes the new one.
  FreeCanvasHandle();
  dib_ = std::move(dib);
  bits_ = static_cast<uint8_t*>(bits);
  width_ = width;
  height_ = height;
  format_ = format;
  colors_ = std::move(colors);
}

void TBitmap::SetSize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_) return;
  Gdi::Bitmap old(dib_.release());
  int oldWidth = width_, oldHeight = height_;
  try {
    NewImage(width, height, format_, colors_);
  } catch (...) {
    dib_ = std::move(old);
    throw;
  }
  if (dib_) {
    Gdi::MemoryDc dst(dib_.get());
    // The uncovered part takes the canvas brush, white unless the caller chose another.
    TColor fill = canvas_ ? canvas_->Brush()->Color() : clWhite;
    Gdi::Brush brush(CreateSolidBrush(ColorRef(fill)));
    RECT all{0, 0, width_, height_};
    ::FillRect(dst.get(), &all, brush.get());
    if (old) {
      Gdi::MemoryDc src(old.get());
      BitBlt(dst.get(), 0, 0, std::min(oldWidth, width_), std::min(oldHeight, height_), src.get(), 0, 0, SRCCOPY);
    }
    GdiFlush();
  }
  Changed();
}

void TBitmap::SetPixelFormat(TPixelFormat value) {
  if (value == pfDevice || value == pfCustom) value = pf32bit;
  if (value == format_) return;
  if (Empty()) {
    format_ = value;
    colors_ = PixelFormatBits(value) <= 8 ? DefaultColors(value) : std::vector<RGBQUAD>{};
    Changed();
    return;
  }
  Gdi::Bitmap old(dib_.release());
  try {
    NewImage(width_, height_, value, {});
  } catch (...) {
    dib_ = std::move(old);
    throw;
  }
  Gdi::MemoryDc dst(dib_.get());
  Gdi::MemoryDc src(old.get());
  BitBlt(dst.get(), 0, 0, width_, height_, src.get(), 0, 0, SRCCOPY);
  GdiFlush();
  Changed();
}

HBITMAP TBitmap::ReleaseHandle() {
  FreeCanvasHandle();
  HBITMAP h = dib_.release();
  bits_ = nullptr;
  width_ = height_ = 0;
  if (h) Changed();
  return h;
}

void TBitmap::LoadFromHandle(HBITMAP bitmap) {
  BITMAP bm{};
  if (!bitmap || !GetObjectA(bitmap, sizeof bm, &bm)) throw EInvalidGraphic("Bitmap image is not valid");
  int bits = bm.bmBitsPixel * bm.bmPlanes;
  TPixelFormat format = FormatOfBits(bits);
  std::vector<RGBQUAD> colors;
  Gdi::MemoryDc src(bitmap);
  if (bits <= 8) {
    RGBQUAD table[256];
    UINT n = GetDIBColorTable(src.get(), 0, 256, table);
    colors.assign(table, table + n);
  }
  NewImage(bm.bmWidth, bm.bmHeight, format, std::move(colors));
  if (dib_) {
    Gdi::MemoryDc dst(dib_.get());
    BitBlt(dst.get(), 0, 0, width_, height_, src.get(), 0, 0, SRCCOPY);
    GdiFlush();
  }
  Changed();
}

int TBitmap::RowBytes() const { return static_cast<int>(StrideOf(width_, PixelFormatBits(format_))); }

uint8_t* TBitmap::ScanLine(int y) {
  if (!bits_ || y < 0 || y >= height_) throw ERangeError("Scan line index out of range");
  GdiFlush();
  return bits_ + static_cast<ptrdiff_t>(height_ - 1 - y) * RowBytes();
}

const uint8_t* TBitmap::ScanLine(int y) const { return const_cast<TBitmap*>(this)->ScanLine(y); }

void TBitmap::SetColors(std::span<const RGBQUAD> colors) {
  if (PixelFormatBits(format_) > 8) return;
  std::vector<RGBQUAD> table(colors.begin(), colors.end());
  table.resize(std::min(table.size(), size_t{1} << PixelFormatBits(format_)));
  if (dib_) {
    FreeCanvasHandle();
    Gdi::MemoryDc dc(dib_.get());
    SetDIBColorTable(dc.get(), 0, static_cast<UINT>(table.size()), table.data());
  }
  colors_ = std::move(table);
  Changed();
}

TColor TBitmap::TransparentColor() const {
  if (transparentMode_ == tmFixed) return transparentColor_;
  if (Empty()) return clDefault;
  GdiFlush();
  return PixelAt(0, height_ - 1);
}

Gdi::Bitmap TBitmap::CreateMask(TColor color) const {
  if (Empty()) return Gdi::Bitmap();
  COLORREF key = ColorRef(color);
  GdiFlush();
  // Rows of a device-dependent monochrome bitmap are padded to 16 bits.
  size_t stride = (static_cast<size_t>(width_) + 15) / 16 * 2;
  std::vector<uint8_t> bits(stride * static_cast<size_t>(height_), 0);
  for (int y = 0; y < height_; ++y) {
    uint8_t* row = bits.data() + stride * static_cast<size_t>(y);
    for (int x = 0; x < width_; ++x)
      if (PixelAt(x, y) == key) row[x / 8] = static_cast<uint8_t>(row[x / 8] | (0x80 >> (x % 8)));
  }
  Gdi::Bitmap mask(CreateBitmap(width_, height_, 1, 1, bits.data()));
  if (!mask) throw EOutOfResources("Out of system resources");
  return mask;
}

TColor TBitmap::PixelAt(int x, int y) const {
  const uint8_t* row = bits_ + static_cast<ptrdiff_t>(height_ - 1 - y) * RowBytes();
  auto entry = [this](unsigned index) -> TColor {
    if (index >= colors_.size()) return clBlack;
    const RGBQUAD& q = colors_[index];
    return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
  };
  // Channels of fewer than 8 bits are widened the way GDI widens them.
  auto widen5 = [](unsigned v) { return static_cast<BYTE>((v << 3) | (v >> 2)); };
  auto widen6 = [](unsigned v) { return static_cast<BYTE>((v << 2) | (v >> 4)); };
  switch (format_) {
    case pf1bit: return entry((row[x / 8] >> (7 - x % 8)) & 1);
    case pf4bit: return entry(x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 0x0F);
    case pf8bit: return entry(row[x]);
    case pf15bit: {
      unsigned v = U16(row + 2 * x);
      return RGB(widen5((v >> 10) & 31), widen5((v >> 5) & 31), widen5(v & 31));
    }
    case pf16bit: {
      unsigned v = U16(row + 2 * x);
      return RGB(widen5((v >> 11) & 31), widen6((v >> 5) & 63), widen5(v & 31));
    }
    case pf24bit: return RGB(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
    default: return RGB(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
  }
}

void TBitmap::SetTransparentColor(TColor value) {
  TTransparentMode mode = value == clDefault ? tmAuto : tmFixed;
  if (value == transparentColor_ && mode == transparentMode_) return;
  transparentColor_ = value;
  transparentMode_ = mode;
  Changed();
}

void TBitmap::SetTransparentMode(TTransparentMode value) {
  if (value == transparentMode_) return;
  if (value == tmFixed && transparentColor_ == clDefault) transparentColor_ = TransparentColor();
  transparentMode_ = value;
  Changed();
}

void TBitmap::LoadFromResourceName(HINSTANCE instance, const std::string& name) {
  HRSRC res = FindResourceA(instance, name.c_str(), MAKEINTRESOURCEA(2) /* RT_BITMAP */);
  if (!res) throw EResNotFound(Format("Resource %s not found", name.c_str()));
  HGLOBAL mem = LoadResource(instance, res);
  const void* data = mem ? LockResource(mem) : nullptr;
  if (!data) throw EResNotFound(Format("Resource %s not found", name.c_str()));
  LoadFromDib(std::span(static_cast<const uint8_t*>(data), SizeofResource(instance, res)));
}

void TBitmap::LoadFromResourceId(HINSTANCE instance, int id) {
  HRSRC res = FindResourceA(instance, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(2) /* RT_BITMAP */);
  if (!res) throw EResNotFound(Format("Resource %d not found", id));
  HGLOBAL mem = LoadResource(instance, res);
  const void* data = mem ? LockResource(mem) : nullptr;
  if (!data) throw EResNotFound(Format("Resource %d not found", id));
  LoadFromDib(std::span(static_cast<const uint8_t*>(data), SizeofResource(instance, res)));
}

void TBitmap::LoadFromDib(std::span<const uint8_t> dib) { LoadDib(dib, 0); }

void TBitmap::LoadDib(std::span<const uint8_t> dib, size_t filePixelOffset) {
  DibLayout d = ParseDibHeader(dib, filePixelOffset);
  std::span<const uint8_t> pixels = dib.subspan(d.pixelOffset);
  int srcBits = d.bits;
  int64_t srcStride = StrideOf(d.width, srcBits);

  std::vector<uint8_t> expanded;  // run-length coded pictures, one byte per pixel
  if (d.compression == BI_RLE8 || d.compression == BI_RLE4) {
    expanded = DecodeRle(pixels, d.width, d.height, d.compression == BI_RLE4);
  } else {
    // The last row may lack its padding; every pixel must be there.
    int64_t need = srcStride * (d.height - 1) + (int64_t{d.width} * srcBits + 7) / 8;
    if (static_cast<int64_t>(pixels.size()) < need) InvalidBitmap();
  }

  TPixelFormat format;
  bool convert = false;  // bit fields that no DIB format matches: decoded to 32 bits
  if (d.bits == 16) {
    if (d.compression == BI_RGB || (d.masks[0] == 0x7C00 && d.masks[1] == 0x03E0 && d.masks[2] == 0x001F)) {
      format = pf15bit;
    } else if (d.masks[0] == 0xF800 && d.masks[1] == 0x07E0 && d.masks[2] == 0x001F) {
      format = pf16bit;
    } else {
      format = pf32bit;
      convert = true;
    }
  } else if (d.bits == 32) {
    format = pf32bit;
    convert = d.compression == BI_BITFIELDS &&
              !(d.masks[0] == 0xFF0000 && d.masks[1] == 0xFF00 && d.masks[2] == 0xFF &&
                (d.masks[3] == 0 || d.masks[3] == 0xFF000000));
  } else {
    format = FormatOfBits(d.bits);
  }
  Channel channels[4];
  if (convert)
    for (int i = 0; i < 4; ++i) channels[i] = ChannelOf(d.masks[i]);

  std::vector<RGBQUAD> colors = d.colors;
  if (d.bits <= 8 && colors.empty()) InvalidBitmap();

  TBitmap image;
  image.NewImage(d.width, d.height, format, colors);
  int dstStride = image.RowBytes();
  for (int row = 0; row < d.height; ++row) {
    // Memory row `row` of the DIB counts from the bottom, as a bottom-up file does.
    int fileRow = d.topDown ? d.height - 1 - row : row;
    uint8_t* dst = image.bits_ + static_cast<ptrdiff_t>(row) * dstStride;
    if (!expanded.empty()) {
      const uint8_t* src = expanded.data() + static_cast<size_t>(fileRow) * static_cast<size_t>(d.width);
      if (d.compression == BI_RLE8) {
        std::memcpy(dst, src, static_cast<size_t>(d.width));
      } else {
        for (int x = 0; x < d.width; ++x) {
          uint8_t v = src[x] & 0x0F;
          dst[x / 2] = static_cast<uint8_t>(x % 2 == 0 ? (dst[x / 2] & 0x0F) | (v << 4) : (dst[x / 2] & 0xF0) | v);
        }
      }
      continue;
    }
    const uint8_t* src = pixels.data() + srcStride * fileRow;
    size_t available = std::min<size_t>(static_cast<size_t>(srcStride), pixels.size() - static_cast<size_t>(srcStride * fileRow));
    if (!convert) {
      std::memcpy(dst, src, std::min<size_t>(available, static_cast<size_t>(dstStride)));
      continue;
    }
    for (int x = 0; x < d.width; ++x) {
      uint32_t v = d.bits == 16 ? U16(src + 2 * x) : U32(src + 4 * x);
      dst[4 * x + 0] = channels[2].Get(v, d.masks[2]);
      dst[4 * x + 1] = channels[1].Get(v, d.masks[1]);
      dst[4 * x + 2] = channels[0].Get(v, d.masks[0]);
      dst[4 * x + 3] = channels[3].Get(v, d.masks[3]);
    }
  }
  GdiFlush();

  // Only now that the whole picture is read does it replace ours.
  FreeCanvasHandle();
  dib_ = std::move(image.dib_);
  bits_ = std::exchange(image.bits_, nullptr);
  width_ = std::exchange(image.width_, 0);
  height_ = std::exchange(image.height_, 0);
  format_ = image.format_;
  colors_ = std::move(image.colors_);
  Changed();
}

void TBitmap::LoadFromData(std::span<const uint8_t> data) {
  if (data.empty()) {
    if (!Empty()) {
      NewImage(0, 0, format_, {});
      Changed();
    }
    return;
  }
  if (data.size() < 14 + 12 || data[0] != 'B' || data[1] != 'M') InvalidBitmap();
  uint32_t offBits = U32(data.data() + 10);
  // An offset that makes no sense falls back to the end of the colour table.
  LoadDib(data.subspan(14), offBits >= 14 ? offBits - 14 : 0);
}

std::vector<uint8_t> TBitmap::SaveToData() const {
  std::vector<uint8_t> out;
  if (Empty()) return out;
  GdiFlush();
  int bits = PixelFormatBits(format_);
  size_t tableBytes = format_ == pf16bit ? 12 : colors_.size() * 4;
  size_t pixelBytes = static_cast<size_t>(RowBytes()) * static_cast<size_t>(height_);
  size_t offset = 14 + 40 + tableBytes;
  size_t total = offset + pixelBytes;
  out.reserve(total);
  out.push_back('B');
  out.push_back('M');
  Put32(out, static_cast<uint32_t>(total));
  Put32(out, 0);
  Put32(out, static_cast<uint32_t>(offset));
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(width_));
  Put32(out, static_cast<uint32_t>(height_));
  Put16(out, 1);
  Put16(out, static_cast<uint32_t>(bits));
  Put32(out, format_ == pf16bit ? BI_BITFIELDS : BI_RGB);
  Put32(out, static_cast<uint32_t>(pixelBytes));
  Put32(out, 3780);  // 96 dots per inch, in dots per metre
  Put32(out, 3780);
  Put32(out, static_cast<uint32_t>(colors_.size()));
  Put32(out, 0);
  if (format_ == pf16bit) {
    Put32(out, 0xF800);
    Put32(out, 0x07E0);
    Put32(out, 0x001F);
  }
  for (const RGBQUAD& c : colors_) {
    out.push_back(c.rgbBlue);
    out.push_back(c.rgbGreen);
    out.push_back(c.rgbRed);
    out.push_back(0);
  }
  out.insert(out.end(), bits_, bits_ + pixelBytes);
  return out;
}

std::vector<uint8_t> TBitmap::Data() const { return SaveToData(); }

void TBitmap::SetData(const std::vector<uint8_t>& data) { LoadFromData(data); }

void TBitmap::Draw(TCanvas& canvas, const RECT& r) {
  if (Empty()) return;
  HDC dst = canvas.Handle();
  HDC src = Canvas()->Handle();
  int dw = r.right - r.left, dh = r.bottom - r.top;
  int oldMode = SetStretchBltMode(dst, COLORONCOLOR);
  if (!transparent_) {
    if (dw == width_ && dh == height_)
      BitBlt(dst, r.left, r.top, dw, dh, src, 0, 0, canvas.CopyMode());
    else
      StretchBlt(dst, r.left, r.top, dw, dh, src, 0, 0, width_, height_, canvas.CopyMode());
  } else {
    // Mask: white where the transparent colour is. Then D xor S, and mask, xor S
    // gives S where the mask is black and D, untouched, where it is white.
    Gdi::Bitmap mask = CreateMask(TransparentColor());
    Gdi::MemoryDc maskDc(mask.get());
    if (!maskDc) throw EOutOfResources("Out of system resources");
    COLORREF oldText = SetTextColor(dst, RGB(0, 0, 0));
    COLORREF oldBk = SetBkColor(dst, RGB(255, 255, 255));
    StretchBlt(dst, r.left, r.top, dw, dh, src, 0, 0, width_, height_, SRCINVERT);
    StretchBlt(dst, r.left, r.top, dw, dh, maskDc.get(), 0, 0, width_, height_, SRCAND);
    StretchBlt(dst, r.left, r.top, dw, dh, src, 0, 0, width_, height_, SRCINVERT);
    SetTextColor(dst, oldText);
    SetBkColor(dst, oldBk);
  }
  SetStretchBltMode(dst, oldMode);
}

void TBitmap::Assign(const TPersistent* source) {
  if (source == this) return;
  if (!source) {
    transparentColor_ = clDefault;
    transparentMode_ = tmAuto;
    NewImage(0, 0, format_, {});
    Changed();
    return;
  }
  const auto* other = dynamic_cast<const TBitmap*>(source);
  if (!other) return TGraphic::Assign(source);
  GdiFlush();
  NewImage(other->width_, other->height_, other->format_, other->colors_);
  if (bits_ && other->bits_)
    std::memcpy(bits_, other->bits_, static_cast<size_t>(RowBytes()) * static_cast<size_t>(height_));
  transparentColor_ = other->transparentColor_;
  transparentMode_ = other->transparentMode_;
  transparent_ = other->transparent_;
  Changed();
}
