// Setup.exe's share of the C++ runtime's error paths, kept to what a window program without a
// console can use. Linked into the program itself, these definitions stand in for the runtime
// library's, whose objects then stay out of Setup.exe (about 150 KB of the 32-bit file).
#include <cxxabi.h>

#include <cstdlib>
#include <new>

// The runtime's default terminate handler, this function, prints the uncaught exception's
// demangled type to stderr before it aborts. Setup.exe is a window program with no stderr to
// read, and the demangler and the printf it uses are the largest objects left of the runtime;
// ending at once is all the handler can usefully do.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

// Containers report sizes beyond their limits and out-of-range positions through these. Setup
// catches none of those errors (only std::bad_alloc), so such an error ends the program, as an
// uncaught exception would; throwing it would bring in the runtime's exception classes with
// their message strings (a second, reference-counted std::string with its own instantiations).
// Any other of the runtime's __throw_ functions used by Setup's code (std::mutex's, say) pulls
// in the runtime's own copies of these too, and the link then fails on their two definitions.
namespace std {
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_array_new_length(); }
void __throw_length_error(const char*) { std::abort(); }
void __throw_logic_error(const char*) { std::abort(); }
void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }
}  // namespace std
