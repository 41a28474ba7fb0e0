# Turns the firmware image, the key table and the two mask bytes into a C++
# source with constant arrays. Run as a script:
#   cmake -DIMAGE=<file> -DKEYTABLE=<file> -DMASK0=<byte> -DMASK1=<byte> -DOUT=<file.cpp> -P EmbedFirmwareData.cmake
# Also included at configure time (EMBED_CHECK_ONLY) so a wrong file fails early.

function(pelmor_check_data_file what path size)
  if(NOT EXISTS "${path}" OR IS_DIRECTORY "${path}")
    message(FATAL_ERROR "${what}: file not found: ${path}")
  endif()
  file(SIZE "${path}" actual)
  if(NOT actual EQUAL size)
    message(FATAL_ERROR "${what}: ${path} holds ${actual} bytes, it must hold exactly ${size} bytes")
  endif()
endfunction()

function(pelmor_check_byte what value)
  if(NOT "${value}" MATCHES "^(0[xX][0-9a-fA-F]+|[0-9]+)$")
    message(FATAL_ERROR "${what}: '${value}' is not a number (decimal or 0x hex)")
  endif()
  math(EXPR v "${value}")
  if(v LESS 0 OR v GREATER 255)
    message(FATAL_ERROR "${what}: ${value} is not a byte value (0..255)")
  endif()
endfunction()

function(pelmor_hex_array path out_var)
  file(READ "${path}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," hex "${hex}")
  # 16 values a line keeps the generated source readable (no {n} in CMake regexes).
  string(REPEAT "0x..," 16 line)
  string(REGEX REPLACE "(${line})" "\\1\n    " hex "${hex}")
  set(${out_var} "${hex}" PARENT_SCOPE)
endfunction()

if(EMBED_CHECK_ONLY)
  return()
endif()

pelmor_check_data_file("FirmwareImage" "${IMAGE}" 24576)
pelmor_check_data_file("ImageKeyTable" "${KEYTABLE}" 320)
pelmor_check_byte("first mask byte" "${MASK0}")
pelmor_check_byte("second mask byte" "${MASK1}")
math(EXPR mask0 "${MASK0}" OUTPUT_FORMAT HEXADECIMAL)
math(EXPR mask1 "${MASK1}" OUTPUT_FORMAT HEXADECIMAL)

pelmor_hex_array("${IMAGE}" image_hex)
pelmor_hex_array("${KEYTABLE}" key_hex)

set(text "// Generated at build time from ${IMAGE} and ${KEYTABLE}; do not edit.
#include \"fwupgrade/FirmwareData.h\"

const std::array<uint8_t, kFirmwareImageSize> FirmwareImage = {
    ${image_hex}
};

const std::array<uint8_t, kImageKeyTableSize> ImageKeyTable = {
    ${key_hex}
};

const std::array<uint8_t, 2> ImageMaskConst = {${mask0}, ${mask1}};
")
file(WRITE "${OUT}.tmp" "${text}")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
