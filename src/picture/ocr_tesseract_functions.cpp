// Tesseract's C API, loaded with the first picture read (see
// core/shared_library.h): the editor does not pay for the library and its
// forty dependencies at start.
#include "core/shared_library.h"

#include <tesseract/capi.h>

namespace {
const char* const Tesseract = "libtesseract.so.5";
} // namespace

extern "C" {

TESSEL_LOADED_FUNCTION(Tesseract, "", const char*, TessVersion, (), ())
TESSEL_LOADED_FUNCTION(Tesseract, void(), void, TessDeleteText, (const char* text), (text))
TESSEL_LOADED_FUNCTION(Tesseract, nullptr, TessBaseAPI*, TessBaseAPICreate, (), ())
TESSEL_LOADED_FUNCTION(Tesseract, void(), void, TessBaseAPIDelete, (TessBaseAPI * handle), (handle))
TESSEL_LOADED_FUNCTION(Tesseract, -1, int, TessBaseAPIInit4,
    (TessBaseAPI * handle, const char* datapath, const char* language, TessOcrEngineMode mode, char** configs,
        int configs_size, char** vars_vec, char** vars_values, size_t vars_vec_size, BOOL set_only_non_debug_params),
    (handle, datapath, language, mode, configs, configs_size, vars_vec, vars_values, vars_vec_size,
        set_only_non_debug_params))
TESSEL_LOADED_FUNCTION(Tesseract, FALSE, BOOL, TessBaseAPISetVariable,
    (TessBaseAPI * handle, const char* name, const char* value), (handle, name, value))
TESSEL_LOADED_FUNCTION(
    Tesseract, void(), void, TessBaseAPISetPageSegMode, (TessBaseAPI * handle, TessPageSegMode mode), (handle, mode))
TESSEL_LOADED_FUNCTION(Tesseract, void(), void, TessBaseAPISetImage,
    (TessBaseAPI * handle, const unsigned char* imagedata, int width, int height, int bytes_per_pixel,
        int bytes_per_line),
    (handle, imagedata, width, height, bytes_per_pixel, bytes_per_line))
TESSEL_LOADED_FUNCTION(
    Tesseract, void(), void, TessBaseAPISetSourceResolution, (TessBaseAPI * handle, int ppi), (handle, ppi))
TESSEL_LOADED_FUNCTION(
    Tesseract, -1, int, TessBaseAPIRecognize, (TessBaseAPI * handle, ETEXT_DESC* monitor), (handle, monitor))
TESSEL_LOADED_FUNCTION(
    Tesseract, nullptr, TessResultIterator*, TessBaseAPIGetIterator, (TessBaseAPI * handle), (handle))
TESSEL_LOADED_FUNCTION(Tesseract, void(), void, TessBaseAPIClear, (TessBaseAPI * handle), (handle))
TESSEL_LOADED_FUNCTION(Tesseract, void(), void, TessBaseAPIEnd, (TessBaseAPI * handle), (handle))
TESSEL_LOADED_FUNCTION(Tesseract, void(), void, TessResultIteratorDelete, (TessResultIterator * handle), (handle))
TESSEL_LOADED_FUNCTION(Tesseract, nullptr, const TessPageIterator*, TessResultIteratorGetPageIteratorConst,
    (const TessResultIterator* handle), (handle))
TESSEL_LOADED_FUNCTION(Tesseract, FALSE, BOOL, TessResultIteratorNext,
    (TessResultIterator * handle, TessPageIteratorLevel level), (handle, level))
TESSEL_LOADED_FUNCTION(Tesseract, nullptr, char*, TessResultIteratorGetUTF8Text,
    (const TessResultIterator* handle, TessPageIteratorLevel level), (handle, level))
TESSEL_LOADED_FUNCTION(Tesseract, 0.0f, float, TessResultIteratorConfidence,
    (const TessResultIterator* handle, TessPageIteratorLevel level), (handle, level))
TESSEL_LOADED_FUNCTION(Tesseract, FALSE, BOOL, TessPageIteratorBoundingBox,
    (const TessPageIterator* handle, TessPageIteratorLevel level, int* left, int* top, int* right, int* bottom),
    (handle, level, left, top, right, bottom))
TESSEL_LOADED_FUNCTION(Tesseract, FALSE, BOOL, TessPageIteratorIsAtBeginningOf,
    (const TessPageIterator* handle, TessPageIteratorLevel level), (handle, level))

} // extern "C"
