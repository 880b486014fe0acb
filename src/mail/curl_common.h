#pragma once

#include <curl/curl.h>

#include <chrono>
#include <string>

// What every libcurl transfer of the program shares.

namespace zel {

// libcurl's global set-up, once, before the first handle.
void initCurlOnce();

// The CA certificates to trust instead of the system's: on Linux SSL_CERT_FILE when set, as
// OpenSSL's own programs read it; Windows trusts its certificate store.
std::string programCaFile();

// What every transfer starts with: the URL, only `protocols`, no signals, libcurl's reason into
// `error`, the limits, and the server's certificate and name always checked, against `caFile`
// when given.
void startTransfer(CURL* curl, const std::string& url, const char* protocols, char* error,
                   std::chrono::seconds connectLimit, std::chrono::seconds limit, const std::string& caFile);

// Why a transfer failed, as the log says it: "durduruldu" for a stop, else libcurl's reason.
std::string transferFailure(CURLcode result, const char* error);

}  // namespace zel
