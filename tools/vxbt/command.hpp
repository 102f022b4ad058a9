#pragma once

#include <cstdint>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <vector>

namespace vxorv::vxbt {

// Bad input from the user: a message for standard error and exit status 2.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A failure of the work itself (a port that cannot be opened, a frame never
// acknowledged): a message and exit status 1.
class Failure : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct Streams {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
};

// One subcommand. Each lives in its own source file and is listed once in
// commands.cpp.
struct Command {
    std::string name;
    std::string synopsis; // options, as in "frame [--seq N] [--restart]"
    std::string help;     // what it does and what each option means
    int (*run)(const std::vector<std::string>& args, Streams& io);
};

const std::vector<Command>& allCommands();

Command frameCommand();
Command decodeCommand();
Command keysCommand();
Command sendCommand();
Command typeCommand();
Command doctorCommand();

// The options of one subcommand: "--name value", "--name=value" or a flag.
class Options {
  public:
    // `valued` and `flags` list the accepted option names, without "--".
    Options(const std::vector<std::string>& args, const std::vector<std::string>& valued,
            const std::vector<std::string>& flags);

    bool has(const std::string& name) const;
    std::string text(const std::string& name, const std::string& fallback) const;
    // A decimal number within [min, max] (signed only when min is negative);
    // `fallback` when the option is absent.
    std::int64_t number(const std::string& name, std::int64_t min, std::int64_t max,
                        std::int64_t fallback) const;

  private:
    std::vector<std::pair<std::string, std::string>> m_values;
    std::vector<std::string> m_flags;
};

// Reads all of a stream's bytes.
std::string readAll(std::istream& in);

} // namespace vxorv::vxbt
