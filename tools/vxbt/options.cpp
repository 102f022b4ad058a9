#include "command.hpp"

#include <algorithm>
#include <istream>
#include <iterator>

namespace vxorv::vxbt {
namespace {

bool contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

} // namespace

Options::Options(const std::vector<std::string>& args, const std::vector<std::string>& valued,
                 const std::vector<std::string>& flags) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.rfind("--", 0) != 0 || arg.size() == 2) {
            throw UsageError("unexpected argument \"" + arg + "\"");
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(2, equals == std::string::npos ? equals : equals - 2);
        if (contains(flags, name)) {
            if (equals != std::string::npos) {
                throw UsageError("--" + name + " takes no value");
            }
            m_flags.push_back(name);
        } else if (contains(valued, name)) {
            if (equals != std::string::npos) {
                m_values.emplace_back(name, arg.substr(equals + 1));
            } else if (i + 1 < args.size()) {
                m_values.emplace_back(name, args[++i]);
            } else {
                throw UsageError("--" + name + " needs a value");
            }
        } else {
            throw UsageError("unknown option \"" + arg + "\"");
        }
    }
}

bool Options::has(const std::string& name) const {
    return contains(m_flags, name) ||
           std::any_of(m_values.begin(), m_values.end(),
                       [&](const auto& value) { return value.first == name; });
}

std::string Options::text(const std::string& name, const std::string& fallback) const {
    std::string result = fallback;
    for (const auto& [key, value] : m_values) {
        if (key == name) {
            result = value; // the last one given wins
        }
    }
    return result;
}

std::int64_t Options::number(const std::string& name, std::int64_t min, std::int64_t max,
                             std::int64_t fallback) const {
    if (!has(name)) {
        return fallback;
    }
    const std::string value = text(name, "");
    const auto outOfRange = [&] {
        return UsageError("--" + name + " must be a whole number from " + std::to_string(min) +
                          " to " + std::to_string(max) + ", not \"" + value + "\"");
    };
    const bool negative = min < 0 && value.size() > 1 && value.front() == '-';
    const std::string digits = negative ? value.substr(1) : value;
    if (digits.empty() || digits.size() > 12 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        throw outOfRange();
    }
    const std::int64_t number = negative ? -std::stoll(digits) : std::stoll(digits);
    if (number < min || number > max) {
        throw outOfRange();
    }
    return number;
}

std::string readAll(std::istream& in) {
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace vxorv::vxbt
