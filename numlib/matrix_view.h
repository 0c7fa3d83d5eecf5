#pragma once
// A 1-based view of a column-major matrix with an explicit leading dimension.

namespace numlib {

template <class T>
struct ColumnMajor {
  T* data;
  int ld;
  T& operator()(int i, int j) const { return data[static_cast<long>(j - 1) * ld + (i - 1)]; }
  T* column(int j) const { return data + static_cast<long>(j - 1) * ld; }
};

}  // namespace numlib
