#pragma once
#include <arpa/inet.h>

#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/net_socket.h"
#include "support/loopback_server.h"

// A scripted FTP server for the FTP client's and the FTP check's tests.

using Connection = LoopbackServer::Connection;

// One exchange of a scripted FTP server: it reads lines until one begins with
// expect, sends reply, then runs the action (with the address of the last PORT).
struct Step {
    using Action = std::function<void(Connection&, const sockaddr_in&)>;
    Step(std::string e, std::string r, Action a = nullptr)
        : expect(std::move(e)), reply(std::move(r)), action(std::move(a)) {}
    std::string expect;
    std::string reply;
    Action action;
};

inline bool parsePort(const std::string& line, sockaddr_in* out, unsigned (&n)[6]) {
    if (std::sscanf(line.c_str(), "PORT %u,%u,%u,%u,%u,%u", &n[0], &n[1], &n[2], &n[3], &n[4], &n[5]) != 6)
        return false;
    for (unsigned v : n)
        if (v > 255) return false;
    in_addr ip{};
    ip.s_addr = htonl(n[0] << 24 | n[1] << 16 | n[2] << 8 | n[3]);
    *out = makeAddress(ip, static_cast<uint16_t>(n[4] << 8 | n[5]));
    return true;
}

inline LoopbackServer::Script ftpScript(std::string greeting, std::vector<Step> steps) {
    return [greeting, steps](Connection& c) {
        if (!c.send(greeting)) return;
        sockaddr_in dataAddress{};
        for (const Step& s : steps) {
            std::string line;
            for (;;) {
                if (!c.readLine(line)) return;
                unsigned n[6];
                parsePort(line, &dataAddress, n);
                if (line.rfind(s.expect, 0) == 0) break;
            }
            if (!s.reply.empty() && !c.send(s.reply)) return;
            if (s.action) s.action(c, dataAddress);
        }
        c.drainUntilClosed();
    };
}

inline const std::string kListing =
    "-rw-r--r--   1 owner    group         100 Dec 24 23:59 read  me.txt\r\n"
    "-rw-r--r--   1 owner    group           5 Jan 02  2021 a.txt\r\n";

