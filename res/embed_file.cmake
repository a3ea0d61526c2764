# Turns a file into a C++ source that returns its bytes (cmake -P; INPUT, OUTPUT, HEADER and
# FUNCTION given with -D), so the Linux build carries the same bytes as the Windows resource.
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
# 16 bytes a line; CMake's regular expressions have no counted repetition.
string(REPEAT "0x[0-9a-f][0-9a-f]," 16 line)
string(REGEX REPLACE "(${line})" "\\1\n" bytes "${bytes}")
get_filename_component(name ${INPUT} NAME)
file(WRITE ${OUTPUT}.tmp "// Generated from ${name} by embed_file.cmake; edit the source file instead.
#include \"${HEADER}\"

namespace {
const unsigned char kBytes[${size}] = {
${bytes}
};
}  // namespace

CEmbeddedBitmap ${FUNCTION}() { return {kBytes, sizeof kBytes}; }
")
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
