#pragma once
// MAPSTEP with a work area of the caller's, so that steps of one map can run on several
// threads at once (PREDTEST's parallel form, the delayed map routine).

#include <cstddef>

#include "model/model_map.h"

namespace model::detail {

// One step of the map with the caller's work area W (mapstep_room values), otherwise as
// MAPSTEP. The map is only read, so calls may run concurrently.
void mapstep_into(const ModelMap& map, double* W, int D, const double* S, double* SNEW);

// Size of the work area mapstep_into needs: P basis values for a polynomial map, Pnum + Pden + 1
// for a rational one.
inline std::size_t mapstep_room(const ModelMap& map) {
  const int n = map.kind == ModelKind::rational ? map.Pnum + map.Pden + 1 : map.P;
  return static_cast<std::size_t>(n);
}

}  // namespace model::detail
