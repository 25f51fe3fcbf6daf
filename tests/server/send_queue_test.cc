// The send queue on its own, with a port that is a script of results.
#include "server/send_queue.h"

#include <gtest/gtest.h>

#include <deque>

#include "shared/result_codes.h"

namespace zelta {
namespace {

using namespace std::chrono_literals;

// Takes chunks by a script of (result, bytes taken); all of each and success once the script is used
// up. Everything taken is kept, in order.
struct ScriptPort {
  std::mutex mu;
  std::deque<std::pair<int32_t, int32_t>> script;
  Bytes got;
  SendQueue::WriteFn Fn() {
    return [this](const Bytes& chunk, int32_t& written, PrinterErrorInfo& error) {
      std::lock_guard<std::mutex> lk(mu);
      int32_t result = kResultOk;
      written = static_cast<int32_t>(chunk.size());
      if (!script.empty()) {
        std::tie(result, written) = script.front();
        script.pop_front();
        written = std::min<int32_t>(written, static_cast<int32_t>(chunk.size()));
      }
      got += chunk.substr(0, static_cast<size_t>(written));
      if (result != kResultOk) error = {result, "scripted " + std::to_string(result), "Port"};
      return result;
    };
  }
  Bytes Got() {
    std::lock_guard<std::mutex> lk(mu);
    return got;
  }
};

TEST(SendQueue, TakesUpToItsCapacityAndSendsInOrderThroughPushBack) {
  ScriptPort port;
  port.script = {{kResultBusy, 0}, {kResultTimeout, 10}, {kResultOk, 5000}};
  SendQueue q(8192, port.Fn());
  const Bytes a(5000, 'a'), b(3000, 'b');
  EXPECT_TRUE(q.Push(a));
  EXPECT_FALSE(q.Push(Bytes(8192, 'x')));  // beyond the free space: nothing taken
  EXPECT_TRUE(q.Push(b));
  PrinterErrorInfo error;
  EXPECT_EQ(q.Drain(2000, error), kResultOk);
  EXPECT_EQ(port.Got(), a + b);
  EXPECT_EQ(q.progress().done, 8000u);
  EXPECT_EQ(q.progress().reached, 8000u);
  EXPECT_EQ(q.progress().stall.Number, 0);
}

TEST(SendQueue, AStallThatLastsIsTheDrainsResult) {
  ScriptPort port;
  port.script.assign(1000, {kResultPaperOut, 0});
  SendQueue q(4096, port.Fn());
  EXPECT_TRUE(q.Push(Bytes(100, 'p')));
  PrinterErrorInfo error;
  EXPECT_EQ(q.Drain(60, error), kResultPaperOut);
  EXPECT_EQ(error.Description, "scripted " + std::to_string(kResultPaperOut));
  EXPECT_EQ(q.queued(), 100u);  // kept: push-back drops nothing
  q.Discard();
  EXPECT_EQ(q.Drain(0, error), kResultOk);
  EXPECT_EQ(q.progress().done, 100u);
  EXPECT_EQ(q.progress().reached, 0u);
}

TEST(SendQueue, AFailureDropsTheRestAndWhatFollowsUntilReported) {
  ScriptPort port;
  port.script = {{kResultOk, 4096}, {kResultPortClosed, 6}};
  SendQueue q(16384, port.Fn());
  EXPECT_TRUE(q.Push(Bytes(10000, 'f')));
  auto until = std::chrono::steady_clock::now() + 2s;
  while (!q.progress().failed && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(1ms);
  ASSERT_TRUE(q.progress().failed);
  EXPECT_EQ(q.progress().failure_seq, 1u);
  EXPECT_EQ(q.progress().failure.Description,
            "scripted " + std::to_string(kResultPortClosed) +
                " 4102 bytes reached the printer; 5898 queued bytes were not sent.");
  EXPECT_TRUE(q.Push(Bytes(50, 'x')));  // dropped: the client has not heard of the failure yet
  EXPECT_EQ(q.queued(), 0u);
  q.Acknowledge(1);
  EXPECT_TRUE(q.Push(Bytes(50, 'y')));
  PrinterErrorInfo error;
  EXPECT_EQ(q.Drain(2000, error), kResultOk);
  EXPECT_EQ(port.Got(), Bytes(4102, 'f') + Bytes(50, 'y'));  // nothing twice, nothing after the gap
  // A failure is the result of the next Drain once, then reported.
  {
    std::lock_guard<std::mutex> lk(port.mu);  // the sender is idle, but reads the script under the lock
    port.script = {{kResultPortClosed, 0}};
  }
  EXPECT_TRUE(q.Push(Bytes(10, 'z')));
  EXPECT_EQ(q.Drain(2000, error), kResultPortClosed);
  EXPECT_EQ(q.Drain(0, error), kResultOk);
  q.Close();
  EXPECT_FALSE(q.Push(Bytes(1, 'c')));
}

}  // namespace
}  // namespace zelta
