# zel_curl: libcurl for the mail, SMTP over TLS.
if(WIN32)
    message(FATAL_ERROR "libcurl for Windows is not built yet")
else()
    # Debian's libcurl with OpenSSL, which checks servers against the system's CA bundle.
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(ZEL_LIBCURL REQUIRED IMPORTED_TARGET libcurl)
    add_library(zel_curl INTERFACE)
    target_link_libraries(zel_curl INTERFACE PkgConfig::ZEL_LIBCURL)
endif()
