// Stands in for a vendor's final setup in tests: records the folder it was started in, and
// optionally leaves a subfolder behind, then exits.
#include <filesystem>
#include <fstream>

int main() {
  namespace fs = std::filesystem;
  const fs::path here = fs::current_path();
  std::ofstream(here / "final-setup-ran.txt") << here.string();
  if (fs::exists(here / "leave-a-subfolder")) fs::create_directories(here / "left-behind");
  return 0;
}
