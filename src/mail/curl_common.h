#pragma once

#include <curl/curl.h>

#include <string>

// What every libcurl transfer of the program shares.

namespace zel {

// libcurl's global set-up, once, before the first handle.
void initCurlOnce();

// The CA certificates to trust instead of the system's: on Linux SSL_CERT_FILE when set, as
// OpenSSL's own programs read it; Windows trusts its certificate store.
std::string programCaFile();

// The server's certificate and name are always checked, against `caFile` when given.
void checkServerCertificate(CURL* curl, const std::string& caFile);

}  // namespace zel
