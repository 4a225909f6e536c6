// libmpv's functions, loaded with the first movie (see core/shared_library.h).
#include "core/shared_library.h"

#include <mpv/client.h>

namespace {
const char* const Mpv = "libmpv.so.2";
}

extern "C" {

TESSEL_LOADED_FUNCTION(Mpv, nullptr, mpv_handle*, mpv_create, (void), ())
TESSEL_LOADED_FUNCTION(Mpv, MPV_ERROR_UNSUPPORTED, int, mpv_initialize, (mpv_handle * ctx), (ctx))
TESSEL_LOADED_FUNCTION(Mpv, void(), void, mpv_terminate_destroy, (mpv_handle * ctx), (ctx))
TESSEL_LOADED_FUNCTION(Mpv, MPV_ERROR_UNSUPPORTED, int, mpv_command, (mpv_handle * ctx, const char** args), (ctx, args))
TESSEL_LOADED_FUNCTION(Mpv, MPV_ERROR_UNSUPPORTED, int, mpv_command_ret,
    (mpv_handle * ctx, const char** args, mpv_node* result), (ctx, args, result))
TESSEL_LOADED_FUNCTION(Mpv, "libmpv.so.2 cannot be loaded", const char*, mpv_error_string, (int error), (error))
TESSEL_LOADED_FUNCTION(Mpv, void(), void, mpv_free, (void* data), (data))
TESSEL_LOADED_FUNCTION(Mpv, void(), void, mpv_free_node_contents, (mpv_node * node), (node))
TESSEL_LOADED_FUNCTION(Mpv, MPV_ERROR_UNSUPPORTED, int, mpv_get_property,
    (mpv_handle * ctx, const char* name, mpv_format format, void* data), (ctx, name, format, data))
TESSEL_LOADED_FUNCTION(Mpv, nullptr, char*, mpv_get_property_string, (mpv_handle * ctx, const char* name), (ctx, name))
TESSEL_LOADED_FUNCTION(Mpv, MPV_ERROR_UNSUPPORTED, int, mpv_observe_property,
    (mpv_handle * mpv, uint64_t reply_userdata, const char* name, mpv_format format),
    (mpv, reply_userdata, name, format))
TESSEL_LOADED_FUNCTION(Mpv, MPV_ERROR_UNSUPPORTED, int, mpv_set_option_string,
    (mpv_handle * ctx, const char* name, const char* data), (ctx, name, data))
TESSEL_LOADED_FUNCTION(Mpv, MPV_ERROR_UNSUPPORTED, int, mpv_set_property,
    (mpv_handle * ctx, const char* name, mpv_format format, void* data), (ctx, name, format, data))
TESSEL_LOADED_FUNCTION(
    Mpv, void(), void, mpv_set_wakeup_callback, (mpv_handle * ctx, void (*cb)(void* d), void* d), (ctx, cb, d))
TESSEL_LOADED_FUNCTION(Mpv, nullptr, mpv_event*, mpv_wait_event, (mpv_handle * ctx, double timeout), (ctx, timeout))

} // extern "C"
