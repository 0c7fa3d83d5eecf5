// Fuzz target: the error stack and its message builder.
//
// The input is a program of error-stack calls: argument stores of every kind with indices in
// and out of 1 .. 9 and texts up to 400 characters (beyond the 300-character buffer), messages
// with arbitrary templates up to 1,200 characters (malformed, truncated and unknown
// placeholders, "%/" line breaks), pushes beyond the deepest level, pops with right and wrong
// names, N1RCD with bad selectors and direct E1SHOW calls. Properties:
// - nothing crashes, and the only way out is a stop of the program with status 1;
// - every printed line fits 78 characters, and every printed block begins with an empty line
//   and " *** ".
// The stack is put back to its defaults after each input.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "numlib/error_stack.h"
#include "numlib/stop.h"
#include "numlib/units.h"

namespace {

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool empty() const { return pos_ >= size_; }
  std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  std::uint32_t word() {
    std::uint32_t w = 0;
    for (int i = 0; i < 4; ++i) w = (w << 8) | byte();
    return w;
  }
  std::string text(std::size_t limit) {
    std::size_t length = (static_cast<std::size_t>(byte()) << 8 | byte()) % (limit + 1);
    length = std::min(length, size_ - std::min(pos_, size_));
    std::string t(reinterpret_cast<const char*>(data_) + pos_, length);
    pos_ += length;
    return t;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

std::string printed;

void check_printed() {
  std::string_view rest = printed;
  while (!rest.empty()) {
    const auto end = rest.find('\n');
    fuzzing::check(end != std::string_view::npos, "printed text ends with a line end");
    fuzzing::check(end <= 78, "a printed line fits 78 characters");
    rest.remove_prefix(end + 1);
  }
  printed.clear();
}

void run(Input& in) {
  std::vector<std::string> names;  // what this program pushed, to pop with the right name
  int calls = 0;
  while (!in.empty() && ++calls < 400) {
    const std::uint8_t op = in.byte();
    const int k = static_cast<int>(in.byte() % 13) - 2;  // -2 .. 10
    switch (op % 8) {
      case 0:
        numlib::E1ARGI(k, static_cast<std::int32_t>(in.word()));
        break;
      case 1: {
        const std::uint32_t bits = in.word();
        float value = 0;
        std::memcpy(&value, &bits, sizeof value);
        numlib::E1ARGR(k, value);
        break;
      }
      case 2:
        numlib::E1ARGL(k * (op & 8 ? -1 : 1), in.text(400));
        break;
      case 3: {
        const int type = static_cast<int>(in.byte() % 11) - 2;  // -2 .. 8
        const int code = static_cast<int>(static_cast<std::int16_t>(in.word()));
        const std::size_t before = printed.size();
        numlib::E1MES(type, code, in.text(1200));
        if (printed.size() > before) {
          fuzzing::check(printed.compare(before, 6, "\n *** ") == 0, "a block's first line");
        }
        break;
      }
      case 4: {
        std::string name = in.text(40);
        numlib::E1PSH(name);
        names.push_back(std::move(name));
        break;
      }
      case 5:
        if (!names.empty() && (op & 8) == 0) {
          const std::string name = names.back();
          names.pop_back();
          numlib::E1POP(name);
        } else {
          numlib::E1POP(in.text(40));
        }
        break;
      case 6:
        (void)numlib::N1RCD(k < 0 ? k : k % 3);
        break;
      case 7:
        numlib::E1SHOW();
        break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  numlib::set_unit_sink(numlib::kStandardOutputUnit,
                        [](std::string_view text) { printed += text; });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  Input in(bytes, size);
  try {
    run(in);
  } catch (const numlib::ProgramStop& stop) {
    fuzzing::check(stop.status == 1, "the library stops with status 1");
  }
  check_printed();
  numlib::reset_error_stack();
  return 0;
}
