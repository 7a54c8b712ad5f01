// `push inquire|start|other ...`: plays the scanner driver on the program's message
// channel: sends one message, waits for the reply and prints its fields.
//   push inquire [--type N]                      busy inquiry (type 0, or any type N > 2)
//   push start --to DEST --source NAME [--device-key KEY] [--extra TEXT]
//                                                start request; DEST app1|app2|folder|email|fax or 0-255
//   push other [--payload TEXT]                  a message of type 2
// Common: --timeout MS (reply and listener wait, default 5000), --wait-listener (wait
// until the program's listener runs before sending).
// Exit status: 0 answered, 1 no listener or no reply in time, 2 usage.
#include <cstdio>
#include <cstdlib>
#include <map>

#include "Command.h"
#include "pushscan/DriverChannel.h"
#include "settings/ProductData.h"

namespace {

constexpr const char* kUsage =
    "usage: scanner-utility-cli push inquire [--type N]\n"
    "       scanner-utility-cli push start --to app1|app2|folder|email|fax|N --source NAME [--device-key KEY]"
    " [--extra TEXT]\n"
    "       scanner-utility-cli push other [--payload TEXT]\n"
    "  each with [--timeout MS] [--wait-listener]\n";

bool ParseNumber(const std::string& text, long low, long high, long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, 10);
    return *end == '\0' && value >= low && value <= high;
}

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

int Run(const cli::Args& args) {
    cli::Options options(args);
    const auto& positional = options.Positional();
    if (positional.size() != 1) return Usage();
    const std::string kind = positional[0];
    const std::string unknown = options.Unknown(
        {"--wait-listener"}, {"--type", "--to", "--source", "--device-key", "--extra", "--payload", "--timeout"});
    if (!unknown.empty()) return Usage();
    long timeout = 5000;
    if (options.Has("--timeout") && !ParseNumber(options.Value("--timeout"), 0, 3600000, timeout)) return Usage();

    std::vector<unsigned char> message;
    if (kind == "inquire") {
        long type = 0;
        if (options.Has("--type") && (!ParseNumber(options.Value("--type"), 0, 255, type) || type == 1 || type == 2))
            return Usage();
        message = pushscan::BusyInquiryMessage(static_cast<unsigned char>(type));
    } else if (kind == "start") {
        const std::map<std::string, long> names = {{"app2", 0}, {"app1", 1}, {"folder", 2}, {"email", 3}, {"fax", 4}};
        long destination = 0;
        const std::string to = options.Value("--to");
        auto it = names.find(to);
        if (it != names.end()) destination = it->second;
        else if (!ParseNumber(to, 0, 255, destination)) return Usage();
        if (!options.Has("--source")) return Usage();
        pushscan::StartRequestFields fields;
        fields.destination = static_cast<int>(destination);
        fields.source = options.Value("--source");
        fields.deviceKey = options.Value("--device-key");
        fields.extraText = options.Value("--extra");
        message = pushscan::StartRequestMessage(fields);
    } else if (kind == "other") {
        const std::string payload = options.Value("--payload");
        message = pushscan::OtherMessage(std::vector<unsigned char>(payload.begin(), payload.end()));
    } else {
        return Usage();
    }

    pushscan::ChannelNames names{settings::ReadProductValue("Communication", "ShareMemoryName"),
                                 settings::ReadProductValue("Communication", "MessageRecvEvent"),
                                 settings::ReadProductValue("Communication", "MessageSendEvent"),
                                 settings::ReadProductValue("Communication", "MessageRecvThreadEvent")};
    pushscan::DriverChannel channel(names, static_cast<int>(timeout));
    if (options.Flag("--wait-listener") && !channel.WaitForListener(static_cast<int>(timeout))) {
        std::fprintf(stderr, "scanner-utility-cli: push: no program is listening\n");
        return 1;
    }
    pushscan::DriverReply reply;
    const pushscan::DriverStatus status = channel.Exchange(message, static_cast<int>(timeout), reply);
    if (status != pushscan::DriverStatus::Answered) {
        std::fprintf(stderr, "scanner-utility-cli: push: %s\n", pushscan::DriverStatusText(status));
        return 1;
    }
    std::printf("bytes %02x %02x %02x %02x %02x %02x\n", reply.bytes[0], reply.bytes[1], reply.bytes[2], reply.bytes[3],
                reply.bytes[4], reply.bytes[5]);
    if (kind == "inquire") std::printf("type %d busy %d\n", reply.type(), reply.flag());
    else if (kind == "start") std::printf("type %d flag %d accepted %d\n", reply.type(), reply.flag(), reply.result());
    else std::printf("type %d result %d\n", reply.type(), reply.result());
    return 0;
}

const cli::CliCommand command("push",
                              "inquire|start|other [--to DEST --source NAME ...] [--timeout MS] [--wait-listener]"
                              "  act as the scanner driver on the message channel",
                              Run);

} // namespace
