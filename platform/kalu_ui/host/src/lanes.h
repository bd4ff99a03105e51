#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// The requests and answers that the socket thread and the UI thread hand each
// other, one lane per client. The UI thread takes requests round-robin across
// the lanes, so a client with many requests waiting costs every other client
// one request's turn at most. A client whose answers pile up unsent is passed
// over until it has read them, so the application never carries out and
// buffers work for a client that does not read. Every call is thread-safe.
namespace kalu_ui::host {

using ClientId = std::uint64_t;

// One request line of a client, or the answer line to it. `cost` is the size
// of the request the answer is for, which the socket thread holds against
// the client's input budget until the answer is back.
struct Envelope {
  ClientId client = 0;
  std::string line;
  std::size_t cost = 0;
};

class RequestLanes {
 public:
  // A client is passed over while this many bytes of its answers are unsent.
  explicit RequestLanes(std::size_t pause_unsent_bytes) : pause_unsent_bytes_(pause_unsent_bytes) {}

  // Socket thread: a client came or went. A closed lane's waiting requests
  // are dropped, and answers still to come for it are dropped too.
  void open(ClientId client);
  void close(ClientId client);

  // Socket thread: queues a request behind the client's earlier ones. Answers
  // whether the UI thread has a request it may take now.
  bool push(Envelope request);
  // UI thread: the next request in round-robin order, from a client that is
  // reading its answers.
  std::optional<Envelope> take();
  // Any request the UI thread may take now.
  bool has_requests() const;
  // Requests received and not yet taken.
  std::size_t waiting() const;

  // UI thread: an answer for the socket thread to write. Answers whether it
  // is the first one waiting, so that the socket thread needs waking.
  bool answer(Envelope answer);
  // Socket thread: every answer handed in so far, oldest first.
  std::vector<Envelope> take_answers();
  // Socket thread: `bytes` of the client's answers are taken but not yet
  // written to its socket. Answers whether the client may be served again
  // after being passed over, so that the UI thread needs waking.
  bool set_unsent(ClientId client, std::size_t bytes);

 private:
  struct Lane {
    std::deque<Envelope> waiting;
    std::size_t answered_bytes = 0;  // handed in by the UI thread, not taken yet
    std::size_t unsent_bytes = 0;    // taken by the socket thread, not written yet
    bool in_ring = false;
  };
  bool paused(const Lane& lane) const {
    return lane.answered_bytes + lane.unsent_bytes >= pause_unsent_bytes_;
  }

  const std::size_t pause_unsent_bytes_;
  mutable std::mutex mutex_;
  std::unordered_map<ClientId, Lane> lanes_;
  // Clients with requests waiting, in serving order.
  std::deque<ClientId> ring_;
  std::size_t waiting_ = 0;
  std::vector<Envelope> answers_;
};

}  // namespace kalu_ui::host
