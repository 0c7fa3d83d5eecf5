#include "sample_folder.h"

#include <system_error>

namespace app {

std::optional<std::filesystem::path> installed_sample_folder() {
  // The kernel's name of the running program has every symbolic link resolved: a link to the
  // program from elsewhere still leads to the installation it belongs to.
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error || !program.is_absolute()) return std::nullopt;
  const std::filesystem::path folder =
      (program.parent_path() / MAPFIT_SAMPLES_FROM_BINDIR).lexically_normal();
  if (!std::filesystem::is_directory(folder, error)) return std::nullopt;
  return folder;
}

}  // namespace app
