# Turns RW_RELEASE_PUBLIC_KEY (a PEM file) into the DER bytes compiled into the
# programs, as RW_RELEASE_KEY_BYTES for rw_config.h. Empty without a key.
set(RW_RELEASE_KEY_BYTES "")
if(RW_RELEASE_PUBLIC_KEY)
  find_program(RW_OPENSSL openssl REQUIRED)
  set(der ${CMAKE_BINARY_DIR}/generated/release_key.der)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/generated)
  execute_process(COMMAND ${RW_OPENSSL} pkey -pubin -in ${RW_RELEASE_PUBLIC_KEY} -outform DER -out ${der}
                  RESULT_VARIABLE failed ERROR_VARIABLE why)
  if(failed)
    message(FATAL_ERROR "RW_RELEASE_PUBLIC_KEY: cannot read ${RW_RELEASE_PUBLIC_KEY} as a public key: ${why}")
  endif()
  file(READ ${der} hex HEX)
  string(LENGTH "${hex}" digits)
  if(NOT digits EQUAL 182 OR NOT hex MATCHES "^3059301306072a8648ce3d020106082a8648ce3d030107034200")
    message(FATAL_ERROR "RW_RELEASE_PUBLIC_KEY: ${RW_RELEASE_PUBLIC_KEY} is not an ECDSA P-256 public key")
  endif()
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," RW_RELEASE_KEY_BYTES "${hex}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${RW_RELEASE_PUBLIC_KEY})
else()
  message(WARNING "RW_RELEASE_PUBLIC_KEY is empty: updates are not signed. "
                  "Set it to the release key's public PEM file for a build that is published.")
endif()
