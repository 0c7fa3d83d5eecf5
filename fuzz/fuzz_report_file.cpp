// Fuzz target: the report file, with arbitrary blocks and write failures at any byte.
//
// The input is a program of operations on report.txt in a private directory, one byte each
// with its arguments after it (see next_operation): the six points of entry of ReportFile with
// arbitrary values (models of up to 1200 coefficients, any 64-bit pattern as a coefficient or
// an error, any 32-bit settings), a write failure armed for the next block after a chosen number
// of bytes (a file-size limit: the write fails with EFBIG there, as on a full disk), and a reopen
// (the file is closed without its banner, as a stop of the program closes it). Properties:
// - a block is written whole or not at all: after a failed write report.txt is exactly what it
//   was before the block, and the stop has status 1;
// - a block that is written is exactly the block that the same call writes to a file of its
//   own without any limit, and it consists of whole lines;
// - so report.txt always ends with whole blocks, and no descriptor stays open.

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "dialogue/report_file.h"
#include "fuzz_support.h"
#include "model/model_map.h"
#include "numlib/stop.h"

namespace {

constexpr int kMaxCoefficients = 1200;

// The input read front to back; past its end every value is 0.
class Input {
 public:
  Input(const std::uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {}
  bool done() const { return at_ >= size_; }
  std::uint8_t byte() { return at_ < size_ ? bytes_[at_++] : 0; }
  template <class T>
  T value() {
    std::uint8_t raw[sizeof(T)] = {};
    for (auto& b : raw) b = byte();
    T v;
    std::memcpy(&v, raw, sizeof v);
    return v;
  }

 private:
  const std::uint8_t* bytes_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// One call of a point of entry, with its arguments.
struct Call {
  int entry = 0;  // 0 training, 1 dimension, 2 model, 3 test error, 4 test block, 5 closing
  int ints[5] = {};
  double ERR = 0.0;
  model::ModelMap map;

  void on(dialogue::ReportFile& report) const {
    switch (entry) {
      case 0:
        report.write_training(ints[0]);
        break;
      case 1:
        report.write_dimension(ints[0]);
        break;
      case 2:
        report.write_model(map, ERR);
        break;
      case 3:
        report.write_test_error(ERR);
        break;
      case 4:
        report.write_test_block(ints[0], ints[1], ints[2], ints[3], ints[4]);
        break;
      default:
        report.write_closing_and_close();
        break;
    }
  }
};

Call read_call(int entry, Input& in) {
  Call c;
  c.entry = entry;
  for (int& v : c.ints) v = in.value<std::int32_t>();
  c.ERR = in.value<double>();
  if (entry == 2) {
    c.map.kind = in.byte() % 2 == 0 ? model::ModelKind::polynomial : model::ModelKind::rational;
    c.map.nu = static_cast<std::int8_t>(in.byte());
    c.map.mu = static_cast<std::int8_t>(in.byte());
    c.map.P = in.value<std::uint16_t>() % (kMaxCoefficients + 1);
    c.map.COEF.resize(static_cast<std::size_t>(c.map.P));
    for (double& a : c.map.COEF) a = in.value<double>();
  }
  return c;
}

// The text that `call` writes to a fresh file without a limit.
std::string block_of(const Call& call) {
  const std::filesystem::path scratch = "block.txt";
  std::filesystem::remove(scratch);
  {
    dialogue::ReportFile report(scratch);
    call.on(report);
  }
  return fuzzing::read_file(scratch);
}

bool whole_lines(std::string_view text) {
  if (text.empty() || text.back() != '\n') return false;
  while (!text.empty()) {
    const auto end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    if (!line.empty() && line.front() != ' ' && line.size() != 20) return false;
    text.remove_prefix(end + 1);
  }
  return true;
}

int open_descriptors() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++count;
  }
  return count;
}

// Runs `call` on `report` with the file allowed to grow to `limit` bytes (0: no limit).
// Returns the status of the stop, or 0 when the call returned.
int run_limited(const Call& call, dialogue::ReportFile& report, rlim_t limit) {
  // As in the program: a file-size limit makes the write fail instead of ending the process
  // (libFuzzer's own handler of SIGXFSZ is put back afterwards).
  const auto handler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  if (limit != 0) {
    rlimit lowered = saved;
    lowered.rlim_cur = limit;
    setrlimit(RLIMIT_FSIZE, &lowered);
  }
  int status = 0;
  try {
    call.on(report);
  } catch (const numlib::ProgramStop& stop) {
    status = stop.status;
  }
  // Nothing else of the fuzzer's may meet the limit.
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, handler);
  return status;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  const auto& dir = fuzzing::work_directory();
  fuzzing::check(chdir(dir.c_str()) == 0, "chdir");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  fuzzing::write_file("report.txt", " An earlier run\n");
  const int descriptors = open_descriptors();
  {
    Input in(bytes, size);
    auto report = std::make_unique<dialogue::ReportFile>();
    std::uint16_t armed = 0;
    bool failure_armed = false;
    for (int operations = 0; !in.done() && operations < 64; ++operations) {
      const int op = in.byte() % 8;
      if (op == 6) {
        failure_armed = true;
        armed = in.value<std::uint16_t>();
        continue;
      }
      if (op == 7) {
        report = std::make_unique<dialogue::ReportFile>();
        continue;
      }
      const Call call = read_call(op, in);
      const std::string block = block_of(call);
      fuzzing::check(whole_lines(block), "a block of whole lines");
      const std::string before = fuzzing::read_file("report.txt");
      const rlim_t limit = failure_armed ? before.size() + armed : 0;
      failure_armed = false;
      const int status = run_limited(call, *report, limit);
      const std::string after = fuzzing::read_file("report.txt");
      if (limit != 0 && before.size() + block.size() > limit) {
        fuzzing::check(status == 1, "a failed write stops with status 1");
        fuzzing::check(after == before, "a failed block leaves nothing behind");
        report = std::make_unique<dialogue::ReportFile>();
      } else {
        fuzzing::check(status == 0, "a block within the limit is written");
        fuzzing::check(after == before + block, "the block is appended as it is");
      }
    }
  }
  fuzzing::check(open_descriptors() == descriptors, "no file stays open");
  return 0;
}
