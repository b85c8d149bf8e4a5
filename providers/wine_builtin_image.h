// Recognises the PE images of Wine's builtin DLLs. Wine's own tdh.dll exports
// TdhEnumerateProviders as a stub that ends the process, so it must never be called.
#pragma once

#include <cstddef>

namespace corvane {

// Whether the module image that starts at image (readableSize bytes of it can be read) carries
// Wine's builtin mark in its DOS stub.
[[nodiscard]] bool isWineBuiltinImage(const unsigned char* image,
                                      std::size_t readableSize) noexcept;

} // namespace corvane
