#include "bench/e2e/http_load.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <signal.h>

#include "bench/e2e/process.h"

namespace qlo::bench {

namespace {

constexpr const char* kCameraBody = R"({"deviceName":"bench-phone-1","zoom":940.74})";

// wrk's numbers with a unit: "5.12ms", "812.00us", "1.02s".
double Milliseconds(const std::string& number, const std::string& unit) {
    const double v = std::stod(number);
    if (unit == "us") return v / 1000;
    if (unit == "s") return v * 1000;
    if (unit == "m") return v * 60000;
    return v;
}

std::string PostScript(const std::string& folder) {
    const std::string path = folder + "/camera-post.lua";
    std::ofstream out(path);
    out << "wrk.method = \"POST\"\n"
        << "wrk.body = '" << kCameraBody << "'\n"
        << "wrk.headers[\"Content-Type\"] = \"application/json\"\n";
    return path;
}

}  // namespace

const char* RequestName(ControlRequest request) {
    return request == ControlRequest::TimelineGet ? "GET /timeline" : "POST /camera";
}

std::string RequestText(ControlRequest request) {
    if (request == ControlRequest::TimelineGet) {
        return "GET /timeline HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    }
    const std::string body = kCameraBody;
    return "POST /camera HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\nContent-Type: application/json\r\n"
           "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

nlohmann::json ParseWrkReport(const std::string& text) {
    nlohmann::json out;
    std::smatch m;
    static const std::regex rps(R"(Requests/sec:\s+([0-9.]+))");
    if (!std::regex_search(text, m, rps)) return {{"error", "wrk printed no rate"}};
    out["rps"] = std::stod(m[1].str());
    static const std::regex total(R"((\d+) requests in)");
    if (std::regex_search(text, m, total)) out["requests"] = std::stoll(m[1].str());
    static const std::regex pct(R"(\n\s+(50|75|90|99)%\s+([0-9.]+)(us|ms|s|m)\b)");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), pct); it != std::sregex_iterator(); ++it) {
        out["p" + (*it)[1].str() + "_ms"] = Milliseconds((*it)[2].str(), (*it)[3].str());
    }
    static const std::regex socketErrors(R"(Socket errors: connect (\d+), read (\d+), write (\d+), timeout (\d+))");
    long long errors = 0;
    if (std::regex_search(text, m, socketErrors)) {
        // A read "error" is how wrk counts a server closing the connection after its answer.
        errors = std::stoll(m[1].str()) + std::stoll(m[3].str()) + std::stoll(m[4].str());
        out["read_closes"] = std::stoll(m[2].str());
    }
    static const std::regex non2xx(R"(Non-2xx or 3xx responses: (\d+))");
    if (std::regex_search(text, m, non2xx)) errors += std::stoll(m[1].str());
    out["errors"] = errors;
    return out;
}

nlohmann::json RunWrk(const LoadSettings& settings, int port, ControlRequest request) {
    std::vector<std::string> argv = {settings.wrk, "-t", std::to_string(settings.threads), "-c",
                                     std::to_string(settings.connections), "-d",
                                     std::to_string(static_cast<int>(settings.seconds + 0.5)) + "s", "--latency",
                                     "-H", "Connection: close"};
    std::string path = "/timeline";
    if (request == ControlRequest::CameraPost) {
        argv.push_back("-s");
        argv.push_back(PostScript(settings.folder));
        path = "/camera";
    }
    argv.push_back("http://127.0.0.1:" + std::to_string(port) + path);
    const std::string out = settings.folder + "/wrk-" + std::to_string(port) + path.substr(1) + ".txt";
    try {
        Child wrk(argv, out);
        if (!wrk.wait(std::chrono::milliseconds(static_cast<int64_t>(settings.seconds * 1000) + 15000))) {
            return {{"error", "wrk did not finish"}};
        }
        nlohmann::json figures = ParseWrkReport(wrk.output());
        figures["request"] = RequestName(request);
        figures["connections"] = settings.connections;
        figures["threads"] = settings.threads;
        figures["seconds"] = settings.seconds;
        if (auto answer = FetchAnswer(port, RequestText(request))) figures["answer_bytes"] = answer->size();
        return figures;
    } catch (const std::exception& e) {
        return {{"error", e.what()}};
    }
}

std::optional<std::string> FetchAnswer(int port, const std::string& request) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return std::nullopt;
    timeval limit{2, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
              ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size());
    char chunk[4096];
    for (ssize_t n; ok && (n = ::recv(fd, chunk, sizeof chunk, 0)) != 0;) {
        if (n < 0) ok = false;
        else answer.append(chunk, static_cast<size_t>(n));
    }
    ::close(fd);
    if (!ok) return std::nullopt;
    return answer;
}

struct ReferenceServer::Process {
    std::unique_ptr<Child> child;
};

ReferenceServer::ReferenceServer(const std::string& nginx, const std::string& folder, const std::string& timelineBody)
    : process_(std::make_unique<Process>()) {
    const int port = FreeLoopbackPort();
    const std::string conf = folder + "/nginx.conf";
    {
        std::ofstream out(conf);
        // Loopback only, no logs, every connection closed after its answer, temp files in the folder.
        out << "worker_processes auto;\nuser root;\npid " << folder << "/nginx.pid;\nerror_log " << folder
            << "/nginx-error.log;\nevents { worker_connections 1024; }\nhttp {\n  access_log off;\n"
            << "  server_tokens off;\n  keepalive_timeout 0;\n  client_body_temp_path " << folder << "/body;\n"
            << "  proxy_temp_path " << folder << "/proxy;\n  fastcgi_temp_path " << folder << "/fastcgi;\n"
            << "  uwsgi_temp_path " << folder << "/uwsgi;\n  scgi_temp_path " << folder << "/scgi;\n"
            << "  server {\n    listen 127.0.0.1:" << port << ";\n"
            << "    location = /timeline { default_type application/json; add_header Access-Control-Allow-Origin *; "
            << "return 200 '" << timelineBody << "'; }\n"
            << "    location = /camera { default_type text/plain; return 200 'OK'; }\n  }\n}\n";
    }
    try {
        process_->child = std::make_unique<Child>(
            std::vector<std::string>{nginx, "-p", folder, "-c", conf, "-e", folder + "/nginx-error.log", "-g",
                                     "daemon off;"},
            folder + "/nginx-output.txt");
    } catch (const std::exception& e) {
        error_ = e.what();
        return;
    }
    if (WaitUntil([&] { return Accepts(port) || !process_->child->running(); }, std::chrono::milliseconds(5000)) &&
        process_->child->running()) {
        port_ = port;
    } else {
        error_ = "nginx did not come up: " + ReadFile(folder + "/nginx-error.log") + process_->child->output();
    }
}

ReferenceServer::~ReferenceServer() {
    // SIGQUIT: nginx's graceful stop; the child falls back to SIGKILL after the wait.
    if (process_->child) process_->child->stop(SIGQUIT, std::chrono::milliseconds(5000));
}

}  // namespace qlo::bench
