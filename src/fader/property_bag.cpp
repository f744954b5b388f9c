#include "fader/property_bag.h"

#include <algorithm>
#include <cctype>

namespace fader {

bool PropertyBag::NoCase::operator()(const std::string &a, const std::string &b) const
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}

PropertyBag::PropertyBag(std::initializer_list<std::pair<const std::string, std::int32_t>> entries)
    : values_(entries)
{
}

std::int32_t PropertyBag::Read(const std::string &key, std::int32_t defaultValue) const
{
    auto it = values_.find(key);
    return it == values_.end() ? defaultValue : it->second;
}

} // namespace fader
