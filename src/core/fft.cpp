#include "core/fft.h"

#include "core/errors.h"
#include "core/shared_library.h"

#include <fftw3.h>
#include <mutex>

namespace {
const char* const Library = "libfftw3f.so.3";
} // namespace

extern "C" {
TESSEL_LOADED_FUNCTION(Library, nullptr, void*, fftwf_malloc, (size_t n), (n))
TESSEL_LOADED_FUNCTION(Library, void(), void, fftwf_free, (void* p), (p))
TESSEL_LOADED_FUNCTION(Library, nullptr, fftwf_plan, fftwf_plan_dft_r2c_1d,
    (int n, float* in, fftwf_complex* out, unsigned flags), (n, in, out, flags))
TESSEL_LOADED_FUNCTION(Library, nullptr, fftwf_plan, fftwf_plan_dft_c2r_1d,
    (int n, fftwf_complex* in, float* out, unsigned flags), (n, in, out, flags))
TESSEL_LOADED_FUNCTION(Library, void(), void, fftwf_execute, (const fftwf_plan p), (p))
TESSEL_LOADED_FUNCTION(Library, void(), void, fftwf_destroy_plan, (fftwf_plan p), (p))
} // extern "C"

namespace tessel {
namespace {

// FFTW's planner is not thread-safe; its plans, once made, are.
std::mutex& plannerLock()
{
    static std::mutex lock;
    return lock;
}

} // namespace

RealFft::RealFft(size_t size)
    : size_(size)
{
    if (size < 2 || size > (size_t(1) << 30)) throw Error("A Fourier transform of this size cannot be made.");
    real_ = static_cast<float*>(fftwf_malloc(sizeof(float) * size));
    spectrum_ = static_cast<std::complex<float>*>(fftwf_malloc(sizeof(fftwf_complex) * bins()));
    if (real_ && spectrum_) {
        const std::lock_guard<std::mutex> lock(plannerLock());
        auto* complex = reinterpret_cast<fftwf_complex*>(spectrum_);
        forward_ = fftwf_plan_dft_r2c_1d(int(size), real_, complex, FFTW_ESTIMATE | FFTW_PRESERVE_INPUT);
        inverse_ = fftwf_plan_dft_c2r_1d(int(size), complex, real_, FFTW_ESTIMATE);
    }
    if (!forward_ || !inverse_) {
        release();
        throw Error(std::string("The Fourier transforms cannot be made: ") + Library + " cannot be loaded.");
    }
}

RealFft::~RealFft() { release(); }

void RealFft::release()
{
    const std::lock_guard<std::mutex> lock(plannerLock());
    if (forward_) fftwf_destroy_plan(static_cast<fftwf_plan>(forward_));
    if (inverse_) fftwf_destroy_plan(static_cast<fftwf_plan>(inverse_));
    forward_ = inverse_ = nullptr;
    if (real_) fftwf_free(real_);
    if (spectrum_) fftwf_free(spectrum_);
    real_ = nullptr;
    spectrum_ = nullptr;
}

void RealFft::forward() { fftwf_execute(static_cast<fftwf_plan>(forward_)); }

void RealFft::inverse() { fftwf_execute(static_cast<fftwf_plan>(inverse_)); }

} // namespace tessel
