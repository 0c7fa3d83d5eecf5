#include "scripting/sha256.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace scripting {
namespace {

struct Vector {
  std::string message;
  const char* digest;
};

// The standard test vectors, and lengths around the 56-byte padding boundary.
TEST(Sha256, StandardVectors) {
  const Vector vectors[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqr"
       "lmnopqrsmnopqrstnopqrstu",
       "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
      {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
      {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
      {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
  };
  for (const auto& v : vectors) {
    SCOPED_TRACE(v.message.size());
    EXPECT_EQ(sha256_hex(v.message), v.digest);
    // The same message in uneven pieces.
    Sha256 pieces;
    for (std::size_t at = 0, step = 1; at < v.message.size();
         at += step, step = step * 3 % 97 + 1) {
      pieces.update(std::string_view(v.message).substr(at, step));
    }
    EXPECT_EQ(pieces.hex_digest(), v.digest);
  }
}

TEST(Sha256, FileDigest) {
  const auto path = std::filesystem::temp_directory_path() / "mapfit_sha256_test.txt";
  std::ofstream(path, std::ios::binary) << "abc";
  EXPECT_EQ(sha256_of_file(path.string()),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  std::filesystem::remove(path);
  EXPECT_FALSE(sha256_of_file(path.string()).has_value());
}

}  // namespace
}  // namespace scripting
