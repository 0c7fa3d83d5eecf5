// The streaming least-squares triangle: blocks of rows generated from the points, folded into
// one triangle per chunk of rows, the chunks' triangles merged pairwise.

#include "model/stream_triangle.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <mutex>
#include <new>
#include <vector>

#include "model/basis.h"
#include "model/design_matrix.h"
#include "model/fit_work.h"
#include "numlib/memory.h"
#include "numlib/progress.h"
#include "numlib/threads.h"
#include "numlib/triangle_fold.h"

namespace model::detail {
namespace {

// A block of rows takes about this much memory: it stays in the second-level cache while its
// panels are factorised and applied.
constexpr std::size_t kBlockBytes = std::size_t{2} << 20;
// The chunks' triangles together take at most this much.
constexpr std::uint64_t kChunkTriangleBytes = std::uint64_t{192} << 20;

std::uint64_t triangle_bytes(int columns) {
  return static_cast<std::uint64_t>(columns) * static_cast<std::uint64_t>(columns) * sizeof(double);
}

// The bytes a stream needs: the chunks' triangles (the first is the result), one block of rows
// per chunk and the panel work of the fold.
std::uint64_t stream_bytes(int N, int columns) {
  const std::uint64_t chunks = static_cast<std::uint64_t>(stream_chunks(N, columns));
  const std::uint64_t block = static_cast<std::uint64_t>(stream_block_rows(columns) + 8) *
                              static_cast<std::uint64_t>(columns) * sizeof(double);
  const std::uint64_t panel = 2 * static_cast<std::uint64_t>(numlib::detail::kFoldPanel) *
                              static_cast<std::uint64_t>(columns) * sizeof(double);
  return chunks * (triangle_bytes(columns) + block + panel);
}

}  // namespace

int stream_block_rows(int columns) {
  const std::size_t rows =
      kBlockBytes / sizeof(double) / static_cast<std::size_t>(std::max(columns, 1));
  return static_cast<int>(std::clamp<std::size_t>(rows / 8 * 8, 32, 512));
}

int stream_chunks(int N, int columns) {
  // Merging two triangles costs about what folding `columns` rows does: a chunk has many times
  // that, and the triangles must be small beside the memory.
  const std::int64_t n = columns;
  for (int chunks : {4, 2}) {
    if (N >= 64 * chunks * n && chunks * triangle_bytes(columns) <= kChunkTriangleBytes)
      return chunks;
  }
  return 1;
}

numlib::LeastSquaresTriangle stream_triangle(const char* routine, int message_columns,
                                             const double* A, long LDA, int D, int N,
                                             const double* YV, int nu, int mu) {
  const int Pnum = static_cast<int>(basis_count(D, nu));
  const int Pden = mu >= 1 ? static_cast<int>(basis_count(D, mu)) - 1 : 0;
  const int P = Pnum + Pden;
  const int n = P + 1;
  const int chunks = stream_chunks(N, n);
  const int mb = stream_block_rows(n);

  numlib::LeastSquaresTriangle t;
  t.P = P;
  t.N = N;
  // Refused before anything is touched when the memory is not there (see fit_work.h).
  if (stream_bytes(N, n) > numlib::usable_memory_bytes()) {
    storage_error(routine, N, message_columns);
    return t;
  }
  t.T.assign(static_cast<std::size_t>(n) * n, 0.0);
  std::vector<std::vector<double>> others(static_cast<std::size_t>(chunks - 1));
  for (auto& o : others) o.assign(static_cast<std::size_t>(n) * n, 0.0);
  const auto triangle = [&](int c) { return c == 0 ? t.T.data() : others[c - 1].data(); };

  // Chunk c holds the rows c N / chunks .. (c + 1) N / chunks - 1.
  const auto first_row = [&](int c) {
    return static_cast<int>(static_cast<std::int64_t>(N) * c / chunks);
  };
  std::int64_t total = 0;
  for (int c = 0; c < chunks; ++c) total += (first_row(c + 1) - first_row(c) + mb - 1) / mb;
  std::atomic<std::int64_t> done{0};
  std::atomic<bool> quit{false};
  std::mutex failure_lock;
  std::exception_ptr failure;

  numlib::parallel_for(chunks, [&](int begin, int end) {
    try {
      // The block's columns lie ldb apart: a multiple of 4 KiB would put them all in the same
      // cache sets.
      const long ldb = mb + 8;
      std::vector<double> block(static_cast<std::size_t>(ldb) * n);
      for (int c = begin; c < end; ++c) {
        double* R = triangle(c);
        for (int r0 = first_row(c); r0 < first_row(c + 1); r0 += mb) {
          if (quit.load(std::memory_order_relaxed)) return;
          if (numlib::stop_requested()) throw numlib::WorkStopped{};
          const int rows = std::min(mb, first_row(c + 1) - r0);
          const double* s = A + static_cast<std::ptrdiff_t>(r0) * LDA;
          // The rows of [A | y], as the fits build them.
          monomial_columns(s, LDA, D, rows, nu, block.data(), ldb);
          if (Pden > 0) {
            scaled_monomial_columns(s, LDA, D, rows, mu, YV + r0, block.data() + Pnum * ldb, ldb);
          }
          std::copy(YV + r0, YV + r0 + rows, block.data() + P * ldb);
          numlib::detail::fold_rows(n, R, n, rows, block.data(), ldb);
          numlib::report_progress(done.fetch_add(1, std::memory_order_relaxed) + 1, total);
        }
      }
    } catch (...) {
      quit.store(true, std::memory_order_relaxed);
      const std::lock_guard guard(failure_lock);
      if (!failure) failure = std::current_exception();
    }
  });
  if (failure) std::rethrow_exception(failure);

  // Merge in a fixed tree: triangle c takes triangle c + step.
  for (int step = 1; step < chunks; step *= 2) {
    for (int c = 0; c + step < chunks; c += 2 * step) {
      numlib::check_stop();
      numlib::detail::fold_rows(n, triangle(c), n, n, triangle(c + step), n);
    }
  }
  return t;
}

}  // namespace model::detail
