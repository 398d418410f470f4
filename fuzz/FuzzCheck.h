#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

// A broken rule in a fuzz target: says which and aborts, which libFuzzer
// (and the corpus replay under ctest) reports as a crash with the input.
#define FUZZ_CHECK(cond)                                                                  \
    do {                                                                                  \
        if (!(cond)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)

namespace varnet::fuzz {

inline std::string_view bytesOf(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Control bytes read in turn, over and over; zeros when there are none.
class ByteReader {
  public:
    explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}
    unsigned next() {
        if (bytes_.empty()) return 0;
        return static_cast<unsigned char>(bytes_[at_++ % bytes_.size()]);
    }

  private:
    std::string_view bytes_;
    std::size_t at_ = 0;
};

}  // namespace varnet::fuzz
