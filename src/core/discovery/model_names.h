// Marketing names of the phones, pads and pods by the product type their
// backups record ("Product Type" in "Info.plist", e.g. "iPhone12,1").
#pragma once

#include <string>
#include <string_view>

namespace marlowen {

// The model's name, e.g. "iPhone 11" for "iPhone12,1"; "" for a product
// type the table does not know.
std::string modelNameOf(std::string_view productType);

}  // namespace marlowen
