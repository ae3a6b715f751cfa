// Assembling requests from their pieces: whole only when the head is complete and the announced
// body has arrived, however the bytes are split; what happens when the peer stops or the
// deadline passes; and the size limits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/http_request.h"
#include "link/request_reader.h"

namespace {

using State = RequestReader::State;

struct Case {
    const char* what;
    std::vector<std::string> pieces;
    State afterPieces;
    State atEnd;  // after the peer closes or the deadline
};

TEST(RequestReader, WholeOnlyWithHeadAndAnnouncedBodyHoweverSplit) {
    const std::string post = "POST /camera HTTP/1.1\r\nContent-Length: 11\r\n\r\n";
    const std::vector<Case> cases = {
        {"head, then body", {post, R"({"zoom":42})"}, State::Complete, State::Complete},
        {"blank line split", {"POST /camera HTTP/1.1\r\nContent-Length: 11\r\n\r", "\n{\"zoom\":42}"}, State::Complete,
         State::Complete},
        {"body short", {post, R"({"zoom")"}, State::Incomplete, State::Rejected},
        {"no length: no body", {"POST /camera HTTP/1.1\r\n\r\n"}, State::Complete, State::Complete},
        {"beyond the body limit: not read", {"POST /camera HTTP/1.1\r\nContent-Length: 100000\r\n\r\n{"},
         State::Complete, State::Complete},
        {"GET without a blank line", {"GET /info HTTP/1.1\r\n"}, State::Incomplete, State::Complete},
        {"POST without a blank line", {"POST /record HTTP/1.1\r\nContent-Len"}, State::Incomplete, State::Rejected},
        {"nothing at all", {}, State::Incomplete, State::Rejected},
    };
    for (const Case& c : cases) {
        RequestReader r;
        std::string all;
        for (const std::string& piece : c.pieces) {
            r.add(piece);
            all += piece;
        }
        EXPECT_EQ(r.state(), c.afterPieces) << c.what;
        EXPECT_EQ(r.end(), c.atEnd) << c.what;
        if (r.state() == State::Complete) {
            EXPECT_EQ(r.text(), all) << c.what;
        }
    }
}

TEST(RequestReader, HeadsAndBodiesAreBounded) {
    // A head that never ends is rejected at its limit.
    RequestReader head;
    const std::string filler(1000, 'x');
    State s = head.add("GET /info HTTP/1.1\r\n");
    while (s == State::Incomplete) s = head.add("X-Pad: " + filler + "\r\n");
    EXPECT_EQ(s, State::Rejected);
    EXPECT_LE(head.text().size(), kMaxRequestHeadBytes);

    // A body at the limit is read whole; nothing beyond the announced body is kept past the cap.
    RequestReader body;
    const std::string text = "POST /camera HTTP/1.1\r\nContent-Length: " + std::to_string(kMaxControlBodyBytes) + "\r\n\r\n";
    body.add(text);
    const std::string chunk(4096, ' ');
    for (int i = 0; i < 100 && body.state() == State::Incomplete; ++i) body.add(chunk);
    EXPECT_EQ(body.state(), State::Complete);
    EXPECT_EQ(body.room(), 0u);
    EXPECT_LE(body.text().size(), kMaxRequestHeadBytes + static_cast<size_t>(kMaxControlBodyBytes));
}

}  // namespace
