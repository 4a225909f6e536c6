#pragma once
#include <complex>
#include <cstddef>

// Fourier transforms of real signals through FFTW (single precision). The
// library is loaded at the first transform, not at start (see
// core/shared_library.h): only the speech detection and the
// synchronisation need it.
namespace tessel {

class RealFft {
public:
    // A transform of `size` reals; throws Error when FFTW cannot be loaded.
    explicit RealFft(size_t size);
    ~RealFft();
    RealFft(const RealFft&) = delete;
    RealFft& operator=(const RealFft&) = delete;

    size_t size() const { return size_; }
    size_t bins() const { return size_ / 2 + 1; }
    // The buffers the transforms work on: size() reals, bins() complex values.
    float* real() { return real_; }
    std::complex<float>* spectrum() { return spectrum_; }

    // real() into spectrum(); real() is kept.
    void forward();
    // spectrum() into real(), scaled by size() (FFTW's convention);
    // spectrum() is overwritten.
    void inverse();

private:
    void release();

    size_t size_;
    float* real_ = nullptr;
    std::complex<float>* spectrum_ = nullptr;
    void* forward_ = nullptr;
    void* inverse_ = nullptr;
};

} // namespace tessel
