#include "platform/inet/CurlLibrary.h"

#include <curl/curl.h>
#include <dlfcn.h>

#include <cstdarg>
#include <mutex>

namespace {

// The entry points with fixed arguments, resolved from the loaded library.
#define CURL_FIXED_ENTRY_POINTS(X)                                                                                     \
    X(curl_global_init)                                                                                                \
    X(curl_free)                                                                                                       \
    X(curl_slist_append)                                                                                               \
    X(curl_slist_free_all)                                                                                             \
    X(curl_easy_init)                                                                                                  \
    X(curl_easy_cleanup)                                                                                               \
    X(curl_easy_pause)                                                                                                 \
    X(curl_multi_init)                                                                                                 \
    X(curl_multi_cleanup)                                                                                              \
    X(curl_multi_add_handle)                                                                                           \
    X(curl_multi_remove_handle)                                                                                        \
    X(curl_multi_perform)                                                                                              \
    X(curl_multi_poll)                                                                                                 \
    X(curl_multi_info_read)                                                                                            \
    X(curl_share_init)                                                                                                 \
    X(curl_url)                                                                                                        \
    X(curl_url_cleanup)                                                                                                \
    X(curl_url_get)                                                                                                    \
    X(curl_url_set)

// The variadic ones: each takes one argument after the option.
#define CURL_VARIADIC_ENTRY_POINTS(X)                                                                                  \
    X(curl_easy_setopt)                                                                                                \
    X(curl_easy_getinfo)                                                                                               \
    X(curl_share_setopt)

struct EntryPoints {
#define CURL_ENTRY_FIELD(name) decltype(&::name) name = nullptr;
    CURL_FIXED_ENTRY_POINTS(CURL_ENTRY_FIELD)
    CURL_VARIADIC_ENTRY_POINTS(CURL_ENTRY_FIELD)
#undef CURL_ENTRY_FIELD
};

std::once_flag g_once;
bool g_loaded = false;
EntryPoints g_api;

void LoadOnce() {
    // Never unloaded: handles and callbacks may outlive any owner.
    void* handle = dlopen(curllibrary::kCurlLibraryName, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle) return;
    EntryPoints api;
    bool all = true;
#define CURL_ENTRY_RESOLVE(name)                                                                                       \
    api.name = reinterpret_cast<decltype(api.name)>(dlsym(handle, #name));                                             \
    all = all && api.name;
    CURL_FIXED_ENTRY_POINTS(CURL_ENTRY_RESOLVE)
    CURL_VARIADIC_ENTRY_POINTS(CURL_ENTRY_RESOLVE)
#undef CURL_ENTRY_RESOLVE
    if (!all) return;
    g_api = api;
    g_loaded = true;
}

const EntryPoints* Api() { return curllibrary::Load() ? &g_api : nullptr; }

// A function pointer of any type, passed on as it came.
using AnyFunction = void (*)();

}  // namespace

namespace curllibrary {

bool Load() {
    std::call_once(g_once, LoadOnce);
    return g_loaded;
}

}  // namespace curllibrary

// The entry points the HTTP client links against. The names are in
// parentheses: curl.h defines the variadic ones as macros too.
extern "C" {

CURLcode(curl_global_init)(long flags) {
    const EntryPoints* a = Api();
    return a ? a->curl_global_init(flags) : CURLE_FAILED_INIT;
}

void(curl_free)(void* p) {
    if (!p) return;
    if (const EntryPoints* a = Api()) a->curl_free(p);
}

curl_slist*(curl_slist_append)(curl_slist* list, const char* data) {
    const EntryPoints* a = Api();
    return a ? a->curl_slist_append(list, data) : nullptr;
}

void(curl_slist_free_all)(curl_slist* list) {
    if (!list) return;
    if (const EntryPoints* a = Api()) a->curl_slist_free_all(list);
}

CURL*(curl_easy_init)() {
    const EntryPoints* a = Api();
    return a ? a->curl_easy_init() : nullptr;
}

void(curl_easy_cleanup)(CURL* curl) {
    if (!curl) return;
    if (const EntryPoints* a = Api()) a->curl_easy_cleanup(curl);
}

CURLcode(curl_easy_pause)(CURL* handle, int bitmask) {
    const EntryPoints* a = Api();
    return a ? a->curl_easy_pause(handle, bitmask) : CURLE_FAILED_INIT;
}

CURLcode(curl_easy_setopt)(CURL* curl, CURLoption option, ...) {
    const EntryPoints* a = Api();
    if (!a) return CURLE_FAILED_INIT;
    // The argument's type follows from the option's range.
    va_list args;
    va_start(args, option);
    CURLcode rc;
    if (option < CURLOPTTYPE_OBJECTPOINT) {
        rc = a->curl_easy_setopt(curl, option, va_arg(args, long));
    } else if (option < CURLOPTTYPE_FUNCTIONPOINT) {
        rc = a->curl_easy_setopt(curl, option, va_arg(args, void*));
    } else if (option < CURLOPTTYPE_OFF_T) {
        rc = a->curl_easy_setopt(curl, option, va_arg(args, AnyFunction));
    } else if (option < CURLOPTTYPE_BLOB) {
        rc = a->curl_easy_setopt(curl, option, va_arg(args, curl_off_t));
    } else {
        rc = a->curl_easy_setopt(curl, option, va_arg(args, curl_blob*));
    }
    va_end(args);
    return rc;
}

CURLcode(curl_easy_getinfo)(CURL* curl, CURLINFO info, ...) {
    const EntryPoints* a = Api();
    if (!a) return CURLE_FAILED_INIT;
    // Every kind of information is written through a pointer.
    va_list args;
    va_start(args, info);
    void* out = va_arg(args, void*);
    va_end(args);
    return a->curl_easy_getinfo(curl, info, out);
}

CURLM*(curl_multi_init)() {
    const EntryPoints* a = Api();
    return a ? a->curl_multi_init() : nullptr;
}

CURLMcode(curl_multi_cleanup)(CURLM* multi) {
    const EntryPoints* a = Api();
    return a ? a->curl_multi_cleanup(multi) : CURLM_BAD_HANDLE;
}

CURLMcode(curl_multi_add_handle)(CURLM* multi, CURL* easy) {
    const EntryPoints* a = Api();
    return a ? a->curl_multi_add_handle(multi, easy) : CURLM_BAD_HANDLE;
}

CURLMcode(curl_multi_remove_handle)(CURLM* multi, CURL* easy) {
    const EntryPoints* a = Api();
    return a ? a->curl_multi_remove_handle(multi, easy) : CURLM_BAD_HANDLE;
}

CURLMcode(curl_multi_perform)(CURLM* multi, int* running) {
    const EntryPoints* a = Api();
    if (!a) {
        if (running) *running = 0;
        return CURLM_BAD_HANDLE;
    }
    return a->curl_multi_perform(multi, running);
}

CURLMcode(curl_multi_poll)(CURLM* multi, curl_waitfd* extra, unsigned int count, int timeoutMs, int* ret) {
    const EntryPoints* a = Api();
    if (!a) {
        if (ret) *ret = 0;
        return CURLM_BAD_HANDLE;
    }
    return a->curl_multi_poll(multi, extra, count, timeoutMs, ret);
}

CURLMsg*(curl_multi_info_read)(CURLM* multi, int* queued) {
    const EntryPoints* a = Api();
    if (!a) {
        if (queued) *queued = 0;
        return nullptr;
    }
    return a->curl_multi_info_read(multi, queued);
}

CURLSH*(curl_share_init)() {
    const EntryPoints* a = Api();
    return a ? a->curl_share_init() : nullptr;
}

CURLSHcode(curl_share_setopt)(CURLSH* share, CURLSHoption option, ...) {
    const EntryPoints* a = Api();
    if (!a) return CURLSHE_INVALID;
    va_list args;
    va_start(args, option);
    CURLSHcode rc;
    switch (option) {
        case CURLSHOPT_SHARE:
        case CURLSHOPT_UNSHARE:
            rc = a->curl_share_setopt(share, option, va_arg(args, int));  // a curl_lock_data
            break;
        case CURLSHOPT_LOCKFUNC:
        case CURLSHOPT_UNLOCKFUNC:
            rc = a->curl_share_setopt(share, option, va_arg(args, AnyFunction));
            break;
        default:
            rc = a->curl_share_setopt(share, option, va_arg(args, void*));
            break;
    }
    va_end(args);
    return rc;
}

CURLU*(curl_url)() {
    const EntryPoints* a = Api();
    return a ? a->curl_url() : nullptr;
}

void(curl_url_cleanup)(CURLU* handle) {
    if (!handle) return;
    if (const EntryPoints* a = Api()) a->curl_url_cleanup(handle);
}

CURLUcode(curl_url_get)(CURLU* handle, CURLUPart what, char** part, unsigned int flags) {
    const EntryPoints* a = Api();
    if (!a) {
        if (part) *part = nullptr;
        return CURLUE_OUT_OF_MEMORY;
    }
    return a->curl_url_get(handle, what, part, flags);
}

CURLUcode(curl_url_set)(CURLU* handle, CURLUPart what, const char* part, unsigned int flags) {
    const EntryPoints* a = Api();
    return a ? a->curl_url_set(handle, what, part, flags) : CURLUE_OUT_OF_MEMORY;
}

}  // extern "C"
