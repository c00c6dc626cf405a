#include "Jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

// libjpeg reports a fatal error through a callback that must not return. The
// callback here jumps back (longjmp) into the function that started the library
// call. Those functions are written in the style of C: they hold no object with a
// destructor, so the jump skips nothing; their callers turn the error code into
// an exception once the jump is over.

namespace {

constexpr int64_t kMaxPixels = int64_t{1} << 26;
constexpr int kTooLarge = -2;

struct ErrorManager {
  jpeg_error_mgr pub;  // first, so that the library's pointer is ours
  jmp_buf jump;
  int code;
};

void ErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  err->code = err->pub.msg_code != 0 ? err->pub.msg_code : -1;
  longjmp(err->jump, 1);
}

// Warnings that mean picture data is missing or made up are errors for us: the
// library would otherwise fill a truncated picture with grey and go on.
void EmitMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;
  int code = cinfo->err->msg_code;
  if (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER || code == JWRN_HUFF_BAD_CODE || code == JWRN_MUST_RESYNC ||
      code == JWRN_NOT_SEQUENTIAL) {
    ErrorExit(cinfo);
  }
  cinfo->err->num_warnings++;
}

void OutputMessage(j_common_ptr) {}

void InstallErrorManager(ErrorManager* err) {
  jpeg_std_error(&err->pub);
  err->pub.error_exit = ErrorExit;
  err->pub.emit_message = EmitMessage;
  err->pub.output_message = OutputMessage;
  err->code = 0;
}

struct Decoder {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  bool cmyk;
};

// Reads the header and starts decompression; 0 or an error code.
int DecoderStart(Decoder* d, const uint8_t* data, size_t size) {
  if (setjmp(d->err.jump)) return d->err.code;
  jpeg_create_decompress(&d->cinfo);
  jpeg_mem_src(&d->cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&d->cinfo, TRUE);
  if (static_cast<int64_t>(d->cinfo.image_width) * d->cinfo.image_height > kMaxPixels) return kTooLarge;
  d->cmyk = d->cinfo.jpeg_color_space == JCS_CMYK || d->cinfo.jpeg_color_space == JCS_YCCK;
  d->cinfo.out_color_space = d->cmyk ? JCS_CMYK : JCS_EXT_BGRA;
  jpeg_start_decompress(&d->cinfo);
  return 0;
}

// Decodes every row into rows of 4 bytes a pixel, `stride` bytes apart.
int DecoderRead(Decoder* d, uint8_t* top, ptrdiff_t stride) {
  if (setjmp(d->err.jump)) return d->err.code;
  while (d->cinfo.output_scanline < d->cinfo.output_height) {
    JSAMPROW row = top + stride * static_cast<ptrdiff_t>(d->cinfo.output_scanline);
    jpeg_read_scanlines(&d->cinfo, &row, 1);
  }
  jpeg_finish_decompress(&d->cinfo);
  return 0;
}

struct Encoder {
  jpeg_compress_struct cinfo;
  ErrorManager err;
  unsigned char* out;
  unsigned long outSize;
};

int EncoderRun(Encoder* e, const uint8_t* top, ptrdiff_t stride, int width, int height, int quality) {
  if (setjmp(e->err.jump)) return e->err.code;
  jpeg_create_compress(&e->cinfo);
  jpeg_mem_dest(&e->cinfo, &e->out, &e->outSize);
  e->cinfo.image_width = static_cast<JDIMENSION>(width);
  e->cinfo.image_height = static_cast<JDIMENSION>(height);
  e->cinfo.input_components = 4;
  e->cinfo.in_color_space = JCS_EXT_BGRX;
  jpeg_set_defaults(&e->cinfo);
  jpeg_set_quality(&e->cinfo, quality, TRUE);
  jpeg_start_compress(&e->cinfo, TRUE);
  while (e->cinfo.next_scanline < e->cinfo.image_height) {
    auto row = const_cast<JSAMPROW>(top + stride * static_cast<ptrdiff_t>(e->cinfo.next_scanline));
    jpeg_write_scanlines(&e->cinfo, &row, 1);
  }
  jpeg_finish_compress(&e->cinfo);
  return 0;
}

// Frees what the library holds however the decoding ended.
struct DecoderGuard {
  Decoder* d;
  ~DecoderGuard() { jpeg_destroy_decompress(&d->cinfo); }
};
struct EncoderGuard {
  Encoder* e;
  ~EncoderGuard() {
    jpeg_destroy_compress(&e->cinfo);
    std::free(e->out);
  }
};

[[noreturn]] void JpegError(int code) {
  if (code == kTooLarge) throw EInvalidGraphic("JPEG image is too large");
  throw EInvalidGraphic(Format("JPEG error #%d", code));
}

std::unique_ptr<TBitmap> Decode(std::span<const uint8_t> data) {
  // The library counts input bytes in an unsigned long, 32 bits on Windows.
  if (data.size() > (size_t{1} << 30)) throw EInvalidGraphic("JPEG image is too large");
  auto d = std::make_unique<Decoder>();
  std::memset(d.get(), 0, sizeof(Decoder));
  d->cinfo.err = &d->err.pub;
  InstallErrorManager(&d->err);
  DecoderGuard guard{d.get()};
  if (int code = DecoderStart(d.get(), data.data(), data.size())) JpegError(code);
  auto bitmap = std::make_unique<TBitmap>();
  int w = static_cast<int>(d->cinfo.output_width), h = static_cast<int>(d->cinfo.output_height);
  bitmap->SetSize(w, h);
  uint8_t* top = bitmap->ScanLine(0);
  ptrdiff_t stride = h > 1 ? bitmap->ScanLine(1) - top : 0;
  if (int code = DecoderRead(d.get(), top, stride)) JpegError(code);
  // Alpha bytes stay 0 like everything GDI draws; CMYK pixels are turned into RGB,
  // inverted as Adobe writes them or as printed ink amounts otherwise.
  bool inverted = d->cinfo.saw_Adobe_marker;
  for (int y = 0; y < h; ++y) {
    uint8_t* p = bitmap->ScanLine(y);
    for (int x = 0; x < w; ++x, p += 4) {
      if (d->cmyk) {
        unsigned c = p[0], m = p[1], yl = p[2], k = p[3];
        if (!inverted) {
          c = 255 - c;
          m = 255 - m;
          yl = 255 - yl;
          k = 255 - k;
        }
        p[0] = static_cast<uint8_t>(yl * k / 255);
        p[1] = static_cast<uint8_t>(m * k / 255);
        p[2] = static_cast<uint8_t>(c * k / 255);
      }
      p[3] = 0;
    }
  }
  return bitmap;
}

}  // namespace

const TClassInfo& TJPEGImage::StaticClass() {
  static const TClassInfo info = DefineClass<TJPEGImage>("TJPEGImage");
  return info;
}

TJPEGImage::TJPEGImage() : bitmap_(std::make_unique<TBitmap>()) {}

TJPEGImage::~TJPEGImage() = default;

void TJPEGImage::SetWidth(int value) {
  if (value != Width()) throw EInvalidGraphic("Cannot change the size of a JPEG image");
}

void TJPEGImage::SetHeight(int value) {
  if (value != Height()) throw EInvalidGraphic("Cannot change the size of a JPEG image");
}

void TJPEGImage::Draw(TCanvas& canvas, const RECT& r) {
  if (Empty()) return;
  bitmap_->SetTransparent(transparent_);
  bitmap_->Draw(canvas, r);
}

void TJPEGImage::LoadFromData(std::span<const uint8_t> data) {
  if (data.empty()) {
    if (!Empty()) {
      data_.clear();
      bitmap_ = std::make_unique<TBitmap>();
      Changed();
    }
    return;
  }
  std::unique_ptr<TBitmap> decoded = Decode(data);
  data_.assign(data.begin(), data.end());
  bitmap_ = std::move(decoded);
  Changed();
}

void TJPEGImage::Assign(const TPersistent* source) {
  if (source == this) return;
  if (!source) return LoadFromData({});
  if (const auto* other = dynamic_cast<const TJPEGImage*>(source)) {
    auto copy = std::make_unique<TBitmap>();
    copy->Assign(other->bitmap_.get());
    data_ = other->data_;
    bitmap_ = std::move(copy);
    quality_ = other->quality_;
    transparent_ = other->transparent_;
    Changed();
    return;
  }
  const auto* bitmap = dynamic_cast<const TBitmap*>(source);
  if (!bitmap) return TGraphic::Assign(source);
  if (bitmap->Empty()) return LoadFromData({});
  // The compressor reads 4-byte pixels: other formats are converted first.
  TBitmap pixels;
  pixels.Assign(bitmap);
  pixels.SetPixelFormat(pf32bit);
  auto e = std::make_unique<Encoder>();
  std::memset(e.get(), 0, sizeof(Encoder));
  e->cinfo.err = &e->err.pub;
  InstallErrorManager(&e->err);
  EncoderGuard guard{e.get()};
  int h = pixels.Height();
  uint8_t* top = pixels.ScanLine(0);
  ptrdiff_t stride = h > 1 ? pixels.ScanLine(1) - top : 0;
  if (int code = EncoderRun(e.get(), top, stride, pixels.Width(), h, quality_)) JpegError(code);
  LoadFromData(std::span<const uint8_t>(e->out, e->outSize));
}

void TJPEGImage::AssignTo(TPersistent* dest) const {
  auto* bitmap = dynamic_cast<TBitmap*>(dest);
  if (!bitmap) return TGraphic::AssignTo(dest);
  bitmap->Assign(bitmap_.get());
}
