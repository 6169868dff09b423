// The libcurl functions http_posix.cpp calls, loaded with the library on the
// first download. A backend that calls another one needs it added here.
#define CURL_DISABLE_TYPECHECK  // the checking macros would rename the definitions below
#include <curl/curl.h>

#include <cstdarg>

#include "platform/posix/lazy_library_posix.h"

namespace {

constexpr const char* kCurl = "libcurl.so.4";

template <class F>
F curlFunction(const char* name) {
    return rw::platform::lazyFunction<F>(kCurl, name);
}

}  // namespace

extern "C" {

CURLcode curl_global_init(long flags) {
    static const auto f = curlFunction<decltype(&curl_global_init)>("curl_global_init");
    return f ? f(flags) : CURLE_FAILED_INIT;
}

CURL* curl_easy_init() {
    static const auto f = curlFunction<decltype(&curl_easy_init)>("curl_easy_init");
    return f ? f() : nullptr;
}

void curl_easy_cleanup(CURL* curl) {
    static const auto f = curlFunction<decltype(&curl_easy_cleanup)>("curl_easy_cleanup");
    if (f) f(curl);
}

CURLcode curl_easy_perform(CURL* curl) {
    static const auto f = curlFunction<decltype(&curl_easy_perform)>("curl_easy_perform");
    return f ? f(curl) : CURLE_FAILED_INIT;
}

// An option's number tells the type of its one argument.
CURLcode curl_easy_setopt(CURL* curl, CURLoption option, ...) {
    static const auto f = curlFunction<decltype(&curl_easy_setopt)>("curl_easy_setopt");
    if (!f) return CURLE_FAILED_INIT;
    va_list args;
    va_start(args, option);
    CURLcode code;
    if (option < CURLOPTTYPE_OBJECTPOINT) {
        code = f(curl, option, va_arg(args, long));
    } else if (option >= CURLOPTTYPE_OFF_T && option < CURLOPTTYPE_BLOB) {
        code = f(curl, option, va_arg(args, curl_off_t));
    } else {
        code = f(curl, option, va_arg(args, void*));
    }
    va_end(args);
    return code;
}

// Every information item is answered through one pointer.
CURLcode curl_easy_getinfo(CURL* curl, CURLINFO info, ...) {
    static const auto f = curlFunction<decltype(&curl_easy_getinfo)>("curl_easy_getinfo");
    if (!f) return CURLE_FAILED_INIT;
    va_list args;
    va_start(args, info);
    const CURLcode code = f(curl, info, va_arg(args, void*));
    va_end(args);
    return code;
}

}  // extern "C"
