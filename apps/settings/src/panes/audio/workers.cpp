#include "panes/audio/workers.h"

#include <pthread.h>

#include <string>
#include <utility>

namespace settings::panes::audio {

namespace {

template <typename>
constexpr bool kAlwaysFalse = false;

// Linux keeps 15 bytes of a thread's name; the rest is cut, as elsewhere.
void name_this_thread(std::string_view name) {
  std::string kept(name.substr(0, 15));
  ::pthread_setname_np(::pthread_self(), kept.c_str());
}

}  // namespace

AudioToolWorker::AudioToolWorker(std::shared_ptr<AudioTool> tool)
    : shared_(std::make_shared<Shared>()) {
  auto [request_tx, request_rx] = kalu_ui::channel::queue<Request>();
  auto [reply_tx, reply_rx] = kalu_ui::channel::queue<ToolReply>();
  requests_.emplace(std::move(request_tx));
  replies_.emplace(std::move(reply_rx));
  thread_ = std::thread(&AudioToolWorker::run, std::move(tool), shared_, std::move(request_rx),
                        std::move(reply_tx));
}

AudioToolWorker::~AudioToolWorker() {
  bool running;
  {
    std::lock_guard lock(shared_->mutex);
    shared_->closed = true;
    running = shared_->running;
  }
  // With the last request sender gone the thread's wait ends; closed keeps it
  // from starting anything still queued.
  requests_.reset();
  if (running) {
    thread_.detach();
  } else {
    thread_.join();
  }
}

std::uint64_t AudioToolWorker::read_input_level() { return submit(ReadInputLevel{}); }
std::uint64_t AudioToolWorker::load_status() { return submit(LoadStatus{}); }
std::uint64_t AudioToolWorker::set_default(std::uint32_t node_id) {
  return submit(SetDefault{node_id});
}
std::uint64_t AudioToolWorker::set_source_volume(float level_percent) {
  return submit(SetSourceVolume{level_percent});
}

std::uint64_t AudioToolWorker::submit(Command command) {
  std::uint64_t ticket = next_ticket_++;
  requests_->send(Request{ticket, std::move(command)});
  return ticket;
}

std::optional<ToolReply> AudioToolWorker::try_take() {
  auto got = replies_->try_recv();
  if (!got.is_ready()) return std::nullopt;
  return std::move(got).value();
}

std::optional<ToolReply> AudioToolWorker::take_until(kalu_ui::Instant deadline) {
  auto got = replies_->recv_until(deadline);
  if (!got.is_ready()) return std::nullopt;
  return std::move(got).value();
}

void AudioToolWorker::run(std::shared_ptr<AudioTool> tool, std::shared_ptr<Shared> shared,
                          kalu_ui::channel::Receiver<Request> requests,
                          kalu_ui::channel::Sender<ToolReply> replies) {
  name_this_thread(kAudioToolThreadName);
  while (auto request = requests.recv()) {
    {
      std::lock_guard lock(shared->mutex);
      if (shared->closed) return;
      shared->running = true;
    }
    ToolAnswer result = answer(*tool, request->command);
    {
      std::lock_guard lock(shared->mutex);
      shared->running = false;
    }
    // Refused when the pane has gone; the answer is then of no use.
    replies.send(ToolReply{request->ticket, std::move(result)});
  }
}

ToolAnswer AudioToolWorker::answer(AudioTool& tool, const Command& command) {
  return std::visit(
      [&](const auto& c) -> ToolAnswer {
        using C = std::decay_t<decltype(c)>;
        if constexpr (std::is_same_v<C, ReadInputLevel>) {
          return InputLevelRead{tool.read_input_level()};
        } else if constexpr (std::is_same_v<C, LoadStatus>) {
          return StatusLoaded{tool.load_status()};
        } else if constexpr (std::is_same_v<C, SetDefault>) {
          return DefaultSet{c.node_id, tool.set_default(c.node_id)};
        } else if constexpr (std::is_same_v<C, SetSourceVolume>) {
          return SourceVolumeSet{c.level_percent, tool.set_source_volume(c.level_percent)};
        } else {
          static_assert(kAlwaysFalse<C>, "every command has an answer");
        }
      },
      command);
}

}  // namespace settings::panes::audio
