#pragma once
// MAPSTEP bound to a ModelMap, as bind_mapstep hands it out. PREDTEST recognises it and then
// runs its test pieces on several threads, each with a work area of its own.

#include "model/model_map.h"

namespace model::detail {

// One step of the map with the caller's work area W (P values for a polynomial map, P + 1 for
// a rational one), otherwise as MAPSTEP. The map is only read, so calls may run concurrently.
void mapstep_into(const ModelMap& map, double* W, int D, const double* S, double* SNEW);

struct BoundMapstep {
  ModelMap* map;
  void operator()(int D, int STEP, const double* S, double* SNEW) const {
    MAPSTEP(*map, D, STEP, S, SNEW);
  }
};

}  // namespace model::detail
