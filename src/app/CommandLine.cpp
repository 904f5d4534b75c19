#include "CommandLine.h"

#include "res/Version.h"

#include <string_view>

namespace talvane {

namespace {

constexpr std::string_view Usage =
    "Usage: talvane [--help | --version]\n"
    "Shows, live, which program on this computer talks to whom through one of its IPv4\n"
    "addresses. Everything else is done in its window.\n"
    "\n"
    "  -h, --help     print this help and exit\n"
    "      --version  print the version and exit\n"
    "\n"
    "Capturing needs CAP_NET_RAW and CAP_NET_ADMIN; the Debian package grants them to the\n"
    "members of the group talvane. The filter settings are kept in\n"
    "$XDG_CONFIG_HOME/talvane/filters/last.ft (~/.config/talvane/filters/last.ft).\n";

CommandLine::Answer Refusal(std::string_view what, std::string_view argument) {
    return {2,
            {},
            "talvane: " + std::string(what) + " '" + std::string(argument) +
                "'\nTry 'talvane --help' for more information.\n"};
}

} // namespace

std::optional<CommandLine::Answer> CommandLine::Read(std::span<const char* const> arguments) {
    if (arguments.empty())
        return std::nullopt;
    const std::string_view first = arguments.front();
    if (!first.starts_with('-'))
        return Refusal("unexpected argument", first);
    if (first != "-h" && first != "--help" && first != "--version")
        return Refusal("unrecognized option", first);
    if (arguments.size() > 1)
        return Refusal("unexpected argument", arguments[1]);
    if (first == "--version")
        return Answer{0, "talvane " + std::string(TalvaneVersion) + "\n", {}};
    return Answer{0, std::string(Usage), {}};
}

} // namespace talvane
