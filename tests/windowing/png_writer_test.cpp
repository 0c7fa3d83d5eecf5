#include "windowing/png_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace windowing {
namespace {

std::string temp_path(const char* name) {
  return (std::filesystem::temp_directory_path() / name).string();
}

TEST(Png, RoundTripKeepsEveryPaletteIndex) {
  Canvas c(kPaletteSize, 3);
  for (int i = 0; i < kPaletteSize; ++i) {
    c.SETDRAWCOLOR(i);
    c.PLOTPIXEL(static_cast<std::int16_t>(i), 0);
    c.PLOTPIXEL(static_cast<std::int16_t>(kPaletteSize - 1 - i), 2);
  }
  const std::string path = temp_path("mapfit_png_roundtrip.png");
  std::string error;
  ASSERT_TRUE(write_png(c, path, &error)) << error;
  const auto back = read_png(path, &error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(back->width(), c.width());
  EXPECT_EQ(back->height(), c.height());
  EXPECT_EQ(back->pixels(), c.pixels());
  std::filesystem::remove(path);
}

TEST(Png, UnwritablePathIsReported) {
  std::string error;
  EXPECT_FALSE(write_png(Canvas(4, 4), "/nonexistent-dir/x.png", &error));
  EXPECT_EQ(error.rfind("/nonexistent-dir/x.png: ", 0), 0u) << error;
  EXPECT_FALSE(write_png(Canvas(4, 4), "/nonexistent-dir/x.png"));  // no error text wanted
}

TEST(Png, UnreadableFilesGiveNothing) {
  std::string error;
  EXPECT_FALSE(read_png("/nonexistent-dir/x.png", &error));
  EXPECT_FALSE(error.empty());

  const std::string path = temp_path("mapfit_png_not_a_png.png");
  std::ofstream(path) << "this is not a picture\n";
  error.clear();
  EXPECT_FALSE(read_png(path, &error));
  EXPECT_EQ(error, path + ": not a readable PNG picture (Not a PNG file)");

  // A truncated PNG: the header is fine, the data ends early.
  const std::string full = temp_path("mapfit_png_full.png");
  ASSERT_TRUE(write_png(Canvas(40, 40), full));
  const auto size = std::filesystem::file_size(full);
  std::filesystem::copy_file(full, path, std::filesystem::copy_options::overwrite_existing);
  std::filesystem::resize_file(path, size / 2);
  EXPECT_FALSE(read_png(path, &error));
  EXPECT_EQ(error.rfind(path + ": not a readable PNG picture (", 0), 0u) << error;
  std::filesystem::remove(path);
  std::filesystem::remove(full);
}

}  // namespace
}  // namespace windowing
