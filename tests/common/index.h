// Sample and frame arithmetic in the tests is signed (offsets, phases,
// differences); Ix turns such a value, known to lie in range, into a
// container index.
#pragma once
#include <cstddef>
#include <cstdint>

inline size_t Ix(int64_t i) { return static_cast<size_t>(i); }
