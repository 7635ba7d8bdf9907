#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "support/server_process.h"

// Real servers from Debian packages, each on 127.0.0.1 and a free port, with its
// files in a folder of its own; stopped (and the folder removed) when the
// object goes. start() is false when the server would not come up here.

// nginx serving www/ (and any further server blocks given). Pages always come
// whole: no 304 answers.
class Nginx {
public:
    bool start(const std::string& locations = "", const std::string& moreServers = "");
    uint16_t port() const { return port_; }
    std::string www(const std::string& name) const { return dir_.file("www/" + name); }
    std::string log() const;

private:
    TempDir dir_{"tervane-nginx"};
    ChildProcess process_;
    uint16_t port_ = 0;
};

// lighttpd serving www/; /old answers 302 with the relative Location /index.html.
// Started again after stop(), it serves on the same port.
class Lighttpd {
public:
    bool start();
    void stop() { process_.stop(); }
    uint16_t port() const { return port_; }
    std::string www(const std::string& name) const { return dir_.file("www/" + name); }

private:
    TempDir dir_{"tervane-lighttpd"};
    ChildProcess process_;
    uint16_t port_ = 0;
};

// tinyproxy that wants the Basic credentials user:pass.
class Tinyproxy {
public:
    bool start();
    uint16_t port() const { return port_; }

private:
    TempDir dir_{"tervane-tinyproxy"};
    ChildProcess process_;
    uint16_t port_ = 0;
};

// gophernicus serving a root folder. It refuses to run as root, so socat starts
// one per connection as nobody; the root is made readable for that.
class Gophernicus {
public:
    bool start();
    uint16_t port() const { return port_; }
    std::string file(const std::string& name) const { return root_.file(name); }
    // What the server answers to one selector ("" when nothing came).
    std::string fetch(const std::string& selector) const;

private:
    TempDir root_{"tervane-gopher"};
    TempDir logs_{"tervane-gopher-log"};
    ChildProcess process_;
    uint16_t port_ = 0;
};

// pyftpdlib serving a root folder: user with password may read and write it, an
// anonymous login may read it.
class PyFtpd {
public:
    bool start(const std::string& user, const std::string& password);
    uint16_t port() const { return port_; }
    std::string file(const std::string& name) const { return root_.file(name); }
    std::string log() const;
    void stop() { process_.stop(); }

private:
    TempDir root_{"tervane-ftp-root"};
    TempDir logs_{"tervane-ftp-log"};
    ChildProcess process_;
    uint16_t port_ = 0;
};

// vsftpd serving a root folder to anonymous logins, greeting with banner.
class Vsftpd {
public:
    bool start(const std::string& banner);
    uint16_t port() const { return port_; }
    std::string file(const std::string& name) const { return root_.file(name); }
    std::string log() const;
    void stop() { process_.stop(); }

private:
    TempDir root_{"tervane-vsftpd"};
    TempDir work_{"tervane-vsftpd-conf"};
    ChildProcess process_;
    uint16_t port_ = 0;
};

// aiosmtpd storing each message it accepts: for message N the envelope in
// msgNNN.env (the sender, then one recipient a line) and the message as received
// in msgNNN.eml, the .eml written last.
class SmtpSink {
public:
    bool start();
    uint16_t port() const { return port_; }
    std::string file(const std::string& name) const { return dir_.file(name); }
    // The names of the stored .eml files, in order.
    std::vector<std::string> messages() const;
    std::string log() const;

private:
    TempDir dir_{"tervane-smtp"};
    ChildProcess process_;
    uint16_t port_ = 0;
};
