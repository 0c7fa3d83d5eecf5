#include "windowing/png_writer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

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

// A picture goes to a new file beside its name and replaces the file of that name only when it
// is complete: a write that fails (here at a file-size limit, as on a full disk) leaves the
// earlier file as it was and nothing else behind.
TEST(Png, OnlyACompletePictureReplacesTheFile) {
  const std::filesystem::path dir = temp_path("mapfit_png_replace");
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "plot.png").string();
  Canvas first(40, 30, 15), second(40, 30, 12);
  const mode_t saved_mask = umask(022);
  ASSERT_TRUE(write_png(first, path));
  ASSERT_TRUE(write_png(second, path));
  umask(saved_mask);
  EXPECT_EQ(read_png(path)->pixels(), second.pixels());
  // The permissions of a new file, not those of a private temporary one.
  EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
            std::filesystem::perms(0644));

  const std::string earlier(5000, 'p');
  std::ofstream(path, std::ios::binary | std::ios::trunc) << earlier;
  Canvas busy(400, 400, 15);
  for (int i = 0; i < 400; ++i) {
    busy.SETDRAWCOLOR(i % 16);
    busy.MOVEPEN(0, static_cast<std::int16_t>(i));
    busy.DRAWLINETO(static_cast<std::int16_t>(399 - i), static_cast<std::int16_t>(i / 2));
  }
  const auto saved_handler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit lowered = saved;
  lowered.rlim_cur = 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &lowered), 0);
  std::string error;
  const bool written = write_png(busy, path, &error);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, saved_handler);
  EXPECT_FALSE(written);
  EXPECT_EQ(error, path + ": File too large");
  std::ifstream in(path, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), earlier);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{"plot.png"});

  // A symbolic link stays a link: the picture replaces the file it names.
  const std::filesystem::path link = dir / "link.png";
  std::filesystem::create_symlink(path, link);
  ASSERT_TRUE(write_png(first, link.string()));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(read_png(path)->pixels(), first.pixels());
  std::filesystem::remove_all(dir);
}

// A device is written as it is, never replaced (--plot /dev/stdout; as root a rename would
// replace the device itself).
TEST(Png, DevicesAreWrittenInPlace) {
  EXPECT_TRUE(write_png(Canvas(8, 8), "/dev/null"));
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
  std::string error;
  EXPECT_FALSE(write_png(Canvas(8, 8), "/dev/full", &error));
  EXPECT_EQ(error, "/dev/full: No space left on device");
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
}

}  // namespace
}  // namespace windowing
