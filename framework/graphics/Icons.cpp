#include "Icons.h"

#include <algorithm>
#include <cstring>
#include <cstdlib>

namespace {

[[noreturn]] void InvalidIcon() { throw EInvalidGraphic("Icon image is not valid"); }

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
uint32_t BigU32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}
void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

SIZE IconSize(HICON icon) {
  ICONINFO info{};
  if (!GetIconInfo(icon, &info)) return SIZE{0, 0};
  Gdi::Bitmap color(info.hbmColor), mask(info.hbmMask);
  BITMAP bm{};
  if (color && GetObjectA(color.get(), sizeof bm, &bm)) return SIZE{bm.bmWidth, bm.bmHeight};
  // A monochrome icon keeps its AND and XOR masks one above the other.
  if (mask && GetObjectA(mask.get(), sizeof bm, &bm)) return SIZE{bm.bmWidth, bm.bmHeight / 2};
  return SIZE{0, 0};
}

// One image of an .ico file, checked to lie inside the file and to hold the
// pixels its header promises.
struct IconImage {
  const uint8_t* data = nullptr;
  size_t size = 0;
  int width = 0;
  int height = 0;
  int bits = 0;
};

bool CheckImage(IconImage& image) {
  if (image.size >= 24 && std::memcmp(image.data, kPngSignature, 8) == 0) {
    uint32_t w = BigU32(image.data + 16), h = BigU32(image.data + 20);
    if (w == 0 || h == 0 || w > 1024 || h > 1024) return false;
    image.width = static_cast<int>(w);
    image.height = static_cast<int>(h);
    image.bits = 32;
    return true;
  }
  if (image.size < 40) return false;
  uint32_t headerSize = U32(image.data);
  if (headerSize < 40 || headerSize > image.size) return false;
  int32_t w = static_cast<int32_t>(U32(image.data + 4));
  int32_t h2 = static_cast<int32_t>(U32(image.data + 8));
  int bits = U16(image.data + 14);
  uint32_t compression = U32(image.data + 16);
  uint32_t used = U32(image.data + 32);
  if (w <= 0 || w > 1024 || h2 <= 0 || h2 > 2048 || h2 % 2 != 0) return false;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  if (compression != BI_RGB) return false;
  int h = h2 / 2;
  uint64_t table = 0;
  if (bits <= 8) table = (used != 0 && used <= (1u << bits) ? used : (1u << bits)) * 4ull;
  uint64_t xorStride = ((static_cast<uint64_t>(w) * bits + 31) / 32) * 4;
  uint64_t andStride = ((static_cast<uint64_t>(w) + 31) / 32) * 4;
  if (headerSize + table + (xorStride + andStride) * static_cast<uint64_t>(h) > image.size) return false;
  image.width = w;
  image.height = h;
  image.bits = bits;
  return true;
}

}  // namespace

const TClassInfo& TIcon::StaticClass() {
  static const TClassInfo info = DefineClass<TIcon>("TIcon");
  return info;
}

TIcon::TIcon() { transparent_ = true; }

TIcon::~TIcon() = default;

void TIcon::SetWidth(int value) {
  if (value != width_) throw EInvalidGraphic("Cannot change the size of an icon");
}

void TIcon::SetHeight(int value) {
  if (value != height_) throw EInvalidGraphic("Cannot change the size of an icon");
}

void TIcon::TakeHandle(Gdi::Icon icon, std::vector<uint8_t> data) {
  SIZE size = icon ? IconSize(icon.get()) : SIZE{0, 0};
  handle_ = std::move(icon);
  data_ = std::move(data);
  width_ = size.cx;
  height_ = size.cy;
  Changed();
}

void TIcon::SetHandle(HICON icon) {
  if (icon == handle_.get()) return;
  TakeHandle(Gdi::Icon(icon), {});
}

HICON TIcon::ReleaseHandle() {
  HICON h = handle_.release();
  data_.clear();
  width_ = height_ = 0;
  if (h) Changed();
  return h;
}

void TIcon::LoadFromResourceId(HINSTANCE instance, int id) {
  // Not shared, so that this icon owns what it frees.
  auto icon = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
  if (!icon) throw EResNotFound(Format("Resource %d not found", id));
  TakeHandle(Gdi::Icon(icon), {});
}

void TIcon::LoadFromResourceName(HINSTANCE instance, const std::string& name) {
  auto icon = static_cast<HICON>(LoadImageA(instance, name.c_str(), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
  if (!icon) throw EResNotFound(Format("Resource %s not found", name.c_str()));
  TakeHandle(Gdi::Icon(icon), {});
}

void TIcon::Draw(TCanvas& canvas, const RECT& r) {
  if (Empty()) return;
  DrawIconEx(canvas.Handle(), r.left, r.top, handle_.get(), r.right - r.left, r.bottom - r.top, 0, nullptr,
             DI_NORMAL);
}

void TIcon::LoadFromData(std::span<const uint8_t> data) {
  if (data.empty()) {
    if (!Empty()) TakeHandle(Gdi::Icon(), {});
    return;
  }
  if (data.size() < 6 || U16(data.data()) != 0 || U16(data.data() + 2) != 1) InvalidIcon();
  size_t count = U16(data.data() + 4);
  if (count == 0 || data.size() < 6 + 16 * count) InvalidIcon();

  // The image closest to the system's icon size, the deepest colours among equals.
  int wanted = GetSystemMetrics(SM_CXICON);
  if (wanted <= 0) wanted = 32;
  IconImage best;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* entry = data.data() + 6 + 16 * i;
    uint32_t size = U32(entry + 8), offset = U32(entry + 12);
    if (offset > data.size() || size > data.size() - offset) continue;
    IconImage image{data.data() + offset, size};
    if (!CheckImage(image)) continue;
    if (!best.data) {
      best = image;
      continue;
    }
    int d = std::abs(image.width - wanted), bestD = std::abs(best.width - wanted);
    if (d < bestD || (d == bestD && image.bits > best.bits)) best = image;
  }
  if (!best.data) InvalidIcon();
  HICON icon = CreateIconFromResourceEx(const_cast<PBYTE>(best.data), static_cast<DWORD>(best.size), TRUE,
                                        0x00030000, best.width, best.height, LR_DEFAULTCOLOR);
  if (!icon) InvalidIcon();
  TakeHandle(Gdi::Icon(icon), std::vector<uint8_t>(data.begin(), data.end()));
}

std::vector<uint8_t> TIcon::SaveToData() const {
  if (Empty()) return {};
  if (!data_.empty()) return data_;

  ICONINFO info{};
  if (!GetIconInfo(handle_.get(), &info)) throw EInvalidGraphic("Icon image is not valid");
  Gdi::Bitmap color(info.hbmColor), mask(info.hbmMask);
  int w = width_, h = height_;
  Gdi::Dc dc(CreateCompatibleDC(nullptr));
  auto read = [&](HBITMAP bitmap, int rows, int bits, std::vector<uint8_t>& out) {
    struct {
      BITMAPINFOHEADER header;
      RGBQUAD colors[2];
    } bi{};
    bi.header.biSize = sizeof(BITMAPINFOHEADER);
    bi.header.biWidth = w;
    bi.header.biHeight = rows;  // bottom-up, as the file stores it
    bi.header.biPlanes = 1;
    bi.header.biBitCount = static_cast<WORD>(bits);
    bi.header.biCompression = BI_RGB;
    size_t stride = ((static_cast<size_t>(w) * bits + 31) / 32) * 4;
    out.assign(stride * static_cast<size_t>(rows), 0);
    GetDIBits(dc.get(), bitmap, 0, static_cast<UINT>(rows), out.data(), reinterpret_cast<BITMAPINFO*>(&bi),
              DIB_RGB_COLORS);
  };
  size_t andStride = ((static_cast<size_t>(w) + 31) / 32) * 4;
  std::vector<uint8_t> pixels, andMask;
  if (color) {
    read(color.get(), h, 32, pixels);
    read(mask.get(), h, 1, andMask);
  } else {
    // Monochrome: the AND mask is the top half, the XOR mask the bottom half;
    // bottom-up, the XOR rows come first.
    std::vector<uint8_t> both;
    read(mask.get(), 2 * h, 32, both);
    pixels.assign(both.begin(), both.begin() + static_cast<ptrdiff_t>(both.size() / 2));
    read(mask.get(), 2 * h, 1, both);
    andMask.assign(both.begin() + static_cast<ptrdiff_t>(andStride * static_cast<size_t>(h)), both.end());
  }
  // Pixels without any alpha take it from the mask, so the file reads back the same
  // whether a reader honours the alpha channel or the mask.
  bool hasAlpha = false;
  for (size_t i = 3; i < pixels.size(); i += 4) hasAlpha |= pixels[i] != 0;
  if (!hasAlpha) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        bool transparent = (andMask[static_cast<size_t>(y) * andStride + static_cast<size_t>(x / 8)] >> (7 - x % 8)) & 1;
        pixels[(static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)) * 4 + 3] = transparent ? 0 : 255;
      }
  }

  std::vector<uint8_t> out;
  uint32_t imageBytes = static_cast<uint32_t>(40 + pixels.size() + andMask.size());
  Put16(out, 0);
  Put16(out, 1);
  Put16(out, 1);
  out.push_back(static_cast<uint8_t>(w >= 256 ? 0 : w));
  out.push_back(static_cast<uint8_t>(h >= 256 ? 0 : h));
  out.push_back(0);
  out.push_back(0);
  Put16(out, 1);
  Put16(out, 32);
  Put32(out, imageBytes);
  Put32(out, 22);
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(w));
  Put32(out, static_cast<uint32_t>(2 * h));
  Put16(out, 1);
  Put16(out, 32);
  Put32(out, BI_RGB);
  Put32(out, static_cast<uint32_t>(pixels.size() + andMask.size()));
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  out.insert(out.end(), pixels.begin(), pixels.end());
  out.insert(out.end(), andMask.begin(), andMask.end());
  return out;
}

void TIcon::Assign(const TPersistent* source) {
  if (source == this) return;
  if (!source) {
    if (!Empty()) TakeHandle(Gdi::Icon(), {});
    return;
  }
  const auto* other = dynamic_cast<const TIcon*>(source);
  if (!other) return TGraphic::Assign(source);
  Gdi::Icon copy;
  if (other->handle_) {
    copy.reset(CopyIcon(other->handle_.get()));
    if (!copy) throw EOutOfResources("Out of system resources");
  }
  TakeHandle(std::move(copy), other->data_);
}

void TIcon::AssignTo(TPersistent* dest) const {
  auto* bitmap = dynamic_cast<TBitmap*>(dest);
  if (!bitmap) return TGraphic::AssignTo(dest);
  TBitmap image(width_, height_, pf32bit);
  if (!Empty()) {
    TCanvas* canvas = image.Canvas();
    canvas->Brush()->SetColor(clBlack);
    canvas->FillRect(RECT{0, 0, width_, height_});
    DrawIconEx(canvas->Handle(), 0, 0, handle_.get(), width_, height_, 0, nullptr, DI_NORMAL);
  }
  bitmap->Assign(&image);
}
