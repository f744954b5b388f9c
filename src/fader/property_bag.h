#pragma once
#include <cstdint>
#include <map>
#include <string>

namespace fader {

// Stored settings of a control: whole-number values under keys that are looked up without
// regard to case. A value equal to the default it is written with is left out, so a bag
// holds only what differs from the defaults.
class PropertyBag {
public:
    PropertyBag() = default;
    PropertyBag(std::initializer_list<std::pair<const std::string, std::int32_t>> entries);

    std::int32_t Read(const std::string &key, std::int32_t defaultValue) const;
    void Write(const std::string &key, std::int32_t value, std::int32_t defaultValue);

    bool Contains(const std::string &key) const;
    std::size_t Size() const { return values_.size(); }

private:
    struct NoCase {
        bool operator()(const std::string &a, const std::string &b) const;
    };
    std::map<std::string, std::int32_t, NoCase> values_;
};

} // namespace fader
