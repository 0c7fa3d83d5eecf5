#include "windowing/png_writer.h"

#include <fcntl.h>
#include <png.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace windowing {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

void set_error(std::string* error, std::string text) {
  if (error != nullptr) *error = std::move(text);
}

int palette_index(const Rgb& c) {
  for (int i = 0; i < kPaletteSize; ++i) {
    if (kPalette[i] == c) return i;
  }
  return -1;
}

// libpng reports through these instead of printing to stderr; the message becomes the reason.
void on_png_error(png_structp png, png_const_charp message) {
  auto* reason = static_cast<std::string*>(png_get_error_ptr(png));
  if (reason != nullptr) *reason = message;
  png_longjmp(png, 1);
}

void on_png_warning(png_structp, png_const_charp) {}

// The bytes of the picture go through here, so that a failed write keeps its system error.
struct Sink {
  std::FILE* file;
  int error_number = 0;
};

void on_png_write(png_structp png, png_bytep data, png_size_t length) {
  auto* sink = static_cast<Sink*>(png_get_io_ptr(png));
  if (std::fwrite(data, 1, length, sink->file) != length) {
    sink->error_number = errno != 0 ? errno : EIO;
    png_error(png, "write error");
  }
}

void on_png_flush(png_structp png) {
  auto* sink = static_cast<Sink*>(png_get_io_ptr(png));
  if (std::fflush(sink->file) != 0) {
    sink->error_number = errno != 0 ? errno : EIO;
    png_error(png, "write error");
  }
}

// A new file beside `path` that no one else uses, created with the permissions a new file of
// that name would have.
File create_beside(const std::string& path, std::string& temporary) {
  static std::atomic<unsigned> serial{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = path + "." + std::to_string(getpid()) + "-" + std::to_string(serial++) + ".part";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      std::FILE* f = ::fdopen(fd, "wb");
      if (f == nullptr) {
        ::close(fd);
        ::unlink(temporary.c_str());
        return nullptr;
      }
      return File(f);
    }
    if (errno != EEXIST) return nullptr;
  }
  return nullptr;
}

// The picture into `file`: the system error of a failed write, EIO for another failure of
// libpng (with its message in `reason`), 0 when it is complete.
int write_picture(const Canvas& canvas, std::FILE* file, std::string& reason) {
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, &reason, on_png_error, on_png_warning);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return ENOMEM;
  }
  // Rows are built before setjmp, so no object with a destructor lives across the longjmp.
  std::vector<png_bytep> rows(static_cast<std::size_t>(canvas.height()));
  auto* data = const_cast<std::uint8_t*>(canvas.pixels().data());
  for (int y = 0; y < canvas.height(); ++y) {
    rows[y] = data + static_cast<std::size_t>(y) * canvas.width();
  }
  png_color palette[kPaletteSize];
  for (int i = 0; i < kPaletteSize; ++i) {
    palette[i] = png_color{kPalette[i].r, kPalette[i].g, kPalette[i].b};
  }
  Sink sink{file};
  volatile bool ok = false;
  if (setjmp(png_jmpbuf(png)) == 0) {
    png_set_write_fn(png, &sink, on_png_write, on_png_flush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(canvas.width()),
                 static_cast<png_uint_32>(canvas.height()), 8, PNG_COLOR_TYPE_PALETTE,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_PLTE(png, info, palette, kPaletteSize);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, info);
    ok = true;
  }
  png_destroy_write_struct(&png, &info);
  if (ok && std::fflush(file) != 0) return errno != 0 ? errno : EIO;
  if (!ok) return sink.error_number != 0 ? sink.error_number : EIO;
  return 0;
}

}  // namespace

bool write_png(const Canvas& canvas, const std::string& path, std::string* error) {
  namespace fs = std::filesystem;
  // The file that the name stands for, through any symbolic links, so that a link stays a link.
  std::error_code ec;
  const fs::file_type kind = fs::status(path, ec).type();
  if (kind != fs::file_type::regular && kind != fs::file_type::not_found && !ec) {
    // A FIFO or a device (--plot /dev/stdout) is written as it is: nothing can be put in its
    // place, and nothing written to it can be taken back.
    File file(std::fopen(path.c_str(), "wb"));
    std::string reason;
    int error_number = file ? write_picture(canvas, file.get(), reason) : errno;
    if (file && std::fclose(file.release()) != 0 && error_number == 0) error_number = errno;
    if (error_number == 0) return true;
    set_error(error, path + ": " + std::strerror(error_number));
    return false;
  }
  const std::string target =
      kind == fs::file_type::regular ? fs::canonical(path, ec).string() : path;
  const std::string& name = ec || target.empty() ? path : target;

  std::string temporary;
  File file = create_beside(name, temporary);
  if (!file) {
    set_error(error, path + ": " + std::strerror(errno));
    return false;
  }
  std::string reason;
  int error_number = write_picture(canvas, file.get(), reason);
  if (std::fclose(file.release()) != 0 && error_number == 0) {
    error_number = errno != 0 ? errno : EIO;
  }
  // Only a complete picture replaces the file of that name.
  if (error_number == 0 && std::rename(temporary.c_str(), name.c_str()) != 0) error_number = errno;
  if (error_number == 0) return true;
  ::unlink(temporary.c_str());
  if (error_number == EIO && !reason.empty()) {
    set_error(error, path + ": cannot write the picture (" + reason + ")");
  } else {
    set_error(error, path + ": " + std::strerror(error_number));
  }
  return false;
}

std::optional<Canvas> read_png(const std::string& path, std::string* error) {
  File file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    set_error(error, path + ": " + std::strerror(errno));
    return std::nullopt;
  }
  std::string reason;
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, &reason, on_png_error, on_png_warning);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    set_error(error, "out of memory");
    return std::nullopt;
  }
  std::vector<std::uint8_t> rgb;
  std::vector<png_bytep> rows;
  volatile png_uint_32 width = 0, height = 0;
  volatile bool ok = false;
  if (setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, file.get());
    png_read_info(png, info);
    width = png_get_image_width(png, info);
    height = png_get_image_height(png, info);
    // Any PNG becomes 8-bit RGB.
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_strip_alpha(png);
    png_set_gray_to_rgb(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) == static_cast<std::size_t>(width) * 3 && width <= 10000 &&
        height <= 10000) {
      rgb.resize(static_cast<std::size_t>(width) * height * 3);
      rows.resize(height);
      for (png_uint_32 y = 0; y < height; ++y) rows[y] = rgb.data() + std::size_t{y} * width * 3;
      png_read_image(png, rows.data());
      png_read_end(png, nullptr);
      ok = true;
    }
  }
  png_destroy_read_struct(&png, &info, nullptr);
  if (!ok) {
    set_error(error,
              path + ": not a readable PNG picture" + (reason.empty() ? "" : " (" + reason + ")"));
    return std::nullopt;
  }
  Canvas canvas(static_cast<int>(width), static_cast<int>(height), 0);
  for (png_uint_32 y = 0; y < height; ++y) {
    for (png_uint_32 x = 0; x < width; ++x) {
      const std::uint8_t* p = &rgb[(std::size_t{y} * width + x) * 3];
      int index = palette_index(Rgb{p[0], p[1], p[2]});
      if (index < 0) {
        set_error(error, path + ": a colour outside the palette");
        return std::nullopt;
      }
      canvas.SETDRAWCOLOR(index);
      canvas.PLOTPIXEL(static_cast<std::int16_t>(x), static_cast<std::int16_t>(y));
    }
  }
  return canvas;
}

}  // namespace windowing
