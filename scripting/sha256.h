#pragma once
// SHA-256 message digests, for naming exactly which series file a result came from.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace scripting {

class Sha256 {
 public:
  Sha256();
  void update(std::string_view bytes);
  // The digest as 64 lower-case hexadecimal digits; the object is then used up.
  std::string hex_digest();

 private:
  void block(const unsigned char* p);

  std::uint32_t h_[8];
  unsigned char buffer_[64];
  std::size_t buffered_ = 0;
  std::uint64_t length_ = 0;  // bytes so far
};

std::string sha256_hex(std::string_view bytes);

// The digest of a whole file, read in blocks; nothing when it cannot be read.
std::optional<std::string> sha256_of_file(const std::string& path);

}  // namespace scripting
