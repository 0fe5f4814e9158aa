#include "orderd/CommandLine.h"

#include "core/common/Text.h"
#include "orderd/ServiceError.h"

#include <charconv>
#include <set>

namespace quillane::orderd {

namespace {

unsigned long long number(const std::string& option, const std::string& text)
{
    unsigned long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
        throw ServiceError(option + " takes a whole number, not \"" + text + "\"");
    }
    return value;
}

// HOST:PORT, or [IPv6]:PORT.
void readListen(const std::string& text, Command& command)
{
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) {
        throw ServiceError("--listen takes HOST:PORT, not \"" + text + "\"");
    }
    std::string host = text.substr(0, colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    } else if (host.find(':') != std::string::npos) {
        throw ServiceError("--listen takes an IPv6 address in brackets, [::1]:PORT, not \"" + text + "\"");
    }
    const unsigned long long port = number("--listen", text.substr(colon + 1));
    if (port > 65535) {
        throw ServiceError("--listen takes a port from 0 to 65535, not " + text.substr(colon + 1));
    }
    command.Host = host;
    command.Port = static_cast<int>(port);
}

} // namespace

std::string Usage()
{
    return "Usage:\n"
           "  quillane-orderd serve --listen HOST:PORT (--data DIR | --db postgresql://...)\n"
           "                        [--trust-proxy] [--allow-private-shops] [--hash-ops N] [--hash-mem MIB]\n"
           "  quillane-orderd account add NAME --password-stdin [--shop URL]\n"
           "                        (--data DIR | --db postgresql://...) [--hash-ops N] [--hash-mem MIB]\n"
           "Port 0 listens on a free port; the line \"listening on http://HOST:PORT/\" names it.\n"
           "--trust-proxy takes the client's address from X-Forwarded-For (behind a reverse proxy).\n"
           "--allow-private-shops reads shops on loopback, private and link-local addresses too\n"
           "(a shop on the service's own network); without it such a shop's orders are taken unchecked.\n"
           "--hash-ops and --hash-mem set the work of a password hash (default 2 passes, 64 MiB).\n";
}

Command ParseCommandLine(const std::vector<std::string>& args)
{
    Command command;
    std::size_t next = 0;
    if (args.empty()) {
        throw ServiceError("No command: serve or account add (--help shows how)");
    }
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") {
            return command;
        }
    }
    if (args[0] == "serve") {
        command.What = Command::Kind::Serve;
        next = 1;
    } else if (args[0] == "account" && args.size() > 1 && args[1] == "add") {
        command.What = Command::Kind::AccountAdd;
        if (args.size() < 3 || args[2].starts_with("--")) {
            throw ServiceError("account add needs the account's name");
        }
        command.AccountName = args[2];
        next = 3;
    } else {
        throw ServiceError("Unknown command \"" + args[0] + "\": serve or account add");
    }

    const bool serving = command.What == Command::Kind::Serve;
    std::set<std::string> seen;
    bool passwordStdin = false;
    for (std::size_t i = next; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (!seen.insert(option).second) {
            throw ServiceError(option + " is given twice");
        }
        const auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) {
                throw ServiceError(option + " needs a value");
            }
            return args[++i];
        };
        if (option == "--data") {
            command.Store.DataDir = value();
            if (command.Store.DataDir.empty()) {
                throw ServiceError("--data needs a folder");
            }
        } else if (option == "--db") {
            command.Store.Database = value();
            const std::string lower = LowerCase(command.Store.Database);
            if (!lower.starts_with("postgresql://") && !lower.starts_with("postgres://")) {
                throw ServiceError("--db takes a postgresql:// address, not \"" + command.Store.Database + "\"");
            }
        } else if (option == "--hash-ops") {
            command.Cost.Ops = number(option, value());
        } else if (option == "--hash-mem") {
            command.Cost.MemMiB = static_cast<std::size_t>(number(option, value()));
        } else if (serving && option == "--listen") {
            readListen(value(), command);
        } else if (serving && option == "--trust-proxy") {
            command.TrustProxy = true;
        } else if (serving && option == "--allow-private-shops") {
            command.AllowPrivateShops = true;
        } else if (!serving && option == "--password-stdin") {
            passwordStdin = true;
        } else if (!serving && option == "--shop") {
            command.Shop = value();
        } else {
            throw ServiceError("Unknown option \"" + option + "\" for " + (serving ? "serve" : "account add"));
        }
    }
    if (seen.contains("--data") == seen.contains("--db")) {
        throw ServiceError("Give either --data DIR or --db postgresql://...");
    }
    if (serving && !seen.contains("--listen")) {
        throw ServiceError("serve needs --listen HOST:PORT");
    }
    if (!serving && !passwordStdin) {
        throw ServiceError("account add reads the password from standard input: give --password-stdin");
    }
    return command;
}

} // namespace quillane::orderd
