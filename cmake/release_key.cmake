# Turns RW_RELEASE_PUBLIC_KEY (a PEM file) into the DER bytes compiled into the
# programs, as RW_RELEASE_KEY_BYTES for rw_config.h. Empty without a key.
find_program(RW_OPENSSL openssl)

# rw_public_key_bytes(PEM OUT): the key's SubjectPublicKeyInfo as "0x30,0x59,...,"
# (a public or a private PEM); stops the configure for anything but ECDSA P-256.
function(rw_public_key_bytes pem out)
  if(NOT RW_OPENSSL)
    message(FATAL_ERROR "openssl is needed to read ${pem}")
  endif()
  set(der ${CMAKE_BINARY_DIR}/generated/key-${out}.der)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/generated)
  file(STRINGS ${pem} first LIMIT_COUNT 1)
  set(pubin -pubin)
  if(first MATCHES "PRIVATE KEY")
    set(pubin "")
  endif()
  execute_process(COMMAND ${RW_OPENSSL} pkey ${pubin} -in ${pem} -pubout -outform DER -out ${der}
                  RESULT_VARIABLE failed ERROR_VARIABLE why)
  if(failed)
    message(FATAL_ERROR "cannot read ${pem} as a key: ${why}")
  endif()
  file(READ ${der} hex HEX)
  string(LENGTH "${hex}" digits)
  if(NOT digits EQUAL 182 OR NOT hex MATCHES "^3059301306072a8648ce3d020106082a8648ce3d030107034200")
    message(FATAL_ERROR "${pem} is not an ECDSA P-256 key")
  endif()
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  set(${out} "${bytes}" PARENT_SCOPE)
endfunction()

set(RW_RELEASE_KEY_BYTES "")
if(RW_RELEASE_PUBLIC_KEY)
  rw_public_key_bytes(${RW_RELEASE_PUBLIC_KEY} RW_RELEASE_KEY_BYTES)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${RW_RELEASE_PUBLIC_KEY})
elseif(RW_UNSIGNED_UPDATES)
  message(WARNING "\n*** RW_UNSIGNED_UPDATES is ON and there is no release key: this build installs ANY program "
                  "its update server sends, unchecked. Use it on a closed test network only; NEVER publish it. ***\n")
else()
  message(WARNING "RW_RELEASE_PUBLIC_KEY is empty: this build offers no program updates (records still refresh). "
                  "Set it to the release key's public PEM file for a build that is published.")
endif()
if(RW_UNSIGNED_UPDATES)
  set(RW_UNSIGNED_UPDATES_VALUE 1)
else()
  set(RW_UNSIGNED_UPDATES_VALUE 0)
endif()
