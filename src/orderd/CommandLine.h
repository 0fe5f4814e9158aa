#pragma once

#include "orderd/OrderStore.h"
#include "orderd/PasswordHasher.h"

#include <string>
#include <vector>

// The command line of quillane-orderd, which scripts rely on:
//   quillane-orderd serve --listen HOST:PORT (--data DIR | --db postgresql://...)
//                         [--trust-proxy] [--allow-private-shops] [--hash-ops N] [--hash-mem MIB]
//   quillane-orderd account add NAME --password-stdin [--shop URL]
//                         (--data DIR | --db postgresql://...) [--hash-ops N] [--hash-mem MIB]
namespace quillane::orderd {

struct Command {
    enum class Kind { Serve, AccountAdd, Help };

    Kind What = Kind::Help;
    std::string Host;
    int Port = 0;
    StoreAddress Store;
    std::string AccountName;
    std::string Shop;
    HashCost Cost;
    bool TrustProxy = false;
    bool AllowPrivateShops = false;
};

// Throws Error naming the argument that is wrong.
Command ParseCommandLine(const std::vector<std::string>& args);

std::string Usage();

} // namespace quillane::orderd
