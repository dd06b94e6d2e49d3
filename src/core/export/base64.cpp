#include "core/export/base64.h"

#include <openssl/evp.h>

namespace marlowen {

std::string base64(std::string_view bytes) {
    // EVP_EncodeBlock takes an int length; pictures stay far below 1.5 GB.
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                  reinterpret_cast<const unsigned char*>(bytes.data()),
                                  static_cast<int>(bytes.size()));
    out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return out;
}

}  // namespace marlowen
