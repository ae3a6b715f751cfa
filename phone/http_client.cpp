#include "phone/http_client.h"

namespace qlophone {

std::string SerializeRequest(const HttpRequest& request, const std::string& hostHeader, bool closeConnection) {
    std::string out = request.method + " " + request.path + " HTTP/1.1\r\n";
    out += "Host: " + hostHeader + "\r\n";
    out += std::string("User-Agent: ") + kUserAgent + "\r\n";
    if (request.method == "POST" || !request.body.empty()) {
        out += "Content-Type: " + request.contentType + "\r\n";
        out += "Content-Length: " + std::to_string(request.body.size()) + "\r\n";
    }
    if (closeConnection) out += "Connection: close\r\n";
    out += "\r\n";
    out += request.body;
    return out;
}

HttpExchange PerformRequest(const ConnectionTarget& target, const HttpRequest& request,
                            std::chrono::milliseconds timeout, const std::atomic<bool>* stop) {
    HttpExchange exchange;
    const Deadline deadline = Clock::now() + timeout;
    const std::string what = request.method + " " + request.path;
    std::string error;
    Socket s = ConnectTcp(target, deadline, error, stop);
    if (!s.valid()) {
        exchange.failure = {FailureKind::Connection, what + ": " + error};
        return exchange;
    }
    const std::string bytes = SerializeRequest(request, target.address.text(), true);
    IoResult sent = SendAll(s.fd(), bytes.data(), bytes.size(), deadline, stop);
    if (sent.status != IoStatus::Ok) {
        exchange.failure = {FailureKind::Connection, what + ": sending failed: " + DescribeIo(sent)};
        return exchange;
    }
    HttpResponseReader reader;
    char buffer[4096];
    // Bounded by the deadline; each pass moves at least one byte or ends the loop.
    while (reader.progress() == HttpResponseReader::Progress::NeedMore) {
        IoResult got = ReceiveSome(s.fd(), buffer, sizeof(buffer), deadline, stop);
        if (got.status == IoStatus::Ok) {
            reader.feed(std::string_view(buffer, got.bytes));
        } else if (got.status == IoStatus::Closed) {
            reader.finish();
        } else {
            exchange.failure = {FailureKind::Connection, what + ": reading the answer failed: " + DescribeIo(got)};
            return exchange;
        }
    }
    if (reader.progress() == HttpResponseReader::Progress::Error) {
        exchange.failure = {FailureKind::Protocol, what + ": " + reader.error()};
        return exchange;
    }
    exchange.response = reader.response();
    return exchange;
}

}  // namespace qlophone
