#pragma once
#include <cstdint>
#include <map>
#include <string>

namespace fader {

// Stored settings of a control: whole-number values under keys that are looked up without
// regard to case. It holds only what differs from the defaults: a key left out reads as its default.
class PropertyBag {
public:
    PropertyBag() = default;
    PropertyBag(std::initializer_list<std::pair<const std::string, std::int32_t>> entries);

    std::int32_t Read(const std::string &key, std::int32_t defaultValue) const;

private:
    struct NoCase {
        bool operator()(const std::string &a, const std::string &b) const;
    };
    std::map<std::string, std::int32_t, NoCase> values_;
};

} // namespace fader
