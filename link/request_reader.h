// Assembling one HTTP request from the bytes of a connection as they arrive, however they are
// split: a request is whole when its head is complete (the first blank line) and its announced
// body (Content-Length) has arrived, or when the announced body is beyond the body limit (it is
// then not read; the request counts as having a body that does not parse). Pure text logic with
// no socket, shared by the server's intake and tests and fuzzing.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

// Every request must be whole within this time from the connection's acceptance, however its
// bytes are paced; one that is not is dropped unanswered (or, when it needs no body, taken as it
// is, see RequestReader::end). A phone sends its requests in one write, so a second is ample even
// on a poor Wi-Fi link; a peer that trickles bytes holds a place for no longer than this.
inline constexpr std::chrono::milliseconds kRequestDeadline{1000};

// A head longer than this without its blank line is no request of a phone; it is dropped.
inline constexpr size_t kMaxRequestHeadBytes = 8192;

class RequestReader {
public:
    enum class State {
        Incomplete,  // more bytes are needed
        Complete,    // text() is the whole request
        Rejected,    // not a request to answer: drop the connection without an answer
    };

    // Adds bytes that arrived (at most room() of them are kept) and returns the state.
    State add(std::string_view bytes);
    // The connection's peer ended its side, or the deadline passed: the request is taken as it is
    // when its head is whole and its body complete, or when its head is not whole but what came
    // routes to a request that has no body (a GET or a stream request); otherwise it is rejected.
    // An empty request is rejected.
    State end();

    State state() const { return state_; }
    // How many more bytes the request may still take.
    size_t room() const;
    // The request text: its head and the body bytes that came with it.
    const std::string& text() const { return text_; }

private:
    State evaluate();

    std::string text_;
    State state_ = State::Incomplete;
};

// At most this many connections are being read at once. Beyond it the server accepts no more
// until one of them is whole or dropped (each within kRequestDeadline): new connections wait in
// the listening socket's queue. Streams already admitted are not affected. Together with the
// request size limits this bounds what unread requests can hold to about 9 MiB.
inline constexpr size_t kMaxConnectionsBeingRead = 128;
