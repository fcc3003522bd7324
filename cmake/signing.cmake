# Authenticode signing of the setup, after the payload is in it (osslsigncode, SHA-256).
#   -DCORVANE_SIGN_PKCS12=key.p12              the certificate and its private key
#   -DCORVANE_SIGN_PASSWORD_FILE=file          the key's password, else the environment variable
#                                              CORVANE_SIGN_PASSWORD at build time
#   -DCORVANE_SIGN_TIMESTAMP_URL=http://...    an RFC 3161 time-stamp server (optional)
set(CORVANE_SIGN_PKCS12 "" CACHE FILEPATH "PKCS#12 file to sign CorvaneSetup.exe with (empty: unsigned)")
set(CORVANE_SIGN_PASSWORD_FILE "" CACHE FILEPATH "File holding the PKCS#12 password (else the environment's CORVANE_SIGN_PASSWORD)")
set(CORVANE_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp server for the signature (empty: none)")

# Signs `target`'s program whenever it is linked.
function(corvane_sign target)
  if(NOT CORVANE_SIGN_PKCS12)
    return()
  endif()
  find_program(CORVANE_OSSLSIGNCODE osslsigncode REQUIRED)
  if(NOT EXISTS "${CORVANE_SIGN_PKCS12}")
    message(FATAL_ERROR "CORVANE_SIGN_PKCS12=${CORVANE_SIGN_PKCS12}: no such file")
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND bash ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/sign.sh $<TARGET_FILE:${target}>
            ${CORVANE_SIGN_PKCS12} "${CORVANE_SIGN_PASSWORD_FILE}" "${CORVANE_SIGN_TIMESTAMP_URL}"
    VERBATIM)
endfunction()
