# Script mode: writes OUT, a C++ source holding the bytes of IN registered as
# resource (TYPE, ID).
file(READ ${IN} _hex HEX)
string(LENGTH "${_hex}" _len)
math(EXPR _size "${_len} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
string(REGEX REPLACE "((0x..,){32})" "\\1\n" _bytes "${_bytes}")
file(WRITE ${OUT} "// Generated from ${IN}; do not edit.\n#include \"platform/resource.h\"\nnamespace {\n"
  "alignas(8) const unsigned char kData[${_size} + 1] = {\n${_bytes}0};\n"
  "const plat::ResourceEntry kEntry{${TYPE}, ${ID}, kData, ${_size}};\n"
  "const bool kRegistered = plat::RegisterResource(&kEntry);\n}\n")
