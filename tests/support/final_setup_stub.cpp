// Stands in for a vendor's final setup in tests: records the folder it was started in, and
// optionally leaves a subfolder behind, then exits.
//
// The end-to-end tests steer it through the environment, which it inherits through Setup:
//   WEBSETUP_STUB_RECORD     a folder outside the setup temp folder, which Setup removes;
//                            receives working-directory.txt, a copy of every file found
//                            in the working directory (files/), its arguments (arguments.txt,
//                            one line each) and "finished" last of all
//   WEBSETUP_STUB_SLEEP_MS   how long to run before finishing
//   WEBSETUP_STUB_EXIT_CODE  the exit status
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace fs = std::filesystem;

namespace {
long NumberFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::strtol(value, nullptr, 10) : 0;
}

void Record(const fs::path& here, const fs::path& record, int argc, char** argv) {
  fs::create_directories(record / "files");
  std::ofstream(record / "working-directory.txt", std::ios::binary) << here.string();
  std::ofstream arguments(record / "arguments.txt", std::ios::binary);
  for (int i = 1; i < argc; ++i) arguments << argv[i] << '\n';
  for (const auto& entry : fs::directory_iterator(here)) {
    if (entry.is_regular_file()) {
      fs::copy_file(entry.path(), record / "files" / entry.path().filename(), fs::copy_options::overwrite_existing);
    }
  }
}
}  // namespace

int main(int argc, char** argv) {
  const fs::path here = fs::current_path();
  const char* record = std::getenv("WEBSETUP_STUB_RECORD");
  if (record == nullptr) {
    std::ofstream(here / "final-setup-ran.txt") << here.string();
    if (fs::exists(here / "leave-a-subfolder")) fs::create_directories(here / "left-behind");
    return 0;
  }
  Record(here, record, argc, argv);
  std::this_thread::sleep_for(std::chrono::milliseconds(NumberFromEnvironment("WEBSETUP_STUB_SLEEP_MS")));
  // Written just before the end, so whoever finds it knows the final setup had finished.
  std::ofstream(fs::path(record) / "finished") << "finished";
  return static_cast<int>(NumberFromEnvironment("WEBSETUP_STUB_EXIT_CODE"));
}
