#include <algorithm>
#include <array>
#include <cctype>

#include "core/discovery/device_controller.h"

namespace marlowen {
namespace {

struct ModelRow {
    std::string_view fragment;  // searched for anywhere in the product type
    std::string_view displayKey;
};

// Tried in this order; the first row whose fragment occurs wins, so "iPhone5"
// covers every iPhone5,x and "iPad3" every iPad3,x.
constexpr std::array<ModelRow, 13> kModelTable{{
    {"iPhone1,2", "Iphone3G"},
    {"iPhone2,1", "Iphone3GS"},
    {"iPhone3,1", "Iphone 4"},
    {"iPhone3,3", "Iphone 4"},
    {"iPhone4,1", "Iphone 4S"},
    {"iPhone5", "Iphone 5"},
    {"iPod1,1", "IpodTouch"},
    {"iPod2,1", "IpodTouch2G"},
    {"iPod3,1", "IpodTouch3G"},
    {"iPod4,1", "IpodTouch4G"},
    {"iPad1,1", "Ipad 1"},
    {"iPad2,1", "Ipad 2"},
    {"iPad3", "NewIpad"},
}};

bool containsIgnoringCase(std::string_view text, std::string_view fragment) {
    auto lower = [](char c) { return std::tolower(static_cast<unsigned char>(c)); };
    return std::search(text.begin(), text.end(), fragment.begin(), fragment.end(),
                       [&](char a, char b) { return lower(a) == lower(b); }) != text.end();
}

}  // namespace

std::string ZNIOSDeviceController::GetDevcieType(std::string_view productType) {
    if (productType.empty() || containsIgnoringCase(productType, "iPhone1,1")) return "Iphone";
    for (const ModelRow& row : kModelTable)
        if (containsIgnoringCase(productType, row.fragment)) return std::string(row.displayKey);
    return {};
}

}  // namespace marlowen
