# Reads the vendor's Ed25519 public key at configure time, so that a Setup is never built
# with a key it cannot use.

set(_WEBSETUP_ED25519_KEY_CHECK "${CMAKE_CURRENT_LIST_DIR}/check_ed25519_key.py")

# websetup_read_ed25519_public_key(<pem-file> <out-var>): <out-var> = the 32 key bytes as 64
# lower-case hex digits. The file must be one "PUBLIC KEY" PEM block holding an Ed25519
# SubjectPublicKeyInfo (RFC 8410), as 'openssl pkey -pubout' and 'eiftool keygen --signing'
# write it, whose key is a point of the curve and not of small order (anyone could sign for such
# a key; check_ed25519_key.py does the arithmetic); anything else stops configuring.
function(websetup_read_ed25519_public_key file out)
  set(what "WEBSETUP_SIGNING_PUBLIC_KEY_FILE: ${file}")
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "${what} does not exist")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${file}")
  file(READ "${file}" pem)
  if(NOT pem MATCHES "-----BEGIN PUBLIC KEY-----([A-Za-z0-9+/=\r\n]*)-----END PUBLIC KEY-----")
    message(FATAL_ERROR "${what} is not a PEM public key (-----BEGIN PUBLIC KEY-----)")
  endif()
  string(REGEX REPLACE "[\r\n]" "" base64 "${CMAKE_MATCH_1}")
  _websetup_base64_to_hex("${base64}" hex)
  # DER of SEQUENCE { SEQUENCE { OID 1.3.101.112 }, BIT STRING (0 unused bits) of 32 bytes }.
  set(prefix "302a300506032b6570032100")
  string(LENGTH "${hex}" length)
  string(FIND "${hex}" "${prefix}" at)
  if(NOT length EQUAL 88 OR NOT at EQUAL 0)
    message(FATAL_ERROR "${what} is not an Ed25519 public key (make one with 'eiftool keygen --signing' or "
                        "'openssl genpkey -algorithm ed25519' and 'openssl pkey -pubout')")
  endif()
  string(SUBSTRING "${hex}" 24 64 key)
  find_program(WEBSETUP_PYTHON3 python3 REQUIRED)
  execute_process(COMMAND "${WEBSETUP_PYTHON3}" "${_WEBSETUP_ED25519_KEY_CHECK}" "${key}" RESULT_VARIABLE result
                  ERROR_VARIABLE reason ERROR_STRIP_TRAILING_WHITESPACE)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${what}: ${reason}")
  endif()
  set(${out} "${key}" PARENT_SCOPE)
endfunction()

# Base64 (with = padding) to lower-case hex; stops configuring on any other character.
function(_websetup_base64_to_hex text out)
  set(alphabet "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/")
  set(digits "0123456789abcdef")
  string(REGEX REPLACE "=+$" "" text "${text}")
  string(LENGTH "${text}" length)
  set(bits 0)
  set(nbits 0)
  set(hex "")
  if(length GREATER 0)
    math(EXPR last "${length} - 1")
    foreach(i RANGE ${last})
      string(SUBSTRING "${text}" ${i} 1 c)
      string(FIND "${alphabet}" "${c}" value)
      if(value LESS 0)
        message(FATAL_ERROR "WEBSETUP_SIGNING_PUBLIC_KEY_FILE: '${c}' is not base64")
      endif()
      math(EXPR bits "((${bits} << 6) | ${value}) & 0xFFFF")
      math(EXPR nbits "${nbits} + 6")
      if(nbits GREATER_EQUAL 8)
        math(EXPR nbits "${nbits} - 8")
        math(EXPR byte "(${bits} >> ${nbits}) & 0xFF")
        math(EXPR high "${byte} >> 4")
        math(EXPR low "${byte} & 15")
        string(SUBSTRING "${digits}" ${high} 1 h)
        string(SUBSTRING "${digits}" ${low} 1 l)
        string(APPEND hex "${h}${l}")
      endif()
    endforeach()
  endif()
  set(${out} "${hex}" PARENT_SCOPE)
endfunction()
