// Owners of libcurl's handles, for the two units that use libcurl (the FTP
// session and the mail alert): each frees its handle with curl's own call.
#pragma once

#include <curl/curl.h>

namespace transfer {

struct TEasyDeleter {
  void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
struct TMultiDeleter {
  void operator()(CURLM* h) const { curl_multi_cleanup(h); }
};
struct TCurlFree {
  void operator()(char* p) const { curl_free(p); }
};
struct TSlistDeleter {
  void operator()(curl_slist* p) const { curl_slist_free_all(p); }
};

}  // namespace transfer
