#include "command.hpp"

namespace vxorv::vxbt {

const std::vector<Command>& allCommands() {
    // One line per subcommand.
    static const std::vector<Command> commands{
        frameCommand(),
        decodeCommand(),
        keysCommand(),
        sendCommand(),
        typeCommand(),
        doctorCommand(),
    };
    return commands;
}

} // namespace vxorv::vxbt
