// PNG files on the desktop: libpng reads and writes them.
#include "platform/png.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstring>
#include <vector>

#include "platform/frame.h"
#include "process/files.h"

namespace platform {
namespace {

// libpng reports errors through a long jump back into the calling function;
// the message lands in the std::string given as the error pointer.
void on_error(png_structp png, png_const_charp message) {
  if (auto* out = static_cast<std::string*>(png_get_error_ptr(png))) *out = message;
  png_longjmp(png, 1);
}

void on_warning(png_structp, png_const_charp) {}

void read_source(png_structp png, png_bytep out, png_size_t size) {
  auto* source = static_cast<PngReader::Source*>(png_get_io_ptr(png));
  if (source->file) {
    if (std::fread(out, 1, size, source->file) != size) png_error(png, "truncated file");
    return;
  }
  if (source->memory.size() - source->offset < size) png_error(png, "truncated data");
  std::memcpy(out, source->memory.data() + source->offset, size);
  source->offset += size;
}

}  // namespace

// libpng's read and info structures.
struct PngReader::Decoder {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~Decoder() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

void PngReader::DecoderDeleter::operator()(Decoder* decoder) const { delete decoder; }

bool PngReader::start() {
  png_byte signature[8];
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &error_, on_error, on_warning);
  if (!png) {
    error_ = "out of memory";
    return false;
  }
  decoder_.reset(new Decoder{png, nullptr});
  png_infop info = png_create_info_struct(png);
  decoder_->info = info;
  if (!info) {
    error_ = "out of memory";
    return false;
  }
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_read_fn(png, &source_, read_source);
  read_source(png, signature, 8);
  if (png_sig_cmp(signature, 0, 8) != 0) {
    error_ = "not a PNG file";
    return false;
  }
  png_set_sig_bytes(png, 8);
  // Only IHDR, PLTE, tRNS, IDAT and IEND are read; every other chunk is
  // skipped without being held in memory, whatever length it claims.
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  png_set_user_limits(png, kMaxPictureSide, kMaxPictureSide);
  png_set_chunk_malloc_max(png, 1 << 20);
  png_read_info(png, info);
  width_ = static_cast<int>(png_get_image_width(png, info));
  height_ = static_cast<int>(png_get_image_height(png, info));
  return width_ > 0 && height_ > 0;
}

bool PngReader::readPremultiplied(std::uint8_t* rgba) {
  if (!decoder_ || !decoder_->info) return false;
  png_structp png = decoder_->png;
  png_infop info = decoder_->info;
  const size_t pitch = static_cast<size_t>(width_) * 4;
  std::vector<png_bytep> rows(static_cast<size_t>(height_));
  for (int y = 0; y < height_; ++y) rows[static_cast<size_t>(y)] = rgba + static_cast<size_t>(y) * pitch;
  if (setjmp(png_jmpbuf(png))) return false;

  // Every colour type ends up as 8-bit RGBA.
  const png_byte colour = png_get_color_type(png, info);
  if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colour == PNG_COLOR_TYPE_GRAY && png_get_bit_depth(png, info) < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  png_set_strip_16(png);
  if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  if (!(colour & PNG_COLOR_MASK_ALPHA) && !png_get_valid(png, info, PNG_INFO_tRNS)) {
    png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
  }
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != pitch) {
    error_ = "unexpected row layout";
    return false;
  }

  png_read_image(png, rows.data());
  png_read_end(png, nullptr);

  premultiply_alpha(rgba, static_cast<size_t>(width_) * static_cast<size_t>(height_));
  return true;
}

namespace {

// Writes through the output file, keeping the system's reason for a failure.
void write_output(png_structp png, png_bytep data, png_size_t size) {
  auto* out = static_cast<OutputFile*>(png_get_io_ptr(png));
  if (std::fwrite(data, 1, size, out->stream()) != size) {
    out->fail(errno);
    png_error(png, "write failed");
  }
}

void flush_output(png_structp) {}

// The encoding proper, in its own frame so that libpng's long jump crosses no
// live C++ object.
bool encode(png_structp png, png_infop info, OutputFile* out, int width, int height, png_const_bytep* rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, out, write_output, flush_output);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_rows(png, const_cast<png_bytepp>(rows), static_cast<png_uint_32>(height));
  png_write_end(png, info);
  return true;
}

}  // namespace

bool writePng(const std::string& path, int width, int height, const std::uint8_t* rgba, std::string* error) {
  OutputFile out;
  if (!out.open(path) || !out.stream()) {
    if (error) *error = out.error().empty() ? path + ": " + std::strerror(errno) : out.error();
    return false;
  }
  std::string message;
  std::vector<png_const_bytep> rows(static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) rows[static_cast<size_t>(y)] = rgba + static_cast<size_t>(y) * width * 4;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &message, on_error, on_warning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  const bool encoded = png && info && encode(png, info, &out, width, height, rows.data());
  if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
  if (!encoded) out.fail(ENOMEM);  // libpng's own failures come to this; a write error was recorded first
  if (!out.commit()) {
    if (error) *error = out.error();
    return false;
  }
  return true;
}

}  // namespace platform
