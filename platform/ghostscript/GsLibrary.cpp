#include "platform/ghostscript/GsLibrary.h"

#include <dlfcn.h>

#include <ghostscript/iapi.h>
#include <ghostscript/ierrors.h>

#include <mutex>

#include "platform/ghostscript/GS.h"

namespace {

// The entry points, resolved from the loaded library.
#define GS_ENTRY_POINTS(X)                                                                                             \
    X(gsapi_revision)                                                                                                  \
    X(gsapi_new_instance)                                                                                              \
    X(gsapi_delete_instance)                                                                                           \
    X(gsapi_set_stdio_with_handle)                                                                                     \
    X(gsapi_set_poll_with_handle)                                                                                      \
    X(gsapi_register_callout)                                                                                          \
    X(gsapi_deregister_callout)                                                                                        \
    X(gsapi_set_default_device_list)                                                                                   \
    X(gsapi_set_arg_encoding)                                                                                          \
    X(gsapi_init_with_args)                                                                                            \
    X(gsapi_run_string_begin)                                                                                          \
    X(gsapi_run_string_continue)                                                                                       \
    X(gsapi_run_string_end)                                                                                            \
    X(gsapi_run_string_with_length)                                                                                    \
    X(gsapi_run_string)                                                                                                \
    X(gsapi_run_file)                                                                                                  \
    X(gsapi_exit)                                                                                                      \
    X(gsapi_set_param)                                                                                                 \
    X(gsapi_get_param)                                                                                                 \
    X(gsapi_add_control_path)                                                                                          \
    X(gsapi_remove_control_path)                                                                                       \
    X(gsapi_purge_control_paths)                                                                                       \
    X(gsapi_activate_path_control)                                                                                     \
    X(gsapi_is_path_control_active)

struct EntryPoints {
#define GS_ENTRY_FIELD(name) decltype(&::name) name = nullptr;
    GS_ENTRY_POINTS(GS_ENTRY_FIELD)
#undef GS_ENTRY_FIELD
};

std::once_flag g_once;
bool g_loaded = false;
EntryPoints g_api;

void LoadOnce() {
    // Never unloaded: instances and callbacks may outlive any owner.
    void* handle = dlopen(kGSLibraryName, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle) return;
    EntryPoints api;
    bool all = true;
#define GS_ENTRY_RESOLVE(name)                                                                                         \
    api.name = reinterpret_cast<decltype(api.name)>(dlsym(handle, #name));                                             \
    all = all && api.name;
    GS_ENTRY_POINTS(GS_ENTRY_RESOLVE)
#undef GS_ENTRY_RESOLVE
    if (!all) return;
    g_api = api;
    g_loaded = true;
}

const EntryPoints* Api() { return gslibrary::Load() ? &g_api : nullptr; }

}  // namespace

namespace gslibrary {

bool Load() {
    std::call_once(g_once, LoadOnce);
    return g_loaded;
}

}  // namespace gslibrary

// The entry points the wrapper links against.
extern "C" {

int gsapi_revision(gsapi_revision_t* pr, int len) {
    const EntryPoints* a = Api();
    return a ? a->gsapi_revision(pr, len) : 1;
}

int gsapi_new_instance(void** pinstance, void* caller_handle) {
    const EntryPoints* a = Api();
    if (!a) {
        if (pinstance) *pinstance = nullptr;
        return gs_error_Fatal;
    }
    return a->gsapi_new_instance(pinstance, caller_handle);
}

void gsapi_delete_instance(void* instance) {
    if (const EntryPoints* a = Api()) a->gsapi_delete_instance(instance);
}

int gsapi_set_stdio_with_handle(void* instance, int (*stdin_fn)(void*, char*, int),
                                int (*stdout_fn)(void*, const char*, int), int (*stderr_fn)(void*, const char*, int),
                                void* caller_handle) {
    const EntryPoints* a = Api();
    return a ? a->gsapi_set_stdio_with_handle(instance, stdin_fn, stdout_fn, stderr_fn, caller_handle)
             : gs_error_Fatal;
}

int gsapi_set_poll_with_handle(void* instance, int (*poll_fn)(void*), void* caller_handle) {
    const EntryPoints* a = Api();
    return a ? a->gsapi_set_poll_with_handle(instance, poll_fn, caller_handle) : gs_error_Fatal;
}

int gsapi_register_callout(void* instance, gs_callout callout, void* callout_handle) {
    const EntryPoints* a = Api();
    return a ? a->gsapi_register_callout(instance, callout, callout_handle) : gs_error_Fatal;
}

void gsapi_deregister_callout(void* instance, gs_callout callout, void* callout_handle) {
    if (const EntryPoints* a = Api()) a->gsapi_deregister_callout(instance, callout, callout_handle);
}

int gsapi_set_default_device_list(void* instance, const char* list, int listlen) {
    const EntryPoints* a = Api();
    return a ? a->gsapi_set_default_device_list(instance, list, listlen) : gs_error_Fatal;
}

int gsapi_set_arg_encoding(void* instance, int encoding) {
    const EntryPoints* a = Api();
    return a ? a->gsapi_set_arg_encoding(instance, encoding) : gs_error_Fatal;
}

int gsapi_init_with_args(void* instance, int argc, char** argv) {
    const EntryPoints* a = Api();
    return a ? a->gsapi_init_with_args(instance, argc, argv) : gs_error_Fatal;
}

int gsapi_run_string_begin(void* instance, int user_errors, int* pexit_code) {
    const EntryPoints* a = Api();
    return a ? a->gsapi_run_string_begin(instance, user_errors, pexit_code) : gs_error_Fatal;
}

int gsapi_run_string_continue(void* instance, const char* str, unsigned int length, int user_errors,
                              int* pexit_code) {
    const EntryPoints* a = Api();
    return a ? a->gsapi_run_string_continue(instance, str, length, user_errors, pexit_code) : gs_error_Fatal;
}

int gsapi_run_string_end(void* instance, int user_errors, int* pexit_code) {
    const EntryPoints* a = Api();
    return a ? a->gsapi_run_string_end(instance, user_errors, pexit_code) : gs_error_Fatal;
}

int gsapi_run_string_with_length(void* instance, const char* str, unsigned int length, int user_errors,
                                 int* pexit_code) {
    const EntryPoints* a = Api();
    return a ? a->gsapi_run_string_with_length(instance, str, length, user_errors, pexit_code) : gs_error_Fatal;
}

int gsapi_run_string(void* instance, const char* str, int user_errors, int* pexit_code) {
    const EntryPoints* a = Api();
    return a ? a->gsapi_run_string(instance, str, user_errors, pexit_code) : gs_error_Fatal;
}

int gsapi_run_file(void* instance, const char* file_name, int user_errors, int* pexit_code) {
    const EntryPoints* a = Api();
    return a ? a->gsapi_run_file(instance, file_name, user_errors, pexit_code) : gs_error_Fatal;
}

int gsapi_exit(void* instance) {
    const EntryPoints* a = Api();
    return a ? a->gsapi_exit(instance) : gs_error_Fatal;
}

int gsapi_set_param(void* instance, const char* param, const void* value, gs_set_param_type type) {
    const EntryPoints* a = Api();
    return a ? a->gsapi_set_param(instance, param, value, type) : gs_error_Fatal;
}

int gsapi_get_param(void* instance, const char* param, void* value, gs_set_param_type type) {
    const EntryPoints* a = Api();
    return a ? a->gsapi_get_param(instance, param, value, type) : gs_error_Fatal;
}

int gsapi_add_control_path(void* instance, int type, const char* path) {
    const EntryPoints* a = Api();
    return a ? a->gsapi_add_control_path(instance, type, path) : gs_error_Fatal;
}

int gsapi_remove_control_path(void* instance, int type, const char* path) {
    const EntryPoints* a = Api();
    return a ? a->gsapi_remove_control_path(instance, type, path) : gs_error_Fatal;
}

void gsapi_purge_control_paths(void* instance, int type) {
    if (const EntryPoints* a = Api()) a->gsapi_purge_control_paths(instance, type);
}

void gsapi_activate_path_control(void* instance, int enable) {
    if (const EntryPoints* a = Api()) a->gsapi_activate_path_control(instance, enable);
}

int gsapi_is_path_control_active(void* instance) {
    const EntryPoints* a = Api();
    return a ? a->gsapi_is_path_control_active(instance) : 0;
}

}  // extern "C"
