#include "support/real_servers.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/net_socket.h"

namespace {

const int kReplyWaitMs = 3000;

}  // namespace

bool Nginx::start(const std::string& locations, const std::string& moreServers) {
    port_ = findFreePort();
    std::filesystem::create_directories(dir_.file("www"));
    std::filesystem::create_directories(dir_.file("tmp"));
    const std::string d = dir_.path();
    std::string conf = "user root;\npid " + d + "/nginx.pid;\nerror_log " + d +
                       "/error.log;\nevents {}\nhttp {\n  access_log off;\n  default_type text/html;\n";
    for (const char* t : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"})
        conf += std::string("  ") + t + "_temp_path " + d + "/tmp/" + t + ";\n";
    conf += "  server {\n    listen 127.0.0.1:" + std::to_string(port_) + ";\n    root " + d +
            "/www;\n    if_modified_since off;\n" + locations + "  }\n" + moreServers + "}\n";
    writeWholeFile(dir_.file("nginx.conf"), conf);
    return process_.start({"/usr/sbin/nginx", "-p", d, "-c", d + "/nginx.conf", "-g", "daemon off;"},
                          dir_.file("out.log")) &&
           process_.waitForPort(port_);
}

std::string Nginx::log() const {
    return readWholeFile(dir_.file("error.log")) + readWholeFile(dir_.file("out.log"));
}

bool Lighttpd::start() {
    if (port_ == 0) port_ = findFreePort();
    std::filesystem::create_directories(dir_.file("www"));
    const std::string d = dir_.path();
    writeWholeFile(dir_.file("lighttpd.conf"),
                   "server.document-root = \"" + d + "/www\"\nserver.bind = \"127.0.0.1\"\n"
                   "server.port = " + std::to_string(port_) + "\nserver.errorlog = \"" + d +
                   "/error.log\"\nserver.modules = (\"mod_redirect\")\n"
                   "url.redirect = (\"^/old$\" => \"/index.html\")\nurl.redirect-code = 302\n"
                   "mimetype.assign = (\".html\" => \"text/html\")\n"
                   "server.stat-cache-engine = \"disable\"\n");
    return process_.start({"/usr/sbin/lighttpd", "-D", "-f", d + "/lighttpd.conf"}, dir_.file("out.log")) &&
           process_.waitForPort(port_);
}

bool Tinyproxy::start() {
    port_ = findFreePort();
    const std::string d = dir_.path();
    writeWholeFile(dir_.file("tinyproxy.conf"),
                   "Port " + std::to_string(port_) + "\nListen 127.0.0.1\nTimeout 30\nAllow 127.0.0.1\n"
                   "BasicAuth user pass\nLogLevel Info\nMaxClients 10\nPidFile \"" + d +
                   "/tinyproxy.pid\"\nLogFile \"" + d + "/tinyproxy.log\"\n");
    return process_.start({"tinyproxy", "-d", "-c", d + "/tinyproxy.conf"}, dir_.file("out.log")) &&
           process_.waitForPort(port_);
}

bool Gophernicus::start() {
    if (::chmod(root_.path().c_str(), 0755) != 0) return false;
    port_ = findFreePort();
    const std::string p = std::to_string(port_);
    // Only root may hand the server to nobody; a normal user's run keeps its own user.
    const std::string user = ::geteuid() == 0 ? ",su=nobody" : "";
    return process_.start({"socat", "TCP-LISTEN:" + p + ",bind=127.0.0.1,reuseaddr,fork",
                           "EXEC:'/usr/sbin/gophernicus -h localhost -p " + p + " -r " + root_.path() + "'" + user},
                          logs_.file("socat.log")) &&
           process_.waitForPort(port_);
}

std::string Gophernicus::fetch(const std::string& selector) const {
    Socket s = openStreamSocket();
    if (connectWithin(s, loopbackAddress(port_), kReplyWaitMs) != ConnectOk ||
        !sendAll(s, selector + "\r\n", kReplyWaitMs))
        return "";
    std::string reply;
    char buffer[4096];
    long n;
    while ((n = receiveWithin(s, buffer, sizeof buffer, kReplyWaitMs)) > 0) reply.append(buffer, n);
    return reply;
}

bool PyFtpd::start(const std::string& user, const std::string& password) {
    port_ = findFreePort();
    return process_.start({"/usr/bin/python3", TERVANE_SOURCE_DIR "/tests/support/ftp_server.py",
                           std::to_string(port_), root_.path(), user, password},
                          logs_.file("ftp.log")) &&
           process_.waitForPort(port_);
}

std::string PyFtpd::log() const { return readWholeFile(logs_.file("ftp.log")); }

bool Vsftpd::start(const std::string& banner) {
    // The anonymous user reads the served folder; vsftpd wants an empty one for
    // its chroot.
    if (::chmod(root_.path().c_str(), 0755) != 0) return false;
    std::filesystem::create_directory(work_.file("empty"));
    writeWholeFile(work_.file("banner"), banner);
    port_ = findFreePort();
    const std::string config = "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\nlisten_port=" +
                               std::to_string(port_) +
                               "\nbackground=NO\nanonymous_enable=YES\nlocal_enable=NO\n"
                               "anon_root=" + root_.path() + "\nsecure_chroot_dir=" + work_.file("empty") +
                               "\nftp_username=ftp\nnopriv_user=ftp\nseccomp_sandbox=NO\nisolate=NO\n"
                               "isolate_network=NO\nconnect_from_port_20=NO\nbanner_file=" +
                               work_.file("banner") + "\nxferlog_enable=NO\n" +
                               // Only root may switch users; a normal user's run serves as that user.
                               (::geteuid() == 0 ? "" : "run_as_launching_user=YES\n");
    writeWholeFile(work_.file("vsftpd.conf"), config);
    return process_.start({"/usr/sbin/vsftpd", work_.file("vsftpd.conf")}, work_.file("vsftpd.log")) &&
           process_.waitForPort(port_, 5000);
}

std::string Vsftpd::log() const { return readWholeFile(work_.file("vsftpd.log")); }

bool SmtpSink::start() {
    port_ = findFreePort();
    return process_.start({"/usr/bin/python3", TERVANE_SOURCE_DIR "/tests/support/smtp_sink.py",
                           std::to_string(port_), dir_.path()},
                          dir_.file("sink.log")) &&
           process_.waitForPort(port_);
}

std::vector<std::string> SmtpSink::messages() const {
    std::vector<std::string> names;
    for (const std::string& f : listFiles(dir_.path()))
        if (f.size() > 4 && f.compare(f.size() - 4, 4, ".eml") == 0) names.push_back(f);
    return names;
}

std::string SmtpSink::log() const { return readWholeFile(dir_.file("sink.log")); }
