# zel_curl: libcurl for the mail, SMTP over TLS.
if(WIN32)
    # Built static from Debian's source with Schannel alone (scripts/curl.sh), so that the exe
    # still needs only Windows' own DLLs; again when the script changes.
    set(ZEL_CURL_ROOT ${CMAKE_BINARY_DIR}/curl)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/scripts/curl.sh)
    execute_process(COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/curl.sh ${ZEL_CURL_ROOT}
        RESULT_VARIABLE ZEL_CURL_RESULT)
    if(NOT ZEL_CURL_RESULT EQUAL 0)
        message(FATAL_ERROR "libcurl could not be built (scripts/curl.sh)")
    endif()
    add_library(zel_curl STATIC IMPORTED)
    # Sockets, Schannel's certificate checks, random numbers and hashes; curl loads SSPI
    # (secur32) itself at run time.
    set_target_properties(zel_curl PROPERTIES
        IMPORTED_LOCATION ${ZEL_CURL_ROOT}/lib/libcurl.a
        INTERFACE_INCLUDE_DIRECTORIES ${ZEL_CURL_ROOT}/include
        INTERFACE_COMPILE_DEFINITIONS CURL_STATICLIB
        INTERFACE_LINK_LIBRARIES "ws2_32;crypt32;bcrypt;advapi32")
else()
    # Debian's libcurl with OpenSSL, which checks servers against the system's CA bundle.
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(ZEL_LIBCURL REQUIRED IMPORTED_TARGET libcurl)
    add_library(zel_curl INTERFACE)
    target_link_libraries(zel_curl INTERFACE PkgConfig::ZEL_LIBCURL)
endif()
