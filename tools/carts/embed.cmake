# Writes a binary file as C++ source: kCartProgram and kCartProgramSize.
#   cmake -DIN=testcart.bin -DOUT=testcart_image.cpp -P embed.cmake
file(READ ${IN} hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REPEAT "[0-9a-f]" 32 line)
string(REGEX REPLACE "(${line})" "\\1\n" hex "${hex}")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," hex "${hex}")
file(WRITE ${OUT} "// Generated from testcart.bin by embed.cmake. Do not edit.\n"
                  "#include <cstddef>\n"
                  "extern const unsigned char kCartProgram[] = {\n${hex}};\n"
                  "extern const std::size_t kCartProgramSize = ${size};\n")
