// Where the sample series of an installed mapfit are.

#pragma once

#include <filesystem>
#include <optional>

namespace app {

// The folder of sample series that an installation puts beside the program's own folder
// (<prefix>/share/mapfit/data for <prefix>/bin/mapfit), found from where the running program
// is, so that a tree installed under any prefix, and moved after, still finds its data. Empty
// when that folder does not exist, as in the build tree.
std::optional<std::filesystem::path> installed_sample_folder();

}  // namespace app
