// What one send of a channel came to: how many messages the remote service
// accepted, how many did not go out, and why. The daily run adds these up
// per kind of message for the control SMS, the exit code of a run started by
// hand and the run journal, which tries a kind again only when its failure
// may pass (a transport or database failure), never after a refusal.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace oxsms::channels {

// Ordered by weight: a result that holds both a refusal and a transient
// failure is transient, so the lines it could not send are tried again; one
// that holds an uncertain failure is not tried again by itself.
enum class SendFailure {
  kNone = 0,
  kRefused,    // the service or the data refused it (account, credit, alias,
               // a number that cannot be dialled, a message without its link)
  kTransient,  // transport failure, no usable reply, a database unreachable
  kUncertain,  // the delivering request went and no reply came: the messages
               // may have gone, and sending them again may send them twice
};

struct SendResult {
  int accepted = 0;  // messages the remote service took
  int failed = 0;    // messages that did not go out
  SendFailure failure = SendFailure::kNone;
  std::string reason;  // the text of the weightiest failure, for the log
  // Of the lines handed to one send of a channel, the positions of those it
  // left for a later attempt (a failure that may pass, such as a payment
  // link not obtained); every other line went out or was refused. Only the
  // result of that one send holds them: Add does not carry them over.
  std::vector<std::size_t> held_back;

  bool ok() const { return failed == 0 && failure == SendFailure::kNone; }

  // Counts `count` messages as failed for `why`; the reason kept is that of
  // the weightiest failure (the first one of that weight).
  void Fail(int count, SendFailure why, const std::string& text) {
    failed += count;
    if (why > failure) {
      failure = why;
      reason = text;
    }
  }

  void Add(const SendResult& other) {
    accepted += other.accepted;
    Fail(other.failed, other.failure, other.reason);
  }
};

}  // namespace oxsms::channels
