#pragma once
#include <stdexcept>
#include <string>

namespace tessel {

// An error a command does not handle itself; its text is what the user sees.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A failed conversion of text to a number.
class ConversionError : public Error {
public:
    using Error::Error;
};

// Arithmetic that has no valid result (division by zero, overflow).
class MathError : public Error {
public:
    using Error::Error;
};

} // namespace tessel
